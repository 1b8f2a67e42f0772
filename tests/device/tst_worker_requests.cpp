#include "sim/sim_memory.h"
#include "tests/device/tst_worker_rig.h"

#include <QTemporaryDir>

using namespace wire;

// The worker's requests besides live logging, against a virtual unit.
class tst_worker_requests : public QObject {
    Q_OBJECT

private slots:
    void overrides_data()
    {
        QTest::addColumn<int>("output");
        QTest::addColumn<QByteArray>("set");   // frame for duty 0x01F4, empty: none
        QTest::addColumn<QByteArray>("reset");
        QTest::newRow("AUX") << 0 << QByteArray("C3010002" "01F4" "35") << QByteArray("C308000102C8");
        QTest::newRow("MAIN") << 1 << QByteArray("C3020002" "01F4" "36") << QByteArray("C308000101CB");
        QTest::newRow("GPO1") << 2 << QByteArray("C3040002" "01F4" "30") << QByteArray("C308000103C9");
        QTest::newRow("GPO2") << 3 << QByteArray("C3060002" "01F4" "32") << QByteArray("C308000104CE");
        QTest::newRow("Wide Band") << 4 << QByteArray() << QByteArray();
        QTest::newRow("AFR") << 5 << QByteArray() << QByteArray();
    }

    void overrides()
    {
        QFETCH(int, output);
        QFETCH(QByteArray, set);
        QFETCH(QByteArray, reset);
        worker_rig rig;
        log_capture log;
        rig.worker->set_override(table_index(output), 0x01F4);
        rig.worker->reset_override(table_index(output));
        QList<QByteArray> expected;
        if (!set.isEmpty())
            expected << QByteArray::fromHex(set) << QByteArray::fromHex(reset);
        QCOMPARE(rig.device->writes(), expected);
        QVERIFY(log.has(QtWarningMsg, "Override " + table_names[output] + " to 500"));
        QVERIFY(log.has(QtWarningMsg, "Reset override on " + table_names[output]));
        QCOMPARE(log.count(QString("Case %1 Not handled").arg(output)), set.isEmpty() ? 2 : 0);
    }

    void the_override_reaches_the_unit()
    {
        worker_rig rig;
        rig.worker->set_override(tbl_main, 0x01F4);
        QCOMPARE(rig.unit().override_duty(sim_memory::main), 0x01F4);
        rig.worker->reset_override(tbl_main);
        QCOMPARE(rig.unit().override_duty(sim_memory::main), -1);
    }

