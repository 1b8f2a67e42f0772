#include "app/compare_dialog.h"

#include "model/param_units.h"
#include "model/table_record.h"
#include "model/write_group.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {
const int change_role = Qt::UserRole;
const int table_role = Qt::UserRole + 1;
const char* const source_names[] = {"The form", "The unit (read now)", "A settings file...", "A restore point..."};

// Small differences pale yellow, large ones red: the eye finds the big steps first.
QColor size_colour(int percent_points)
{
    const double share = std::min(std::abs(percent_points), 20) / 20.0;
    return QColor::fromHsv(int(std::lround(55 - 55 * share)), int(std::lround(60 + 140 * share)), 255);
}

QString plural(int n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}
} // namespace

compare_dialog::compare_dialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("compare_dialog"));
    setWindowTitle(QStringLiteral("Compare Settings"));
    build();
    show_state();
}

compare_dialog::~compare_dialog() = default;

void compare_dialog::build()
{
    auto* layout = new QVBoxLayout(this);
    auto* sources = new QHBoxLayout;
    for (int side = 0; side < 2; ++side) {
        auto* box = new QComboBox(this);
        box->setObjectName(side == 0 ? QStringLiteral("compare_a") : QStringLiteral("compare_b"));
        for (const char* name : source_names)
            box->addItem(QLatin1String(name));
        connect(box, QOverload<int>::of(&QComboBox::activated), this, [this, side](int kind) { choose(side, source_kind(kind)); });
        source_boxes[size_t(side)] = box;
        side_labels[size_t(side)] = new QLabel(this);
        side_labels[size_t(side)]->setObjectName(side == 0 ? QStringLiteral("compare_a_label") : QStringLiteral("compare_b_label"));
        sources->addWidget(new QLabel(side == 0 ? QStringLiteral("A:") : QStringLiteral("   B:"), this));
        sources->addWidget(box);
        sources->addWidget(side_labels[size_t(side)], 1);
    }
    layout->addLayout(sources);

    auto* filter = new QHBoxLayout;
    differences_only = new QCheckBox(QStringLiteral("Differences only"), this);
    differences_only->setObjectName(QStringLiteral("compare_differences_only"));
    differences_only->setChecked(true);
    connect(differences_only, &QCheckBox::toggled, this, [this] { fill_rows(); });
    counts = new QLabel(this);
    counts->setObjectName(QStringLiteral("compare_counts"));
    filter->addWidget(differences_only);
    filter->addWidget(counts, 1);
    layout->addLayout(filter);

    auto* split = new QSplitter(Qt::Vertical, this);
    rows = new QTreeWidget(split);
    rows->setObjectName(QStringLiteral("compare_rows"));
    rows->setColumnCount(4);
    rows->setHeaderLabels({QStringLiteral("Setting"), QStringLiteral("Item"), QStringLiteral("A"), QStringLiteral("B")});
    rows->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(rows, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { follow_check(item); });
    connect(rows, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        int table = -1;
        for (QTreeWidgetItem* i = item; i && table < 0; i = i->parent())
            table = i->data(0, table_role).isValid() ? i->data(0, table_role).toInt() : -1;
        show_cells(table);
    });
    auto* grid_box = new QWidget(split);
    auto* grid_layout = new QVBoxLayout(grid_box);
    grid_layout->setContentsMargins(0, 0, 0, 0);
    cells_caption = new QLabel(grid_box);
    cells = new QTableWidget(table_record::rows, table_record::columns, grid_box);
    cells->setObjectName(QStringLiteral("compare_cells"));
    cells->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(cells, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { follow_cell_check(item); });
    check_cells = new QPushButton(QStringLiteral("Check the selected cells"), grid_box);
    check_cells->setObjectName(QStringLiteral("compare_check_cells"));
    connect(check_cells, &QPushButton::clicked, this, &compare_dialog::check_selected_cells);
    grid_layout->addWidget(cells_caption);
    grid_layout->addWidget(cells, 1);
    grid_layout->addWidget(check_cells, 0, Qt::AlignLeft);
    grid_box->hide();
    // The grid of a table needs the room; the rows above are mostly few.
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 3);
    split->setSizes({180, 520});
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    take_button = new QPushButton(this);
    take_button->setObjectName(QStringLiteral("compare_take"));
    connect(take_button, &QPushButton::clicked, this, &compare_dialog::take);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    buttons->addWidget(take_button);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    resize(900, 640);
}

