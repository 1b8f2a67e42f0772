#pragma once
// The trail of the operating point drawn over a grid's cells: a line through the last positions,
// fading towards the oldest, and a dot at the newest. It covers the grid's viewport and lets every
// mouse event through.

#include <QPointF>
#include <QVector>
#include <QWidget>

class grid_trail : public QWidget {
    Q_OBJECT
public:
    explicit grid_trail(QWidget* viewport);

    // Positions in cells: columns from the left, rows from the bottom, cell centres at whole numbers.
    void set_points(const QVector<QPointF>& cells, int columns, int rows);
    const QVector<QPointF>& points() const { return cells; }
    // The positions in the viewport's pixels, as drawn.
    QVector<QPointF> pixels() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect drawn() const;

    QVector<QPointF> cells;
    int columns = 16;
    int rows = 16;
};
