#pragma once
// A duty table drawn as a 3-D surface; a click turns it by ten degrees.

#include <QElapsedTimer>
#include <QPointF>
#include <QVector>
#include <mgl2/qmathgl.h>

class table_grapher;

class table_graph : public QMathGL {
    Q_OBJECT
public:
    explicit table_graph(QWidget* parent = nullptr);

    table_grapher* get_grapher() const { return grapher; }
    bool tips_enabled() const { return show_tips; }
    QSize rendered_size() const { return QSize(last_size[0], last_size[1]); }
    // Draws the surface again from the grid.
    void redraw();

public slots:
    void set_value(double value, int col, int row);
    void set_values(QVector<double> values, int cols, int rows);
    void data_resize(int cols, int rows);
    void set_overlay(QVector<double> heat, QVector<QPointF> trail);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool left_of_middle(const QMouseEvent* event) const;
    void hold_tips();
    void release_minimum();

    table_grapher* grapher;
    // Monotonic, so a tip near midnight is not let through early.
    QElapsedTimer clock;
    qint64 next_tip;
    bool show_tips;
    int last_size[2];
    bool stale = false;
};
