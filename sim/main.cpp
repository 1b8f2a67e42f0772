// rv8-sim: one virtual RV8 on a pseudo-terminal. Prints the terminal's path as its first line and
// serves until SIGINT or SIGTERM.

#include "sim/sim_pty_host.h"
#include "sim/sim_unit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {
[[noreturn]] void die(const QString& text)
{
    std::fprintf(stderr, "rv8-sim: %s\n", qPrintable(text));
    std::exit(2);
}

// "S:RPM:PSI,S:RPM:PSI,...", seconds rising.
std::vector<sim_drive_point> drive_from(const QString& text)
{
    std::vector<sim_drive_point> drive;
    for (const QString& point : text.split(QLatin1Char(','))) {
        const QStringList parts = point.split(QLatin1Char(':'));
        bool ok = parts.size() == 3;
        sim_drive_point p{0, 0, 0};
        if (ok)
            p.s = parts[0].toDouble(&ok);
        if (ok)
            p.rpm = parts[1].toDouble(&ok);
        if (ok)
            p.psi = parts[2].toDouble(&ok);
        if (!ok || p.rpm < 0 || (!drive.empty() && p.s < drive.back().s))
            die(QStringLiteral("--drive wants SECONDS:RPM:PSI points, seconds rising, such as 0:850:-10,2:4000:5"));
        drive.push_back(p);
    }
    return drive;
}

sim_config config_from(const QCommandLineParser& args)
{
    sim_config config;
    bool ok = true;
    if (args.isSet(QStringLiteral("fw-version"))) {
        const uint version = args.value(QStringLiteral("fw-version")).toUInt(&ok, 0);
        if (!ok || version > 0xFFFF)
            die(QStringLiteral("--fw-version wants a 16-bit number such as 0x0175"));
        config.fw_version = quint16(version);
    }
    const QString variant = args.value(QStringLiteral("variant")).toLower();
    if (variant == QLatin1String("sx"))
        config.variant_byte = 0xAA;
    else if (variant == QLatin1String("s"))
        config.variant_byte = 0x55;
    else
        die(QStringLiteral("--variant is sx or s"));
    if (args.isSet(QStringLiteral("live-period"))) {
        config.live_period_ms = args.value(QStringLiteral("live-period")).toDouble(&ok);
        if (!ok || config.live_period_ms < 0)
            die(QStringLiteral("--live-period wants milliseconds, 0 or more"));
    }
    config.start_in_bootloader = args.isSet(QStringLiteral("bootloader"));
    if (args.isSet(QStringLiteral("drive")))
        config.drive = drive_from(args.value(QStringLiteral("drive")));
    return config;
}

// SIGINT and SIGTERM arrive as readable data on a descriptor, so the event loop can end cleanly.
int signal_descriptor()
{
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &mask, nullptr) != 0)
        return -1;
    return signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
}

void save(const sim_memory& memory, const QString& store)
{
    QString error;
    if (!memory.save(store, &error))
        std::fprintf(stderr, "rv8-sim: cannot save %s: %s\n", qPrintable(store), qPrintable(error));
}
}

int main(int argc, char** argv)
{
    const int signals_fd = signal_descriptor();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rv8-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRENNIX_VERSION));

    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("Runs one virtual RV8 unit on a pseudo-terminal and prints its path."));
    args.addHelpOption();
    args.addVersionOption();
    args.addOptions({
        {QStringLiteral("fw-version"), QStringLiteral("Application firmware version, e.g. 0x0175."), QStringLiteral("version")},
        {QStringLiteral("variant"), QStringLiteral("Hardware variant: sx or s."), QStringLiteral("variant"), QStringLiteral("sx")},
        {QStringLiteral("live-period"), QStringLiteral("Milliseconds between live records."), QStringLiteral("ms")},
        {QStringLiteral("store"), QStringLiteral("Keep the unit's settings in this file across runs."), QStringLiteral("file")},
        {QStringLiteral("bootloader"), QStringLiteral("Start in the bootloader, as a unit without firmware.")},
        {QStringLiteral("drive"),
         QStringLiteral("Drive the engine through these points instead of the drive cycle, from the first live data on: "
                        "SECONDS:RPM:PSI,..."),
         QStringLiteral("points")},
    });
    args.process(app);
    if (signals_fd < 0)
        die(QStringLiteral("cannot watch for signals"));

    sim_unit unit(config_from(args));
    const QString store = args.value(QStringLiteral("store"));
    QString error;
    if (!store.isEmpty() && QFileInfo::exists(store) && !unit.memory().load(store, &error))
        die(QStringLiteral("cannot load %1: %2").arg(store, error));

    sim_pty_host host(unit);
    if (!host.start(&error))
        die(error);
    std::printf("%s\n", qPrintable(host.slave_path()));
    std::fflush(stdout);

    QSocketNotifier stop(signals_fd, QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    // Written as soon as the unit's settings change, so a killed simulator loses nothing.
    sim_memory saved = unit.memory();
    QTimer keeper;
    QObject::connect(&keeper, &QTimer::timeout, [&] {
        if (!store.isEmpty() && !(unit.memory() == saved)) {
            save(unit.memory(), store);
            saved = unit.memory();
        }
    });
    keeper.start(200);

    const int result = app.exec();
    host.hang_up();
    if (!store.isEmpty())
        save(unit.memory(), store);
    ::close(signals_fd);
    return result;
}
