// Round trip of one request over a pseudo-terminal, the way a real unit is reached: the worker's
// get_param of the firmware-version query against a virtual unit served as rv8-sim serves it.
// 100 exchanges after a warm-up; also the bare port (write, then read the reply as it arrives),
// which shows what the worker's polling adds. One JSON line:
//   {"bench":"pty_roundtrip","samples":100,"get_param_ms":{"min":..,"median":..,"p90":..,"max":..},
//    "port_ms":{...},"failures":0}

#include "device/d2xx/d2xx_registry.h"
#include "device/d2xx/serial_provider.h"
#include "device/rv8.h"
#include "sim/sim_pty_host.h"
#include "sim/sim_unit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
const int samples = 100;

struct spread {
    double min, median, p90, max;
};

spread spread_of(std::vector<double> ms)
{
    if (ms.empty())
        return {0, 0, 0, 0};
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back()};
}

QByteArray json(const spread& s)
{
    return QStringLiteral("{\"min\":%1,\"median\":%2,\"p90\":%3,\"max\":%4}")
        .arg(s.min, 0, 'f', 3).arg(s.median, 0, 'f', 3).arg(s.p90, 0, 'f', 3).arg(s.max, 0, 'f', 3).toLatin1();
}

std::vector<double> worker_round_trips(rv8_worker& worker, int* failures)
{
    std::vector<double> ms;
    for (int i = 0; i < samples + 10; ++i) {
        QByteArray msg = QByteArray::fromHex("C3050001B671");
        QByteArray reply;
        QElapsedTimer t;
        t.start();
        const FT_STATUS status = worker.get_param(msg, reply, 2);
        const double took = double(t.nsecsElapsed()) / 1e6;
        if (status != FT_OK)
            ++*failures;
        else if (i >= 10)
            ms.push_back(took);
    }
    return ms;
}

std::vector<double> port_round_trips(int* failures)
{
    std::vector<double> ms;
    FT_HANDLE handle = nullptr;
    char serial[] = "BENCH001";
    if (FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle) != FT_OK) {
        ++*failures;
        return {};
    }
    FT_SetTimeouts(handle, 1000, 1000);
    for (int i = 0; i < samples + 10; ++i) {
        char frame[] = {char(0xC3), 0x05, 0x00, 0x01, char(0xB6), 0x71};
        char reply[5];
        DWORD written = 0, got = 0;
        QElapsedTimer t;
        t.start();
        FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX);
        const bool ok = FT_Write(handle, frame, 6, &written) == FT_OK && FT_Read(handle, reply, 5, &got) == FT_OK
            && got == 5;
        const double took = double(t.nsecsElapsed()) / 1e6;
        if (!ok)
            ++*failures;
        else if (i >= 10)
            ms.push_back(took);
    }
    FT_Close(handle);
    return ms;
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    sim_unit unit;
    QThread thread;
    auto* host = new sim_pty_host(unit);
    host->moveToThread(&thread);
    thread.start();
    bool started = false;
    QMetaObject::invokeMethod(host, [&] { started = host->start(); }, Qt::BlockingQueuedConnection);
    if (!started) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }

    serial_provider provider(false);
    provider.add_port(host->slave_path(), QStringLiteral("KIRRA 3"), QStringLiteral("BENCH001"));
    d2xx_registry::instance().add_provider(&provider);

    int failures = 0;
    std::vector<double> through_worker;
    {
        rv8_worker worker;
        worker.open();
        if (!worker.is_open()) {
            std::fprintf(stderr, "the unit did not open\n");
            return 1;
        }
        through_worker = worker_round_trips(worker, &failures);
    }
    DWORD count = 0;
    FT_CreateDeviceInfoList(&count);
    const std::vector<double> through_port = port_round_trips(&failures);

    std::printf("{\"bench\":\"pty_roundtrip\",\"samples\":%d,\"get_param_ms\":%s,\"port_ms\":%s,\"failures\":%d}\n",
                samples, json(spread_of(through_worker)).constData(), json(spread_of(through_port)).constData(),
                failures);

    d2xx_registry::instance().remove_provider(&provider);
    QMetaObject::invokeMethod(host, [&] { host->hang_up(); }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    delete host;
    return failures == 0 ? 0 : 1;
}
