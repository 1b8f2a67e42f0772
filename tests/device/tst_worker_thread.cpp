#include "device/rv8.h"
#include "tests/device/virtual_bench.h"

#include <QSemaphore>
#include <QtTest>

// The worker in its own thread, as the window uses it.
class tst_worker_thread : public QObject {
    Q_OBJECT

    QSemaphore release, blocked;
    QStringList order;
    rv8_worker* worker = nullptr;

    // Delivered queued to this thread, which drops any argument whose type is not registered.
    template <typename... A>
    void collect(QObject* context, void (rv8_worker::*signal)(A...), QList<std::tuple<A...>>& into, QString name)
    {
        connect(worker, signal, context, [this, &into, name](A... a) {
            into << std::make_tuple(a...);
            order << name;
        });
    }

private slots:
    void calls_return_at_once_run_in_order_and_results_cross_with_their_types()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_controller controller;
        worker = controller.worker;
        QList<std::tuple<QString, quint16, rv8_variant>> opened;
        QList<std::tuple<FT_STATUS, QList<QByteArray>, QList<quint32>, QList<adc_trim>>> reads;
        QList<std::tuple<QList<quint16>>> calibrations;
        QList<std::tuple<rv8_frame>> frames;
        QObject receiver; // goes first, before the worker's last signals
        collect(&receiver, &rv8_worker::opened, opened, "opened");
        collect(&receiver, &rv8_worker::read_data, reads, "read");
        collect(&receiver, &rv8_worker::map_cal_data_ready, calibrations, "calibration");
        connect(worker, &rv8_worker::closed, &receiver, [this] { order << "closed"; });
        collect(&receiver, &rv8_worker::log_data_ready, frames, "frame");

        // Keeps the worker thread busy until released, so the calls pile up.
        QMetaObject::invokeMethod(worker, [this] { blocked.release(); release.acquire(); }, Qt::QueuedConnection);
        blocked.acquire();
        worker->open();
        worker->start_read();
        worker->start_map_cal();
        worker->close();
        worker->start_read(); // closed by now: fails
        QVERIFY(!device->is_open() && device->writes().isEmpty());
        release.release();
        QTRY_COMPARE(order, (QStringList{"opened", "read", "calibration", "closed", "read"}));

        QCOMPARE(opened[0], std::make_tuple(QString("RV8A0001"), quint16(0x0175), variant_rv8_sx));
        const auto& [status, tables, ints, trims] = reads[0];
        QVERIFY(status == FT_OK && tables.size() == 6 && tables[0].size() == 640 && !trims.isEmpty());
        QVERIFY(ints.size() == int_last && ints[int_variant] == variant_rv8_sx);
        QCOMPARE(std::get<0>(reads[1]), FT_STATUS(FT_DEVICE_NOT_OPENED));
        QCOMPARE(std::get<0>(calibrations[0]).size(), 5);

        worker->open();
        worker->start_live_logging();
        QTRY_VERIFY_WITH_TIMEOUT(!frames.isEmpty(), 10000);
        QVERIFY(std::get<0>(frames[0]).rpm > 0);
    }
};

QTEST_GUILESS_MAIN(tst_worker_thread)
#include "tst_worker_thread.moc"
