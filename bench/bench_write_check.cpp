// What checking a write costs: a Write All (every table and integer block) through the worker,
// plain, with its read-back, and with the read-back and the restore point the window saves first;
// beside them a whole read, which is what the read-back may cost at most. On the virtual unit and
// on a virtual unit served over a pseudo-terminal. One JSON line per link:
//   {"bench":"write_check","link":"virtual","runs":20,"plain_ms":{..},"read_back_ms":{..},
//    "read_back_and_point_ms":{..},"read_all_ms":{..},"read_back_cost_ms":..,"failures":0}

#include "device/d2xx/unit_sources.h"
#include "device/rv8.h"
#include "model/write_group.h"
#include "sim/sim_pty_host.h"
#include "sim/sim_unit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
const int runs = 20;

struct spread {
    double min, median, max;
};

spread spread_of(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? spread{0, 0, 0} : spread{ms.front(), ms[ms.size() / 2], ms.back()};
}

QString json(const spread& s)
{
    return QStringLiteral("{\"min\":%1,\"median\":%2,\"max\":%3}").arg(s.min, 0, 'f', 2).arg(s.median, 0, 'f', 2).arg(s.max, 0, 'f', 2);
}

std::vector<double> timed(const std::function<bool()>& step, int* failures)
{
    std::vector<double> ms;
    for (int i = 0; i < runs + 2; ++i) {
        QElapsedTimer t;
        t.start();
        const bool ok = step();
        if (!ok)
            ++*failures;
        else if (i >= 2)
            ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return ms;
}

// The worker lives in this thread, so each of its slots runs to its end before it returns.
void measure(const char* link)
{
    rv8_worker worker;
    int failures = 0;
    worker.open();
    QList<QByteArray> tables;
    QList<quint32> ints;
    FT_STATUS last = FT_OTHER_ERROR;
    QObject::connect(&worker, &rv8_worker::read_data, [&](FT_STATUS s, QList<QByteArray> t, QList<quint32> i) {
        tables = t;
        ints = i;
        last = s;
    });
    QObject::connect(&worker, &rv8_worker::wrote_data, [&](FT_STATUS s) { last = s; });
    QObject::connect(&worker, &rv8_worker::snapshot_read, [&](FT_STATUS s) { last = s; });
    worker.start_read();
    if (!worker.is_open() || last != FT_OK) {
        std::fprintf(stderr, "%s: the unit did not answer\n", link);
        return;
    }
    auto write_all = [&] {
        worker.remove_all_sets();
        for (int t = tbl_aux; t <= tbl_gpo2; ++t)
            worker.add_field_to_var(tables[t], table_index(t));
        for (int g = g_rpm_scaler; g < g_count; ++g)
            for (int_index i : group_members(g))
                worker.add_field_to_var(ints[i], i);
        worker.start_write();
        return last == FT_OK;
    };
    worker.set_read_back(false);
    const spread plain = spread_of(timed(write_all, &failures));
    worker.set_read_back(true);
    const spread read_back = spread_of(timed(write_all, &failures));
    worker.set_restore_points(true);
    const spread with_point = spread_of(timed(write_all, &failures));
    const spread read_all = spread_of(timed([&] {
        worker.read_snapshot();
        return last == FT_OK;
    }, &failures));
    std::printf("{\"bench\":\"write_check\",\"link\":\"%s\",\"runs\":%d,\"plain_ms\":%s,\"read_back_ms\":%s,"
                "\"read_back_and_point_ms\":%s,\"read_all_ms\":%s,\"read_back_cost_ms\":%.2f,\"failures\":%d}\n",
                link, runs, qPrintable(json(plain)), qPrintable(json(read_back)), qPrintable(json(with_point)),
                qPrintable(json(read_all)), read_back.median - plain.median, failures);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    // The worker says every group it sets; only what went wrong is of interest here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vantrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Brennix"));
    register_model_meta_types();
    unit_sources sources(false);
    {
        auto unit = sources.add_virtual_unit();
        measure("virtual");
        sources.virtuals().remove(unit);
    }

    sim_unit unit;
    QThread thread;
    auto* host = new sim_pty_host(unit);
    host->moveToThread(&thread);
    thread.start();
    bool started = false;
    QMetaObject::invokeMethod(host, [&] { started = host->start(); }, Qt::BlockingQueuedConnection);
    if (started) {
        sources.serial().add_port(host->slave_path(), QStringLiteral("KIRRA 3"), QStringLiteral("BENCH001"));
        measure("pty");
        sources.serial().remove_port(host->slave_path());
        QMetaObject::invokeMethod(host, [&] { host->hang_up(); }, Qt::BlockingQueuedConnection);
    }
    thread.quit();
    thread.wait();
    delete host;
    return 0;
}
