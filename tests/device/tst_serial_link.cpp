// The worker talking to a virtual unit through the serial provider and a pseudo-terminal:
// termios, the kernel's tty buffers and the unit's own timing all take part.

#include "device/d2xx/d2xx_registry.h"
#include "device/d2xx/hotplug_watcher.h"
#include "device/d2xx/serial_provider.h"
#include "device/rv8.h"
#include "model/rv8_vars.h"
#include "tests/device/tst_serial_unit.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

const QString unit_serial = QStringLiteral("PTY00001");
}

class tst_serial_link : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void opens_and_identifies_data();
    void opens_and_identifies();
    void other_ports_are_not_opened();
    void read_commands_return_the_units_memory();
    void settings_read_and_write_complete();
    void live_records_stream_whole_and_stop();
    void stale_bytes_are_purged_before_a_request();
    void unplug_between_requests_closes_the_link();
    void unplug_during_a_wait_closes_the_link();
    void unplug_while_streaming_closes_the_link();
    void hotplug_codes_reach_the_worker();

private:
    void serve(sim_config config = {});
    void open_worker();

    serial_provider provider {false};
    std::unique_ptr<pty_unit> pty;
    std::unique_ptr<rv8_worker> worker;
};

void tst_serial_link::initTestCase()
{
    d2xx_registry::instance().add_provider(&provider);
}

void tst_serial_link::init()
{
    worker = std::make_unique<rv8_worker>();
}

void tst_serial_link::cleanup()
{
    worker.reset();
    if (pty)
        provider.remove_port(pty->path());
    pty.reset();
}

void tst_serial_link::serve(sim_config config)
{
    pty = std::make_unique<pty_unit>(config);
    QVERIFY(pty->ok());
    provider.add_port(pty->path(), QStringLiteral("KIRRA 3"), unit_serial);
}

void tst_serial_link::open_worker()
{
    QSignalSpy opened(worker.get(), &rv8_worker::opened);
    worker->open();
    QCOMPARE(opened.size(), 1);
    QVERIFY(worker->is_open());
}

void tst_serial_link::opens_and_identifies_data()
{
    QTest::addColumn<quint16>("version");
    QTest::addColumn<quint8>("variant_byte");
    QTest::addColumn<int>("variant");
    QTest::newRow("RV8-SX 1.75") << quint16(0x0175) << quint8(0xAA) << int(variant_rv8_sx);
    QTest::newRow("RV8-S 2.01") << quint16(0x0201) << quint8(0x55) << int(variant_rv8_s);
}

void tst_serial_link::opens_and_identifies()
{
    QFETCH(quint16, version);
    QFETCH(quint8, variant_byte);
    QFETCH(int, variant);
    sim_config config;
    config.fw_version = version;
    config.variant_byte = variant_byte;
    serve(config);

    DWORD count = 0;
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_OK);
    QCOMPARE(count, DWORD(1));
    FT_DEVICE_LIST_INFO_NODE node {};
    QCOMPARE(FT_GetDeviceInfoList(&node, &count), FT_OK);
    QCOMPARE(QByteArray(node.Description), QByteArray("KIRRA 3"));
    QCOMPARE(QByteArray(node.SerialNumber), unit_serial.toLatin1());

    QSignalSpy opened(worker.get(), &rv8_worker::opened);
    QSignalSpy closed(worker.get(), &rv8_worker::closed);
    worker->open();
    QCOMPARE(closed.size(), 0);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened[0][0].toString(), unit_serial);
    QCOMPARE(opened[0][1].value<quint16>(), version);
    QCOMPARE(int(opened[0][2].value<rv8_variant>()), variant);
}

void tst_serial_link::other_ports_are_not_opened()
{
    serve();
    provider.add_port(pty->path(), QStringLiteral("FT232R USB UART"), unit_serial);
    QSignalSpy opened(worker.get(), &rv8_worker::opened);
    QSignalSpy closed(worker.get(), &rv8_worker::closed);
    worker->open();
    QCOMPARE(opened.size(), 0);
    QCOMPARE(closed.size(), 1);
    QVERIFY(!worker->is_open());
}

