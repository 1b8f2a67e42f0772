#pragma once
// The dwell maps of several duty tables over the samples of the log store, live or opened from a
// file, and the trail of each table's operating point while live data arrives.
//
// Live data is counted as it arrives (catch_up). Anything that asks for a count over many samples
// (an opened log, changed axes, a chart range, a reset while counting) runs on a thread of its own
// and replaces the maps when it is done, so the window never waits for a million rows.

#include "live/dwell_map.h"
#include "live/operating_trail.h"

#include <QObject>

#include <limits>
#include <memory>
#include <vector>

class QThread;
class rv8_log;

class dwell_analysis : public QObject {
    Q_OBJECT
public:
    // Counting this many new samples at once goes to the background.
    static constexpr int catch_up_limit = 20000;

    dwell_analysis(const rv8_log& store, int tables, QObject* parent = nullptr);
    ~dwell_analysis() override;

    // The table's axes and load source; its map is counted again from the samples it covers.
    void set_table(int table, const dwell_axes& axes, const dwell_source& source);
    // The store was emptied and filled anew (live data starting, a log opened): every map counts it
    // from its first sample and the trails start empty.
    void restart();
    // Counts the samples the store gained since the last count into every map and trail.
    void catch_up();
    // The table's map forgets what it holds and counts from the next sample on.
    void reset(int table);
    // Only samples stamped within [from, to] count, until clear_range().
    void set_range(qint64 from, qint64 to);
    void clear_range();
    bool has_range() const { return range_from != std::numeric_limits<qint64>::min() || range_to != std::numeric_limits<qint64>::max(); }
    void set_trail_seconds(int table, double seconds);

    int tables() const { return int(maps.size()); }
    const dwell_map& map(int table) const { return maps[size_t(table)]; }
    const operating_trail& trail(int table) const { return trails[size_t(table)]; }
    // A count runs in the background; changed() follows when it is done.
    bool counting() const { return worker != nullptr; }

signals:
    // The table's map (or, for -1, every map) holds something new.
    void changed(int table);

private:
    struct counted {
        int generation;
        int end;
        std::vector<dwell_map> maps;
    };
    void recount();
    void take(const std::shared_ptr<counted>& result);

    const rv8_log& store;
    std::vector<dwell_map> maps;
    std::vector<operating_trail> trails;
    std::vector<int> first;     // the store position each map counts from
    int cursor = 0;             // the first position not yet counted
    qint64 range_from = std::numeric_limits<qint64>::min();
    qint64 range_to = std::numeric_limits<qint64>::max();
    int generation = 0;
    bool again = false;         // a count was asked for while one ran
    QThread* worker = nullptr;
};
