#pragma once
// The 16 x 16 grid of one output's duty table: axis breakpoints in the headers, duty percent in the
// cells, the unit's 512-byte cell block, clipboard and script editing, and the live cross-hair.

#include "tables/table_ops.h"

#include <QByteArray>
#include <QString>
#include <QTableWidget>
#include <QVector>

#include <functional>

class converter;
class duty_table_delegate;
class grid_trail;
class QFrame;

class duty_table : public QTableWidget {
    Q_OBJECT
public:
    explicit duty_table(QWidget* parent = nullptr);
    duty_table(int rows, int columns, QWidget* parent = nullptr);

    static int calc_horz_axis(int max_rpm, int index);
    static double calc_vert_axis(double max, double min, int index);
    void set_horz_axis(int max_rpm);
    void set_vert_axis_linear(double min, double max);
    void set_vert_axis_boost(double min, double max);
    // Breakpoints given row by row from the top, kept exactly as given (a change of display unit).
    void set_vert_axis_values(const QVector<double>& values);
    int horz_header_at(int column) const;
    double vert_header_at(int row) const;

    QByteArray to_byteArray() const;
    void from_byteArray(const QByteArray& data);

    void set_all_cells(const QString& text);
    void refresh_all_colours();
    void update_cell_colour(QTableWidgetItem* item);
    // Every cell as a double, bottom row first, each row left to right.
    QVector<double> cell_values() const;

    void set_highlight(quint16 rpm, double load);
    bool highlight_wanted() const { return highlight_visible; }
    QRect vert_line_geometry() const;
    QRect horz_line_geometry() const;
    bool cross_shown() const;
    // Milliseconds from a monotonic clock; replaceable so the 100 ms gate can be driven by hand.
    void set_clock(std::function<qint64()> clock);

    // Table operations on the selection; false when refused (the status bar says why).
    bool run_op(table_op op, double amount = 0);
    // Asks for the amount of scale, add and set first.
    void ask_and_run(table_op op);
    // One action per operation, for the context menu and the toolbar above the grid.
    const QList<QAction*>& op_actions();
    static QString op_name(table_op op);
    // Answers the amount questions instead of a dialog (title, label, value, min, max, out); false: cancelled.
    std::function<bool(const QString&, const QString&, double, double, double, double*)> amount_asker;
    cell_grid grid() const;
    // Every cell, row-major from the top, with one many_cells_updated named change.
    void set_cells(const QVector<int>& cells, const QString& change);
    // What the last change announced through many_cells_updated was: "Paste", "Smooth", ...
    QString last_change;

    // A shading in place of the duty colours (the dwell map): one colour per cell, row by row from
    // the top, an invalid one where the cell stays plain; tip gives a cell's tooltip. An empty list
    // brings the duty colours back.
    void set_shading(const QVector<QColor>& colours, std::function<QString(int, int)> tip);
    bool shaded() const { return !shades.isEmpty(); }
    QColor shade_at(int row, int column) const;
    QString shade_tip(int row, int column) const;
    // Where the operating point has just been, in cells (columns from the left, rows from the
    // bottom, centres at whole numbers), oldest first; an empty list hides the trail.
    void set_trail(const QVector<QPointF>& points);
    const grid_trail* trail_layer() const { return trail; }

    void apply_script(const QString& script);
    // A script still running after this long is stopped and reported like any other script error.
    void set_script_time_limit(int ms) { script_limit_ms = ms; }
    bool running_script() const { return script_running; }

    converter* conv = nullptr;
    QString last_script;

signals:
    void many_cells_updated(QVector<double> values, int cols, int rows);

public slots:
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void set_highlight_visible(bool visible);
    void keyPressEvent(QKeyEvent* event) override;
    void cut();
    void copy();
    void paste();
    void clear();
    void script();
    void on_cellChanged(int row, int column);

protected:
    bool viewportEvent(QEvent* event) override;

private:
    static constexpr int exact_role = Qt::UserRole + 1;
    void build();
    void size_columns(const QString& widest);
    void set_cell(int row, int column, const QString& text);
    int cell_int(int row, int column, bool* ok = nullptr) const;
    void emit_all_cells();
    // The number of cells clamped to 0 to 100.
    int paste_block(const QStringList& pieces, int rows, int cols);
    void tell_clamped(int cells);
    // A word for the main window's status bar; nothing for an empty text.
    void tell(const QString& text);
    bool op_key(QKeyEvent* event);
    void clear_cells(const QString& change);
    bool ask_amount(const QString& title, const QString& label, double value, double min, double max, double* out);
    QList<QAction*> ops;
    int cross_x_for(double rpm, double col_w) const;
    int cross_y_for(double load, double row_h) const;
    void show_cross(bool show);
    bool run_script_on(const QString& script, const QModelIndexList& cells, int* rewritten);

    duty_table_delegate* delegate = nullptr;
    QVector<QColor> shades;
    std::function<QString(int, int)> shade_tips;
    grid_trail* trail = nullptr;
    int cross_y = 0;
    int cross_x = 0;
    QFrame* vert_frame = nullptr;
    QFrame* horz_frame = nullptr;
    qint64 next_cross_update = 0;
    bool highlight_visible = false;
    std::function<qint64()> now_ms;
    // While a script runs the event loop turns, so other changes can arrive. Those the program makes
    // (a read from the unit, a fill) are held and applied in order once it ends; those the user makes
    // are refused with a word in the status bar.
    bool hold_while_script_runs(std::function<void()> change);
    // any_table: refuse also while another table runs a script.
    bool refuse_while_script_runs(bool any_table = false);
    void apply_held_changes();

    int script_limit_ms = 3000;
    bool script_running = false;
    QVector<std::function<void()>> held_changes;
    // Scripts of different tables would nest in each other's event processing and share one time limit.
    static int scripts_running;
};
