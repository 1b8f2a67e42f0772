// The store is read by the chart while the worker appends, so besides the lookups the tests run a
// real appending thread against a reading one.

#include "live/rv8_log.h"
#include "live/rv8_log_batch.h"
#include "live/time_data.h"
#include "tests/support/log_capture.h"

#include <QtTest>

#include <atomic>
#include <thread>

namespace {

// A frame whose values all derive from its time stamp, so any torn read shows.
rv8_frame frame_at(qint64 t)
{
    std::array<quint32, rv8_frame::value_count> v;
    for (int e = 0; e < rv8_frame::value_count; ++e)
        v[size_t(e)] = quint32(t * 3 + e);
    return rv8_frame(t, v);
}

// Runs write on another thread and counts the times bad() holds meanwhile.
template <typename W, typename R>
int count_during(W&& write, R&& bad)
{
    std::atomic<bool> done{false};
    std::thread writer([&] { write(); done = true; });
    int count = 0;
    do
        count += bad();
    while (!done);
    writer.join();
    return count;
}

// Samples not matching their time stamp, read while f appends or clears.
template <typename F>
int torn_reads(time_data<unsigned int>& series, F&& f)
{
    return count_during(f, [&series] {
        const size_t count = series.size();
        int bad = 0;
        // The newest sample is the one an append may be half-way through.
        for (size_t i : {count - 1, count, count / 2}) {
            const QPointF p = series.sample(i);
            // A sample cleared meanwhile answers with the empty point, never with garbage.
            bad += p != QPointF() && p.y() != frame_at(qint64(p.x())).rpm;
        }
        return bad;
    });
}

// Frames first to first + n - 1, frame i taken at time_of(i).
template <typename T>
std::vector<rv8_frame> frames_of(int first, int n, T&& time_of)
{
    std::vector<rv8_frame> frames;
    for (int i = first; i < first + n; ++i)
        frames.push_back(frame_at(time_of(i)));
    return frames;
}

}  // namespace

class tst_log : public QObject {
    Q_OBJECT

private slots:
    // One sample per bucket, scattered and on both sides of the epoch, so the index grows several
    // times with keys arriving anywhere.
    void long_session_across_chunks()
    {
        rv8_log log;
        const auto time_of = [](int k) { return qint64((k * 7919) % 20011) * 40; };
        for (int k = -10000; k < 10000; ++k)
            log.append(frame_at(time_of(k)));
        QCOMPARE(log.size(), 20000);
        for (int i : {0, 2047, 2048, 4095, 4096, 19999})
            QVERIFY2(log.at(i) == frame_at(time_of(i - 10000)), qPrintable(QString::number(i)));
        int missed = 0;
        for (int k = -10000; k < 10000; ++k)
            missed += log.roughly_at(time_of(k) | 31) != frame_at(time_of(k));  // the bucket's last millisecond
        QCOMPARE(missed, 0);
        QVERIFY(log.roughly_at(20011 * 40 + 5000) == rv8_frame());
        log_capture capture;
        QVERIFY(log.at(20000) == rv8_frame() && log.at(-1) == rv8_frame());
        QCOMPARE(capture.texts(QtCriticalMsg),
                 QStringList({"Index i=20000 >= length=20000", "Index i=-1 >= length=20000"}));
    }

    // Buckets of 32 ms; within one the nearest sample wins, on a tie and among equals the newest.
    void roughly_at_bucket_rules()
    {
        rv8_log log;
        rv8_frame newer = frame_at(6400);
        newer.rpm = 1;
        for (const rv8_frame& f : {frame_at(3200), frame_at(3210), frame_at(3263), frame_at(6400), frame_at(6401),
                                   newer, frame_at(-1), frame_at(-33)})
            log.append(f);
        const QList<QPair<qint64, rv8_frame>> lookups = {
            {3204, frame_at(3200)}, {3206, frame_at(3210)}, {3205, frame_at(3210)}, {3231, frame_at(3210)},
            {3232, frame_at(3263)}, {3264, rv8_frame()},    {6400, newer},          {6401, frame_at(6401)},
            {-32, frame_at(-1)},    {0, rv8_frame()},       {-64, frame_at(-33)}};
        log_capture capture;
        for (const auto& l : lookups)
            QVERIFY2(log.roughly_at(l.first) == l.second, qPrintable(QString::number(l.first)));
        QVERIFY(capture.entries().isEmpty());
    }

    void backwards_time_stamps_then_clear()
    {
        rv8_log log;
        const qint64 times[] = {90000, 50000, 70000, 10000};
        for (qint64 t : times)
            log.append(frame_at(t));
        for (int i = 0; i < 4; ++i)
            QVERIFY(log.at(i) == frame_at(times[i]) && log.roughly_at(times[i] + 3) == frame_at(times[i]));
        for (int i = 0; i < 3000; ++i)
            log.append(frame_at(i * 5));
        log.clear();
        QVERIFY(log.size() == 0 && log.const_timestamps().size() == 0);
        for (int e = 0; e < rv8_log::e_last; ++e)
            QCOMPARE(log.const_data(rv8_log::e_data(e)).size(), 0);
        QVERIFY(log.roughly_at(100) == rv8_frame() && log.roughly_at(90000) == rv8_frame());
        // Positions start again from 0 and the old buckets are gone.
        log.append(frame_at(105));
        QVERIFY(log.roughly_at(100) == frame_at(105));
        QVERIFY(log.roughly_at(0) == rv8_frame() && log.at(0) == frame_at(105));
    }

