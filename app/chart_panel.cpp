#include "app/chart_panel.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// Shown and exported when nothing has been chosen yet.
const int first_chosen[] = {live_channels::rpm, live_channels::map, live_channels::main_duty, live_channels::aux_duty};
}

chart_panel::chart_panel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chart_panel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* marks = new QGroupBox(tr("Markers"), this);
    auto* marks_layout = new QVBoxLayout(marks);
    markers = new QListWidget(marks);
    markers->setObjectName(QStringLiteral("log_markers"));
    markers->setStatusTip(tr("Click a marker to show its moment on the chart"));
    add_marker = new QPushButton(tr("Add marker (M)"), marks);
    add_marker->setObjectName(QStringLiteral("add_marker"));
    add_marker->setStatusTip(tr("Mark the newest record, with a note if you like"));
    marks_layout->addWidget(markers, 1);
    marks_layout->addWidget(add_marker);
    layout->addWidget(marks, 1);

    auto* range = new QGroupBox(tr("Selected range"), this);
    auto* range_layout = new QVBoxLayout(range);
    range_duration = new QLabel(tr("Shift and drag on the chart to select a range"), range);
    range_duration->setObjectName(QStringLiteral("range_duration"));
    range_duration->setWordWrap(true);
    range_stats = new QTableWidget(live_channels::count, 4, range);
    range_stats->setObjectName(QStringLiteral("range_stats"));
    range_stats->setHorizontalHeaderLabels({tr("Channel"), tr("Min"), tr("Max"), tr("Mean")});
    range_stats->verticalHeader()->hide();
    range_stats->setEditTriggers(QAbstractItemView::NoEditTriggers);
    range_stats->setSelectionMode(QAbstractItemView::NoSelection);
    range_stats->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    range_stats->setStatusTip(tr("Checked channels are exported"));
    for (int c = 0; c < live_channels::count; ++c) {
        auto* name = new QTableWidgetItem(QLatin1String(live_channels::all()[size_t(c)].name));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        name->setCheckState(std::find(std::begin(first_chosen), std::end(first_chosen), c) != std::end(first_chosen)
                                ? Qt::Checked
                                : Qt::Unchecked);
        range_stats->setItem(c, 0, name);
    }
    clear_summary();
    export_range = new QPushButton(tr("Export CSV..."), range);
    export_range->setObjectName(QStringLiteral("export_range"));
    export_range->setStatusTip(tr("Save the checked channels of the selected range in user units"));
    clear_range = new QPushButton(tr("Clear"), range);
    clear_range->setObjectName(QStringLiteral("clear_range"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(export_range);
    buttons->addWidget(clear_range);
    range_layout->addWidget(range_duration);
    range_layout->addWidget(range_stats, 1);
    range_layout->addLayout(buttons);
    layout->addWidget(range, 3);
}

void chart_panel::set_markers(const QList<log_marker>& list)
{
    markers->clear();
    for (const log_marker& m : list) {
        const QString when = QDateTime::fromMSecsSinceEpoch(m.stamp).toString(QStringLiteral("hh:mm:ss.zzz"));
        auto* item = new QListWidgetItem(m.note.isEmpty() ? when : when + QStringLiteral("  ") + m.note, markers);
        item->setData(Qt::UserRole, m.stamp);
    }
}

void chart_panel::show_summary(const range_summary& s, const channel_scale& scale)
{
    range_duration->setText(tr("%1 s from %2, %3 samples")
                                .arg(QString::number(s.seconds(), 'f', 2),
                                     QDateTime::fromMSecsSinceEpoch(s.from).toString(QStringLiteral("hh:mm:ss.zzz")))
                                .arg(s.samples));
    for (int c = 0; c < live_channels::count; ++c) {
        range_stats->item(c, 0)->setText(scale.caption(c));
        const range_summary::stats& st = s.channels[size_t(c)];
        const double values[] = {st.min, st.max, st.mean};
        for (int k = 0; k < 3; ++k) {
            // The mean takes one decimal more than the readings it is made of.
            const QString text = s.samples == 0 ? QStringLiteral("-")
                                 : QString::number(values[k], 'f', scale.decimals(c) + (k == 2 ? 1 : 0));
            auto* item = new QTableWidgetItem(text);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            range_stats->setItem(c, k + 1, item);
        }
    }
}

void chart_panel::clear_summary()
{
    range_duration->setText(tr("Shift and drag on the chart to select a range"));
    for (int c = 0; c < live_channels::count; ++c)
        for (int k = 1; k <= 3; ++k)
            range_stats->setItem(c, k, new QTableWidgetItem(QStringLiteral("-")));
}

QList<int> chart_panel::chosen_channels() const
{
    QList<int> chosen;
    for (int c = 0; c < live_channels::count; ++c)
        if (range_stats->item(c, 0)->checkState() == Qt::Checked)
            chosen << c;
    return chosen;
}
