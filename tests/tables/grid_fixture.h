#pragma once
// A fresh 16 x 16 duty grid per test and the few helpers every grid test reads its results with.

#include "tables/duty_table.h"

#include <QSignalSpy>
#include <QStatusTipEvent>

#include <memory>

// Notes the status tips a widget sends towards the window's status bar.
struct status_tips : QObject {
    QStringList& tips;
    explicit status_tips(QStringList& tips) : tips(tips) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::StatusTip)
            tips << static_cast<QStatusTipEvent*>(event)->tip();
        return false;
    }
};

class grid_test : public QObject {
protected:
    std::unique_ptr<duty_table> t;
    std::unique_ptr<QSignalSpy> updates;

    void make_grid()
    {
        t.reset(new duty_table(16, 16));
        t->setSelectionMode(QAbstractItemView::ContiguousSelection);
        updates.reset(new QSignalSpy(t.get(), &duty_table::many_cells_updated));
    }
    void fill(const QString& text)
    {
        t->set_all_cells(text);
        updates->clear();
    }
    void select(int top, int left, int bottom, int right)
    {
        t->clearSelection();
        t->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
    }
    // Cells separated by spaces, rows by '|'.
    QString block(int top, int left, int bottom, int right) const
    {
        QString out;
        for (int r = top; r <= bottom; ++r)
            for (int c = left; c <= right; ++c)
                out += t->item(r, c)->text() + (c < right ? " " : r < bottom ? "|" : "");
        return out;
    }
    QVector<double> sent(int i) const { return updates->at(i).at(0).value<QVector<double>>(); }
};
