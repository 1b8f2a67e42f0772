// The worker's requests, live logging and firmware programming against a virtual unit (whose
// bootloader checks every record), and the worker in its own thread as the window uses it.

#include "model/write_group.h"
#include "tests/device/tst_worker_rig.h"

using namespace wire;

namespace {
using outcome = std::tuple<FT_STATUS, quint16, rv8_variant>;

// The ':' and '|' lines of an image as the unit must receive them.
QList<QByteArray> sent_lines(const QByteArray& image)
{
    QList<QByteArray> lines;
    for (QByteArray line : image.split('\n')) {
        line = line.trimmed();
        if (line.startsWith(':') || line.startsWith('|'))
            lines << line + '\r';
    }
    return lines;
}

// 26 data bytes make a record of exactly 63 characters.
const QByteArray wide_record = ":1A0150000102030405060708090A0B0C0D0E0F101112131415161718191A36";

QList<outcome> outcomes(const QSignalSpy& done)
{
    QList<outcome> all;
    for (const auto& args : done)
        all << outcome(args[0].value<FT_STATUS>(), args[1].value<quint16>(), args[2].value<rv8_variant>());
    return all;
}
} // namespace

class tst_worker_requests : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

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
        const QString name = table_names[output], refused = QString("Case %1 Not handled").arg(output);
        QCOMPARE(log.texts(QtWarningMsg), (QStringList{"Override " + name + " to 500", "Reset override on " + name}));
        QCOMPARE(log.texts(QtCriticalMsg), output > 3 ? QStringList({refused, refused}) : QStringList());
    }

    // Each pause framed by log_paused, across which the window keeps a recording's file open.
    void transactions_pause_logging_and_resume_it_unless_an_override_failed()
    {
        worker_rig rig;
        rig.start_logging();
        rv8_worker* worker = rig.worker.get();
        QStringList events;
        QObject::connect(worker, &rv8_worker::log_paused, [&](bool on) { events << (on ? "pause" : "end"); });
        QObject::connect(worker, &rv8_worker::log_started, [&] { events << "started"; });
        QObject::connect(worker, &rv8_worker::log_stopped, [&] { events << "stopped"; });
        QSignalSpy read(worker, &rv8_worker::read_data), wrote(worker, &rv8_worker::wrote_data);
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

        rig.device->clear_writes();
        worker->set_override(tbl_main, 0x0200);
        QCOMPARE(rig.device->writes(), (QList<QByteArray>{live_off, QByteArray::fromHex("C30200020200C1"), live_on}));
        log_capture log;
        // Six: the reply to the stream-off frame of the pause takes the first.
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 6; });
        worker->reset_override(tbl_main);
        QVERIFY(log.has(QtCriticalMsg, "Cannot reset override for MAIN duty table") && !worker->is_logging());
        const QStringList resumed{"pause", "stopped", "started", "end"};
        QCOMPARE(events, resumed + resumed + resumed + resumed + QStringList({"pause", "stopped", "end"}));
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
        rig.take_settings();
        rig.device->clear_writes();
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

    void start_switches_the_stream_on_once()
    {
        worker_rig rig;
        log_capture log;
        QSignalSpy started(rig.worker.get(), &rv8_worker::log_started);
        rig.worker->start_live_logging();
        rig.worker->start_live_logging();
        QCOMPARE(rig.device->writes(), QList<QByteArray>{live_on});
        QVERIFY(log.has(QtDebugMsg, "Logging already started") && rig.unit().streaming());

        rig.worker->close();
        rig.device->clear_writes();
        QSignalSpy stopped(rig.worker.get(), &rv8_worker::log_stopped);
        rig.worker->start_live_logging();
        rig.worker->stop_live_logging();
        QCOMPARE(log.texts(QtWarningMsg),
                 (QStringList{"Cannot start logging, not open", "Can't stop logging, not connected"}));
        QVERIFY(rig.device->writes().isEmpty() && started.count() == 1 && stopped.count() == 1);

        // A refused start switches the stream off again.
        rig.worker->open();
        rig.device->clear_writes();
        stopped.clear();
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 5; });
        rig.worker->start_live_logging();
        QCOMPARE(rig.device->writes(), QVector<QByteArray>(5, live_on).toList() << live_off);
        QVERIFY(log.has(QtCriticalMsg, "Could not start logging") && !rig.worker->is_logging());
        QVERIFY(started.count() == 1 && stopped.count() == 1);
    }

    void records_are_read_whole_and_one_per_poll()
    {
        worker_rig rig;
        rig.start_logging();
        log_capture log;
        QSignalSpy ready(rig.worker.get(), &rv8_worker::log_data_ready);
        rig.queue_records(3);
        rig.show_bytes(69);
        rig.poll(2);
        QCOMPARE(rig.stored(), 0);
        rig.show_bytes(-1);
        rig.poll();
        QCOMPARE(rig.stored(), 1);
        rig.poll(3);
        QCOMPARE(rig.stored(), 3);
        // One record is no backlog.
        QCOMPARE(log.texts(), (QStringList{"Enqueued mesages: 3", "Enqueued mesages: 2"}));
        QCOMPARE(rig.samples(), firsts<rv8_frame>(ready));
        QVERIFY(rig.device->writes().isEmpty()); // polling only reads

        rig.worker->clear_live_logs();
        QVERIFY(rig.stored() == 0 && rig.worker->get_data(rv8_log::e_result).size() == 0 && rig.marks().isEmpty());
    }

    void stops_data()
    {
        QTest::addColumn<bool>("bad_trailer");
        QTest::addColumn<int>("how"); // 0: a poll, 1: a stop after a last read, 2: a stop at once
        QTest::addColumn<QString>("messages");
        QTest::addColumn<int>("stored");
        QTest::newRow("bad trailer") << true << 0 << "Enqueued mesages: 2 | Log message not valid, stopping logging | "
                                                     "Stop logging immediately | Log messages left in queue: 1" << 0;
        QTest::newRow("last read") << false << 1 << "Reading one more time before stopping logging | "
                                                    "Enqueued mesages: 3 | Log messages left in queue: 2" << 1;
        QTest::newRow("at once") << false << 2 << "Stop logging immediately | Log messages left in queue: 3" << 0;
    }

    void stops()
    {
        QFETCH(bool, bad_trailer);
        QFETCH(int, how);
        worker_rig rig;
        rig.start_logging();
        QSignalSpy stopped(rig.worker.get(), &rv8_worker::log_stopped);
        // Records sent before the unit heard the stop, hidden from the first poll.
        rig.inject([bad_trailer](sim_unit& unit, virtual_faults&) { unit.faults().bad_live_trailer = bad_trailer; });
        rig.queue_records(bad_trailer ? 2 : 3);
        rig.show_bytes(0);
        rig.poll();
        rig.show_bytes(-1);
        log_capture log;
        how ? rig.worker->stop_live_logging(how == 2) : rig.poll();
        QTEST(log.texts().join(" | "), "messages");
        QTEST(rig.stored(), "stored");
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(rig.device->writes(), QList<QByteArray>{live_off});
        rig.poll();
        QTEST(rig.stored(), "stored"); // the rest purged
    }

    // Records still on their way when the stream goes off land before the write's purge, never
    // after it where they would pass for its reply: one frame each way and its read-back, no retry.
    void a_write_after_a_stop_takes_no_late_record_for_its_reply()
    {
        worker_rig rig(1); // a record a millisecond: some are always in transit
        rig.start_logging();
        rig.queue_records(40);
        QSignalSpy wrote(rig.worker.get(), &rv8_worker::wrote_data);
        rig.worker->add_field_to_var(quint32(0x0123), int_pump_prime_delay);
        log_capture log;
        rig.worker->start_write();
        QCOMPARE(firsts<FT_STATUS>(wrote), QList<FT_STATUS>{FT_OK});
        QVERIFY2(log.texts(QtWarningMsg).isEmpty(), qPrintable(log.texts(QtWarningMsg).join(" | ")));
        QCOMPARE(rig.device->writes(), (QList<QByteArray>{live_off, QByteArray::fromHex("C3070003012322C7"),
                                                          QByteArray::fromHex("C3050001BB7C"), live_on})); // read back
        QVERIFY(rig.worker->is_logging());
    }

    void images_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<QList<int>>("progress");
        QTest::addColumn<int>("version");
        const QString hex_file = test_data + "RV8_MAVO_0180.hex", bar_file = test_data + "RV8_MAVO_0181.bnhex";
        const QByteArray hex = read_all(hex_file);
        QTest::newRow("hex") << hex_file << sent_lines(hex) << QList<int>{0, 40, 80, 100} << 0x0180;
        QTest::newRow("bar") << bar_file << sent_lines(read_all(bar_file)) << QList<int>{0, 40, 80, 100} << 0x0181;

        // Without its address record, with a comment, a blank line, a record padded past 63
        // characters and CRLF endings: 27 lines, the address record sent before the first record.
        QList<QByteArray> lines = hex.trimmed().split('\n');
        lines.removeFirst();
        lines.insert(3, wide_record + "   ; padding beyond the limit");
        lines.insert(1, "; produced by hand");
        lines.insert(5, "");
        QList<QByteArray> sent = sent_lines(hex);
        sent.insert(4, wide_record + "\r");
        QTest::newRow("hand made") << write_file(dir.filePath("RV8_MAVO_hand.hex"), lines.join("\r\n") + "\r\n")
                                   << sent << QList<int>{0, 37, 74, 100} << 0x0180;
    }

    void images()
    {
        QFETCH(QString, image);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(int, version);
        worker_rig rig;
        rv8_worker* worker = rig.worker.get();
        QSignalSpy reset(worker, &rv8_worker::reset_progress), progress(worker, &rv8_worker::fw_progress),
            opened(worker, &rv8_worker::opened), done(worker, &rv8_worker::fw_programmed);
        worker->set_rw_debug(true);
        log_capture log;
        worker->start_fw_program(image);
        QCOMPARE(outcomes(done), QList<outcome>{outcome(FT_OK, quint16(version), variant_rv8_sx)});
        QVERIFY(rig.unit().fw_version() == version && !rig.unit().in_bootloader());
        QCOMPARE(firsts<int>(reset), (QList<int>{50, 100}));
        QTEST(firsts<int>(progress), "progress");
        QCOMPARE(opened[0][1].value<quint16>(), quint16(0)); // the bootloader
        QCOMPARE(rig.device->writes(),
                 QList<QByteArray>({live_off, QByteArray::fromHex("C3050001C007"), "\r"}) + sent +
                     QList<QByteArray>({version_query, variant_query}));
        // Tracing is off for the image's lines only.
        QVERIFY(log.has(QtDebugMsg, "write 0xc3050001c007") && log.has(QtDebugMsg, "write 0xc3050001b671"));
        QVERIFY(log.has(QtDebugMsg, "Programming completed!") && log.texts().filter(QRegularExpression("write 0x(3a|7c)")).isEmpty());
    }

    void unsendable_images_send_nothing()
    {
        worker_rig rig;
        log_capture log;
        const QString missing = dir.filePath("RV8_MAVO_gone.hex");
        QCOMPARE(rig.worker->program_fw(""), FT_STATUS(FT_OTHER_ERROR));
        QCOMPARE(rig.worker->program_fw(missing), FT_STATUS(FT_OTHER_ERROR));
        QCOMPARE(log.texts(QtCriticalMsg), (QStringList{"FW location empty", "Unable to open file " + missing +
                                                        " : No such file or directory"}));
        QVERIFY(rig.device->writes().isEmpty());
        rig.worker->close();
        QCOMPARE(rig.worker->program_fw(test_data + "RV8_MAVO_0180.hex"), FT_STATUS(FT_DEVICE_NOT_OPENED));
    }

    void failures_leave_tracing_on_and_a_second_attempt_succeeds()
    {
        const QString failed = "Programming failed! Reset the board, check connections/power, and try again.";
        for (bool refuse : {true, false}) { // the sixth record, else the restart into the bootloader
            worker_rig rig;
            rig.inject([refuse](sim_unit& unit, virtual_faults&) {
                unit.faults().refuse_hex_line = refuse ? 6 : 0;
                unit.faults().banner = refuse ? sim_faults::banner_fault::none : sim_faults::banner_fault::missing;
            });
            rv8_worker* worker = rig.worker.get();
            QSignalSpy reset(worker, &rv8_worker::reset_progress), progress(worker, &rv8_worker::fw_progress),
                done(worker, &rv8_worker::fw_programmed);
            worker->set_rw_debug(true);
            log_capture log;
            worker->start_fw_program(test_data + "RV8_MAVO_0180.hex");
            // Without a banner the application still runs and says so; a refusing bootloader says nothing.
            QCOMPARE(outcomes(done), QList<outcome>{refuse ? outcome(FT_IO_ERROR, 0, variant_rv8_s)
                                                           : outcome(FT_IO_ERROR, 0x0175, variant_rv8_sx)});
            QCOMPARE(log.texts(QtCriticalMsg), (refuse ? QStringList{"Second byte was not ACK: 0x15", failed}
                                                       : QStringList{"Could not reset properly, no data from device: 0"}));
            QCOMPARE(firsts<int>(reset), (refuse ? QList<int>{50, 100} : QList<int>{50}));
            QCOMPARE(firsts<int>(progress), (refuse ? QList<int>{0} : QList<int>()));
            QVERIFY(rig.unit().in_bootloader() == refuse && rig.device->writes().contains("\r") == refuse);
            QVERIFY(worker->is_open()); // ready for the second attempt

            rig.device->clear_writes();
            rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults() = sim_faults(); });
            worker->start_fw_program(test_data + "RV8_MAVO_0180.hex");
            const QStringList texts = log.texts(); // tracing is back after the failure
            const QString traced = "write 0xc3050001" + QString(refuse ? "b671" : "c007");
            QVERIFY(texts.indexOf(traced, texts.indexOf(log.texts(QtCriticalMsg).last())) > 0);
            QCOMPARE(log.count("Alread in bootloader mode"), refuse ? 1 : 0);
            QCOMPARE(outcomes(done).value(1), outcome(FT_OK, 0x0180, variant_rv8_sx));
            QCOMPARE(rig.device->writes().first(), QByteArray(refuse ? "\r" : live_off));
        }
    }

    // Results are delivered queued to this thread, which drops any argument whose type is not
    // registered.
    void calls_return_at_once_run_in_order_and_results_cross_with_their_types()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_controller controller;
        rv8_worker* worker = controller.worker;
        QStringList order;
        QList<rv8_frame> frames;
        QObject receiver; // goes first, before the worker's last signals
        connect(worker, &rv8_worker::opened, &receiver, [&](QString serial, quint16 fw, rv8_variant variant) {
            order << QString("opened %1 %2 %3").arg(serial).arg(fw, 0, 16).arg(variant);
        });
        connect(worker, &rv8_worker::read_data, &receiver,
                [&](FT_STATUS s, QList<QByteArray> tables, QList<quint32> ints, QList<adc_trim> trims) {
                    order << QString("read %1: %2 tables, %3 bytes, %4 ints, variant %5, %6 trims").arg(s)
                                 .arg(tables.size()).arg(tables.value(0).size()).arg(ints.size())
                                 .arg(ints.value(int_variant)).arg(trims.size());
                });
        connect(worker, &rv8_worker::map_cal_data_ready, &receiver,
                [&](QList<quint16> samples) { order << QString("calibration %1").arg(samples.size()); });
        connect(worker, &rv8_worker::closed, &receiver, [&] { order << "closed"; });
        connect(worker, &rv8_worker::log_data_ready, &receiver, [&](rv8_frame frame) { frames << frame; });

        // Keeps the worker thread busy until released, so the calls pile up.
        QSemaphore release, blocked;
        QMetaObject::invokeMethod(worker, [&] { blocked.release(); release.acquire(); }, Qt::QueuedConnection);
        blocked.acquire();
        worker->open();
        worker->start_read();
        worker->start_map_cal();
        worker->close();
        worker->start_read(); // closed by now: fails
        QVERIFY(!device->is_open() && device->writes().isEmpty());
        release.release();
        const QString sx = QString::number(variant_rv8_sx);
        QTRY_COMPARE(order, (QStringList{"opened RV8A0001 175 " + sx,
                                         "read 0: 6 tables, 640 bytes, 41 ints, variant " + sx + ", 6 trims",
                                         "calibration 5", "closed", "read 3: 0 tables, 0 bytes, 0 ints, variant 0, 0 trims"}));
        worker->open();
        worker->start_live_logging();
        QTRY_VERIFY_WITH_TIMEOUT(!frames.isEmpty(), 10000);
        QVERIFY(frames[0].rpm > 0);
    }
};

QTEST_GUILESS_MAIN(tst_worker_requests)
#include "tst_worker_requests.moc"
