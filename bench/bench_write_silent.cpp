// Write All on the virtual unit: a unit that answers every group, and one that goes silent at the
// third group, from start_write to wrote_data; medians of 5. A silent unit must end the write in
// at most 3 s instead of a time-out per group.

#include "device/d2xx/unit_sources.h"
#include "device/d2xx/virtual_device.h"
#include "device/rv8.h"
#include "model/write_group.h"
#include "sim/sim_unit.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Every group marked, as Write All marks them.
void mark_all(rv8_worker& worker)
{
    for (int t = tbl_aux; t <= tbl_gpo2; ++t)
        worker.add_field_to_var(QByteArray(640, char(t)), table_index(t));
    for (int i = 0; i < int_last; ++i)
        if (group_of(int_index(i)) >= 0)
            worker.add_field_to_var(quint32(1), int_index(i));
}

double timed_write(rv8_worker& worker)
{
    mark_all(worker);
    QElapsedTimer clock;
    clock.start();
    worker.start_write();
    return clock.nsecsElapsed() / 1e6;
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    register_model_meta_types();
    unit_sources sources(false);
    auto device = sources.add_virtual_unit();
    rv8_worker worker;
    worker.open();
    worker.start_read(); // a write needs the model filled once
    std::vector<double> answered, silent;
    for (int i = 0; i < 5; ++i) {
        answered.push_back(timed_write(worker));
        device->with([](sim_unit*, virtual_faults& f) {
            f.strike_on = QByteArray::fromHex("C30C"); // the GPO1 table, third in the order
            f.strike = [](sim_unit* unit, virtual_faults&) { unit->faults().drop_replies = 1000; };
            return 0;
        });
        silent.push_back(timed_write(worker));
        device->with([](sim_unit* unit, virtual_faults&) {
            unit->faults().drop_replies = 0;
            return 0;
        });
        worker.remove_all_sets();
    }
    std::printf("{\"bench\":\"write_silent\",\"write_all_ms_median\":%.1f,\"write_all_silent_from_third_group_ms_median\":%.1f,"
                "\"target_ms\":3000,\"runs\":5}\n",
                median(answered), median(silent));
    return 0;
}
