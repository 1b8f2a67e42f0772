#pragma once
// Where the engine spends its time on one duty table: per cell the seconds spent, the samples that
// fell nearest to it, and the mean output duty and current seen there.
//
// A sample stands for the time since the sample before it (one record period for the first one, or
// after a gap in the recording), and that time is split over the four cells around the operating
// point by the same bilinear weights the unit interpolates its duty with. Outside the axes the
// operating point counts at the nearest edge.

#include "live/rv8_frame.h"

#include <QPointF>

#include <array>
#include <vector>

class rv8_log;

struct dwell_axes {
    static constexpr int size = 16;
    std::array<double, size> rpm{};  // column breakpoints, left to right
    std::array<double, size> load{}; // row breakpoints, bottom row first

    // Where v lies on ascending breakpoints: between index and index + 1, fraction of the way.
    // Below the first it is the first (fraction 0), from the last on the last.
    struct position {
        int index;
        double fraction;
    };
    static position locate(const std::array<double, size>& points, double v);
};

// Which values of a sample a table is read by.
struct dwell_source {
    int load_column = 1;                // rv8_log::e_data of the load's raw counts
    std::vector<double> load_of_counts; // the load in the axis' units for every count 0 to 1023
    int duty_column = 9;                // the output's duty
    int current_column = -1;            // its current, or -1 for an output without one
};

struct dwell_cell {
    double seconds = 0;
    quint64 hits = 0;
    double weight = 0;  // the bilinear shares of all samples: what the means are taken over
    double duty = 0;    // percent, times weight
    double current = 0; // amps, times weight

    double mean_duty() const { return weight > 0 ? duty / weight : 0.0; }
    double mean_current() const { return weight > 0 ? current / weight : 0.0; }
    bool operator==(const dwell_cell& o) const
    {
        return seconds == o.seconds && hits == o.hits && weight == o.weight && duty == o.duty && current == o.current;
    }
};

class dwell_map {
public:
    static constexpr int size = dwell_axes::size;
    static constexpr double record_period_ms = 13.13;
    // Samples this far apart or more were not recorded in one stretch.
    static constexpr qint64 gap_ms = 51;

    struct weight {
        int row; // grid row, 0 at the top
        int column;
        double share;
    };

    dwell_map();
    dwell_map(const dwell_axes& axes, const dwell_source& source);

    void add(const rv8_frame& frame);
    void add(qint64 t, quint32 rpm, quint32 load_counts, quint32 duty, quint32 current);
    // Only the time stamp: the next sample's interval is measured from here.
    void pass(qint64 t);
    // The samples of the store at positions [first, end) whose stamps lie within [from, to], into
    // every map; the stamps before them count for the intervals.
    static void add_rows(const std::vector<dwell_map*>& maps, const rv8_log& log, int first, int end, qint64 from,
                         qint64 to);
    void reset();

    // The cells an operating point shares its time among, with their shares (summing to 1).
    std::vector<weight> weights(quint32 rpm, quint32 load_counts) const;
    // The operating point in cells: columns from the left, rows from the bottom, centres at whole numbers.
    QPointF position(quint32 rpm, quint32 load_counts) const;

    // Grid terms: row 0 is the top row (the highest load), as the table shows it.
    const dwell_cell& at(int row, int column) const { return cells[size_t(row * size + column)]; }
    double max_seconds() const;
    double total_seconds() const;
    quint64 samples() const { return count; }
    const dwell_axes& axes() const { return ax; }
    const dwell_source& source() const { return src; }
    bool operator==(const dwell_map& o) const { return cells == o.cells && count == o.count; }

private:
    double load_of(quint32 counts) const;
    double interval(qint64 t);

    dwell_axes ax;
    dwell_source src;
    std::array<dwell_cell, size * size> cells;
    quint64 count = 0;
    qint64 last_t = 0;
    bool has_last = false;
};
