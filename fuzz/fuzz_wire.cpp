// The unit's replies as the worker reads them. A virtual unit answers every request of a whole
// session (connect, read, write all, live logging, a firmware transfer) and the input edits each
// burst of its answer on the way: flipped bytes, cut replies, extra bytes, replies made up
// whole. The worker must stay safe, never announce a unit it has lost, and keep its log store,
// file marks and progress consistent.

#include "device/d2xx/d2xx_port.h"
#include "device/d2xx/d2xx_provider.h"
#include "device/d2xx/d2xx_registry.h"
#include "device/rv8.h"
#include "sim/sim_unit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <memory>
#include <unistd.h>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// One session's unit and the input that edits what it says.
struct session {
    std::unique_ptr<sim_unit> unit;
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t at = 0;
    sim_clock::time_point now{};
    QByteArray rx;
    bool fresh = false; // something arrived since the last queue check
    bool gone = false;

    void start(const uint8_t* d, size_t n)
    {
        sim_config config;
        config.live_period_ms = 0; // a record whenever the host looks
        config.banner_delay_ms = 0;
        config.flash_write_ms = 0;
        unit = std::make_unique<sim_unit>(config);
        data = d;
        size = n;
        at = 0;
        now = sim_clock::time_point{} + std::chrono::hours(1);
        rx.clear();
        fresh = false;
        gone = false;
    }
    int next() { return at < size ? data[at++] : -1; }
    QByteArray take(int n)
    {
        const size_t k = std::min(size - at, size_t(std::max(n, 0)));
        const QByteArray out(reinterpret_cast<const char*>(data + at), int(k));
        at += k;
        return out;
    }
    // Whatever the unit has sent by now, edited as the input says.
    void pump()
    {
        now += std::chrono::seconds(1);
        QByteArray out = unit->take_output(now);
        if (out.isEmpty())
            return;
        const int op = next();
        if (op >= 0) {
            switch (op % 8) {
            case 4: {
                const int pos = std::max(next(), 0) % out.size();
                out[pos] = char(out[pos] ^ (std::max(next(), 0) | 1));
                break;
            }
            case 5:
                out.truncate(std::max(next(), 0) % out.size());
                break;
            case 6:
                out += take(std::max(next(), 0) % 16);
                break;
            case 7:
                out = take(std::max(next(), 0));
                break;
            default:
                break;
            }
        }
        rx += out;
        fresh = fresh || !out.isEmpty();
    }
};

session current;

class fuzz_port : public d2xx_port {
public:
    FT_STATUS set_timeouts(ULONG, ULONG) override { return ok(); }
    FT_STATUS set_latency_timer(UCHAR) override { return ok(); }
    FT_STATUS purge(ULONG mask) override
    {
        if (current.gone)
            return FT_IO_ERROR;
        if (mask & FT_PURGE_RX) {
            current.pump();
            current.rx.clear();
        }
        return FT_OK;
    }
    FT_STATUS write(const char* data, DWORD length, DWORD* written) override
    {
        *written = 0;
        if (current.gone)
            return FT_IO_ERROR;
        current.unit->receive(QByteArray(data, int(length)), current.now);
        *written = length;
        return FT_OK;
    }
    FT_STATUS read(char* data, DWORD length, DWORD* received) override
    {
        *received = 0;
        if (current.gone)
            return FT_IO_ERROR;
        current.pump();
        const int n = std::min(int(length), current.rx.size());
        std::copy(current.rx.constData(), current.rx.constData() + n, data);
        current.rx.remove(0, n);
        *received = DWORD(n);
        current.fresh = true;
        return FT_OK;
    }
    // A host that asks again with nothing new would wait out its time-out; the unit is taken
    // to be gone instead, so that no input costs seconds.
    FT_STATUS queue_status(DWORD* rx_bytes) override
    {
        *rx_bytes = 0;
        if (current.gone)
            return FT_IO_ERROR;
        current.pump();
        if (!current.fresh) {
            current.gone = true;
            return FT_IO_ERROR;
        }
        current.fresh = false;
        *rx_bytes = DWORD(current.rx.size());
        return FT_OK;
    }
    // Failing here skips the quarter second a stop waits for records still on their way.
    FT_STATUS status(DWORD* rx, DWORD* tx, DWORD* events) override
    {
        *rx = *tx = *events = 0;
        return FT_OTHER_ERROR;
    }
    FT_STATUS reset_device() override { return ok(); }
    FT_STATUS close() override { return FT_OK; }

private:
    FT_STATUS ok() const { return current.gone ? FT_IO_ERROR : FT_OK; }
};

