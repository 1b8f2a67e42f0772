// Every phase of a session against every kind of fault that can strike in it: what the worker
// reports, in what order, whether the link is still open, and that a live-log file holds exactly
// the samples it claims. The cases run side by side on threads of their own, each seeing only its
// own unit, since most of their time is a silent unit's reply time-out; a hang fails its case
// instead of the whole run.

#include "tests/device/tst_worker_rig.h"

#include <atomic>

using namespace wire;

namespace {

const QString image = test_data + "RV8_MAVO_0180.hex";

enum fault { unplug, call_fails, short_transfer, silent, garbled };

// The silent and garbled forms of a fault, as the unit or the driver makes them.
using form = void (*)(sim_faults& unit, virtual_faults& driver);
void dropped(sim_faults& unit, virtual_faults&) { unit.drop_replies = 1; }
void corrupted(sim_faults& unit, virtual_faults&) { unit.corrupt_headers = 5; }
void rx_hidden(sim_faults&, virtual_faults& driver) { driver.rx_shown = 0; }
void bad_trailer(sim_faults& unit, virtual_faults&) { unit.bad_live_trailer = true; }

// Where a phase begins on the wire, and the forms its faults take there.
struct phase {
    const char* name;
    QByteArray trigger; // empty: the fault is in place before the phase starts
    d2xx_call call;     // the call that fails
    bool short_read;    // else a short write
    form silent = dropped;    // nothing comes back
    form garbled = corrupted; // something wrong comes back
};

const phase phases[] = {
    {"connect: list", {}, d2xx_call::open, false},
    {"connect: open", {}, d2xx_call::open, false},
    {"connect: time-outs", {}, d2xx_call::set_timeouts, false},
    {"connect: latency", {}, d2xx_call::set_latency_timer, false},
    {"connect: identity", version_query, d2xx_call::read, true},
    {"read", QByteArray::fromHex("C3050001B374"), d2xx_call::read, true, dropped,
     [](sim_faults& unit, virtual_faults&) { unit.corrupt_table_checksum = 1; }},
    // A short write would leave a partial frame that the unit drops or not depending on timing.
    {"write", QByteArray(1, char(0xC3)), d2xx_call::write, true},
    {"live: start", live_on, d2xx_call::write, false},
    {"live: steady", {}, d2xx_call::queue_status, true, rx_hidden, bad_trailer},
    {"live: stop", live_off, d2xx_call::get_status, false,
     [](sim_faults&, virtual_faults& driver) { driver.tx_stuck = true; }, bad_trailer},
    {"firmware: bootloader", QByteArray::fromHex("C3050001C007"), d2xx_call::queue_status, true,
     [](sim_faults& unit, virtual_faults&) { unit.banner = sim_faults::banner_fault::missing; },
     [](sim_faults& unit, virtual_faults&) { unit.banner = sim_faults::banner_fault::v_last; }},
    {"firmware: lines", ":10001000D0F23D8A", d2xx_call::purge, false, rx_hidden,
     [](sim_faults& unit, virtual_faults&) { unit.refuse_hex_line = 3; }},
    // A short read here would leave the end's handshake bytes to race the identity query's purge. The
    // end record comes after the address record and 23 data lines.
    {"firmware: end", ":00000001FF", d2xx_call::read, false, rx_hidden,
     [](sim_faults& unit, virtual_faults&) { unit.refuse_hex_line = 25; }},
    {"firmware: identity", version_query, d2xx_call::read, true},
};

// The fault of one cell.
void make(fault f, const phase& p, sim_unit& unit, virtual_faults& driver)
{
    if (f == unplug)
        driver.unplugged = true;
    else if (f == call_fails)
        driver.fail(p.call, FT_IO_ERROR);
    else if (f == short_transfer)
        (p.short_read ? driver.short_reads : driver.short_writes) = 1;
    else
        (f == silent ? p.silent : p.garbled)(unit.faults(), driver);
}

// The registry's device list is shared: one thread at a time lists and opens.
QMutex opening;

// What the worker reported, in order, then any state that disagrees with it.
QString run_cell(int index, fault f, const QString& folder)
{
    const phase& p = phases[index];
    QStringList events; // outlives the worker, whose end still reports a close
    const auto made = [] { QMutexLocker lock(&opening); return std::make_unique<worker_rig>(1e9, true); }();
    worker_rig& rig = *made;
    rv8_worker& w = *rig.worker;
    QObject::connect(&w, &rv8_worker::opened, [&](QString, quint16 fw) {
        events << (!w.is_open() ? "opened without a link" : fw ? "opened" : "opened in bootloader");
    });
    QObject::connect(&w, &rv8_worker::closed, [&] { events << "closed"; });
    QObject::connect(&w, &rv8_worker::read_data, [&](FT_STATUS s) { events << QString("read %1").arg(s); });
    QObject::connect(&w, &rv8_worker::wrote_data, [&](FT_STATUS s) { events << QString("wrote %1").arg(s); });
    QObject::connect(&w, &rv8_worker::log_started, [&] { events << "started"; });
    QObject::connect(&w, &rv8_worker::log_stopped, [&] { events << "stopped"; });
    QObject::connect(&w, &rv8_worker::log_data_ready, [&] { events << "sample"; });
    QObject::connect(&w, &rv8_worker::log_file_failed, [&] { events << "file failed"; });
    QObject::connect(&w, &rv8_worker::fw_programmed, [&](FT_STATUS s, quint16 fw) {
        events << QString("programmed %1 %2").arg(s).arg(fw, 0, 16);
    });
    // A bad last record is read before the stream-off frame goes out, so it is in place beforehand.
    const bool at_once = p.trigger.isEmpty() || (index == 9 && f == garbled);
    const auto arm = [&] {
        rig.inject([&](sim_unit& unit, virtual_faults& driver) {
            if (at_once)
                return make(f, p, unit, driver);
            driver.strike_on = p.trigger;
            driver.strike = [&](sim_unit* u, virtual_faults& now) { make(f, p, *u, now); };
        });
    };
    const QString log_path = QString("%1/cell-%2-%3.bnlog").arg(folder).arg(index).arg(f);

    if (index < 5) {
        w.close();
        if (index == 0)
            rig.device->set_plugged(false);
        else
            arm();
        events.clear();
        QMutexLocker lock(&opening);
        w.open();
    } else if (index == 5) {
        arm();
        w.start_read();
    } else if (index == 6) {
        rig.take_settings();
        events.clear();
        arm();
        w.start_write();
    } else if (index <= 9) {
        w.set_log_file(log_path);
        w.enable_log_to_file(true);
        if (index == 7)
            arm();
        w.start_live_logging();
        rig.queue_records(2);
        rig.poll(2);
        if (index > 7) { // steady: two more records polled, then a stop at once; stop: one, read by the stop
            arm();
            rig.queue_records(index == 8 ? 2 : 1);
            rig.poll(index == 8 ? 2 : 0);
            w.stop_live_logging(index == 8);
        }
    } else {
        arm();
        w.start_fw_program(image);
    }

    if (w.is_open() == events.contains("closed"))
        events << (w.is_open() ? "link still open" : "link closed unreported");
    // Every sample marked as written is a row of the file, and there is no other row.
    const QList<QByteArray> lines = read_all(log_path).split('\n');
    const int rows = int(std::count_if(lines.begin(), lines.end(), [](const QByteArray& l) {
        return !l.isEmpty() && l.at(0) >= '0' && l.at(0) <= '9';
    }));
    if (rows != rig.marks().count(1u) || (index >= 7 && index <= 9 && rows != rig.stored()))
        events << "file rows differ";
    return events.join(", ");
}

} // namespace

