// Recording live data into a live-log file, for a time or until Ctrl+C.

#include "cli/cli_failure.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt_watch.h"
#include "cli/unit_session.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <atomic>

namespace {

// The file opens with the settings that produced its samples, complete as the window saves them.
void mark_all_settings(unit_session& session)
{
    unit_settings s = session.read();
    s.complete_for_file(session.fw_version(), session.variant());
    rv8_worker* w = session.worker();
    w->remove_all_sets();
    for (int t = tbl_aux; t <= tbl_gpo2; ++t)
        w->add_field_to_var(s.tables[t], table_index(t));
    for (int_index i : unit_settings::file_ints())
        w->add_field_to_var(quint32(s.ints[i]), i);
}

// Counts the rows the worker wrote and empties its store, both in its own thread so that no record
// slips in between; a recording of hours would otherwise keep every sample in memory.
void harvest(rv8_worker* w, std::atomic<qint64>* rows)
{
    QMetaObject::invokeMethod(
        w,
        [w, rows] {
            const tsafe_qvector<unsigned int>& marks = w->get_file_marks();
            qint64 n = 0;
            for (int i = 0; i < marks.size(); ++i)
                n += marks.value(i) == 1;
            *rows += n;
            w->clear_live_logs();
        },
        Qt::QueuedConnection);
}

} // namespace

int cmd_log(command_context& c)
{
    const QString path = c.options.args[0];
    c.session.open();
    mark_all_settings(c.session);
    rv8_worker* w = c.session.worker();
    w->clear_live_logs();
    w->set_log_file(path);

    QEventLoop loop;
    std::atomic<qint64> rows{0};
    int received = 0;
    int last_second = 0;
    bool started = false;
    bool writing = false;
    bool link_lost = false;
    QString file_failure;
    QElapsedTimer since;
    QTimer tick;
    int countdown = c.options.start_after;
    const auto start_writing = [&] {
        w->enable_log_to_file(true);
        writing = true;
        since.start();
        if (c.options.seconds > 0)
            QTimer::singleShot(qRound(c.options.seconds * 1000), &loop, &QEventLoop::quit);
    };
    QList<QMetaObject::Connection> wires{
        QObject::connect(w, &rv8_worker::log_started, &loop, [&] { started = true; }),
        QObject::connect(w, &rv8_worker::log_data_ready, &loop, [&](const rv8_frame&) { ++received; }),
        QObject::connect(w, &rv8_worker::closed, &loop, [&] { link_lost = true; loop.quit(); }),
        QObject::connect(w, &rv8_worker::log_file_failed, &loop, [&](QString, QString reason) {
            file_failure = reason;
            loop.quit();
        }),
        QObject::connect(&c.interrupt, &interrupt_watch::interrupted, &loop, &QEventLoop::quit),
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (!writing && --countdown <= 0)
                start_writing();
            else if (!writing)
                console::status(QStringLiteral("writing to %1 starts in %2 s").arg(path).arg(countdown));
            else
                console::status(QStringLiteral("recording %1: %2 records, %3 per second, %4 s")
                                    .arg(path)
                                    .arg(rows.load())
                                    .arg(received - last_second)
                                    .arg(since.elapsed() / 1000));
            last_second = received;
            harvest(w, &rows);
        }),
    };
    const int mark = console::problem_mark();
    w->start_live_logging();
    c.session.settle();
    if (!started)
        throw cli_failure{exit_link, QStringLiteral("unit %1 did not start its live data%2; check the cable and try again")
                                         .arg(c.session.serial(), unit_session::reported_since(mark))};
    if (countdown <= 0)
        start_writing();
    else
        console::status(QStringLiteral("writing to %1 starts in %2 s").arg(path).arg(countdown));
    tick.start(1000);
    if (!c.interrupt.requested())
        loop.exec();
    tick.stop();
    // One last record is read before the stream goes off, and it still reaches the file.
    w->stop_live_logging(false);
    w->enable_log_to_file(false);
    harvest(w, &rows);
    c.session.settle();
    for (const auto& wire : wires)
        QObject::disconnect(wire);
    console::end_progress();
    if (!file_failure.isEmpty())
        throw cli_failure{exit_link, QStringLiteral("%1; %2 records were written before it").arg(file_failure).arg(rows.load())};
    if (link_lost)
        throw cli_failure{exit_link, QStringLiteral("the link to unit %1 was lost; %2 holds %3 records; check the cable")
                                         .arg(c.session.serial(), path)
                                         .arg(rows.load())};
    if (!writing)
        throw cli_failure{exit_interrupted, QStringLiteral("interrupted before writing started; %1 was not created").arg(path)};
    if (c.options.json)
        console::out(QString::fromUtf8(
            QJsonDocument(QJsonObject{{"file", path}, {"records", rows.load()}}).toJson(QJsonDocument::Compact)));
    else
        console::out(QStringLiteral("%1 records written to %2").arg(rows.load()).arg(path));
    return exit_ok;
}
