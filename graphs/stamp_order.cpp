#include "graphs/stamp_order.h"

stamp_order::stamp_order(const tsafe_qvector<qint64>* timestamps)
    : timestamps(timestamps)
{
}

bool stamp_order::still_same_store(int n) const
{
    // A cleared and refilled store shows itself by fewer samples or by other stamps at the
    // places already checked.
    if (checked == 0)
        return true;
    if (n < checked)
        return false;
    return timestamps->value(0) == first_seen && timestamps->value(checked - 1) == last_seen;
}

void stamp_order::restart()
{
    checked = 0;
    in_order = true;
}

bool stamp_order::increasing(int n)
{
    if (!still_same_store(n))
        restart();
    if (n <= checked)
        return in_order;
    if (!in_order) {
        checked = n;
        last_seen = timestamps->value(n - 1);
        return false;
    }
    qint64 previous = checked ? last_seen : timestamps->value(0);
    if (checked == 0)
        first_seen = previous;
    for (int i = qMax(checked, 1); i < n; ++i) {
        const qint64 t = timestamps->value(i);
        if (t < previous) {
            in_order = false;
            previous = timestamps->value(n - 1);
            break;
        }
        previous = t;
    }
    checked = n;
    last_seen = previous;
    return in_order;
}

int stamp_order::bound(int n, double x, bool or_equal) const
{
    int lo = 0;
    int hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const double t = double(timestamps->value(mid));
        if (or_equal ? t < x : t <= x)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void stamp_order::window(int n, double x1, double x2, int& first, int& end)
{
    first = 0;
    end = qMax(n, 0);
    if (n <= 0 || !(x1 <= x2) || !increasing(n))
        return;
    first = qMax(bound(n, x1, true) - 1, 0);
    end = qMin(bound(n, x2, false) + 1, n);
    if (end < first)
        end = first;
}
