// The worker talking to a virtual unit through the serial provider and a pseudo-terminal:
// termios, the kernel's tty buffers and the unit's own timing all take part.

#include "device/d2xx/hotplug_watcher.h"
#include "model/rv8_vars.h"
#include "tests/device/tst_serial_unit.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const char version_query[] = "C3050001B671";

QByteArray failed(FT_STATUS status)
{
    return "status " + QByteArray::number(int(status));
}
}

class tst_serial_link : public QObject {
    Q_OBJECT

private slots:
    void settings_read_and_write_complete()
    {
        serial_bench b;
        QVERIFY(b.open());
        sim_memory before;
        b.in_host([&] { before = b.unit.memory(); });

        rv8_vars vars(b.worker.get());
        QCOMPARE(vars.rv8_to_vars(), FT_OK);
        QList<QByteArray> tables;
        QList<unsigned int> ints;
        QList<adc_trim> trims;
        vars.get(tables, ints, trims);
        // Every setting the unit stores pending again: each kind of write message goes out.
        for (table_index t : {tbl_aux, tbl_main, tbl_gpo1, tbl_gpo2}) {
            QCOMPARE(tables[t].toHex(), before.tables[t].toHex());
            vars.set(tables[t], t);
        }
        for (int i = int_main_mode; i <= int_active_deadband; ++i)
            vars.set(ints[i], int_index(i));
        for (int i = int_gpi1_act_delay; i <= int_gpi2_deact_delay; ++i)
            vars.set(ints[i], int_index(i));
        vars.set(ints[int_rpm_scaler], int_rpm_scaler);
        vars.set(0x0123u, int_pump_prime_delay);
        log_capture log;
        b.worker->set_rw_debug(true);
        QCOMPARE(vars.vars_to_rv8(), FT_OK);
        for (const char* type : {"0a", "0b", "0c", "0d", "0e", "07", "15", "16", "17"}) {
            const QString sent = QStringLiteral("write 0xc3") + QLatin1String(type);
            QCOMPARE(log.texts(QtDebugMsg).filter(QRegularExpression('^' + QRegularExpression::escape(sent))).size(), 1);
        }

        sim_memory after;
        b.in_host([&] { after = b.unit.memory(); });
        QCOMPARE(after.pump_prime_delay.toHex(), QByteArray("0123"));
        for (int t = 0; t < 4; ++t)
            QCOMPARE(after.tables[t].toHex(), before.tables[t].toHex());
        // Unprogrammed delays (all ones) come back as 0 once the program has written them.
        QByteArray io_modes = before.io_modes;
        for (int at = sim_memory::io_gpi1_act_delay; at <= sim_memory::io_gpi2_deact_delay; at += 2)
            if (io_modes.mid(at, 2) == QByteArray::fromHex("ffff"))
                io_modes.replace(at, 2, QByteArray::fromHex("0000"));
        QCOMPARE(after.io_modes.toHex(), io_modes.toHex());
        QCOMPARE((after.map_cal + after.rpm_scaler).toHex(), (before.map_cal + before.rpm_scaler).toHex());
    }

    void live_records_stream_and_stop_until_unplugged()
    {
        sim_config fast;
        fast.live_period_ms = 2;
        serial_bench b(fast);
        QVERIFY(b.open());
        log_capture log;
        QSignalSpy records(b.worker.get(), &rv8_worker::log_data_ready);
        b.worker->start_live_logging();
        QTRY_VERIFY(records.size() >= 20);
        QCOMPARE(log.texts(QtWarningMsg) + log.texts(QtCriticalMsg), QStringList());
        for (const QList<QVariant>& record : records)
            QVERIFY(record[0].value<rv8_frame>().batt_adc > 0);

        b.worker->stop_live_logging(true);
        bool streaming = true;
        b.in_host([&] { streaming = b.unit.streaming(); });
        QVERIFY(!streaming);
        // Nothing of the stream is left to be taken for the reply.
        QCOMPARE(b.ask(version_query, 2), QByteArray("0175"));

        QSignalSpy closed(b.worker.get(), &rv8_worker::closed);
        b.worker->start_live_logging();
        QVERIFY(records.wait());
        b.hang_up();
        QTRY_COMPARE(closed.size(), 1);
        QVERIFY(!b.worker->is_open());
        QVERIFY(!b.worker->is_logging());
        // A read may fail first if the plug goes between the queue check and the read; the next poll closes.
        QVERIFY(log.has(QtCriticalMsg, QStringLiteral("Cannot get queue status, disconnecting")));
    }

    void unplug_closes_the_link()
    {
        for (bool during_wait : {false, true}) {
            serial_bench b;
            QVERIFY(b.open());
            QSignalSpy closed(b.worker.get(), &rv8_worker::closed);
            log_capture log;
            if (during_wait) {
                // The unit swallows the request; the plug is pulled while the worker waits for the reply.
                b.in_host([&] { b.unit.faults().drop_replies = 1; });
                b.hang_up(100);
            } else {
                b.hang_up();
            }
            QCOMPARE(b.ask(version_query, 2), failed(FT_IO_ERROR));
            QCOMPARE(log.texts(QtCriticalMsg), QStringList{during_wait ? "Cannot get queue status, disconnecting"
                                                                       : "Cannot purge Rx/Tx buffers, disconnecting"});
            QVERIFY(!log.contains_text(QStringLiteral("Timed out")));
            QCOMPARE(closed.size(), 1);
            QVERIFY(!b.worker->is_open());
            QCOMPARE(b.ask(version_query, 2), failed(FT_DEVICE_NOT_OPENED));
        }
    }

    void hotplug_codes_reach_the_worker()
    {
        serial_bench b;
        hotplug_watcher watcher;
        connect(&watcher, &hotplug_watcher::device_event, b.worker.get(), &rv8_worker::smart_reconnect,
                Qt::QueuedConnection);
        QSignalSpy opened(b.worker.get(), &rv8_worker::opened);
        QSignalSpy closed(b.worker.get(), &rv8_worker::closed);
        log_capture log;

        watcher.announce(0x8000);
        QVERIFY(opened.wait());
        QCOMPARE(log.count(QStringLiteral("Vantrel RV8-SX detected:")), 1);

        // Arrival while open, removal of some other device: the link stays as it is.
        watcher.announce(0x8000);
        watcher.announce(0x8004);
        QCoreApplication::processEvents();
        QCOMPARE(opened.size(), 1);
        QCOMPARE(closed.size(), 0);
        QVERIFY(b.worker->is_open());

        b.hang_up();
        watcher.announce(0x8004);
        QVERIFY(closed.wait());
        QCOMPARE(closed.size(), 1);
        QVERIFY(!b.worker->is_open());

        // The terminal is gone with the unit: a later arrival finds nothing to open.
        watcher.announce(0x8000);
        QVERIFY(closed.wait());
        QCOMPARE(opened.size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_serial_link)
#include "tst_serial_link.moc"
