// Appends a long session to the live-log store and reports the time per append and the resident
// memory per stored sample, one JSON object per line:
//   {"bench":"log_append","pattern":...,"samples":...,"ns_per_append":...,"bytes_per_sample":...}
// The memory includes the time index. 31 values and a time stamp take 132 bytes; the aim is at most
// 200 bytes per sample.

#include "live/rv8_log.h"

#include <QElapsedTimer>

#include <cstdio>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long resident_bytes()
{
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f)
        return -1;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
        resident = -1;
    std::fclose(f);
    return resident < 0 ? -1 : resident * sysconf(_SC_PAGESIZE);
}

// step_ms: time between samples. The unit sends one every 13.13 ms; 40 ms puts every sample in a
// bucket of its own, the most the time index can cost.
void run(const char* pattern, int samples, double step_ms)
{
    rv8_frame frame;
    frame.batt_adc = 700;
    frame.map_adc = 230;
    const qint64 start = 1765000000000;

    const long before = resident_bytes();
    std::unique_ptr<rv8_log> log(new rv8_log);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < samples; ++i) {
        frame.timestamp = start + qint64(i * step_ms);
        frame.rpm = quint16(i);
        frame.error = quint32(i) * 7u;
        log->append(frame);
    }
    const qint64 elapsed_ns = timer.nsecsElapsed();
    const long after = resident_bytes();

    std::printf("{\"bench\":\"log_append\",\"pattern\":\"%s\",\"samples\":%d,\"ns_per_append\":%.1f,"
                "\"bytes_per_sample\":%.1f,\"target_bytes_per_sample\":200}\n",
                pattern, log->size(), double(elapsed_ns) / samples, double(after - before) / samples);
    std::fflush(stdout);
}

// Each pattern runs in a process of its own: memory freed by one run would otherwise be reused by
// the next without showing in the resident size.
void run_apart(const char* pattern, int samples, double step_ms)
{
    const pid_t child = fork();
    if (child == 0) {
        run(pattern, samples, step_ms);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

}  // namespace

int main()
{
    const int samples = 1000000;
    run_apart("unit_rate_13ms", samples, 13.13);
    run_apart("one_per_bucket_40ms", samples, 40.0);
    return 0;
}
