// Live records come from the unit and rows from files users edit by hand, so both decoders are
// checked field by field, and every malformed row must give the zero frame and one message. The
// store is read by the chart while the worker appends, so besides the lookups the tests run a real
// appending thread against a reading one.

#include "live/dwell_map.h"
#include "live/live_channels.h"
#include "live/record_trigger.h"
#include "live/rv8_log.h"
#include "live/time_data.h"
#include "tests/support/log_capture.h"

#include <QDateTime>
#include <QtTest>

#include <atomic>
#include <numeric>
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

// Frames first to first + n - 1, frame i taken at time_of(i).
template <typename T>
std::vector<rv8_frame> frames_of(int first, int n, T&& time_of)
{
    std::vector<rv8_frame> frames;
    for (int i = first; i < first + n; ++i)
        frames.push_back(frame_at(time_of(i)));
    return frames;
}

// Engine speed 0 to 15000 across in steps of 1000, a load of 10 to 160 counts up in steps of 10.
dwell_map grid_map()
{
    dwell_axes axes;
    for (int i = 0; i < dwell_axes::size; ++i) {
        axes.rpm[size_t(i)] = 1000.0 * i;
        axes.load[size_t(i)] = 10.0 * (i + 1);
    }
    dwell_source source;
    source.load_column = rv8_log::e_map_adc;
    for (int c = 0; c <= 1023; ++c)
        source.load_of_counts.push_back(c);
    source.duty_column = rv8_log::e_main_duty;
    source.current_column = rv8_log::e_main_current;
    return dwell_map(axes, source);
}

rv8_frame engine_at(qint64 t, quint16 rpm, quint16 map = 0)
{
    rv8_frame f;
    f.timestamp = t;
    f.rpm = rpm;
    f.map_adc = map;
    return f;
}

// Bytes 1, 2, 3, ... 70: every field's value then shows its offset and width.
QByteArray counting_record()
{
    QByteArray r(70, 0);
    std::iota(r.begin(), r.end(), char(1));
    return r;
}

// "5,1,2,...,31" with one part replaced.
QString row_with(int part, const QString& text)
{
    QStringList parts = QString("5,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,"
                                "16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31").split(',');
    parts[part] = text;
    return parts.join(',');
}

}  // namespace

class tst_log : public QObject {
    Q_OBJECT

private slots:
    void record_and_row_text()
    {
        std::array<quint32, rv8_frame::value_count> maxima;
        maxima.fill(4294967295u);
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        rv8_frame f(counting_record());
        QVERIFY(f.timestamp >= before && f.timestamp <= QDateTime::currentMSecsSinceEpoch());
        QCOMPARE(f.to_row().section(',', 1),
                 QString("258,772,1286,1800,2314,2828,3342,3856,4370,4884,5398,5912,6426,6940,7454,31,32,33,8739,"
                         "36,37,9767,10281,707472429,46,791687474,859059510,926431546,993803582,16192,1094861636\r\n"));
        log_capture log;
        QCOMPARE(rv8_frame(counting_record().left(67)).values(), rv8_frame().values());
        QCOMPARE(rv8_frame(-5, maxima).to_row(),
                 QString("-5,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,"
                         "255,255,255,65535,255,255,65535,65535,4294967295,255,4294967295,4294967295,4294967295,"
                         "4294967295,65535,4294967295\r\n"));
        QCOMPARE(rv8_frame::csv_header(),
                 QString("timestamp,batt adc,map adc,an1 adc,afr,an2 adc,aux current,main current,rpm,aux duty,"
                         "main duty,gpo1 duty,boost target low,boost target high,pot boost target,gpo2 duty,"
                         "gpi1 state,gpi2 state,aux master,inj pulse width,error pol,coarse mode,command,current pos,"
                         "error,previous pid,pterm,iterm,dterm,istate,istate lu,result\r\n"));
        for (const rv8_frame& f : {rv8_frame(counting_record()), rv8_frame(-9223372036854775807 - 1, maxima),
                                   rv8_frame(9223372036854775807, maxima)})
            QVERIFY(rv8_frame(f.to_row()) == f);
        // Fields keep their low bits; parts after the last field are ignored.
        const rv8_frame low(row_with(24, "4294967299").replace(",16,", ",256,").replace("5,1,", "7,65537,") + ",x,,");
        QCOMPARE(low.to_row(),
                 QString("7,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,0,17,18,19,20,21,22,23,3,25,26,27,28,29,30,31\r\n"));
        QCOMPARE(log.texts(QtCriticalMsg), QStringList({"Live record too short: 67 bytes"}));
        QCOMPARE(log.entries().size(), 1);
        // Bad rows: a letter, 31 parts, an empty part, a negative value, a fractional time stamp, beyond 64 bits.
        for (const QString& row : {row_with(9, "x9"), row_with(0, "5").section(',', 0, 30), row_with(16, ""),
                                   row_with(31, "-31"), row_with(0, "5.5"), row_with(24, "18446744073709551616"),
                                   QString(), rv8_frame::csv_header()}) {
            log_capture log;
            const rv8_frame f(row);
            QVERIFY2(f == rv8_frame(), qPrintable(row));
            QCOMPARE(log.texts(), QStringList({"Could not parse line in log: " + row}));
            QCOMPARE(log.entries().first().type, QtCriticalMsg);
        }
    }

