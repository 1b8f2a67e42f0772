#include "app/form_history.h"

form_delta diff(const form_state& before, const form_state& after)
{
    form_delta d;
    for (int i = 0; i < after.fields.size() && i < before.fields.size(); ++i)
        if (before.fields[i] != after.fields[i])
            d.fields.append({i, before.fields[i], after.fields[i]});
    for (int t = 0; t < int(after.cells.size()); ++t)
        for (int k = 0; k < after.cells[t].size() && k < before.cells[t].size(); ++k)
            if (before.cells[t][k] != after.cells[t][k])
                d.cells.append({t, k, before.cells[t][k], after.cells[t][k]});
    return d;
}

class form_step : public QUndoCommand {
public:
    form_step(form_history* history, form_delta delta, const QString& name)
        : QUndoCommand(name), history(history), delta(std::move(delta))
    {
    }
    void undo() override { history->apply(delta, false); }
    void redo() override
    {
        // Pushed after the form already changed: the first redo has nothing to do.
        if (pushed)
            history->apply(delta, true);
        pushed = true;
    }

private:
    form_history* history;
    form_delta delta;
    bool pushed = false;
};

form_history::form_history(form_access& form) : form(form)
{
    steps.setUndoLimit(0); // as many as memory holds: a full-table step is a few kilobytes
}

void form_history::rebase()
{
    recorded = form.read_form();
}

form_delta form_history::pending() const
{
    return diff(recorded, form.read_form());
}

bool form_history::record(const QString& name)
{
    const form_state now = form.read_form();
    form_delta delta = diff(recorded, now);
    recorded = now;
    if (delta.empty())
        return false;
    steps.push(new form_step(this, std::move(delta), name));
    return true;
}

void form_history::apply(const form_delta& delta, bool after)
{
    busy = true;
    form.apply_form(delta, after);
    recorded = form.read_form();
    busy = false;
}
