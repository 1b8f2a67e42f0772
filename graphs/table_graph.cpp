#include "graphs/table_graph.h"

#include "graphs/table_grapher.h"

#include <QMouseEvent>
#include <QResizeEvent>
#include <QToolTip>
#include <cmath>
#include <cstdlib>

namespace {
constexpr int tip_gate_ms = 250;
constexpr int tip_duration_ms = 7000;
constexpr int rotate_step = 10;
constexpr int resize_threshold = 10;
}

table_graph::table_graph(QWidget* parent)
    : QMathGL(parent), grapher(new table_grapher(this, 16, 16)), next_tip(0), show_tips(true),
      last_size{-1, -1}
{
    clock.start();
    hold_tips();

    autoResize = true;
    enableMouse = false;
    enableWheel = false;
    setDotsPreview(false);
    // The renderer refuses an empty picture; the smallest one keeps renders before the first
    // resize from costing a full-size picture nobody sees.
    setSize(1, 1);
    // Hover tips need move events without a pressed button.
    setMouseTracking(true);

    setTet(60);
    setPhi(330);
    setZoomScl(0.71);
    zoomOut();

    setDraw(grapher);
    release_minimum();
}

void table_graph::redraw()
{
    // A surface on a tab in the back is drawn when it comes to the front: filling the form from
    // a unit would otherwise render four pictures nobody sees.
    if (!isVisible()) {
        stale = true;
        return;
    }
    stale = false;
    update();
    release_minimum();
}

void table_graph::showEvent(QShowEvent* event)
{
    QMathGL::showEvent(event);
    if (stale)
        redraw();
}

void table_graph::set_value(double value, int col, int row)
{
    grapher->set_value(value, col, row);
}

void table_graph::set_values(QVector<double> values, int cols, int rows)
{
    grapher->set_values(values, cols, rows);
}

void table_graph::set_overlay(QVector<double> heat, QVector<QPointF> trail)
{
    grapher->set_overlay(heat, trail);
}

void table_graph::data_resize(int cols, int rows)
{
    grapher->data_resize(cols, rows);
}

bool table_graph::left_of_middle(const QMouseEvent* event) const
{
    return qRound(event->localPos().x()) < width() / 2;
}

void table_graph::hold_tips()
{
    next_tip = clock.elapsed() + tip_gate_ms;
}

void table_graph::release_minimum()
{
    // Every redraw pins the widget's minimum to its picture, which would stop a layout from ever
    // shrinking the surface; the picture follows the widget, not the other way round.
    setMinimumSize(0, 0);
}

void table_graph::mousePressEvent(QMouseEvent* event)
{
    const int step = left_of_middle(event) ? -rotate_step : rotate_step;
    // Kept within one turn so that endless clicking cannot grow the angle without bound.
    setPhi(((getPhi() + step) % 360 + 360) % 360);
    release_minimum();
    event->accept();
    show_tips = false;
}

void table_graph::mouseMoveEvent(QMouseEvent* event)
{
    if (show_tips && clock.elapsed() >= next_tip) {
        const QString tip = left_of_middle(event) ? tr("Click to rotate left")
                                                  : tr("Click to rotate right");
        QToolTip::showText(event->globalPos(), tip, this, rect(), tip_duration_ms);
        hold_tips();
    }
    QMathGL::mouseMoveEvent(event);
}

void table_graph::resizeEvent(QResizeEvent* event)
{
    const int w = event->size().width();
    const int h = event->size().height();
    if (std::abs(w - last_size[0]) > resize_threshold || std::abs(h - last_size[1]) > resize_threshold) {
        last_size[0] = w;
        last_size[1] = h;
        setSize(w, h);
        release_minimum();
    }
}
