// The store is read by the chart while the worker appends, so besides the lookups the tests run a
// real appending thread against a reading one.

#include "live/rv8_log.h"
#include "live/time_data.h"
#include "tests/support/log_capture.h"

#include <QThread>
#include <QtTest>

#include <atomic>

namespace {

// A frame whose values all derive from its time stamp, so any torn read shows.
rv8_frame frame_at(qint64 t)
{
    std::array<quint32, rv8_frame::value_count> v;
    for (int e = 0; e < rv8_frame::value_count; ++e)
        v[size_t(e)] = quint32(t * 3 + e);
    return rv8_frame(t, v);
}

double times_two(double v)
{
    return v * 2.0;
}

double expected_rpm(qint64 t)
{
    return double(quint16(t * 3 + rv8_log::e_rpm));
}

}  // namespace

class tst_log : public QObject {
    Q_OBJECT

private slots:
    void at_rebuilds_each_sample_across_chunks();
    void at_out_of_range();
    void roughly_at_stays_in_its_bucket();
    void roughly_at_prefers_nearest_then_newest();
    void roughly_at_exact_match_and_duplicates();
    void negative_times_bucket_downwards();
    void roughly_at_finds_every_sample_of_a_long_session();
    void backwards_time_stamps_kept_in_arrival_order();
    void clear_empties_everything();
    void const_data_columns();
    void time_data_samples_and_conversion();
    void time_data_bounding_rect();
    void time_data_counts_only_complete_samples();
    void time_data_under_concurrent_append();
    void time_data_under_concurrent_clear();
};

void tst_log::at_rebuilds_each_sample_across_chunks()
{
    rv8_log log;
    const int n = 5000;
    for (int i = 0; i < n; ++i)
        log.append(frame_at(1000 + i * 13));
    QCOMPARE(log.size(), n);
    for (int i : {0, 2047, 2048, 4095, 4096, n - 1})
        QVERIFY2(log.at(i) == frame_at(1000 + i * 13), qPrintable(QString::number(i)));
    QVERIFY(log.last() == frame_at(1000 + (n - 1) * 13));
}

void tst_log::at_out_of_range()
{
    rv8_log log;
    log.append(frame_at(10));
    log.append(frame_at(20));
    log_capture capture;
    QVERIFY(log.at(2) == rv8_frame());
    QVERIFY(log.at(-1) == rv8_frame());
    QCOMPARE(capture.texts(QtCriticalMsg), QStringList({"Index i=2 >= length=2", "Index i=-1 >= length=2"}));
}

void tst_log::roughly_at_stays_in_its_bucket()
{
    rv8_log log;
    log.append(frame_at(3231));  // last millisecond of bucket 100
    log_capture capture;
    QVERIFY(log.roughly_at(3232) == rv8_frame());  // 1 ms away, next bucket
    QVERIFY(log.roughly_at(3200) == frame_at(3231));
    QVERIFY(capture.entries().isEmpty());
}

void tst_log::roughly_at_prefers_nearest_then_newest()
{
    rv8_log log;
    log.append(frame_at(3200));
    log.append(frame_at(3210));
    log.append(frame_at(5000));
    QVERIFY(log.roughly_at(3204) == frame_at(3200));
    QVERIFY(log.roughly_at(3206) == frame_at(3210));
    QVERIFY(log.roughly_at(3205) == frame_at(3210));  // a tie goes to the later sample
    QVERIFY(log.roughly_at(3231) == frame_at(3210));
}

void tst_log::roughly_at_exact_match_and_duplicates()
{
    rv8_log log;
    rv8_frame older = frame_at(6400);
    rv8_frame newer = frame_at(6400);
    newer.rpm = 1;
    log.append(older);
    log.append(frame_at(6401));
    log.append(newer);
    QVERIFY(log.roughly_at(6400) == newer);
    QVERIFY(log.roughly_at(6401) == frame_at(6401));
}

void tst_log::negative_times_bucket_downwards()
{
    rv8_log log;
    log.append(frame_at(-1));
    log.append(frame_at(-33));
    QVERIFY(log.roughly_at(-32) == frame_at(-1));
    QVERIFY(log.roughly_at(0) == rv8_frame());
    QVERIFY(log.roughly_at(-64) == frame_at(-33));
}

void tst_log::roughly_at_finds_every_sample_of_a_long_session()
{
    // One sample per bucket, in scattered order and on both sides of the epoch, so the index has
    // to grow several times with keys arriving anywhere.
    rv8_log log;
    QVector<qint64> times;
    for (qint64 k = -10000; k < 10000; ++k)
        times.append(((k * 7919) % 20011) * 40);
    for (qint64 t : times)
        log.append(frame_at(t));
    int missed = 0;
    for (qint64 t : times) {
        if (log.roughly_at(t + 31 - (t & 31)) != frame_at(t))
            ++missed;
    }
    QCOMPARE(missed, 0);
    QVERIFY(log.roughly_at(20011 * 40 + 5000) == rv8_frame());
}

void tst_log::backwards_time_stamps_kept_in_arrival_order()
{
    rv8_log log;
    const qint64 times[] = {90000, 50000, 70000, 10000};
    for (qint64 t : times)
        log.append(frame_at(t));
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(log.const_timestamps().value(i), times[i]);
        QVERIFY(log.at(i) == frame_at(times[i]));
        QVERIFY(log.roughly_at(times[i] + 3) == frame_at(times[i]));
    }
}