void tst_serial_link::read_commands_return_the_units_memory()
{
    serve();
    open_worker();
    sim_memory memory;
    pty->in_host([&] { memory = pty->unit.memory(); });
    const struct {
        const char* frame;
        unsigned long length;
        QByteArray expected;
    } reads[] = {
        {"C3050001B374", 1, QByteArray(1, char(memory.gpi1_state))},
        {"C3050001B473", 1, QByteArray(1, char(memory.gpi2_state))},
        {"C3050001B87F", 3, memory.rpm_scaler},
        {"C3050001BB7C", 2, memory.pump_prime_delay},
        {"C3050001BD7A", 38, memory.io_modes},
        {"C3050001BF78", 28, memory.map_cal},
        {"C3050001A86F", 640, memory.tables[sim_memory::aux]},
        {"C3050001A96E", 640, memory.tables[sim_memory::main]},
        {"C3050001AA6D", 640, memory.tables[sim_memory::gpo1]},
        {"C3050001AB6C", 640, memory.tables[sim_memory::gpo2]},
    };
    for (const auto& read : reads) {
        QByteArray msg = hex(read.frame);
        QByteArray reply;
        QCOMPARE(worker->get_param(msg, reply, read.length), FT_OK);
        QCOMPARE(reply.toHex(), read.expected.toHex());
    }
}

void tst_serial_link::settings_read_and_write_complete()
{
    serve();
    open_worker();
    sim_memory before;
    pty->in_host([&] { before = pty->unit.memory(); });

    rv8_vars vars(worker.get());
    QCOMPARE(vars.rv8_to_vars(), FT_OK);
    QList<QByteArray> tables;
    QList<unsigned int> ints;
    QList<adc_trim> trims;
    vars.get(tables, ints, trims);
    // Every setting the unit stores pending again: each kind of write message goes out.
    for (table_index t : {tbl_aux, tbl_main, tbl_gpo1, tbl_gpo2})
        vars.set(tables[t], t);
    QList<int_index> settings {int_rpm_scaler, int_pump_prime_delay};
    for (int i = int_main_mode; i <= int_active_deadband; ++i)
        settings << int_index(i);
    for (int i = int_gpi1_act_delay; i <= int_gpi2_deact_delay; ++i)
        settings << int_index(i);
    for (int_index i : settings)
        vars.set(ints[i], i);
    vars.set(0x0123u, int_pump_prime_delay);
    log_capture log;
    worker->set_rw_debug(true);
    QCOMPARE(vars.vars_to_rv8(), FT_OK);
    for (const char* type : {"0a", "0b", "0c", "0d", "0e", "07", "15", "16", "17"}) {
        const QString sent = QStringLiteral("write 0xc3") + QLatin1String(type);
        QCOMPARE(log.texts(QtDebugMsg).filter(QRegularExpression('^' + QRegularExpression::escape(sent))).size(), 1);
    }

    sim_memory after;
    pty->in_host([&] { after = pty->unit.memory(); });
    QCOMPARE(after.pump_prime_delay.toHex(), QByteArray("0123"));
    for (int t = 0; t < 4; ++t)
        QCOMPARE(after.tables[t].toHex(), before.tables[t].toHex());
    // Unprogrammed delays (all ones) come back as 0 once the program has written them.
    QByteArray io_modes = before.io_modes;
    for (int at = sim_memory::io_gpi1_act_delay; at <= sim_memory::io_gpi2_deact_delay; at += 2)
        if (io_modes.mid(at, 2) == hex("ffff"))
            io_modes.replace(at, 2, hex("0000"));
    QCOMPARE(after.io_modes.toHex(), io_modes.toHex());
    QCOMPARE(after.map_cal.toHex(), before.map_cal.toHex());
    QCOMPARE(after.rpm_scaler.toHex(), before.rpm_scaler.toHex());
}

void tst_serial_link::live_records_stream_whole_and_stop()
{
    sim_config config;
    config.live_period_ms = 2;
    serve(config);
    open_worker();
    log_capture log;
    QSignalSpy records(worker.get(), &rv8_worker::log_data_ready);
    worker->start_live_logging();
    QTRY_VERIFY(records.size() >= 20);
    QVERIFY(log.texts(QtWarningMsg).isEmpty());
    QVERIFY(log.texts(QtCriticalMsg).isEmpty());
    for (const QList<QVariant>& record : records)
        QVERIFY(record[0].value<rv8_frame>().batt_adc > 0);

    worker->stop_live_logging(true);
    bool streaming = true;
    pty->in_host([&] { streaming = pty->unit.streaming(); });
    QVERIFY(!streaming);
    // Nothing of the stream is left to be taken for the reply.
    QByteArray msg = hex("C3050001B671");
    QByteArray reply;
    QCOMPARE(worker->get_param(msg, reply, 2), FT_OK);
    QCOMPARE(reply.toHex(), QByteArray("0175"));
}