    // One sample per bucket, scattered over three chunks and both sides of the epoch, so every
    // lookup searches the whole store.
    void long_session_across_chunks()
    {
        rv8_log log;
        const auto time_of = [](int k) { return qint64((k * 7919) % 5003) * 40; };
        for (int k = -2500; k < 2500; ++k)
            log.append(frame_at(time_of(k)));
        QCOMPARE(log.size(), 5000);
        for (int i : {0, 2047, 2048, 4095, 4096, 4999})
            QVERIFY2(log.at(i) == frame_at(time_of(i - 2500)), qPrintable(QString::number(i)));
        int missed = 0;
        for (int k = -2500; k < 2500; ++k)
            missed += log.roughly_at(time_of(k) | 31) != frame_at(time_of(k));  // the bucket's last millisecond
        QCOMPARE(missed, 0);
        QVERIFY(log.roughly_at(5003 * 40 + 5000) == rv8_frame());
        log_capture capture;
        QVERIFY(log.at(5000) == rv8_frame() && log.at(-1) == rv8_frame());
        // Cleared, positions start again from 0 in every column and the old stamps are gone.
        log.clear();
        log.append(frame_at(105));
        QVERIFY(log.roughly_at(100) == frame_at(105) && log.at(0) == frame_at(105));
        QVERIFY(log.roughly_at(time_of(1)) == rv8_frame());
        // Buckets of 32 ms; within one the nearest sample wins, on a tie and among equals the newest.
        rv8_frame newer = frame_at(6400);
        newer.rpm = 1;
        for (const rv8_frame& f : {frame_at(3200), frame_at(3210), frame_at(3263), frame_at(6400), frame_at(6401),
                                   newer, frame_at(-1), frame_at(-33)})
            log.append(f);
        const QList<QPair<qint64, rv8_frame>> lookups = {
            {3204, frame_at(3200)}, {3206, frame_at(3210)}, {3205, frame_at(3210)}, {3231, frame_at(3210)},
            {3232, frame_at(3263)}, {3264, rv8_frame()},    {6400, newer},          {6401, frame_at(6401)},
            {-32, frame_at(-1)},    {0, rv8_frame()},       {-64, frame_at(-33)}};
        for (const auto& l : lookups)
            QVERIFY2(log.roughly_at(l.first) == l.second, qPrintable(QString::number(l.first)));
        QCOMPARE(capture.texts(), QStringList({"Index i=5000 >= length=5000", "Index i=-1 >= length=5000"}));
        QCOMPARE(capture.entries().first().type, QtCriticalMsg);
    }

    // Uneven batches start and end anywhere in a chunk; times run backwards and share buckets.
    void batch_append_equals_frame_by_frame()
    {
        rv8_log single;
        rv8_log batched;
        rv8_log columned;
        const auto time_of = [](int i) { return qint64((i * 37) % 3000) * 3 - 900; };
        int done = 0;
        for (int n : {0, 1, 2046, 2049, 700, 1}) {
            for (const rv8_frame& f : frames_of(done, n, time_of))
                single.append(f);
            batched.append(frames_of(done, n, time_of));
            // Columns as a parse hands them over.
            std::vector<qint64> stamps;
            std::array<std::vector<quint32>, rv8_frame::value_count> values;
            for (const rv8_frame& f : frames_of(done, n, time_of)) {
                stamps.push_back(f.timestamp);
                for (int e = 0; e < rv8_frame::value_count; ++e)
                    values[size_t(e)].push_back(f.value(e));
            }
            std::array<const quint32*, rv8_frame::value_count> from;
            for (int e = 0; e < rv8_frame::value_count; ++e)
                from[size_t(e)] = values[size_t(e)].data();
            columned.append_columns(n, stamps.data(), from);
            done += n;
        }
        QCOMPARE(batched.size(), done);
        for (int e = 0; e < rv8_log::e_last; ++e)
            QCOMPARE(batched.const_data(rv8_log::e_data(e)).size(), done);
        int differ = 0;
        for (int i = 0; i < done; ++i)
            differ += batched.at(i) != single.at(i) || columned.at(i) != single.at(i)
                      || (i % 8 == 0 && (batched.roughly_at(time_of(i)) != single.roughly_at(time_of(i))
                                         || columned.roughly_at(time_of(i)) != single.roughly_at(time_of(i))));
        QCOMPARE(differ, 0);
        QVERIFY(batched.at(done - 1) == frame_at(time_of(done - 1)));
    }

