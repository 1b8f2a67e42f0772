#include "tests/device/tst_worker_rig.h"

#include <QTemporaryDir>

namespace {

using namespace wire;
const QByteArray enter_bootloader = QByteArray::fromHex("C3050001C007");
const QByteArray extended_address(":020000040000FA\r");
const char* const failed_text = "Programming failed! Reset the board, check connections/power, and try again.";

QString sample(const char* name)
{
    const QString data = qEnvironmentVariable("BRENNIX_TEST_DATA", QFileInfo(__FILE__).absolutePath() + "/../data");
    return data + "/" + name;
}

QByteArray read_all(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// The ':' and '|' lines of an image as the worker must send them.
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
QByteArray wide_record()
{
    QByteArray wide = ":1A0150000102030405060708090A0B0C0D0E0F101112131415161718191A";
    quint8 sum = 0;
    for (int i = 1; i < wide.size(); i += 2)
        sum += quint8(wide.mid(i, 2).toUInt(nullptr, 16));
    return wide + QByteArray::number(quint8(-sum), 16).rightJustified(2, '0').toUpper();
}

} // namespace

// Programming firmware through the virtual unit's bootloader, which checks every record.
class tst_firmware : public QObject {
    Q_OBJECT

    std::unique_ptr<worker_rig> rig;
    rv8_worker* worker = nullptr;
    std::shared_ptr<virtual_device> device;
    QTemporaryDir* dir = nullptr;

    // The sample image without its address record, with a comment, a blank line, a record padded
    // past 63 characters and CRLF endings: 27 lines in all.
    QString hand_made_image()
    {
        QList<QByteArray> lines = read_all(sample("RV8_MAVO_0180.hex")).split('\n');
        lines.removeFirst();
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        lines.insert(3, wide_record() + "   ; padding beyond the limit");
        lines.insert(1, "; produced by hand");
        lines.insert(5, "");
        QByteArray text;
        for (const QByteArray& line : lines)
            text += line + "\r\n";
        const QString path = dir->filePath("RV8_MAVO_hand.hex");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        return path;
    }

private slots:
    void init()
    {
        rig.reset(new worker_rig);
        worker = rig->worker.get();
        device = rig->device;
        dir = new QTemporaryDir;
    }

    void cleanup()
    {
        device.reset();
        rig.reset();
        delete dir;
    }

    void the_sample_image_installs_its_version()
    {
        const QString image = sample("RV8_MAVO_0180.hex");
        QSignalSpy reset(worker, &rv8_worker::reset_progress);
        QSignalSpy progress(worker, &rv8_worker::fw_progress);
        QSignalSpy opened(worker, &rv8_worker::opened);
        QSignalSpy done(worker, &rv8_worker::fw_programmed);
        worker->set_rw_debug(true);
        log_capture log;
        worker->start_fw_program(image);

        QCOMPARE(done.count(), 1);
        QCOMPARE(done[0][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        QCOMPARE(done[0][1].value<quint16>(), quint16(0x0180));
        QCOMPARE(done[0][2].value<rv8_variant>(), variant_rv8_sx);
        QCOMPARE(rig->unit().fw_version(), quint16(0x0180));
        QVERIFY(!rig->unit().in_bootloader());
        QCOMPARE(firsts<int>(reset), (QList<int>{50, 100}));
        QCOMPARE(firsts<int>(progress), (QList<int>{0, 40, 80, 100})); // 25 lines
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][1].value<quint16>(), quint16(0)); // the bootloader

        // The image starts with the address record: it is not sent twice.
        QList<QByteArray> expected{live_off, enter_bootloader, "\r"};
        expected << sent_lines(read_all(image)) << version_query << variant_query;
        QCOMPARE(device->writes(), expected);
        QVERIFY(log.has(QtDebugMsg, "Programming completed!"));
        // Tracing is off for the image's lines only.
        QVERIFY(log.has(QtDebugMsg, "write 0xc3050001c007"));
        QVERIFY(!log.contains_text("write 0x3a"));
        QVERIFY(log.has(QtDebugMsg, "write 0xc3050001b671"));
    }

