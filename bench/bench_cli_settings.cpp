// brennix-cli against rv8-sim on a pseudo-terminal, as a workshop script runs it: the wall time of
// a whole `read` (process start to exit) and of `write --all`, ten runs each. One line each:
//   {"bench":"cli_read","runs":10,"wall_s":{"min":..,"median":..,"max":..},"target_s":0.15,"failures":0}

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int runs = 10;

void measure(const char* name, const QStringList& args, double target)
{
    QVector<double> seconds;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        QProcess cli;
        QElapsedTimer clock;
        clock.start();
        cli.start(QStringLiteral(BRENNIX_CLI_PATH), args);
        cli.waitForFinished(60000);
        seconds << clock.nsecsElapsed() / 1e9;
        failures += cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0;
    }
    std::sort(seconds.begin(), seconds.end());
    const QJsonObject wall{{"min", seconds.front()}, {"median", (seconds[runs / 2 - 1] + seconds[runs / 2]) / 2},
                           {"max", seconds.back()}};
    const QJsonObject line{{"bench", name}, {"runs", runs}, {"wall_s", wall}, {"target_s", target}, {"failures", failures}};
    std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    QProcess sim;
    sim.start(QStringLiteral(RV8_SIM_PATH), QStringList());
    while (!sim.canReadLine())
        if (!sim.waitForReadyRead(5000)) {
            std::fprintf(stderr, "rv8-sim did not start\n");
            return 1;
        }
    const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();
    const QString file = home.filePath(QStringLiteral("unit.bnini"));
    measure("cli_read", {"--port", port, "read", file}, 0.15);
    measure("cli_write_all", {"--port", port, "write", "--all", file}, 0.25);
    sim.terminate();
    sim.waitForFinished(5000);
    return 0;
}
