#include "device/rv8.h"
#include "sim/sim_memory.h"
#include "tests/device/virtual_bench.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QByteArray live_on = QByteArray::fromHex("C313000155" "84");
const QByteArray live_off = QByteArray::fromHex("C313000100D1");
const QByteArray map_sample = QByteArray::fromHex("C3050001A265");
const QByteArray version_query = QByteArray::fromHex("C3050001B671");
const QByteArray variant_query = QByteArray::fromHex("C3050001C106");
}

// The worker's requests other than live logging, run in this thread against a virtual unit.
class tst_worker_requests : public QObject {
    Q_OBJECT

    virtual_bench* bench = nullptr;
    std::shared_ptr<virtual_device> device;
    rv8_worker* worker = nullptr;

    template <typename F>
    void inject(F&& f) { configure(device, std::forward<F>(f)); }

    // Live logging with a unit that sends nothing on its own, so queues stay predictable.
    void start_quiet_logging()
    {
        worker->start_live_logging();
        QVERIFY(worker->is_logging());
        device->clear_writes();
    }

private slots:
    void initTestCase() { register_model_meta_types(); }

    void init()
    {
        bench = new virtual_bench;
        sim_config config;
        config.live_period_ms = 1e9;
        device = bench->add_unit("RV8A0001", config);
        worker = new rv8_worker;
        worker->open();
        QVERIFY(worker->is_open());
        device->clear_writes();
    }

    void cleanup()
    {
        delete worker;
        device.reset();
        delete bench;
    }

    void override_sends_the_duty_big_endian()
    {
        log_capture log;
        worker->set_override(tbl_main, 0x01F4);
        QCOMPARE(device->writes(), QList<QByteArray>{QByteArray::fromHex("C3020002" "01F4" "36")});
        QCOMPARE(bench->unit().override_duty(sim_memory::main), 0x01F4);
        QVERIFY(log.has(QtWarningMsg, "Override MAIN duty table to 500"));

        device->clear_writes();
        worker->set_override(tbl_aux, 0x0123);
        worker->set_override(tbl_gpo1, 0x03FF);
        worker->set_override(tbl_gpo2, 0);
        QCOMPARE(device->writes(), (QList<QByteArray>{QByteArray::fromHex("C30100020123E2"),
                                                      QByteArray::fromHex("C304000203FF39"),
                                                      QByteArray::fromHex("C30600020000C7")}));
    }

    void outputs_without_an_override_send_nothing()
    {
        log_capture log;
        worker->set_override(tbl_wide_band, 100);
        worker->set_override(tbl_afr, 100);
        worker->reset_override(tbl_wide_band);
        QVERIFY(device->writes().isEmpty());
        QVERIFY(log.has(QtCriticalMsg, "Case 4 Not handled"));
        QVERIFY(log.has(QtCriticalMsg, "Case 5 Not handled"));
        QCOMPARE(log.count("Case 4 Not handled"), 2);
    }

    void reset_numbers_the_outputs_main_first()
    {
        log_capture log;
        worker->reset_override(tbl_aux);
        worker->reset_override(tbl_main);
        worker->reset_override(tbl_gpo1);
        worker->reset_override(tbl_gpo2);
        QCOMPARE(device->writes(),
                 (QList<QByteArray>{QByteArray::fromHex("C308000102C8"), QByteArray::fromHex("C308000101CB"),
                                    QByteArray::fromHex("C308000103C9"), QByteArray::fromHex("C308000104CE")}));
        QVERIFY(log.has(QtWarningMsg, "Reset override on GPO1 duty table"));
    }