    // Uneven batches start and end anywhere in a chunk; times run backwards and share buckets.
    void batch_append_equals_frame_by_frame()
    {
        rv8_log single;
        rv8_log batched;
        const auto time_of = [](int i) { return qint64((i * 37) % 5000) * 3 - 900; };
        int done = 0;
        for (int n : {0, 1, 2046, 2049, 5000, 1}) {
            for (const rv8_frame& f : frames_of(done, n, time_of))
                single.append(f);
            batched.append(frames_of(done, n, time_of));
            done += n;
        }
        QCOMPARE(batched.size(), done);
        for (int e = 0; e < rv8_log::e_last; ++e)
            QCOMPARE(batched.const_data(rv8_log::e_data(e)).size(), done);
        int differ = 0;
        for (int i = 0; i < done; ++i)
            differ += batched.at(i) != single.at(i) || batched.roughly_at(time_of(i)) != single.roughly_at(time_of(i));
        QCOMPARE(differ, 0);
        QVERIFY(batched.at(done - 1) == frame_at(time_of(done - 1)));
    }

    // Batches of three: a gap may open a batch, which reaches back into the marks already stored.
    void batch_marks_both_sides_of_a_gap()
    {
        rv8_log log;
        tsafe_qvector<unsigned int> marks;
        {
            rv8_log_batch batch(log, marks, 3);
            int i = 0;
            for (bool gap : {true, false, false, true, false, true, false})
                batch.add(frame_at(i++), gap);
            QVERIFY(log.size() == 6 && marks.size() == 6);
        }
        for (int i = 0; i < 7; ++i)
            QCOMPARE(marks.value(i, 9), (std::array<unsigned int, 7>{0, 1, 0, 0, 0, 0, 1}[size_t(i)]));
        QCOMPARE(log.size(), 7);
        QVERIFY(log.at(3) == frame_at(3) && log.at(6) == frame_at(6));
    }

    void time_data_samples()
    {
        rv8_log log;
        time_data<unsigned int> series(&log.const_timestamps(), &log.const_data(rv8_log::e_rpm), 0, 9000,
                                       [](double v) { return v * 2.0; });
        QVERIFY(!series.boundingRect().isValid());
        for (qint64 t : {1000, 400, 1500})
            log.append(frame_at(t));
        QCOMPARE(series.size(), size_t(3));
        QCOMPARE(series.sample(1), QPointF(400.0, 2.0 * frame_at(400).rpm));
        QCOMPARE(series.boundingRect(), QRectF(1000.0, 0.0, 500.0, 9000.0));

        // The moment inside an append when the time stamp is stored and the value is not yet.
        tsafe_qvector<qint64> stamps;
        tsafe_qvector<unsigned int> values;
        stamps.append_each(3, [](int i) { return qint64(10 + 10 * i); });
        values.append_each(2, [](int i) { return unsigned(1 + i); });
        time_data<unsigned int> partial(&stamps, &values, 0, 10);
        QCOMPARE(partial.size(), size_t(2));
        QCOMPARE(partial.sample(2), QPointF(20.0, 2.0));
        QCOMPARE(partial.sample(size_t(1) << 40), QPointF(20.0, 2.0));
        QCOMPARE(partial.boundingRect(), QRectF(10.0, 0.0, 10.0, 10.0));
        tsafe_qvector<unsigned int> none;
        QCOMPARE(time_data<unsigned int>(&stamps, &none, 0, 10).sample(0), QPointF());
    }

    void time_data_under_concurrent_append_and_clear()
    {
        rv8_log log;
        time_data<unsigned int> series(&log.const_timestamps(), &log.const_data(rv8_log::e_rpm), 0, 65535);
        QCOMPARE(torn_reads(series, [&log] {
                     for (int i = 0; i < 100000; ++i)
                         log.append(frame_at(i));
                     for (int round = 0; round < 200; ++round) {
                         log.clear();
                         for (int i = 1; i <= 500; ++i)
                             log.append(frame_at(i));
                     }
                     log.clear();
                 }),
                 0);
        QCOMPARE(series.size(), size_t(0));
    }

    // Stamps are stored before any column, so a column never holds a sample the stamps lack.
    void batch_append_under_a_concurrent_reader()
    {
        rv8_log log;
        const tsafe_qvector<unsigned int>& first_column = log.const_data(rv8_log::e_batt_adc);
        QCOMPARE(count_during([&log] {
                     for (int b = 0; b < 40; ++b)
                         log.append(frames_of(b * 2500, 2500, [](int i) { return qint64(i); }));
                 },
                 [&] {
                     const int column = first_column.size();  // read before the stamps
                     return column > log.const_timestamps().size();
                 }),
                 0);
        QCOMPARE(first_column.size(), 100000);
        QVERIFY(log.last() == frame_at(99999));
    }
};

QTEST_GUILESS_MAIN(tst_log)
#include "tst_log.moc"
