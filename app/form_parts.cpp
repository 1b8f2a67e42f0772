#include "app/form_parts.h"

#include "model/write_rules.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {
template <typename W>
W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

void finish(QWidget* w, bool enabled, const char* status_tip)
{
    w->setEnabled(enabled);
    if (status_tip)
        w->setStatusTip(QString::fromUtf8(status_tip));
}
}

QSpinBox* make_spin(QWidget* parent, const int_field& f)
{
    QSpinBox* spin = named(new QSpinBox(parent), QLatin1String(f.name));
    spin->setRange(f.min, f.max);
    spin->setSingleStep(f.step);
    spin->setValue(f.value);
    finish(spin, f.enabled, f.status_tip);
    return spin;
}

QDoubleSpinBox* make_spin(QWidget* parent, const real_field& f)
{
    QDoubleSpinBox* spin = named(new QDoubleSpinBox(parent), QLatin1String(f.name));
    // Decimals first: the range and value are rounded to them.
    spin->setDecimals(f.decimals);
    spin->setRange(f.min, f.max);
    spin->setSingleStep(f.step);
    spin->setValue(f.value);
    finish(spin, f.enabled, f.status_tip);
    return spin;
}

QSpinBox* make_spin(QWidget* parent, const char* name, const write_limit& limit, int value, bool enabled,
                    const char* status_tip)
{
    return make_spin(parent, int_field{name, int(limit.min), int(limit.max), int(limit.step), value, enabled, status_tip});
}

QDoubleSpinBox* make_real_spin(QWidget* parent, const char* name, const write_limit& limit, double value, bool enabled,
                               const char* status_tip)
{
    return make_spin(parent, real_field{name, limit.min, limit.max, limit.step, limit.decimals, value, enabled, status_tip});
}

QSpinBox* make_readout(QWidget* parent, const QString& name, int min, int max)
{
    QSpinBox* spin = named(new QSpinBox(parent), name);
    spin->setRange(min, max);
    spin->setReadOnly(true);
    spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
    spin->setEnabled(false);
    return spin;
}

QDoubleSpinBox* make_readout(QWidget* parent, const QString& name, double min, double max, int decimals)
{
    QDoubleSpinBox* spin = named(new QDoubleSpinBox(parent), name);
    spin->setDecimals(decimals);
    spin->setRange(min, max);
    spin->setReadOnly(true);
    spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
    spin->setEnabled(false);
    return spin;
}

QComboBox* make_combo(QWidget* parent, const QString& name, const QStringList& items)
{
    QComboBox* combo = named(new QComboBox(parent), name);
    combo->addItems(items);
    return combo;
}

QPushButton* make_button(QWidget* parent, const QString& name, const QString& text, bool checkable)
{
    QPushButton* button = named(new QPushButton(text, parent), name);
    button->setCheckable(checkable);
    return button;
}

QLabel* make_label(QWidget* parent, const QString& text, const QString& name)
{
    QLabel* label = new QLabel(text, parent);
    if (!name.isEmpty())
        label->setObjectName(name);
    return label;
}

QLineEdit* make_line(QWidget* parent, const QString& name, bool read_only)
{
    QLineEdit* line = named(new QLineEdit(parent), name);
    line->setReadOnly(read_only);
    return line;
}

QGroupBox* make_group(QWidget* parent, const QString& title, const QString& name)
{
    QGroupBox* group = new QGroupBox(title, parent);
    if (!name.isEmpty())
        group->setObjectName(name);
    return group;
}

form_rows::form_rows(QWidget* owner)
    : owner(owner), layout(new QGridLayout(owner))
{
}

void form_rows::add(const QString& caption, QWidget* field, const QString& unit)
{
    add(caption.isEmpty() ? nullptr : new QLabel(caption, owner), field,
        unit.isEmpty() ? nullptr : new QLabel(unit, owner));
}

void form_rows::add(QWidget* caption, QWidget* field, QWidget* unit)
{
    if (caption)
        layout->addWidget(caption, row, 0);
    if (field)
        layout->addWidget(field, row, 1);
    if (unit)
        layout->addWidget(unit, row, 2);
    ++row;
}

void form_rows::add_wide(QWidget* widget)
{
    layout->addWidget(widget, row++, 0, 1, 3);
}
