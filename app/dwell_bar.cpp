#include "app/dwell_bar.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

dwell_bar::dwell_bar(const QString& prefix, QWidget* parent) : QWidget(parent)
{
    setObjectName(prefix + QStringLiteral("_dwell_bar"));
    show_map = new QCheckBox(tr("Dwell map"), this);
    show_map->setObjectName(prefix + QStringLiteral("_dwell_map"));
    show_map->setStatusTip(tr("Shade the cells by the time the engine spent in them, live or from the opened log"));
    minimum = new QDoubleSpinBox(this);
    minimum->setObjectName(prefix + QStringLiteral("_dwell_minimum"));
    minimum->setDecimals(1);
    minimum->setRange(0, 3600);
    minimum->setSingleStep(0.5);
    minimum->setValue(0.5);
    minimum->setSuffix(QStringLiteral(" s"));
    minimum->setStatusTip(tr("Cells with less time than this stay plain"));
    reset = new QPushButton(tr("Reset"), this);
    reset->setObjectName(prefix + QStringLiteral("_dwell_reset"));
    reset->setStatusTip(tr("Start the dwell map afresh from the next sample"));
    export_csv = new QPushButton(tr("Export CSV..."), this);
    export_csv->setObjectName(prefix + QStringLiteral("_dwell_export"));
    export_csv->setStatusTip(tr("Save the time spent, hits and mean duty of every cell"));
    trail = new QSpinBox(this);
    trail->setObjectName(prefix + QStringLiteral("_trail_seconds"));
    trail->setRange(0, 60);
    trail->setValue(5);
    trail->setSuffix(QStringLiteral(" s"));
    trail->setStatusTip(tr("Draw where the engine was over the last seconds while live data arrives; 0 draws none"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(show_map);
    row->addWidget(new QLabel(tr("from"), this));
    row->addWidget(minimum);
    row->addWidget(reset);
    row->addWidget(export_csv);
    row->addSpacing(12);
    row->addWidget(new QLabel(tr("Trail"), this));
    row->addWidget(trail);
    row->addStretch(1);
}
