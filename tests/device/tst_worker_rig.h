#pragma once
// A worker in the test's own thread, open to a virtual unit that streams only when told to, so
// each poll (called directly; the timer never gets to run) sees exactly the queue a case sets up.

#include "device/rv8.h"
#include "tests/device/virtual_bench.h"
#include "tests/support/log_capture.h"

#include <QtTest>

// The sample files, BRENNIX_TEST_DATA or the source tree's, with a trailing slash.
const QString test_data = qEnvironmentVariable("BRENNIX_TEST_DATA", QFileInfo(__FILE__).path() + "/../data") + "/";

inline QByteArray read_all(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QString write_file(const QString& path, const QByteArray& text)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(text);
    return path;
}

template <typename T>
QList<T> column(const tsafe_qvector<T>& v)
{
    QList<T> all;
    for (int i = 0; i < v.size(); ++i)
        all << v.value(i);
    return all;
}

namespace wire {
const QByteArray live_on = QByteArray::fromHex("C31300015584");
const QByteArray live_off = QByteArray::fromHex("C313000100D1");
const QByteArray version_query = QByteArray::fromHex("C3050001B671");
const QByteArray variant_query = QByteArray::fromHex("C3050001C106");
}

struct worker_rig {
    virtual_bench bench;
    std::shared_ptr<virtual_device> device;
    std::unique_ptr<rv8_worker> worker;

    explicit worker_rig(double live_period_ms = 1e9, bool this_thread_only = false, sim_config config = {})
        : bench(this_thread_only)
    {
        register_model_meta_types();
        config.live_period_ms = live_period_ms;
        config.flash_write_ms = 1;
        device = bench.add_unit("RV8A0001", config);
        worker.reset(new rv8_worker);
        worker->open();
        device->clear_writes();
    }

    sim_unit& unit() { return bench.unit(); }
    template <typename F>
    void inject(F&& f) { configure(device, std::forward<F>(f)); }

    void queue_records(int n) { inject([n](sim_unit& u, virtual_faults&) { u.faults().live_backlog = n; }); }
    // How many received bytes the driver admits to; -1: all.
    void show_bytes(int n) { inject([n](sim_unit&, virtual_faults& faults) { faults.rx_shown = n; }); }
    // The unit's settings read and handed back as the ones to write, as the window does; returns
    // the read's arguments.
    QList<QVariant> take_settings()
    {
        QSignalSpy read(worker.get(), &rv8_worker::read_data);
        worker->start_read();
        const auto tables = read[0][1].value<QList<QByteArray>>();
        const auto ints = read[0][2].value<QList<quint32>>();
        for (int t = tbl_aux; t <= tbl_gpo2; ++t)
            worker->add_field_to_var(tables[t], table_index(t));
        for (int i = 0; i < ints.size(); ++i)
            worker->add_field_to_var(ints[i], int_index(i));
        return read[0];
    }
    void start_logging() { worker->start_live_logging(); device->clear_writes(); }

    void poll(int times = 1)
    {
        for (int k = 0; k < times; ++k)
            QMetaObject::invokeMethod(worker.get(), "check_log_data", Qt::DirectConnection);
    }

    int stored() const { return worker->get_timestamps().size(); }
    QList<unsigned int> marks() const { return column(worker->get_file_marks()); }

    QList<rv8_frame> samples() const
    {
        QList<rv8_frame> all;
        for (int i = 0; i < stored(); ++i) {
            std::array<quint32, rv8_frame::value_count> values;
            for (int e = 0; e < rv8_frame::value_count; ++e)
                values[size_t(e)] = worker->get_data(rv8_log::e_data(e)).value(i);
            all << rv8_frame(worker->get_timestamps().value(i), values);
        }
        return all;
    }
};

template <typename T>
QList<T> firsts(const QSignalSpy& spy)
{
    QList<T> all;
    for (const auto& args : spy)
        all << args[0].value<T>();
    return all;
}
