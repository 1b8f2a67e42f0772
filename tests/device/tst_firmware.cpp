#include "tests/device/tst_worker_rig.h"


namespace {

using namespace wire;
const QByteArray extended_address(":020000040000FA\r");
using outcome = std::tuple<FT_STATUS, quint16, rv8_variant>;

const QString samples = qEnvironmentVariable("BRENNIX_TEST_DATA", QFileInfo(__FILE__).path() + "/../data") + "/";

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

// Programming firmware through the virtual unit's bootloader, which checks every record.
class tst_firmware : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void images_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<QList<int>>("progress");
        QTest::addColumn<int>("version");
        const QString hex_file = samples + "RV8_MAVO_0180.hex", bar_file = samples + "RV8_MAVO_0181.bnhex";
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
        QCOMPARE(rig.worker->program_fw(samples + "RV8_MAVO_0180.hex"), FT_STATUS(FT_DEVICE_NOT_OPENED));
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
            worker->start_fw_program(samples + "RV8_MAVO_0180.hex");
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
            worker->start_fw_program(samples + "RV8_MAVO_0180.hex");
            const QStringList texts = log.texts(); // tracing is back after the failure
            const QString traced = "write 0xc3050001" + QString(refuse ? "b671" : "c007");
            QVERIFY(texts.indexOf(traced, texts.indexOf(log.texts(QtCriticalMsg).last())) > 0);
            QCOMPARE(log.count("Alread in bootloader mode"), refuse ? 1 : 0);
            QCOMPARE(outcomes(done).value(1), outcome(FT_OK, 0x0180, variant_rv8_sx));
            QCOMPARE(rig.device->writes().first(), QByteArray(refuse ? "\r" : live_off));
        }
    }
};

QTEST_GUILESS_MAIN(tst_firmware)
#include "tst_firmware.moc"
