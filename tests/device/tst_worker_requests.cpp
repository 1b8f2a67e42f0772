#include "model/write_group.h"
#include "tests/device/tst_worker_rig.h"

using namespace wire;

// The worker's requests besides live logging, against a virtual unit.
class tst_worker_requests : public QObject {
    Q_OBJECT

private slots:
    void overrides_data()
    {
        QTest::addColumn<int>("output");
        QTest::addColumn<QList<QByteArray>>("sent"); // for duty 0x01F4
        const auto frames = [](const char* set, const char* reset) {
            return QList<QByteArray>{QByteArray::fromHex(set), QByteArray::fromHex(reset)};
        };
        QTest::newRow("AUX") << 0 << frames("C301000201F435", "C308000102C8");
        QTest::newRow("MAIN") << 1 << frames("C302000201F436", "C308000101CB");
        QTest::newRow("GPO1") << 2 << frames("C304000201F430", "C308000103C9");
        QTest::newRow("GPO2") << 3 << frames("C306000201F432", "C308000104CE");
        QTest::newRow("Wide Band") << 4 << QList<QByteArray>();
        QTest::newRow("AFR") << 5 << QList<QByteArray>();
    }

    void overrides()
    {
        QFETCH(int, output);
        worker_rig rig;
        log_capture log;
        rig.worker->set_override(table_index(output), 0x01F4);
        rig.worker->reset_override(table_index(output));
        QTEST(rig.device->writes(), "sent");
        QVERIFY(log.has(QtWarningMsg, "Override " + table_names[output] + " to 500"));
        QVERIFY(log.has(QtWarningMsg, "Reset override on " + table_names[output]));
        QCOMPARE(log.count(QString("Case %1 Not handled").arg(output)), output > 3 ? 2 : 0);
    }