void tst_serial_link::stale_bytes_are_purged_before_a_request()
{
    serve();
    open_worker();
    pty->in_host([&] { pty->unit.faults().extra_after_command = hex("3c05fa99990000"); });
    QByteArray msg = hex("C3050001B671");
    QByteArray reply;
    QCOMPARE(worker->get_param(msg, reply, 2), FT_OK);
    QCOMPARE(reply.toHex(), QByteArray("0175"));
    msg = hex("C3050001C106");
    QCOMPARE(worker->get_param(msg, reply, 1), FT_OK);
    QCOMPARE(reply.toHex(), QByteArray("aa"));
}

void tst_serial_link::unplug_between_requests_closes_the_link()
{
    serve();
    open_worker();
    QSignalSpy closed(worker.get(), &rv8_worker::closed);
    log_capture log;
    pty->hang_up();

    QByteArray msg = hex("C3050001B671");
    QByteArray reply;
    QCOMPARE(worker->get_param(msg, reply, 2), FT_IO_ERROR);
    QCOMPARE(log.texts(QtCriticalMsg), QStringList {QStringLiteral("Cannot purge Rx/Tx buffers, disconnecting")});
    QCOMPARE(closed.size(), 1);
    QVERIFY(!worker->is_open());
    QCOMPARE(worker->get_param(msg, reply, 2), FT_DEVICE_NOT_OPENED);
}

void tst_serial_link::unplug_during_a_wait_closes_the_link()
{
    serve();
    open_worker();
    QSignalSpy closed(worker.get(), &rv8_worker::closed);
    log_capture log;
    // The unit swallows the request; the plug is pulled while the worker waits for the reply.
    pty->in_host([&] { pty->unit.faults().drop_replies = 1; });
    pty->hang_up_after(100);

    QByteArray msg = hex("C3050001B671");
    QByteArray reply;
    QCOMPARE(worker->get_param(msg, reply, 2), FT_IO_ERROR);
    QVERIFY(reply.isEmpty());
    QCOMPARE(log.texts(QtCriticalMsg), QStringList {QStringLiteral("Cannot get queue status, disconnecting")});
    QVERIFY(!log.contains_text(QStringLiteral("Timed out")));
    QCOMPARE(closed.size(), 1);
    QVERIFY(!worker->is_open());
}

void tst_serial_link::unplug_while_streaming_closes_the_link()
{
    sim_config config;
    config.live_period_ms = 2;
    serve(config);
    open_worker();
    QSignalSpy records(worker.get(), &rv8_worker::log_data_ready);
    QSignalSpy closed(worker.get(), &rv8_worker::closed);
    worker->start_live_logging();
    QVERIFY(records.wait());
    log_capture log;
    pty->hang_up();
    QTRY_COMPARE(closed.size(), 1);
    QVERIFY(!worker->is_open());
    QVERIFY(!worker->is_logging());
    // A read may fail first if the plug goes between the queue check and the read; the next poll closes.
    QVERIFY(log.has(QtCriticalMsg, QStringLiteral("Cannot get queue status, disconnecting")));
}

void tst_serial_link::hotplug_codes_reach_the_worker()
{
    serve();
    hotplug_watcher watcher;
    connect(&watcher, &hotplug_watcher::device_event, worker.get(), &rv8_worker::smart_reconnect, Qt::QueuedConnection);
    QSignalSpy opened(worker.get(), &rv8_worker::opened);
    QSignalSpy closed(worker.get(), &rv8_worker::closed);
    log_capture log;

    watcher.announce(0x8000);
    QVERIFY(opened.wait());
    QCOMPARE(log.count(QStringLiteral("Vantrel RV8-SX detected:")), 1);

    // Arrival while open, removal of some other device: the link stays as it is.
    watcher.announce(0x8000);
    watcher.announce(0x8004);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(closed.size(), 0);
    QCOMPARE(log.count(QStringLiteral("Vantrel RV8-SX detected:")), 1);
    QVERIFY(worker->is_open());

    pty->hang_up();
    watcher.announce(0x8004);
    QVERIFY(closed.wait());
    QCOMPARE(closed.size(), 1);
    QVERIFY(!worker->is_open());

    // The terminal is gone with the unit: a later arrival finds nothing to open.
    watcher.announce(0x8000);
    QVERIFY(closed.wait());
    QCOMPARE(opened.size(), 1);
}

QTEST_GUILESS_MAIN(tst_serial_link)
#include "tst_serial_link.moc"