    void override_pauses_logging_and_resumes_only_after_success()
    {
        start_quiet_logging();
        QSignalSpy started(worker, &rv8_worker::log_started);
        QSignalSpy stopped(worker, &rv8_worker::log_stopped);
        worker->set_override(tbl_main, 0x0200);
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(started.count(), 1);
        QVERIFY(worker->is_logging());
        const QList<QByteArray> writes = device->writes();
        QCOMPARE(writes.size(), 3);
        QCOMPARE(writes[0], live_off);
        QCOMPARE(writes[1], QByteArray::fromHex("C30200020200C1"));
        QCOMPARE(writes[2], live_on);

        log_capture log;
        // Six: the reply to the stream-off frame of the pause takes the first.
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 6; });
        worker->reset_override(tbl_main);
        QVERIFY(log.has(QtCriticalMsg, "Cannot reset override for MAIN duty table"));
        QVERIFY(!worker->is_logging());
        QCOMPARE(started.count(), 1);
    }

    void map_calibration_takes_five_samples()
    {
        QSignalSpy ready(worker, &rv8_worker::map_cal_data_ready);
        worker->start_map_cal();
        QCOMPARE(ready.count(), 1);
        const auto samples = ready[0][0].value<QList<quint16>>();
        QCOMPARE(samples.size(), 5);
        for (quint16 s : samples)
            QVERIFY2(s > 200 && s < 260, qPrintable(QString::number(s))); // atmosphere, a little noise
        QCOMPARE(device->writes(), QList<QByteArray>() << map_sample << map_sample << map_sample << map_sample
                                                       << map_sample);
    }

    void failed_map_calibration_emits_nothing_and_leaves_logging_stopped()
    {
        start_quiet_logging();
        log_capture log;
        QSignalSpy ready(worker, &rv8_worker::map_cal_data_ready);
        // The reply to the stream-off frame of the pause takes the first.
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 2; });
        worker->start_map_cal();
        QCOMPARE(ready.count(), 0);
        QVERIFY(log.has(QtCriticalMsg, "Cannot read from device..."));
        QVERIFY(!worker->is_logging());
        QVERIFY(!device->writes().contains(live_on));

        worker->close();
        log.clear();
        worker->start_map_cal();
        QVERIFY(log.has(QtCriticalMsg, "Device not open..."));
        QCOMPARE(ready.count(), 0);
    }

    void failed_read_reports_the_status_and_empty_lists()
    {
        QSignalSpy read(worker, &rv8_worker::read_data);
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_table_checksum = 2; });
        worker->start_read();
        QCOMPARE(read.count(), 1);
        QCOMPARE(read[0][0].value<FT_STATUS>(), FT_STATUS(FT_IO_ERROR)); // the table checksum
        QVERIFY(read[0][1].value<QList<QByteArray>>().isEmpty());
        QVERIFY(read[0][2].value<QList<quint32>>().isEmpty());
        QVERIFY(read[0][3].value<QList<adc_trim>>().isEmpty());

        inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_table_checksum = -1; });
        worker->start_read();
        QCOMPARE(read.count(), 2);
        QCOMPARE(read[1][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        QCOMPARE(read[1][1].value<QList<QByteArray>>()[tbl_gpo1], bench->unit().memory().tables[2]);
    }

    void read_and_write_resume_logging_in_every_case()
    {
        start_quiet_logging();
        QSignalSpy started(worker, &rv8_worker::log_started);
        QSignalSpy wrote(worker, &rv8_worker::wrote_data);
        // The reply to the stream-off frame of the pause takes the first.
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 2; });
        worker->start_read();
        QCOMPARE(started.count(), 1);
        QVERIFY(worker->is_logging());

        worker->add_field_to_var(quint32(0x22), int_pump_prime_delay);
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 6; });
        worker->start_write();
        QCOMPARE(wrote.count(), 1);
        QCOMPARE(wrote[0][0].value<FT_STATUS>(), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(started.count(), 2);
        QVERIFY(worker->is_logging());
    }

    void saving_reports_its_outcome()
    {
        QTemporaryDir dir;
        QSignalSpy saved(worker, &rv8_worker::wrote_file);
        worker->add_field_to_var(quint32(3), int_main_mode);
        const QString good = dir.filePath("unit.bnini");
        worker->vars_to_file(good);
        QCOMPARE(saved.count(), 1);
        QCOMPARE(saved[0][0].toString(), good);
        QCOMPARE(saved[0][1].toBool(), true);
        QCOMPARE(saved[0][2].toString(), QString());
        QVERIFY(QFile::exists(good));

        QFile plain(dir.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString nowhere = dir.filePath("plain/unit.bnini");
        worker->vars_to_file(nowhere);
        QCOMPARE(saved.count(), 2);
        QCOMPARE(saved[1][0].toString(), nowhere);
        QCOMPARE(saved[1][1].toBool(), false);
        QCOMPARE(saved[1][2].toString(), "Not a folder: " + dir.filePath("plain"));

        worker->vars_to_file(dir.path()); // a folder where the file should be
        QCOMPARE(saved[2][1].toBool(), false);
        QCOMPARE(saved[2][2].toString(), QString("Is a folder"));
    }

    void opening_a_file_keeps_the_connected_units_variant()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("s.bnini");
        worker->add_field_to_var(quint32(variant_rv8_s), int_variant);
        worker->add_field_to_var(quint32(7), int_gpo2_mode);
        worker->vars_to_file(path);
        device->clear_writes();

        QSignalSpy read(worker, &rv8_worker::read_file);
        worker->file_to_vars_to_field(path);
        QCOMPARE(read.count(), 1);
        QCOMPARE(read[0][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        const auto ints = read[0][2].value<QList<quint32>>();
        QCOMPARE(ints[int_gpo2_mode], quint32(7));
        QCOMPARE(ints[int_variant], quint32(variant_rv8_sx)); // the unit answers as an RV8-SX
        QCOMPARE(device->writes(), (QList<QByteArray>{version_query, variant_query}));
        QVERIFY(!read[0][4].value<QList<QString>>().isEmpty()); // tables and most ints are missing

        worker->file_to_vars_to_field(dir.filePath("none.bnini"));
        QCOMPARE(read.count(), 1);
    }

    void recall_finds_the_nearest_sample()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("r.bnlog");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray zeros = QByteArray(",0").repeated(30);
        file.write("1000,1" + zeros + "\r\n1010,2" + zeros + "\r\n1100,3" + zeros + "\r\n");
        file.close();
        worker->parse_log_file(path);
        QSignalSpy recalled(worker, &rv8_worker::recall_data_ready);
        worker->recall_frame_at(QPointF(1004.9, 12.0));
        worker->recall_frame_at(QPointF(1099.0, 0.0));
        worker->recall_frame_at(QPointF(5000.0, 0.0));
        QCOMPARE(recalled.count(), 3);
        QCOMPARE(recalled[0][0].value<rv8_frame>().batt_adc, quint16(1));
        QCOMPARE(recalled[1][0].value<rv8_frame>().batt_adc, quint16(3));
        QCOMPARE(recalled[2][0].value<rv8_frame>(), rv8_frame());
    }
};

QTEST_GUILESS_MAIN(tst_worker_requests)
#include "tst_worker_requests.moc"
