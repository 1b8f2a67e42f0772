// Recording live data into a live-log file: for a time, until Ctrl+C, or between two conditions,
// beginning with the records of the seconds before the start when asked to.

#include "cli/cli_failure.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt_watch.h"
#include "cli/unit_session.h"
#include "live/live_channels.h"
#include "live/record_trigger.h"
#include "model/conv.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <memory>

namespace {

// The file opens with the settings that produced its samples, complete as the window saves them;
// they are also what the conditions' user units are read with.
unit_settings mark_all_settings(unit_session& session)
{
    unit_settings s = session.read();
    s.complete_for_file(session.fw_version(), session.variant());
    rv8_worker* w = session.worker();
    w->remove_all_sets();
    for (int t = tbl_aux; t <= tbl_gpo2; ++t)
        w->add_field_to_var(s.tables[t], table_index(t));
    for (int_index i : unit_settings::file_ints())
        w->add_field_to_var(quint32(s.ints[i]), i);
    return s;
}

// Empties the worker's store in its own thread; a recording of hours would otherwise keep every
// sample in memory. The file keeps them.
void harvest(rv8_worker* w)
{
    QMetaObject::invokeMethod(w, [w] { w->clear_live_logs(); }, Qt::QueuedConnection);
}

record_trigger::plan plan_of(const cli_options& o)
{
    record_trigger::plan p;
    p.has_start = o.has_start_when;
    p.start_when = o.start_when;
    p.has_stop = o.has_stop_when;
    p.stop_when = o.stop_when;
    return p;
}

} // namespace

int cmd_log(command_context& c)
{
    const QString path = c.options.args[0];
    c.session.open();
    converter conv;
    mark_all_settings(c.session).calibrate(conv);
    const channel_scale scale(conv);
    rv8_worker* w = c.session.worker();
    w->clear_live_logs();
    w->set_log_file(path);
    w->set_pre_trigger(c.options.pre_seconds);

    QEventLoop loop;
    int received = 0;
    int last_second = 0;
    int markers = 0;
    bool started = false;
    bool writing = false;
    bool armed = false;
    bool link_lost = false;
    QString file_failure;
    QElapsedTimer since;
    QTimer tick;
    int countdown = c.options.start_after;
    record_trigger trigger;
    const record_trigger::plan plan = plan_of(c.options);
    std::unique_ptr<signal_watch> usr1;
    if (c.options.has("--marker-on-signal"))
        usr1 = std::make_unique<signal_watch>(std::initializer_list<int>{SIGUSR1});

    // At the record the start condition held on, or now.
    const auto start_writing = [&](qint64 at = -1) {
        if (at >= 0)
            w->start_log_at(at);
        else
            w->enable_log_to_file(true);
        writing = true;
        since.start();
        if (c.options.seconds > 0)
            QTimer::singleShot(qRound(c.options.seconds * 1000), &loop, &QEventLoop::quit);
    };
    // After the countdown: wait for the start condition, or write from now on.
    const auto arm = [&] {
        armed = true;
        trigger.arm(plan, !plan.has_start);
        if (!plan.has_start)
            start_writing();
    };
    const auto show_status = [&] {
        if (!armed)
            console::status(QStringLiteral("writing to %1 starts in %2 s").arg(path).arg(countdown));
        else if (!writing)
            console::status(QStringLiteral("%1 (%2 records a second)").arg(trigger.describe(scale)).arg(received - last_second));
        else
            console::status(QStringLiteral("recording %1: %2 records, %3 per second, %4 s")
                                .arg(path)
                                .arg(w->rows_in_file())
                                .arg(received - last_second)
                                .arg(since.elapsed() / 1000));
    };
    QList<QMetaObject::Connection> wires{
        QObject::connect(w, &rv8_worker::log_started, &loop, [&] { started = true; }),
        QObject::connect(w, &rv8_worker::log_data_ready, &loop,
                         [&](const rv8_frame& frame) {
                             ++received;
                             if (!armed)
                                 return;
                             switch (trigger.feed(frame, scale)) {
                             case record_trigger::start:
                                 start_writing(frame.timestamp);
                                 break;
                             case record_trigger::stop:
                                 loop.quit();
                                 break;
                             case record_trigger::none:
                                 break;
                             }
                         }),
        QObject::connect(w, &rv8_worker::marker_added, &loop, [&](log_marker, bool in_file) { markers += in_file; }),
        QObject::connect(w, &rv8_worker::closed, &loop, [&] { link_lost = true; loop.quit(); }),
        QObject::connect(w, &rv8_worker::log_file_failed, &loop, [&](QString, QString reason) {
            file_failure = reason;
            loop.quit();
        }),
        QObject::connect(&c.interrupt, &signal_watch::arrived, &loop, &QEventLoop::quit),
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (!armed && --countdown <= 0)
                arm();
            show_status();
            last_second = received;
            harvest(w);
        }),
    };
    if (usr1)
        wires << QObject::connect(usr1.get(), &signal_watch::arrived, &loop,
                                  [w] { w->add_log_marker(-1, QStringLiteral("SIGUSR1")); });
    const int mark = console::problem_mark();
    w->start_live_logging();
    c.session.settle();
    if (!started)
        throw cli_failure{exit_link, QStringLiteral("unit %1 did not start its live data%2; check the cable and try again")
                                         .arg(c.session.serial(), unit_session::reported_since(mark))};
    if (countdown <= 0)
        arm();
    show_status();
    tick.start(1000);
    if (!c.interrupt.requested())
        loop.exec();
    tick.stop();
    // One last record is read before the stream goes off, and it still reaches the file.
    w->stop_live_logging(false);
    w->enable_log_to_file(false);
    c.session.settle();
    const qint64 rows = w->rows_in_file();
    for (const auto& wire : wires)
        QObject::disconnect(wire);
    console::end_progress();
    if (!file_failure.isEmpty())
        throw cli_failure{exit_link, QStringLiteral("%1; %2 records were written before it").arg(file_failure).arg(rows)};
    if (link_lost)
        throw cli_failure{exit_link, QStringLiteral("the link to unit %1 was lost; %2 holds %3 records; check the cable")
                                         .arg(c.session.serial(), path)
                                         .arg(rows)};
    if (!writing)
        throw cli_failure{exit_interrupted, QStringLiteral("interrupted before writing started; %1 was not created").arg(path)};
    QJsonObject json{{"file", path}, {"records", rows}};
    QString line = QStringLiteral("%1 records written to %2").arg(rows).arg(path);
    if (usr1) {
        json.insert(QStringLiteral("markers"), markers);
        line = QStringLiteral("%1 records and %2 %3 written to %4")
                   .arg(rows)
                   .arg(markers)
                   .arg(markers == 1 ? QStringLiteral("marker") : QStringLiteral("markers"), path);
    }
    console::out(c.options.json ? QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) : line);
    return exit_ok;
}