    void overrides_resume_logging_only_after_success()
    {
        worker_rig rig;
        rig.start_logging();
        QSignalSpy started(rig.worker.get(), &rv8_worker::log_started);
        rig.worker->set_override(tbl_main, 0x0200);
        QCOMPARE(rig.device->writes(),
                 (QList<QByteArray>{live_off, QByteArray::fromHex("C30200020200C1"), live_on}));
        QCOMPARE(started.count(), 1);

        log_capture log;
        // Six: the reply to the stream-off frame of the pause takes the first.
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 6; });
        rig.worker->reset_override(tbl_main);
        QVERIFY(log.has(QtCriticalMsg, "Cannot reset override for MAIN duty table"));
        QVERIFY(!rig.worker->is_logging());
        QCOMPARE(started.count(), 1);
    }

    void map_calibration()
    {
        worker_rig rig;
        QSignalSpy ready(rig.worker.get(), &rv8_worker::map_cal_data_ready);
        rig.worker->start_map_cal();
        const auto samples = ready[0][0].value<QList<quint16>>();
        QCOMPARE(samples.size(), 5);
        for (quint16 s : samples)
            QVERIFY2(s > 200 && s < 260, qPrintable(QString::number(s))); // atmosphere, a little noise
        QCOMPARE(rig.device->writes(), QVector<QByteArray>(5, QByteArray::fromHex("C3050001A265")).toList());

        rig.start_logging();
        log_capture log;
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 2; });
        rig.worker->start_map_cal();
        QCOMPARE(ready.count(), 1);
        QVERIFY(log.has(QtCriticalMsg, "Cannot read from device..."));
        QVERIFY(!rig.worker->is_logging());

        rig.worker->close();
        rig.worker->start_map_cal();
        QVERIFY(log.has(QtCriticalMsg, "Device not open..."));
        QCOMPARE(ready.count(), 1);
    }

    void reads_and_writes_report_and_resume_logging()
    {
        worker_rig rig;
        rig.start_logging();
        QSignalSpy started(rig.worker.get(), &rv8_worker::log_started);
        QSignalSpy read(rig.worker.get(), &rv8_worker::read_data);
        QSignalSpy wrote(rig.worker.get(), &rv8_worker::wrote_data);
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_table_checksum = 2; });
        rig.worker->start_read();
        QCOMPARE(read[0][0].value<FT_STATUS>(), FT_STATUS(FT_IO_ERROR));
        QVERIFY(read[0][1].value<QList<QByteArray>>().isEmpty());
        QVERIFY(read[0][2].value<QList<quint32>>().isEmpty());
        QVERIFY(read[0][3].value<QList<adc_trim>>().isEmpty());
        QCOMPARE(started.count(), 1);

        rig.worker->add_field_to_var(quint32(0x22), int_pump_prime_delay);
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 6; });
        rig.worker->start_write();
        QCOMPARE(wrote[0][0].value<FT_STATUS>(), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(started.count(), 2);
        QVERIFY(rig.worker->is_logging());
    }

    void saving_reports_its_outcome()
    {
        worker_rig rig;
        QTemporaryDir dir;
        QFile(dir.filePath("plain")).open(QIODevice::WriteOnly);
        QSignalSpy saved(rig.worker.get(), &rv8_worker::wrote_file);
        const QString good = dir.filePath("unit.bnini");
        const QString through_a_file = dir.filePath("plain/unit.bnini");
        rig.worker->vars_to_file(good);
        rig.worker->vars_to_file(through_a_file);
        rig.worker->vars_to_file(dir.path());
        QCOMPARE(saved.count(), 3);
        QCOMPARE(saved[0], (QVariantList{good, true, QString()}));
        QCOMPARE(saved[1], (QVariantList{through_a_file, false, "Not a folder: " + dir.filePath("plain")}));
        QCOMPARE(saved[2], (QVariantList{dir.path(), false, "Is a folder"}));
    }

    void opening_a_file_keeps_the_connected_units_variant()
    {
        worker_rig rig;
        QTemporaryDir dir;
        const QString path = dir.filePath("s.bnini");
        rig.worker->add_field_to_var(quint32(variant_rv8_s), int_variant);
        rig.worker->add_field_to_var(quint32(7), int_gpo2_mode);
        rig.worker->vars_to_file(path);
        rig.device->clear_writes();

        QSignalSpy read(rig.worker.get(), &rv8_worker::read_file);
        rig.worker->file_to_vars_to_field(path);
        rig.worker->file_to_vars_to_field(dir.filePath("none.bnini"));
        QCOMPARE(read.count(), 1);
        QCOMPARE(read[0][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        const auto ints = read[0][2].value<QList<quint32>>();
        QCOMPARE(ints[int_gpo2_mode], quint32(7));
        QCOMPARE(ints[int_variant], quint32(variant_rv8_sx)); // the unit answers as an RV8-SX
        QCOMPARE(rig.device->writes(), (QList<QByteArray>{version_query, variant_query}));
    }

    void recall_finds_the_nearest_sample()
    {
        worker_rig rig;
        QTemporaryDir dir;
        QFile file(dir.filePath("r.bnlog"));
        file.open(QIODevice::WriteOnly);
        const QByteArray zeros = QByteArray(",0").repeated(30);
        file.write("1000,1" + zeros + "\n1010,2" + zeros + "\n1100,3" + zeros + "\n");
        file.close();
        rig.worker->parse_log_file(file.fileName());
        QSignalSpy recalled(rig.worker.get(), &rv8_worker::recall_data_ready);
        for (double x : {1004.9, 1099.0, 5000.0})
            rig.worker->recall_frame_at(QPointF(x, 12.0));
        const QList<rv8_frame> found = firsts<rv8_frame>(recalled);
        QCOMPARE(found.size(), 3);
        QCOMPARE(found[0].batt_adc, quint16(1));
        QCOMPARE(found[1].batt_adc, quint16(3));
        QCOMPARE(found[2], rv8_frame());
    }
};

QTEST_GUILESS_MAIN(tst_worker_requests)
#include "tst_worker_requests.moc"