class tst_link_faults : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    struct cell {
        int phase, fault;
        QString events;
        std::atomic<bool> done{false};
    };
    std::vector<std::unique_ptr<cell>> cells;
    std::vector<std::unique_ptr<QThread>> runners;
    std::atomic<size_t> next{0};

    void run_all()
    {
        const QString folder = dir.path();
        for (int k = 0; k < 10; ++k) {
            runners.emplace_back(QThread::create([this, folder] {
                // The firmware phases, which take longest, go first.
                for (size_t k; (k = next++) < cells.size();) {
                    cell& c = *cells[cells.size() - 1 - k];
                    c.events = run_cell(c.phase, fault(c.fault), folder);
                    c.done = true;
                }
            }));
            runners.back()->start();
        }
    }

private slots:
    void matrix_data()
    {
        QTest::addColumn<int>("cell");
        QTest::addColumn<QString>("events"); // what the worker reported, in order
        const char* const fault_names[] = {"unplugged", "call fails", "short transfer", "silent", "garbled"};
        // Per phase and fault, in the order above; "" where the fault cannot strike.
        const QByteArray live = "started, sample, sample, stopped", bl = "stopped, opened in bootloader, ";
        const QByteArray fw = bl + "programmed 4 0", fw_lost = bl + "closed, programmed 4 0", fw_silent = bl + "programmed 18 0";
        const std::pair<int, std::array<QByteArray, 5>> rows[] = {
            {0, {"closed", "", "", "", ""}},
            {1, {"", "closed", "", "", ""}},
            {2, {"", "closed", "", "", ""}},
            {3, {"", "closed", "", "", ""}},
            {4, {"stopped, closed", "stopped, closed", "stopped, opened in bootloader", "stopped, opened in bootloader",
                 "stopped, opened in bootloader"}},
            {5, {"read 4", "closed, read 4", "read 4", "read 18", "read 4"}},
            {6, {"closed, wrote 4", "closed, wrote 4", "wrote 4", "wrote 18", "wrote 4"}},
            {7, {"closed, stopped", "closed, stopped", "stopped", "stopped", "stopped"}},
            {8, {live + ", closed, stopped", live + ", closed, stopped", live + ", stopped", live, live + ", stopped"}},
            {9, {live + ", sample", live + ", sample", live + ", sample", live + ", sample", live}},
            {10, {"stopped, closed, programmed 4 0", "stopped, closed, programmed 4 0", "stopped, programmed 4 0",
                  "stopped, programmed 4 175", "stopped, programmed 18 0"}},
            {11, {fw_lost, fw_lost, fw, fw_silent, fw}},
            {12, {fw_lost, fw_lost, fw, fw_silent, fw}},
            {13, {fw_lost, fw_lost, fw, fw_silent, fw_silent}}, // programmed only once the new application answers
        };
        for (const auto& [phase, events] : rows)
            for (int f = unplug; f <= garbled; ++f)
                if (!events[size_t(f)].isEmpty()) {
                    QTest::addRow("%s, %s", phases[phase].name, fault_names[f]) << int(cells.size()) << QString(events[size_t(f)]);
                    cells.push_back(std::make_unique<cell>());
                    cells.back()->phase = phase;
                    cells.back()->fault = f;
                }
        run_all();
    }

    void matrix()
    {
        QFETCH(int, cell);
        const auto& c = *cells[size_t(cell)];
        QTRY_VERIFY2_WITH_TIMEOUT(c.done, "the case hung", 60000);
        QTEST(c.events, "events");
    }

    void cleanupTestCase()
    {
        for (auto& runner : runners)
            if (!runner->wait(60000))
                runner.release(); // still running: leave it rather than destroy it under its own feet
    }
};

QTEST_GUILESS_MAIN(tst_link_faults)
#include "tst_link_faults.moc"
