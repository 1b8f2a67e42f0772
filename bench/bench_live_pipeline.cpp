// The live pipeline at full speed: a virtual unit that sends a record whenever the host looks
// (live_period_ms 0) streams into the worker in its own thread, with file logging on, for ten
// seconds. Then the firmware transfer of the sample image on a unit with its default flash time.
// One JSON object per line:
//   {"bench":"live_pipeline","seconds":...,"accepted":...,"records_per_s":...,"delivered":...,
//    "file_rows":...,"rejected":...,"left_in_queue_at_stop":...}
//   {"bench":"fw_transfer","lines":...,"transfer_seconds":...,"total_seconds":...,"status":...}
// "rejected" counts records the worker read but could not take (bad trailer, short or failed
// read); with none, every record read was stored, signalled and written. The unit answers every
// poll with a record, so a backlog always waits at the stop and is purged there.
// Usage: bench_live_pipeline [seconds]

#include "device/d2xx/d2xx_registry.h"
#include "device/d2xx/virtual_provider.h"
#include "device/rv8.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<int> rejected{0};
std::atomic<int> left_in_queue{-1};

void quiet_handler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    static const QRegularExpression left("^Log messages left in queue: (\\d+)$");
    const auto m = left.match(text);
    if (m.hasMatch())
        left_in_queue = m.captured(1).toInt();
    if (text.startsWith("Log message not valid") || text.startsWith("Did not read out") ||
        text.startsWith("Could not read from device"))
        ++rejected;
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

void print(const QJsonObject& o)
{
    std::printf("%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

int count_rows(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    int rows = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.isEmpty() && line[0] >= '0' && line[0] <= '9')
            ++rows;
    }
    return rows;
}

void live_pipeline(QCoreApplication& app, double seconds)
{
    virtual_provider provider;
    d2xx_registry::instance().add_provider(&provider);
    sim_config config;
    config.live_period_ms = 0;
    provider.add_unit(std::make_shared<sim_unit>(config), "RV8BENCH");
    QTemporaryDir dir;
    const QString path = dir.filePath("pipeline.bnlog");
    {
        rv8_controller controller;
        rv8_worker* worker = controller.worker;
        std::atomic<int> accepted{0};
        int delivered = 0;
        QObject::connect(worker, &rv8_worker::log_data_ready, worker, [&] { ++accepted; }, Qt::DirectConnection);
        QObject::connect(worker, &rv8_worker::log_data_ready, &app, [&] { ++delivered; });
        QElapsedTimer clock;
        QObject::connect(worker, &rv8_worker::log_started, &app, [&] { clock.start(); });
        qint64 elapsed_ns = 0;
        int at_stop = 0;
        QObject::connect(worker, &rv8_worker::log_stopped, &app, [&] {
            if (clock.isValid() && elapsed_ns == 0) {
                elapsed_ns = clock.nsecsElapsed();
                at_stop = accepted;
            }
        });
        worker->open();
        worker->set_log_file(path);
        worker->enable_log_to_file(true);
        worker->start_live_logging();
        QTimer::singleShot(int(seconds * 1000), &app, [&] { worker->stop_live_logging(true); });
        while (elapsed_ns == 0)
            app.processEvents(QEventLoop::WaitForMoreEvents, 100);
        worker->enable_log_to_file(false);
        worker->close();
        QElapsedTimer drain;
        drain.start();
        while (delivered < accepted && drain.elapsed() < 5000)
            app.processEvents(QEventLoop::AllEvents, 50);
        const double s = elapsed_ns / 1e9;
        print(QJsonObject{{"bench", "live_pipeline"},
                          {"seconds", s},
                          {"accepted", int(accepted)},
                          {"records_per_s", at_stop / s},
                          {"target_records_per_s", 900},
                          {"delivered", delivered},
                          {"file_rows", count_rows(path)},
                          {"rejected", int(rejected)},
                          {"left_in_queue_at_stop", int(left_in_queue)}});
    }
    d2xx_registry::instance().remove_provider(&provider);
}

void fw_transfer()
{
    virtual_provider provider;
    d2xx_registry::instance().add_provider(&provider);
    provider.add_unit(std::make_shared<sim_unit>(sim_config{}), "RV8BENCH");
    {
        rv8_worker worker;
        worker.open();
        const QString image = QStringLiteral(BENCH_SOURCE_DIR "/../tests/data/RV8_MAVO_0180.hex");
        QElapsedTimer total, transfer;
        qint64 transfer_ns = 0;
        QObject::connect(&worker, &rv8_worker::fw_progress, [&](int p) {
            if (p == 0)
                transfer.start();
            else if (p == 100)
                transfer_ns = transfer.nsecsElapsed();
        });
        FT_STATUS status = 99;
        quint16 version = 0;
        QObject::connect(&worker, &rv8_worker::fw_programmed, [&](FT_STATUS s, quint16 v, rv8_variant) {
            status = s;
            version = v;
        });
        total.start();
        worker.start_fw_program(image);
        const double total_s = total.nsecsElapsed() / 1e9;
        QFile file(image);
        file.open(QIODevice::ReadOnly);
        print(QJsonObject{{"bench", "fw_transfer"},
                          {"lines", file.readAll().count('\n')},
                          {"transfer_seconds", transfer_ns / 1e9},
                          {"total_seconds", total_s},
                          {"status", int(status)},
                          {"fw_version", QString::number(version, 16)}});
    }
    d2xx_registry::instance().remove_provider(&provider);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quiet_handler);
    live_pipeline(app, argc > 1 ? std::atof(argv[1]) : 10.0);
    fw_transfer();
    return 0;
}
