#pragma once
// The output overrides the window has set on a unit and how long each may last. An override left
// running drives a pump or valve with nobody watching, so each one ends by itself unless "until
// reset" was chosen, and the window resets what it set when it closes or finds the unit again
// after a link loss.

#include "model/ids.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>

class QTimer;

class override_book : public QObject {
    Q_OBJECT
public:
    static constexpr int default_seconds = 10;
    static constexpr int max_seconds = 300;

    explicit override_book(QObject* parent = nullptr);

    // Milliseconds from a monotonic clock; replaceable so that a test can move time by hand.
    void set_clock(std::function<qint64()> clock);
    // seconds 0: until reset. Starts the countdown on unit `serial`.
    void set(table_index output, int percent, int seconds, const QString& serial);
    // The override was reset (or never took): nothing more to do for it.
    void ended(table_index output);
    bool held(table_index output) const { return entry(output).held; }
    bool any_held() const;
    int percent(table_index output) const { return entry(output).percent; }
    int seconds(table_index output) const { return entry(output).seconds; }
    // "9 s", "until reset", "" when not held; "reset on reconnect" while the unit is gone.
    QString left_text(table_index output) const;
    // The link is gone: countdowns stop, but what was set stays owed a reset on that unit.
    void link_lost();
    // Outputs held on unit `serial`, to be reset; they leave the book.
    QList<table_index> take_owed(const QString& serial);
    // Held outputs on the connected unit.
    QList<table_index> held_outputs() const;

public slots:
    // Ends every countdown that has run out (the timer calls it; so may a test).
    void check();

signals:
    void expired(table_index output);
    // A countdown's text changed.
    void changed();

private:
    struct held_entry {
        bool held = false;
        bool connected = false;
        int percent = -1;
        int seconds = 0;
        qint64 deadline = 0; // 0: until reset
        QString serial;
    };
    const held_entry& entry(table_index output) const { return entries[size_t(output)]; }
    void follow_timer();

    std::array<held_entry, 4> entries;
    std::function<qint64()> now;
    QTimer* tick;
};