    void bar_lines_get_no_address_record()
    {
        const QString image = sample("RV8_MAVO_0181.bnhex");
        QSignalSpy done(worker, &rv8_worker::fw_programmed);
        worker->start_fw_program(image);
        QCOMPARE(done[0][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        QCOMPARE(done[0][1].value<quint16>(), quint16(0x0181));
        const QList<QByteArray> writes = device->writes();
        QCOMPARE(writes.mid(3, writes.size() - 5), sent_lines(read_all(image)));
        QVERIFY(!writes.contains(extended_address));
    }

    void lines_are_cut_skipped_and_counted()
    {
        const QString image = hand_made_image();
        QSignalSpy progress(worker, &rv8_worker::fw_progress);
        QSignalSpy done(worker, &rv8_worker::fw_programmed);
        worker->start_fw_program(image);
        QCOMPARE(done[0][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        QCOMPARE(done[0][1].value<quint16>(), quint16(0x0180));
        QCOMPARE(firsts<int>(progress), (QList<int>{0, 37, 74, 100})); // lines 10 and 20 of 27

        const QList<QByteArray> writes = device->writes();
        QCOMPARE(writes.count(extended_address), 1);
        QCOMPARE(writes[3], extended_address); // before the first record, which is a data record
        const QList<QByteArray> records = writes.mid(4, writes.size() - 6);
        QCOMPARE(records.size(), 24 + 1);
        for (const QByteArray& r : records) {
            QVERIFY2(r.size() <= 64 && r.endsWith('\r') && r.startsWith(':'), r.constData());
        }
        QCOMPARE(records[3], wide_record() + "\r");
    }

    void a_refused_line_leaves_the_bootloader_ready_for_another_try()
    {
        worker->set_rw_debug(true);
        rig->inject([](sim_unit& unit, virtual_faults&) { unit.faults().refuse_hex_line = 6; });
        QSignalSpy progress(worker, &rv8_worker::fw_progress);
        QSignalSpy done(worker, &rv8_worker::fw_programmed);
        log_capture log;
        worker->start_fw_program(sample("RV8_MAVO_0180.hex"));
        QCOMPARE(done.count(), 1);
        QCOMPARE(done[0][0].value<FT_STATUS>(), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(done[0][1].value<quint16>(), quint16(0));
        QCOMPARE(done[0][2].value<rv8_variant>(), variant_rv8_s);
        QVERIFY(log.has(QtCriticalMsg, "Second byte was not ACK: 0x15"));
        QVERIFY(log.has(QtCriticalMsg, failed_text));
        QCOMPARE(firsts<int>(progress), QList<int>{0});
        QVERIFY(rig->unit().in_bootloader());
        QVERIFY(worker->is_open());
        QVERIFY(log.has(QtDebugMsg, "write 0xc3050001b671")); // tracing back after a failure

        device->clear_writes();
        log.clear();
        worker->start_fw_program(sample("RV8_MAVO_0180.hex"));
        QVERIFY(log.has(QtDebugMsg, "Alread in bootloader mode"));
        QCOMPARE(done.count(), 2);
        QCOMPARE(done[1][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        QCOMPARE(done[1][1].value<quint16>(), quint16(0x0180));
        QCOMPARE(device->writes().first(), QByteArray("\r"));
    }

    void a_unit_that_does_not_restart_gets_no_transfer()
    {
        rig->inject([](sim_unit& unit, virtual_faults&) { unit.faults().banner = sim_faults::banner_fault::missing; });
        QSignalSpy reset(worker, &rv8_worker::reset_progress);
        QSignalSpy progress(worker, &rv8_worker::fw_progress);
        QSignalSpy done(worker, &rv8_worker::fw_programmed);
        log_capture log;
        worker->start_fw_program(sample("RV8_MAVO_0180.hex"));
        QVERIFY(log.has(QtCriticalMsg, "Could not reset properly, no data from device: 0"));
        QCOMPARE(done.count(), 1);
        QCOMPARE(done[0][0].value<FT_STATUS>(), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(done[0][1].value<quint16>(), quint16(0));
        QCOMPARE(done[0][2].value<rv8_variant>(), variant_rv8_s);
        QCOMPARE(firsts<int>(reset), QList<int>{50});
        QCOMPARE(progress.count(), 0);
        QVERIFY(!device->writes().contains("\r"));
    }

    void files_that_cannot_be_sent()
    {
        log_capture log;
        QCOMPARE(worker->program_fw(QString()), FT_STATUS(FT_OTHER_ERROR));
        QVERIFY(log.has(QtCriticalMsg, "FW location empty"));
        const QString missing = dir->filePath("RV8_MAVO_none.hex");
        QCOMPARE(worker->program_fw(missing), FT_STATUS(FT_OTHER_ERROR));
        QVERIFY(log.has(QtCriticalMsg, "Unable to open file " + missing + " : No such file or directory"));
        QVERIFY(device->writes().isEmpty());

        worker->close();
        QCOMPARE(worker->program_fw(sample("RV8_MAVO_0180.hex")), FT_STATUS(FT_DEVICE_NOT_OPENED));
        QCOMPARE(worker->write_fw_line(extended_address), FT_STATUS(FT_DEVICE_NOT_OPENED));
    }
};

QTEST_GUILESS_MAIN(tst_firmware)
#include "tst_firmware.moc"
