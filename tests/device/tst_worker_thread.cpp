#include "device/rv8.h"
#include "tests/device/virtual_bench.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>

// The worker in its own thread, as the window uses it: calls return at once, run in call order,
// and results come back through queued signals whose argument types must be registered.
class tst_worker_thread : public QObject {
    Q_OBJECT

    virtual_bench* bench = nullptr;
    std::shared_ptr<virtual_device> device;
    rv8_controller* controller = nullptr;
    QSemaphore release;
    QSemaphore blocked;

    // Keeps the worker thread busy until release is signalled, so queued calls pile up.
    void hold_worker()
    {
        QMetaObject::invokeMethod(
            controller->worker,
            [this] {
                blocked.release();
                release.acquire();
            },
            Qt::QueuedConnection);
        blocked.acquire();
    }

private slots:
    void init()
    {
        bench = new virtual_bench;
        device = bench->add_unit();
        controller = new rv8_controller;
    }

    void cleanup()
    {
        delete controller;
        device.reset();
        delete bench;
    }

    void a_call_from_another_thread_returns_before_the_work_is_done()
    {
        QSignalSpy opened(controller->worker, &rv8_worker::opened);
        hold_worker();
        controller->worker->open();
        QCOMPARE(opened.count(), 0);
        QVERIFY(!device->is_open());
        QVERIFY(device->writes().isEmpty());
        release.release();
        QVERIFY(opened.wait());
        QVERIFY(device->is_open());
    }

    void calls_run_in_the_order_they_were_made()
    {
        QStringList order;
        QMutex order_lock;
        QObject context; // ends the connections with the test, before the worker's last closed()
        rv8_worker* worker = controller->worker;
        auto note = [&](const QString& what) {
            QMutexLocker lock(&order_lock);
            order << what;
        };
        connect(worker, &rv8_worker::opened, &context, [&] { note("opened"); }, Qt::DirectConnection);
        connect(worker, &rv8_worker::read_data, &context, [&] { note("read_data"); }, Qt::DirectConnection);
        connect(worker, &rv8_worker::closed, &context, [&] { note("closed"); }, Qt::DirectConnection);
        QSignalSpy closed(worker, &rv8_worker::closed);

        hold_worker();
        worker->open();
        worker->start_read();
        worker->close();
        worker->start_read(); // closed by now: fails
        release.release();
        QVERIFY(closed.wait());
        QTRY_COMPARE(order.size(), 4);
        QMutexLocker lock(&order_lock);
        QCOMPARE(order, (QStringList{"opened", "read_data", "closed", "read_data"}));
    }

    void results_cross_the_threads_with_their_types()
    {
        rv8_worker* worker = controller->worker;
        // Receivers living in this thread get queued deliveries, which need the registered types.
        QList<QByteArray> tables;
        QList<quint32> ints;
        FT_STATUS read_status = 99;
        quint16 version = 0;
        rv8_variant kind = variant_rv8_s;
        FT_STATUS failed_read_status = 0;
        int reads = 0;
        connect(worker, &rv8_worker::opened, this, [&](QString, quint16 v, rv8_variant k) {
            version = v;
            kind = k;
        });
        connect(worker, &rv8_worker::read_data, this,
                [&](FT_STATUS status, QList<QByteArray> t, QList<quint32> i, QList<adc_trim>) {
                    if (reads++ == 0) {
                        read_status = status;
                        tables = t;
                        ints = i;
                    } else {
                        failed_read_status = status;
                    }
                });
        QList<quint16> samples;
        connect(worker, &rv8_worker::map_cal_data_ready, this, [&](QList<quint16> s) { samples = s; });
        QList<rv8_frame> frames;
        connect(worker, &rv8_worker::log_data_ready, this, [&](rv8_frame f) { frames << f; });

        worker->open();
        worker->start_read();
        worker->start_map_cal();
        worker->start_live_logging();
        QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 2, 10000);
        worker->close();
        worker->start_read();
        QTRY_COMPARE_WITH_TIMEOUT(reads, 2, 10000);
        QCOMPARE(version, quint16(0x0175));
        QCOMPARE(kind, variant_rv8_sx);
        QCOMPARE(read_status, FT_STATUS(FT_OK));
        QCOMPARE(tables.size(), 6);
        for (int t = 0; t < 4; ++t)
            QCOMPARE(tables[t].size(), 640);
        QCOMPARE(ints.size(), int(int_last));
        QCOMPARE(ints[int_variant], quint32(variant_rv8_sx));
        QCOMPARE(samples.size(), 5);
        QCOMPARE(failed_read_status, FT_STATUS(FT_DEVICE_NOT_OPENED));
        QVERIFY(frames[0].rpm > 0);
        QVERIFY(frames[1].timestamp >= frames[0].timestamp);
    }
};

QTEST_GUILESS_MAIN(tst_worker_thread)
#include "tst_worker_thread.moc"
