#include "app/override_book.h"

#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace {
bool output_ok(table_index output)
{
    return output >= tbl_aux && output <= tbl_gpo2;
}
}

override_book::override_book(QObject* parent) : QObject(parent), tick(new QTimer(this))
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    now = [clock] { return clock->elapsed(); };
    // Often enough that a countdown never shows a second it has already passed.
    tick->setInterval(200);
    connect(tick, &QTimer::timeout, this, &override_book::check);
}

void override_book::set_clock(std::function<qint64()> clock)
{
    now = std::move(clock);
}

void override_book::set(table_index output, int percent, int seconds, const QString& serial)
{
    if (!output_ok(output))
        return;
    held_entry& e = entries[size_t(output)];
    e.held = true;
    e.connected = true;
    e.percent = percent;
    e.seconds = seconds;
    e.deadline = seconds > 0 ? now() + qint64(seconds) * 1000 : 0;
    e.serial = serial;
    follow_timer();
    emit changed();
}

void override_book::ended(table_index output)
{
    if (!output_ok(output) || !entries[size_t(output)].held)
        return;
    entries[size_t(output)] = held_entry();
    follow_timer();
    emit changed();
}

bool override_book::any_held() const
{
    for (const held_entry& e : entries)
        if (e.held)
            return true;
    return false;
}

QString override_book::left_text(table_index output) const
{
    if (!output_ok(output))
        return {};
    const held_entry& e = entry(output);
    if (!e.held)
        return {};
    if (!e.connected)
        return QStringLiteral("reset on reconnect");
    if (e.deadline == 0)
        return QStringLiteral("until reset");
    const qint64 left = qMax<qint64>(0, e.deadline - now());
    return QStringLiteral("%1 s").arg((left + 999) / 1000);
}

void override_book::link_lost()
{
    for (held_entry& e : entries)
        e.connected = false;
    follow_timer();
    emit changed();
}

QList<table_index> override_book::take_owed(const QString& serial)
{
    QList<table_index> owed;
    for (int o = tbl_aux; o <= tbl_gpo2; ++o) {
        held_entry& e = entries[size_t(o)];
        if (e.held && e.serial == serial) {
            owed << table_index(o);
            e = held_entry();
        }
    }
    follow_timer();
    emit changed();
    return owed;
}

QList<table_index> override_book::held_outputs() const
{
    QList<table_index> out;
    for (int o = tbl_aux; o <= tbl_gpo2; ++o)
        if (entries[size_t(o)].held && entries[size_t(o)].connected)
            out << table_index(o);
    return out;
}

void override_book::check()
{
    const qint64 t = now();
    QList<table_index> ran_out;
    for (int o = tbl_aux; o <= tbl_gpo2; ++o) {
        const held_entry& e = entries[size_t(o)];
        if (e.held && e.connected && e.deadline != 0 && t >= e.deadline)
            ran_out << table_index(o);
    }
    // Whoever resets it ends it; one not ended stays due and is reported again at the next check.
    for (table_index o : ran_out)
        emit expired(o);
    emit changed();
}

void override_book::follow_timer()
{
    bool counting = false;
    for (const held_entry& e : entries)
        counting = counting || (e.held && e.connected && e.deadline != 0);
    if (counting && !tick->isActive())
        tick->start();
    else if (!counting)
        tick->stop();
}