void compare_dialog::choose(int side, source_kind kind)
{
    side_state& s = sides[size_t(side)];
    diff.reset();
    s.kind = kind;
    s.loaded = false;
    s.label = kind == unit ? QStringLiteral("reading the unit...") : QString();
    source_boxes[size_t(side)]->setCurrentIndex(kind);
    compare_now();
    emit side_wanted(side, kind);
}

void compare_dialog::set_side(int side, source_kind kind, const QString& label, const unit_settings& settings)
{
    diff.reset();
    side_state& s = sides[size_t(side)];
    s.kind = kind;
    s.loaded = true;
    s.label = label;
    s.settings = settings;
    source_boxes[size_t(side)]->setCurrentIndex(kind);
    compare_now();
}

void compare_dialog::side_failed(int side, const QString& reason)
{
    diff.reset();
    side_state& s = sides[size_t(side)];
    s.loaded = false;
    s.label = reason.isEmpty() ? QStringLiteral("nothing chosen") : reason;
    compare_now();
}

int compare_dialog::take_side() const
{
    if (!diff)
        return -1;
    if (sides[1].kind != form)
        return 1;
    return sides[0].kind != form ? 0 : -1;
}

QList<setting_change> compare_dialog::checked() const
{
    QList<setting_change> out;
    if (!diff)
        return out;
    for (int k = 0; k < diff->changes().size(); ++k)
        if (chosen.contains(k))
            out << diff->changes()[k];
    return out;
}

void compare_dialog::compare_now()
{
    diff.reset();
    chosen.clear();
    if (sides[0].loaded && sides[1].loaded)
        diff = std::make_unique<settings_diff>(sides[0].settings, sides[1].settings);
    for (int side = 0; side < 2; ++side)
        side_labels[size_t(side)]->setText(sides[size_t(side)].label);
    rows->setHeaderLabels({QStringLiteral("Setting"), QStringLiteral("Item"), QStringLiteral("A: ") + sides[0].label,
                           QStringLiteral("B: ") + sides[1].label});
    fill_rows();
}

QTreeWidgetItem* compare_dialog::add_row(QTreeWidgetItem* parent, const setting_change& c, int index)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(rows);
    item->setText(0, parent ? QString() : c.setting);
    item->setText(1, c.item);
    item->setText(2, c.old_text);
    item->setText(3, c.new_text);
    if (index >= 0 && c.takeable()) {
        item->setData(0, change_role, index);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    } else if (index < 0) {
        for (int col = 0; col < 4; ++col)
            item->setForeground(col, palette().color(QPalette::Disabled, QPalette::Text));
    }
    return item;
}

