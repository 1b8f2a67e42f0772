#pragma once
// The window's one undo history. A step holds only what it changed (fields, and the cells of a
// table), before and after, and goes back through the form as an edit would; the form decides
// what that means for its change tracking.

#include <QString>
#include <QUndoCommand>
#include <QUndoStack>
#include <QVector>

#include <array>

// Everything a user can change in the settings form, as plain numbers.
struct form_state {
    std::array<QVector<int>, 4> cells; // per duty table, row-major from the top
    QVector<double> fields;            // in the form's own field order
};

struct form_delta {
    struct field { int index; double before, after; };
    struct cell { int table, index; int before, after; };
    QVector<field> fields;
    QVector<cell> cells;
    bool empty() const { return fields.isEmpty() && cells.isEmpty(); }
};

form_delta diff(const form_state& before, const form_state& after);

class form_access {
public:
    virtual ~form_access() = default;
    virtual form_state read_form() const = 0;
    // Puts the before or after values of every change back into the form.
    virtual void apply_form(const form_delta& delta, bool after) = 0;
};

class form_history {
public:
    explicit form_history(form_access& form);

    QUndoStack& stack() { return steps; }
    // The form as it is now is where the next step starts (a change that is no edit, such as a
    // change of display unit).
    void rebase();
    // What changed since the last step; empty when nothing did.
    form_delta pending() const;
    // Pushes what changed since the last step as one step; false when nothing changed.
    bool record(const QString& name);
    // True while a step is being undone or redone.
    bool applying() const { return busy; }

private:
    friend class form_step;
    void apply(const form_delta& delta, bool after);

    form_access& form;
    QUndoStack steps;
    form_state recorded;
    bool busy = false;
};