    // Rows and columns in grid terms: row 0 is the top (the highest load).
    void dwell_weights_data()
    {
        QTest::addColumn<int>("rpm");
        QTest::addColumn<int>("load");
        QTest::addColumn<QString>("weights"); // row,column:share ...
        QTest::addColumn<QString>("hit");
        QTest::newRow("on a breakpoint") << 3000 << 60 << "10,3:1" << "10,3";
        QTest::newRow("between") << 2250 << 85 << "7,2:0.375 7,3:0.125 8,2:0.375 8,3:0.125" << "7,2";
        QTest::newRow("above and right of the axes") << 20000 << 500 << "0,15:1" << "0,15";
        QTest::newRow("below the axes") << 0 << 5 << "15,0:1" << "15,0";
        QTest::newRow("on the last breakpoint") << 15000 << 160 << "0,15:1" << "0,15";
    }
    void dwell_weights()
    {
        QFETCH(int, rpm);
        QFETCH(int, load);
        dwell_map map = grid_map();
        QStringList shares;
        for (const dwell_map::weight& w : map.weights(quint32(rpm), quint32(load)))
            shares << QStringLiteral("%1,%2:%3").arg(w.row).arg(w.column).arg(w.share);
        QTEST(shares.join(' '), "weights");
        // A sample stands for the time since the one before: 40 ms here, split by the same shares.
        map.add(engine_at(1000, 0, 500));
        map.add(engine_at(1040, quint16(rpm), quint16(load)));
        QStringList hits;
        for (int r = 0; r < dwell_map::size; ++r)
            for (int c = 0; c < dwell_map::size; ++c)
                if (map.at(r, c).hits && !(r == 0 && c == 0))
                    hits << QStringLiteral("%1,%2").arg(r).arg(c);
        for (const dwell_map::weight& w : map.weights(quint32(rpm), quint32(load)))
            QCOMPARE(map.at(w.row, w.column).seconds - (w.row == 0 && w.column == 0 ? 0.01313 : 0), 0.040 * w.share);
        QTEST(hits.join(' '), "hit");
        QCOMPARE(map.total_seconds(), 0.01313 + 0.040); // the shares split the whole 40 ms
    }

    // The first sample and the one after a gap count one record period; stamps going back too.
    void dwell_intervals_and_means()
    {
        dwell_map map = grid_map();
        const qint64 stamps[] = {5000, 5013, 5026, 5100, 5110, 4000};
        const double counted[] = {13.13, 13, 13, 13.13, 10, 13.13};
        double total = 0;
        for (size_t i = 0; i < std::size(stamps); ++i) {
            rv8_frame f = engine_at(stamps[i], 3000, 60);
            f.main_duty = i % 2 ? 1023 : 0;
            f.main_current = 205;
            map.add(f);
            total += counted[i] / 1000;
            QCOMPARE(map.at(10, 3).seconds, total);
        }
        QCOMPARE(map.at(10, 3).hits, quint64(6));
        QCOMPARE(map.at(10, 3).mean_duty(), 50.0);
        QCOMPARE(map.at(10, 3).mean_current(), 205 / 20.48);
        QCOMPARE(map.samples(), quint64(6));
        map.reset();
        QCOMPARE(map.total_seconds(), 0.0);
    }