void compare_dialog::fill_rows()
{
    filling = true;
    rows->clear();
    const int keep_table = shown_table;
    if (diff) {
        const bool all = !differences_only->isChecked();
        const QList<setting_change>& changes = diff->changes();
        QHash<int, int> changed_param, same_param;
        for (int k = 0; k < changes.size(); ++k)
            if (changes[k].param >= 0)
                changed_param.insert(changes[k].param, k);
        for (int k = 0; k < diff->same().size(); ++k)
            if (diff->same()[k].param >= 0)
                same_param.insert(diff->same()[k].param, k);
        for (int_index i : unit_settings::unit_ints()) {
            if (changed_param.contains(i))
                add_row(nullptr, changes[changed_param.value(i)], changed_param.value(i));
            else if (all && same_param.contains(i))
                add_row(nullptr, diff->same()[same_param.value(i)], -1);
        }
        for (int t = tbl_aux; t <= tbl_gpo2; ++t) {
            int cell_count = 0, other = 0, takeable = 0;
            for (const setting_change& c : changes)
                if (c.group == t) {
                    (c.cell() ? cell_count : other) += 1;
                    takeable += c.takeable();
                }
            if (cell_count + other == 0 && !all)
                continue;
            auto* table = new QTreeWidgetItem(rows);
            table->setText(0, table_names[t]);
            table->setData(0, table_role, t);
            QStringList parts;
            if (cell_count)
                parts << plural(cell_count, "cell", "cells");
            if (other)
                parts << plural(other, "other setting", "other settings");
            table->setText(1, parts.isEmpty() ? QStringLiteral("equal")
                                              : parts.join(QStringLiteral(" and ")) + (cell_count + other == 1 ? QStringLiteral(" differs")
                                                                                                               : QStringLiteral(" differ")));
            if (takeable) {
                table->setFlags(table->flags() | Qt::ItemIsUserCheckable);
                table->setCheckState(0, Qt::Unchecked);
            }
            for (int k = 0; k < changes.size(); ++k)
                if (changes[k].group == t && !changes[k].cell())
                    add_row(table, changes[k], k);
            if (all)
                for (const setting_change& c : diff->same())
                    if (c.group == t && c.param < 0)
                        add_row(table, c, -1);
        }
    }
    filling = false;
    show_cells(diff ? keep_table : -1);
    show_check_states();
    show_state();
}

void compare_dialog::show_cells(int table)
{
    shown_table = table;
    QWidget* box = cells->parentWidget();
    if (!diff || table < tbl_aux || table > tbl_gpo2) {
        box->hide();
        return;
    }
    filling = true;
    const table_record a(sides[0].settings.tables.value(table)), b(sides[1].settings.tables.value(table));
    const bool sound = a.fault().isEmpty() && b.fault().isEmpty();
    QHash<int, int> change_at;
    for (int k = 0; k < diff->changes().size(); ++k) {
        const setting_change& c = diff->changes()[k];
        if (c.group == table && c.cell())
            change_at.insert(c.row * table_record::columns + c.column, k);
    }
    cells->clearContents();
    QStringList rpm, load;
    for (int col = 0; col < table_record::columns; ++col)
        rpm << (sound ? QString::number(a.horizontal(col)) : QString::number(col));
    for (int row = 0; row < table_record::rows; ++row)
        load << (sound ? diff->row_load(table_index(table), row) : QString::number(row));
    cells->setHorizontalHeaderLabels(rpm);
    cells->setVerticalHeaderLabels(load);
    for (int row = 0; sound && row < table_record::rows; ++row)
        for (int col = 0; col < table_record::columns; ++col) {
            const int was = counts_to_percent(a.cell(row, col)), now = counts_to_percent(b.cell(row, col));
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            const int key = row * table_record::columns + col;
            if (change_at.contains(key)) {
                item->setText(QStringLiteral("%1 \u2192 %2").arg(was).arg(now));
                item->setBackground(size_colour(now - was));
                item->setForeground(Qt::black);
                item->setData(change_role, change_at.value(key));
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(Qt::Unchecked);
            } else {
                item->setText(QString::number(was));
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            }
            cells->setItem(row, col, item);
        }
    cells_caption->setText(QStringLiteral("%1: %2 cells differ (A \u2192 B, in %); check cells to take them")
                               .arg(table_names[table])
                               .arg(change_at.size()));
    filling = false;
    box->setVisible(sound);
    show_check_states();
}

void compare_dialog::set_checked(int index, bool on)
{
    if (on)
        chosen.insert(index);
    else
        chosen.remove(index);
}

