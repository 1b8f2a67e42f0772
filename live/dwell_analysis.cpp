#include "live/dwell_analysis.h"

#include "live/rv8_log.h"

#include <QThread>

dwell_analysis::dwell_analysis(const rv8_log& store, int tables, QObject* parent)
    : QObject(parent), store(store), maps(size_t(tables)), trails(size_t(tables)), first(size_t(tables), 0)
{
}

dwell_analysis::~dwell_analysis()
{
    if (worker)
        worker->wait();
}

void dwell_analysis::set_table(int table, const dwell_axes& axes, const dwell_source& source)
{
    maps[size_t(table)] = dwell_map(axes, source);
    trails[size_t(table)].clear();
    recount();
}

void dwell_analysis::restart()
{
    std::fill(first.begin(), first.end(), 0);
    for (operating_trail& t : trails)
        t.clear();
    recount();
}

void dwell_analysis::reset(int table)
{
    // From the next sample to be counted on, measured from the last one counted, as a recount does.
    first[size_t(table)] = cursor;
    dwell_map empty(maps[size_t(table)].axes(), maps[size_t(table)].source());
    if (cursor > 0)
        empty.pass(store.const_timestamps().value(cursor - 1));
    maps[size_t(table)] = empty;
    if (counting())
        recount();
    else
        emit changed(table);
}

void dwell_analysis::set_range(qint64 from, qint64 to)
{
    range_from = from;
    range_to = to;
    recount();
}

void dwell_analysis::clear_range()
{
    range_from = std::numeric_limits<qint64>::min();
    range_to = std::numeric_limits<qint64>::max();
    recount();
}

void dwell_analysis::set_trail_seconds(int table, double seconds)
{
    trails[size_t(table)].set_seconds(seconds);
}

void dwell_analysis::catch_up()
{
    if (counting())
        return; // the count under way takes these, and catches up itself
    const int end = store.size();
    if (end < cursor) {
        // Emptied behind our back: nothing counted belongs to this store.
        restart();
        return;
    }
    if (end - cursor > catch_up_limit) {
        recount();
        return;
    }
    if (end == cursor)
        return;
    std::vector<dwell_map*> all;
    for (dwell_map& m : maps)
        all.push_back(&m);
    dwell_map::add_rows(all, store, cursor, end, range_from, range_to);
    const tsafe_qvector<qint64>& stamps = store.const_timestamps();
    const int from = std::max(cursor, end - 500); // a trail never holds more than its seconds
    for (int p = from; p < end; ++p) {
        const qint64 t = stamps.value(p);
        const quint32 rpm = store.const_data(rv8_log::e_rpm).value(p);
        for (size_t k = 0; k < maps.size(); ++k) {
            const quint32 load = store.const_data(rv8_log::e_data(maps[k].source().load_column)).value(p);
            trails[k].add(t, maps[k].position(rpm, load));
        }
    }
    cursor = end;
    emit changed(-1);
}

void dwell_analysis::recount()
{
    ++generation;
    if (worker) {
        again = true;
        return;
    }
    auto result = std::make_shared<counted>();
    result->generation = generation;
    result->end = store.size();
    result->maps.reserve(maps.size());
    for (const dwell_map& m : maps)
        result->maps.emplace_back(m.axes(), m.source());
    const std::vector<int> starts = first;
    const qint64 from = range_from, to = range_to;
    const rv8_log* log = &store;
    worker = QThread::create([result, starts, from, to, log] {
        // Maps that count from the same position share one pass over the store.
        std::vector<int> done(result->maps.size(), 0);
        for (size_t i = 0; i < result->maps.size(); ++i) {
            if (done[i])
                continue;
            std::vector<dwell_map*> group;
            for (size_t j = i; j < result->maps.size(); ++j)
                if (!done[j] && starts[j] == starts[i]) {
                    group.push_back(&result->maps[j]);
                    done[j] = 1;
                }
            // The sample before the first one counted only measures the first one's interval.
            if (starts[i] > 0)
                for (dwell_map* m : group)
                    m->pass(log->const_timestamps().value(starts[i] - 1));
            dwell_map::add_rows(group, *log, starts[i], result->end, from, to);
        }
    });
    QThread* thread = worker;
    // A child, so that a count still running when the analysis goes is waited for and deleted.
    thread->setParent(this);
    connect(thread, &QThread::finished, this, [this, thread, result] {
        thread->deleteLater();
        worker = nullptr;
        take(result);
    });
    worker->start();
}

void dwell_analysis::take(const std::shared_ptr<counted>& result)
{
    if (again || result->generation != generation) {
        again = false;
        recount();
        return;
    }
    maps = std::move(result->maps);
    cursor = result->end;
    emit changed(-1);
    catch_up();
}