    void condition_texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // the condition read back as text, or the error
        const QString channels = live_channels::keys().join(", ");
        const QString form = "write CHANNEL OP VALUE [for SECONDS], for example \"rpm>3000 for 0.5\"";
        QTest::newRow("with a hold") << "rpm>3000 for 0.5" << "rpm>3000 for 0.5";
        QTest::newRow("blanks and case") << " MAP <= -2.5 " << "map<=-2.5";
        QTest::newRow("seconds written out") << "main_duty>=50 for 2s" << "main_duty>=50 for 2";
        QTest::newRow("no such channel") << "rpn>3000" << "\"rpn\" is no live channel; channels are " + channels;
        QTest::newRow("no operator") << "rpm=>3000" << "cannot read \"rpm=>3000\": " + form;
        QTest::newRow("hold below zero") << "rpm>3000 for -1" << "cannot read \"rpm>3000 for -1\": " + form;
        QTest::newRow("hold missing") << "rpm>3000 for" << "cannot read \"rpm>3000 for\": " + form;
    }
    void condition_texts()
    {
        QFETCH(QString, text);
        record_condition c;
        QString error;
        QTEST(record_condition::parse(text, &c, &error) ? c.text() : error, "read");
    }

    // Start once RPM > 3000 has held 0.5 s, stop once RPM < 1500 has held 1 s: samples 100 ms apart.
    void trigger_holds_and_hysteresis()
    {
        record_trigger::plan plan;
        plan.has_start = plan.has_stop = true;
        record_condition::parse("rpm>3000 for 0.5", &plan.start_when, nullptr);
        record_condition::parse("rpm<1500 for 1", &plan.stop_when, nullptr);
        const QList<QPair<int, int>> drive = {{1000, 3}, {4000, 5}, {1000, 1}, {4000, 8}, {2000, 10},
                                              {1000, 10}, {2000, 1}, {1000, 12}, {4000, 6}};
        const channel_scale scale;
        QStringList actions;
        record_trigger trigger;
        trigger.arm(plan, false);
        qint64 t = 0;
        int sample = 0;
        for (const auto& d : drive)
            for (int k = 0; k < d.second; ++k, ++sample, t += 100)
                if (const auto a = trigger.feed(engine_at(t, quint16(d.first)), scale))
                    actions << QStringLiteral("%1 at %2").arg(a == record_trigger::start ? "start" : "stop").arg(sample);
        // 5 samples of 4000 hold 0.4 s; the next run holds 0.5 s at its 6th sample (9 + 5); the 2000s
        // lie between the two thresholds; a 1 s run of 1000 ends at its 11th sample; then again.
        QCOMPARE(actions, QStringList({"start at 14", "stop at 48", "start at 55"}));
        QCOMPARE(trigger.describe(scale), QStringLiteral("Recording: stop when Engine speed < 1500 RPM for 1 s"));

        // Without a start condition the recording ends for good; a time limit ends it too.
        plan.has_start = false;
        plan.stop_after_s = 0.3;
        trigger.arm(plan, true);
        actions.clear();
        for (int k = 0; k < 6; ++k)
            if (trigger.feed(engine_at(1000 + 100 * k, 2000), scale) == record_trigger::stop)
                actions << QString::number(k);
        QCOMPARE(actions, QStringList{"3"});
        QCOMPARE(trigger.state(), record_trigger::done);
    }

    void time_data_samples_and_concurrent_readers()
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

        // The chart reads while the worker appends in batches and one by one and clears. Stamps are stored
        // before any column, so no column holds a sample the stamps lack, and the series hands over only
        // whole samples; one cleared meanwhile is the empty point, never garbage.
        log.clear();
        const tsafe_qvector<unsigned int>& first_column = log.const_data(rv8_log::e_batt_adc);
        std::atomic<bool> clearing{false};
        QCOMPARE(count_during([&] {
                     for (int b = 0; b < 20; ++b)
                         log.append(frames_of(b * 2500, 2500, [](int i) { return qint64(i); }));
                     for (int i = 0; i < 30000; ++i)
                         log.append(frame_at(i));
                     clearing = true;  // a clear empties the stamps first
                     for (int round = 0; round < 100; ++round) {
                         log.clear();
                         for (int i = 1; i <= 500; ++i)
                             log.append(frame_at(i));
                     }
                     log.clear();
                 },
                 [&] {
                     const int column = first_column.size();  // read before the stamps
                     int bad = column > log.const_timestamps().size() && !clearing;
                     const size_t count = series.size();
                     // The newest sample is the one an append may be half-way through.
                     for (size_t i : {count - 1, count, count / 2}) {
                         const QPointF p = series.sample(i);
                         bad += p != QPointF() && p.y() != 2.0 * frame_at(qint64(p.x())).rpm;
                     }
                     return bad;
                 }),
                 0);
        QCOMPARE(series.size(), size_t(0));
    }
};

QTEST_GUILESS_MAIN(tst_log)
#include "tst_log.moc"