    void transactions_pause_logging_and_resume_it_unless_an_override_failed()
    {
        worker_rig rig;
        rig.start_logging();
        rv8_worker* worker = rig.worker.get();
        QSignalSpy started(worker, &rv8_worker::log_started), read(worker, &rv8_worker::read_data),
            wrote(worker, &rv8_worker::wrote_data);
        rig.queue_records(2);
        worker->start_read();
        QCOMPARE(rig.stored(), 1); // the last read of the pause
        const QList<QByteArray> writes = rig.device->writes();
        QVERIFY(writes.size() == 1 + 10 + 1 && writes.first() == live_off && writes.last() == live_on);
        rig.queue_records(1);
        rig.poll();
        QCOMPARE(rig.stored(), 2);

        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_table_checksum = 2; });
        worker->start_read();
        QCOMPARE(firsts<FT_STATUS>(read), (QList<FT_STATUS>{FT_OK, FT_IO_ERROR}));
        QVERIFY(read[1][1].value<QList<QByteArray>>().isEmpty() && read[1][2].value<QList<quint32>>().isEmpty() &&
                read[1][3].value<QList<adc_trim>>().isEmpty());
        worker->add_field_to_var(quint32(0x22), int_pump_prime_delay);
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 6; });
        worker->start_write();
        QCOMPARE(firsts<FT_STATUS>(wrote), QList<FT_STATUS>{FT_IO_ERROR});
        QCOMPARE(started.count(), 3);

        rig.device->clear_writes();
        worker->set_override(tbl_main, 0x0200);
        QCOMPARE(rig.device->writes(), (QList<QByteArray>{live_off, QByteArray::fromHex("C30200020200C1"), live_on}));
        QCOMPARE(started.count(), 4);
        log_capture log;
        // Six: the reply to the stream-off frame of the pause takes the first.
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 6; });
        worker->reset_override(tbl_main);
        QVERIFY(log.has(QtCriticalMsg, "Cannot reset override for MAIN duty table") && !worker->is_logging());
        QCOMPARE(started.count(), 4);

        // A failed override says which output and why, sends its frame five times and stays paused.
        rig.device->clear_writes();
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 5; });
        log.clear();
        worker->set_override(tbl_gpo1, 0x0123);
        const QString wrong = "Did not receive valid return msg header. ret=0x3c0404 exp=0x3c04fb. Will retry...";
        QCOMPARE(log.texts(QtWarningMsg), QStringList{"Override GPO1 duty table to 291"} + QVector<QString>(5, wrong).toList());
        QCOMPARE(log.texts(QtCriticalMsg),
                 (QStringList{"Could not write message to device, there seems to be a problem with your USB cable. "
                              "Suggest you replace your USB cable with one that has a ferrite bead on the device-end "
                              "(google 'ferrite bead')",
                              "Cannot set override for GPO1 duty table"}));
        QCOMPARE(rig.device->writes(), QVector<QByteArray>(5, QByteArray::fromHex("C30400020123E7")).toList());
        QCOMPARE(started.count(), 4);
    }

    // A unit that falls silent costs one time-out: what follows is not tried and stays pending.
    void write_all_stops_at_a_silent_unit()
    {
        worker_rig rig;
        rv8_worker* worker = rig.worker.get();
        QStringList reports; // both signals, in the order they came
        const auto names = [](const QList<int>& groups) { return group_names(groups).join(", "); };
        QObject::connect(worker, &rv8_worker::write_outcome, [&](QList<int> written, QList<int> not_written) {
            reports << names(written) + " | " + names(not_written);
        });
        QObject::connect(worker, &rv8_worker::wrote_data, [&](FT_STATUS s) { reports << QString("wrote %1").arg(s); });
        for (int t = tbl_aux; t <= tbl_gpo2; ++t)
            worker->add_field_to_var(QByteArray(640, char(t)), table_index(t));
        for (int i = 0; i < int_last; ++i)
            if (group_of(int_index(i)) >= 0)
                worker->add_field_to_var(quint32(1), int_index(i));
        rig.inject([](sim_unit&, virtual_faults& f) {
            f.strike_on = QByteArray::fromHex("C30C");
            f.strike = [](sim_unit* unit, virtual_faults&) { unit->faults().drop_replies = 1000; };
        });
        log_capture log;
        worker->start_write();
        const QString rest = "GPO1 duty table, GPO2 duty table, RPM scaler, pump prime delay, IO modes, "
                             "factory MAP calibration, active MAP calibration";
        QCOMPARE(reports, (QStringList{"AUX duty table, MAIN duty table | " + rest, "wrote 18"}));
        QCOMPARE(rig.device->writes().size(), 3);
        QCOMPARE(log.texts(QtWarningMsg).filter("Could not set"), QStringList{"Could not set GPO1 duty table"});

        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().drop_replies = 0; });
        rig.device->clear_writes();
        reports.clear();
        worker->start_write();
        QCOMPARE(reports, (QStringList{rest + " | ", "wrote 0"}));
        // Seven messages, then each group read back, both calibrations in one block.
        QCOMPARE(rig.device->writes().size(), 13);
        QCOMPARE(rig.device->writes().mid(7), (QList<QByteArray>{QByteArray::fromHex("C3050001AA6D"), QByteArray::fromHex("C3050001AB6C"),
                                                                 QByteArray::fromHex("C3050001B87F"), QByteArray::fromHex("C3050001BB7C"),
                                                                 QByteArray::fromHex("C3050001BD7A"), QByteArray::fromHex("C3050001BF78")}));
    }

    void settings_files()
    {
        worker_rig rig;
        QTemporaryDir dir;
        const QString path = dir.filePath("s.bnini");
        QSignalSpy saved(rig.worker.get(), &rv8_worker::wrote_file);
        rig.worker->add_field_to_var(quint32(variant_rv8_s), int_variant);
        rig.worker->add_field_to_var(quint32(7), int_gpo2_mode);
        for (const QString& name : {path, dir.path()})
            rig.worker->vars_to_file(name);
        QCOMPARE(static_cast<const QList<QVariantList>&>(saved),
                 (QList<QVariantList>{{path, true, QString()}, {dir.path(), false, "Is a folder"}}));

        QSignalSpy read(rig.worker.get(), &rv8_worker::read_file);
        rig.worker->file_to_vars_to_field(path);
        rig.worker->file_to_vars_to_field(dir.filePath("none.bnini"));
        QCOMPARE(firsts<FT_STATUS>(read), (QList<FT_STATUS>{FT_OK, FT_OTHER_ERROR}));
        QCOMPARE(read[1][4].value<QList<QString>>(), QList<QString>{"No such file or directory"});
        const auto ints = read[0][2].value<QList<quint32>>();
        // The connected unit's variant, not the file's.
        QCOMPARE(QList<quint32>({ints[int_gpo2_mode], ints[int_variant]}), QList<quint32>({7, variant_rv8_sx}));
        QCOMPARE(rig.device->writes(), (QList<QByteArray>{version_query, variant_query}));
    }
};

QTEST_GUILESS_MAIN(tst_worker_requests)
#include "tst_worker_requests.moc"
