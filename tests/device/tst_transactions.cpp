#include "device/rv8.h"
#include "tests/device/virtual_bench.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QByteArray version_query = QByteArray::fromHex("C3050001B671");
}

// Each case opens a fresh unit, provokes one failure and checks the status, the message and
// whether the link survived.
class tst_transactions : public QObject {
    Q_OBJECT

    virtual_bench* bench = nullptr;
    std::shared_ptr<virtual_device> device;
    rv8_worker* worker = nullptr;

    template <typename F>
    void inject(F&& f) { configure(device, std::forward<F>(f)); }

    FT_STATUS query_version(QByteArray& ret)
    {
        QByteArray msg = version_query;
        return worker->get_param(msg, ret, 2);
    }

private slots:
    void init()
    {
        bench = new virtual_bench;
        device = bench->add_unit();
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

    void get_param_returns_only_the_data()
    {
        QByteArray ret;
        QByteArray reset = QByteArray::fromHex("C3050001B770");
        QCOMPARE(worker->get_param(reset, ret, 0), FT_STATUS(FT_OK));
        QVERIFY(ret.isEmpty());

        // Bytes past the expected length stay queued until the next exchange purges them.
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().extra_after_command = QByteArray::fromHex("3c05fa9999"); });
        QCOMPARE(query_version(ret), FT_STATUS(FT_OK));
        QCOMPARE(ret.toHex(), QByteArray("0175"));
        QTest::qWait(20);
        QCOMPARE(query_version(ret), FT_STATUS(FT_OK));
        QCOMPARE(ret.toHex(), QByteArray("0175"));
    }

    void closed_link_touches_no_driver()
    {
        worker->close();
        device->clear_writes();
        QByteArray ret("stale");
        QCOMPARE(query_version(ret), FT_STATUS(FT_DEVICE_NOT_OPENED));
        QVERIFY(ret.isEmpty());
        QByteArray payload(1, char(0x55));
        QCOMPARE(worker->set_param(msg_live_log, payload), FT_STATUS(FT_DEVICE_NOT_OPENED));
        QVERIFY(device->writes().isEmpty());
    }

    void driver_failures_data()
    {
        QTest::addColumn<bool>("typed");
        QTest::addColumn<int>("call");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("stays_open");
        const QString purge = "Cannot purge Rx/Tx buffers, disconnecting";
        const QString queue = "Cannot get queue status, disconnecting";
        const QString read = "Could not read from device";
        QTest::newRow("get purge") << false << int(d2xx_call::purge) << 4 << purge << false;
        QTest::newRow("get write") << false << int(d2xx_call::write) << 10 << "Cannot write command to device. msg=c3050001b671" << true;
        QTest::newRow("get queue status") << false << int(d2xx_call::queue_status) << 4 << queue << false;
        QTest::newRow("get read") << false << int(d2xx_call::read) << 4 << read << false;
        QTest::newRow("set purge") << true << int(d2xx_call::purge) << 4 << purge << false;
        QTest::newRow("set write") << true << int(d2xx_call::write) << 10 << "Cannot write msg c302000201" << false;
        QTest::newRow("set queue status") << true << int(d2xx_call::queue_status) << 4 << queue << false;
        QTest::newRow("set read") << true << int(d2xx_call::read) << 4 << read << false;
    }

    void driver_failures()
    {
        QFETCH(bool, typed);
        QFETCH(int, call);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(bool, stays_open);
        inject([&](sim_unit&, virtual_faults& f) { f.fail(d2xx_call(call), FT_STATUS(status)); });
        QSignalSpy closed(worker, &rv8_worker::closed);
        log_capture log;
        QByteArray ret("stale");
        QByteArray duty = QByteArray::fromHex("01F4");
        const FT_STATUS result = typed ? worker->set_param(msg_override_main, duty) : query_version(ret);
        QCOMPARE(result, FT_STATUS(status));
        QVERIFY2(log.has(QtCriticalMsg, message), qPrintable(log.texts().join(" | ")));
        QCOMPARE(worker->is_open(), stays_open);
        QCOMPARE(closed.count(), stays_open ? 0 : 1);
        if (!typed)
            QVERIFY(ret.isEmpty());
    }

    void short_writes()
    {
        inject([](sim_unit&, virtual_faults& f) { f.short_writes = 2; });
        log_capture log;
        QByteArray ret;
        QCOMPARE(query_version(ret), FT_STATUS(FT_IO_ERROR));
        QVERIFY(log.has(QtCriticalMsg, "Could not write all data to device"));
        QVERIFY(ret.isEmpty());
        QByteArray duty = QByteArray::fromHex("01F4");
        QCOMPARE(worker->set_param(msg_override_main, duty), FT_STATUS(FT_IO_ERROR));
        QVERIFY(log.has(QtCriticalMsg, "Could not write all data to device. msg length=2  bytes sent=6"));
        QVERIFY(worker->is_open());
    }

    void short_read_keeps_the_link()
    {
        inject([](sim_unit&, virtual_faults& f) { f.short_reads = 1; });
        log_capture log;
        QByteArray ret;
        QCOMPARE(query_version(ret), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(log.texts(QtCriticalMsg), QStringList{"Did not read out the expected number of bytes: exp_bytes=5, read bytes=4"});
        QVERIFY(log.has(QtWarningMsg, "Could not read msg c3050001b6...(exp 2)"));
        QVERIFY(ret.isEmpty());
        QVERIFY(worker->is_open());
    }

    void late_reply_times_out_without_closing()
    {
        inject([](sim_unit& unit, virtual_faults&) {
            unit.faults().late_replies = 1;
            unit.faults().late_by_ms = 2600;
        });
        log_capture log;
        QElapsedTimer waited;
        waited.start();
        QByteArray ret;
        QCOMPARE(query_version(ret), FT_STATUS(FT_OTHER_ERROR));
        QVERIFY(waited.elapsed() >= 1900); // the wait is about two seconds, never shorter
        QVERIFY(log.has(QtWarningMsg, "Timed out waiting for FW to respond: exp_bytes=5, bytes available=0"));
        QVERIFY(log.has(QtWarningMsg, "Could not read msg c3050001b6...(exp 2)"));
        QVERIFY(ret.isEmpty());
        QVERIFY(worker->is_open());
    }

    void get_param_fails_at_once_on_a_wrong_header()
    {
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 1; });
        log_capture log;
        QByteArray ret;
        QCOMPARE(query_version(ret), FT_STATUS(FT_OTHER_ERROR));
        QVERIFY(log.has(QtCriticalMsg, "get_param: Did not receive valid return msg header: 0x3c0505"));
        QVERIFY(ret.isEmpty());
        QCOMPARE(device->writes().size(), 1);
        QVERIFY(worker->is_open());
    }

    void set_param_retries_wrong_headers()
    {
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 2; });
        log_capture log;
        QByteArray duty = QByteArray::fromHex("01F4");
        QCOMPARE(worker->set_param(msg_override_main, duty), FT_STATUS(FT_OK));
        const QByteArray frame = QByteArray::fromHex("C302000201F4") + char(0xC3 ^ 0x02 ^ 0x02 ^ 0x01 ^ 0xF4);
        QCOMPARE(device->writes(), (QList<QByteArray>{frame, frame, frame}));
        QCOMPARE(log.count("Did not receive valid return msg header. ret=0x3c0202 exp=0x3c02fd. Will retry..."), 2);
        QCOMPARE(log.count("Retry successful!"), 1);
    }

    void set_param_gives_up_after_five_wrong_headers()
    {
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 5; });
        log_capture log;
        QByteArray payload(1, char(1));
        QCOMPARE(worker->set_param(msg_reset_override, payload), FT_STATUS(FT_IO_ERROR));
        const QByteArray frame = QByteArray::fromHex("C308000101CB");
        QCOMPARE(device->writes(), (QList<QByteArray>{frame, frame, frame, frame, frame}));
        QVERIFY(log.has(QtCriticalMsg, "Could not write message to device, there seems to be a problem with your USB "
                                       "cable. Suggest you replace your USB cable with one that has a ferrite bead on "
                                       "the device-end (google 'ferrite bead')"));
        QCOMPARE(log.count("Retry successful!"), 0);
        QVERIFY(worker->is_open());
    }

    void set_param_does_not_retry_a_missing_reply()
    {
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().drop_replies = 1; });
        log_capture log;
        QByteArray duty = QByteArray::fromHex("0123");
        QCOMPARE(worker->set_param(msg_override_gpo1, duty), FT_STATUS(FT_OTHER_ERROR));
        QVERIFY(log.has(QtWarningMsg, "Could not get return code for msg 0123"));
        QCOMPARE(device->writes().size(), 1);
        QVERIFY(worker->is_open());
    }
};

QTEST_GUILESS_MAIN(tst_transactions)
#include "tst_transactions.moc"