void compare_dialog::follow_check(QTreeWidgetItem* item)
{
    if (filling || !diff)
        return;
    const bool on = item->checkState(0) == Qt::Checked;
    if (item->data(0, change_role).isValid()) {
        set_checked(item->data(0, change_role).toInt(), on);
    } else if (item->data(0, table_role).isValid()) {
        const int table = item->data(0, table_role).toInt();
        for (int k = 0; k < diff->changes().size(); ++k)
            if (diff->changes()[k].group == table && diff->changes()[k].takeable())
                set_checked(k, on);
    }
    show_check_states();
}

void compare_dialog::follow_cell_check(QTableWidgetItem* item)
{
    if (filling || !item->data(change_role).isValid())
        return;
    set_checked(item->data(change_role).toInt(), item->checkState() == Qt::Checked);
    show_check_states();
}

void compare_dialog::check_selected_cells()
{
    for (QTableWidgetItem* item : cells->selectedItems())
        if (item->data(change_role).isValid())
            set_checked(item->data(change_role).toInt(), true);
    show_check_states();
}

void compare_dialog::show_check_states()
{
    if (!diff)
        return;
    filling = true;
    for (int top = 0; top < rows->topLevelItemCount(); ++top) {
        QTreeWidgetItem* item = rows->topLevelItem(top);
        if (item->data(0, change_role).isValid())
            item->setCheckState(0, chosen.contains(item->data(0, change_role).toInt()) ? Qt::Checked : Qt::Unchecked);
        if (!item->data(0, table_role).isValid() || !(item->flags() & Qt::ItemIsUserCheckable))
            continue;
        const int table = item->data(0, table_role).toInt();
        int all = 0, on = 0;
        for (int k = 0; k < diff->changes().size(); ++k)
            if (diff->changes()[k].group == table && diff->changes()[k].takeable()) {
                ++all;
                on += chosen.contains(k);
            }
        item->setCheckState(0, on == 0 ? Qt::Unchecked : on == all ? Qt::Checked : Qt::PartiallyChecked);
        for (int c = 0; c < item->childCount(); ++c)
            if (item->child(c)->data(0, change_role).isValid())
                item->child(c)->setCheckState(0, chosen.contains(item->child(c)->data(0, change_role).toInt()) ? Qt::Checked
                                                                                                             : Qt::Unchecked);
    }
    for (int row = 0; row < cells->rowCount(); ++row)
        for (int col = 0; col < cells->columnCount(); ++col)
            if (QTableWidgetItem* item = cells->item(row, col); item && item->data(change_role).isValid())
                item->setCheckState(chosen.contains(item->data(change_role).toInt()) ? Qt::Checked : Qt::Unchecked);
    filling = false;
    show_state();
}

void compare_dialog::show_state()
{
    if (!diff) {
        const bool waiting = (!sides[0].loaded && sides[0].kind == unit) || (!sides[1].loaded && sides[1].kind == unit);
        counts->setText(waiting ? QStringLiteral("Reading the unit...") : QStringLiteral("Choose two sets of settings"));
    } else {
        const int differ = diff->changes().size();
        counts->setText(QStringLiteral("%1 %2, %3 %4")
                            .arg(plural(differ, "setting", "settings"), QLatin1String(differ == 1 ? "differs" : "differ"))
                            .arg(diff->compared() - differ)
                            .arg(QLatin1String(diff->compared() - differ == 1 ? "is equal" : "are equal")));
    }
    const int from = take_side();
    take_button->setText(from < 0 ? QStringLiteral("Take the checked values into the form")
                                  : QStringLiteral("Take the checked values from %1 into the form").arg(sides[size_t(from)].label));
    take_button->setEnabled(from >= 0 && !chosen.isEmpty());
}

void compare_dialog::take()
{
    const int from = take_side();
    if (from < 0 || chosen.isEmpty())
        return;
    emit take_wanted(checked(), sides[size_t(from)].settings, sides[size_t(from)].label);
}
