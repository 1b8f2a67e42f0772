#include "device/rv8.h"
#include "tests/device/virtual_bench.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>

#include <tuple>

// The worker in its own thread, as the window uses it.
class tst_worker_thread : public QObject {
    Q_OBJECT

    virtual_bench* bench = nullptr;
    std::shared_ptr<virtual_device> device;
    rv8_controller* controller = nullptr;
    QSemaphore release, blocked;

    // Keeps the worker thread busy until released, so queued calls pile up.
    void hold_worker()
    {
        QMetaObject::invokeMethod(controller->worker, [this] { blocked.release(); release.acquire(); },
                                  Qt::QueuedConnection);
        blocked.acquire();
    }

    // Delivered queued to this thread, which drops any argument whose type is not registered.
    template <typename... A>
    void collect(QObject* context, void (rv8_worker::*signal)(A...), QList<std::tuple<A...>>& into)
    {
        connect(controller->worker, signal, context, [&into](A... a) { into << std::make_tuple(a...); });
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

    void calls_return_at_once_and_run_in_call_order()
    {
        rv8_worker* worker = controller->worker;
        QStringList order;
        QObject context;
        connect(worker, &rv8_worker::opened, &context, [&] { order << "opened"; });
        connect(worker, &rv8_worker::read_data, &context, [&] { order << "read_data"; });
        connect(worker, &rv8_worker::closed, &context, [&] { order << "closed"; });
        hold_worker();
        worker->open();
        worker->start_read();
        worker->close();
        worker->start_read(); // closed by now: fails
        QVERIFY(!device->is_open());
        QVERIFY(device->writes().isEmpty());
        release.release();
        QTRY_COMPARE(order, (QStringList{"opened", "read_data", "closed", "read_data"}));
    }

    void results_cross_the_threads_with_their_types()
    {
        QList<std::tuple<QString, quint16, rv8_variant>> opened;
        QList<std::tuple<FT_STATUS, QList<QByteArray>, QList<quint32>, QList<adc_trim>>> reads;
        QList<std::tuple<QList<quint16>>> calibrations;
        QList<std::tuple<rv8_frame>> frames;
        QObject context;
        collect(&context, &rv8_worker::opened, opened);
        collect(&context, &rv8_worker::read_data, reads);
        collect(&context, &rv8_worker::map_cal_data_ready, calibrations);
        collect(&context, &rv8_worker::log_data_ready, frames);

        rv8_worker* worker = controller->worker;
        worker->open();
        worker->start_read();
        worker->start_map_cal();
        worker->start_live_logging();
        QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 2, 10000);
        worker->close();
        worker->start_read();
        QTRY_COMPARE_WITH_TIMEOUT(reads.size(), 2, 10000);
        QCOMPARE(opened.value(0), std::make_tuple(QString("RV8A0001"), quint16(0x0175), variant_rv8_sx));
        const auto& [status, tables, ints, trims] = reads[0];
        QCOMPARE(status, FT_STATUS(FT_OK));
        QCOMPARE(tables.size(), 6);
        QCOMPARE(tables[0].size(), 640);
        QCOMPARE(ints.size(), int(int_last));
        QCOMPARE(ints[int_variant], quint32(variant_rv8_sx));
        QVERIFY(!trims.isEmpty());
        QCOMPARE(std::get<0>(reads[1]), FT_STATUS(FT_DEVICE_NOT_OPENED));
        QCOMPARE(std::get<0>(calibrations.value(0)).size(), 5);
        QVERIFY(std::get<0>(frames[0]).rpm > 0);
    }
};

QTEST_GUILESS_MAIN(tst_worker_thread)
#include "tst_worker_thread.moc"