class fuzz_provider : public d2xx_provider {
public:
    QList<d2xx_device_info> devices() override
    {
        d2xx_device_info info;
        info.description = QStringLiteral("KIRRA 3");
        info.serial_number = QStringLiteral("FUZZ0001");
        return {info};
    }
    std::unique_ptr<d2xx_port> open(const QString&, FT_STATUS* status) override
    {
        *status = FT_OK;
        return std::make_unique<fuzz_port>();
    }
};

QString image_path;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(quiet);
    register_model_meta_types();
    static fuzz_provider provider;
    d2xx_registry::instance().add_provider(&provider);
    const QString folder = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    image_path = QString("%1/brennix-fuzz-wire-%2_MAVO_0180.hex").arg(folder).arg(getpid());
    QFile image(image_path);
    if (!image.open(QFile::WriteOnly))
        return 1;
    image.write(":020000040000FA\r\n:0C010000525638204D41564F30313830F7\r\n"
                ":10010C005A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A43\r\n; end\r\n:00000001FF\r\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    current.start(data, size);
    rv8_worker worker;
    QList<QByteArray> tables;
    QList<quint32> ints;
    FT_STATUS read_status = FT_OTHER_ERROR;
    int samples = 0;
    int progress = -1;
    QObject::connect(&worker, &rv8_worker::opened, [&](QString serial, quint16, rv8_variant) {
        if (!worker.is_open() || serial != QLatin1String("FUZZ0001"))
            __builtin_trap();
    });
    QObject::connect(&worker, &rv8_worker::read_data,
                     [&](FT_STATUS status, QList<QByteArray> t, QList<quint32> i, QList<adc_trim>) {
                         read_status = status;
                         tables = t;
                         ints = i;
                     });
    QObject::connect(&worker, &rv8_worker::log_data_ready, [&](rv8_frame) { ++samples; });
    QObject::connect(&worker, &rv8_worker::fw_progress, [&](int p) {
        if (p < 0 || p > 100 || p < progress)
            __builtin_trap();
        progress = p;
    });

    worker.open();
    worker.start_read();
    if (read_status == FT_OK) {
        if (tables.size() != tbl_last || ints.size() != int_last)
            __builtin_trap();
        for (int t = tbl_aux; t <= tbl_gpo2; ++t) {
            if (tables[t].size() != 640)
                __builtin_trap();
            worker.add_field_to_var(tables[t], table_index(t));
        }
        for (int i = 0; i < ints.size(); ++i)
            worker.add_field_to_var(ints[i], int_index(i));
        worker.start_write();
    }
    worker.start_live_logging();
    for (int k = 0; k < 4; ++k)
        QMetaObject::invokeMethod(&worker, "check_log_data_for_period", Qt::DirectConnection, Q_ARG(uint, 0));
    worker.stop_live_logging(false);
    if (worker.get_timestamps().size() != samples || worker.get_file_marks().size() != samples)
        __builtin_trap();

    // The unit goes to its bootloader behind the worker's back, as after a restart request.
    if (!current.gone)
        current.unit->receive(QByteArray::fromHex("C3050001C007"), current.now);
    current.rx.clear();
    worker.program_fw(image_path);
    return 0;
}