void tst_log::clear_empties_everything()
{
    rv8_log log;
    for (int i = 0; i < 3000; ++i)
        log.append(frame_at(i * 5));
    log.clear();
    QCOMPARE(log.size(), 0);
    QCOMPARE(log.const_timestamps().size(), 0);
    for (int e = 0; e < rv8_log::e_last; ++e)
        QCOMPARE(log.const_data(rv8_log::e_data(e)).size(), 0);
    QVERIFY(log.roughly_at(100) == rv8_frame());

    // Positions start again from 0 and the old buckets are gone.
    log.append(frame_at(105));
    QVERIFY(log.roughly_at(100) == frame_at(105));
    QVERIFY(log.roughly_at(0) == rv8_frame());
    QVERIFY(log.at(0) == frame_at(105));
}

void tst_log::const_data_columns()
{
    rv8_log log;
    rv8_frame f = frame_at(7);
    f.gpi2_state = 200;
    f.result = 4000000000u;
    log.append(f);
    QCOMPARE(log.const_data(rv8_log::e_gpi2_state).value(0), 200u);
    QCOMPARE(log.const_data(rv8_log::e_result).value(0), 4000000000u);
    QCOMPARE(log.const_data(rv8_log::e_rpm).value(0), quint32(f.rpm));
    QCOMPARE(&log.const_data(rv8_log::e_last), &log.const_data(rv8_log::e_batt_adc));
}

void tst_log::time_data_samples_and_conversion()
{
    rv8_log log;
    log.append(frame_at(100));
    log.append(frame_at(140));
    time_data<unsigned int> raw(&log.const_timestamps(), &log.const_data(rv8_log::e_rpm), 0, 9000);
    time_data<unsigned int> converted(&log.const_timestamps(), &log.const_data(rv8_log::e_rpm), 0, 9000, times_two);
    QCOMPARE(raw.size(), size_t(2));
    QCOMPARE(raw.sample(1), QPointF(140.0, expected_rpm(140)));
    QCOMPARE(converted.sample(0), QPointF(100.0, 2 * expected_rpm(100)));
}

void tst_log::time_data_bounding_rect()
{
    rv8_log log;
    time_data<unsigned int> series(&log.const_timestamps(), &log.const_data(rv8_log::e_map_adc), 0, 1023);
    QVERIFY(!series.boundingRect().isValid());
    log.append(frame_at(1000));
    log.append(frame_at(400));
    log.append(frame_at(1500));
    QCOMPARE(series.boundingRect(), QRectF(1000.0, 0.0, 500.0, 1023.0));
    QCOMPARE(series.boundingRect().left() + series.boundingRect().width(), 1500.0);
}

void tst_log::time_data_counts_only_complete_samples()
{
    // The moment inside an append when the time stamp is stored and the value is not yet.
    tsafe_qvector<qint64> stamps;
    tsafe_qvector<unsigned int> values;
    for (qint64 t : {10, 20, 30})
        stamps.append(t);
    values.append(1);
    values.append(2);
    time_data<unsigned int> series(&stamps, &values, 0, 10);
    QCOMPARE(series.size(), size_t(2));
    QCOMPARE(series.sample(2), QPointF(20.0, 2.0));
    QCOMPARE(series.sample(size_t(1) << 40), QPointF(20.0, 2.0));
    QCOMPARE(series.boundingRect(), QRectF(10.0, 0.0, 10.0, 10.0));
    tsafe_qvector<unsigned int> none;
    time_data<unsigned int> empty(&stamps, &none, 0, 10);
    QCOMPARE(empty.size(), size_t(0));
    QCOMPARE(empty.sample(0), QPointF());
}

void tst_log::time_data_under_concurrent_append()
{
    rv8_log log;
    time_data<unsigned int> series(&log.const_timestamps(), &log.const_data(rv8_log::e_rpm), 0, 65535);
    const int n = 100000;
    QThread* appender = QThread::create([&log] {
        for (int i = 0; i < n; ++i)
            log.append(frame_at(i));
    });
    appender->start();
    int bad = 0;
    size_t reads = 0;
    while (!appender->isFinished() || reads == 0) {
        const size_t count = series.size();
        if (count == 0)
            continue;
        // The newest sample is the one an append may be half-way through.
        for (size_t i : {count - 1, count, count / 2}) {
            const QPointF p = series.sample(i);
            if (p.y() != expected_rpm(qint64(p.x())))
                ++bad;
            ++reads;
        }
    }
    appender->wait();
    delete appender;
    QCOMPARE(bad, 0);
    QCOMPARE(series.size(), size_t(n));
}

void tst_log::time_data_under_concurrent_clear()
{
    rv8_log log;
    time_data<unsigned int> series(&log.const_timestamps(), &log.const_data(rv8_log::e_rpm), 0, 65535);
    std::atomic<bool> done{false};
    QThread* writer = QThread::create([&] {
        for (int round = 0; round < 200; ++round) {
            for (int i = 1; i <= 500; ++i)
                log.append(frame_at(i));
            log.clear();
        }
        done = true;
    });
    writer->start();
    int bad = 0;
    while (!done) {
        const size_t count = series.size();
        for (size_t i = 0; i < count; i += 97) {
            const QPointF p = series.sample(i);
            // A sample cleared meanwhile answers with the empty point, never with garbage.
            if (p != QPointF() && p.y() != expected_rpm(qint64(p.x())))
                ++bad;
        }
    }
    writer->wait();
    delete writer;
    QCOMPARE(bad, 0);
    QCOMPARE(series.size(), size_t(0));
}

QTEST_GUILESS_MAIN(tst_log)
#include "tst_log.moc"
