// Start-up of the real program on its virtual unit, offscreen: from process start to the window
// shown, to "Connected", from shown to "Connected" (target 250 ms), and the resident memory once
// connected; median of 10 runs.
// The window is shown just before the debug log's handler is installed, so the first log line on
// standard output marks "shown"; "Device connected." marks the connection.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <unistd.h>

namespace {
struct run_result {
    double shown_ms = -1;
    double connected_ms = -1;
    double rss_mib = -1;
    double cpu_ms = -1; // user + system time of the program until connected, all its threads
};

double cpu_ms(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
    const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (f.value(11).toDouble() + f.value(12).toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double rss_mib(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

run_result one_run(const QString& home)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    program.setProcessEnvironment(env);
    run_result r;
    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(BRENNIX_PATH), {QStringLiteral("--virtual-unit")});
    QByteArray out;
    while (r.connected_ms < 0 && clock.elapsed() < 20000) {
        program.waitForReadyRead(5);
        out += program.readAllStandardOutput();
        if (r.shown_ms < 0 && out.contains("] {"))
            r.shown_ms = clock.nsecsElapsed() / 1e6;
        if (out.contains("Device connected."))
            r.connected_ms = clock.nsecsElapsed() / 1e6;
    }
    r.rss_mib = rss_mib(program.processId());
    r.cpu_ms = cpu_ms(program.processId());
    program.terminate();
    program.waitForFinished(10000);
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    std::vector<double> shown, connected, shown_to_connected, rss, cpu;
    one_run(home.path()); // warm the file cache
    for (int i = 0; i < 10; ++i) {
        const run_result r = one_run(home.path());
        shown.push_back(r.shown_ms);
        connected.push_back(r.connected_ms);
        shown_to_connected.push_back(r.connected_ms - r.shown_ms);
        rss.push_back(r.rss_mib);
        cpu.push_back(r.cpu_ms);
    }
    std::printf("{\"bench\":\"startup\",\"runs\":10,\"shown_ms_median\":%.1f,\"shown_ms_max\":%.1f,"
                "\"connected_ms_median\":%.1f,\"connected_ms_max\":%.1f,\"shown_to_connected_ms_median\":%.1f,"
                "\"shown_to_connected_ms_max\":%.1f,\"shown_to_connected_target_ms\":250,"
                "\"cpu_ms_to_connected_median\":%.1f,\"rss_mib_connected_median\":%.1f}\n",
                median(shown), *std::max_element(shown.begin(), shown.end()), median(connected),
                *std::max_element(connected.begin(), connected.end()), median(shown_to_connected),
                *std::max_element(shown_to_connected.begin(), shown_to_connected.end()), median(cpu), median(rss));
    return 0;
}
