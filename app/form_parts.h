#pragma once
// Small makers for the window's widgets: each sets the object name and the properties the window
// rules fix (range, step, decimals, value, enabled state, tips), so the layout code reads as a list.

#include <QGridLayout>
#include <QString>
#include <QStringList>

class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;
struct write_limit;

struct int_field {
    const char* name;
    int min, max, step, value;
    bool enabled = true;
    const char* status_tip = nullptr;
};

struct real_field {
    const char* name;
    double min, max, step;
    int decimals;
    double value;
    bool enabled = true;
    const char* status_tip = nullptr;
};

QSpinBox* make_spin(QWidget* parent, const int_field& f);
QDoubleSpinBox* make_spin(QWidget* parent, const real_field& f);
// Fields of what goes to a unit take range, step and decimals from the rules brennix-cli applies too.
QSpinBox* make_spin(QWidget* parent, const char* name, const write_limit& limit, int value, bool enabled = true,
                    const char* status_tip = nullptr);
QDoubleSpinBox* make_real_spin(QWidget* parent, const char* name, const write_limit& limit, double value,
                               bool enabled = true, const char* status_tip = nullptr);
// A read-out: read-only, no arrows, disabled until live data flows.
QSpinBox* make_readout(QWidget* parent, const QString& name, int min, int max);
QDoubleSpinBox* make_readout(QWidget* parent, const QString& name, double min, double max, int decimals);
QComboBox* make_combo(QWidget* parent, const QString& name, const QStringList& items);
QPushButton* make_button(QWidget* parent, const QString& name, const QString& text, bool checkable = false);
QLabel* make_label(QWidget* parent, const QString& text, const QString& name = QString());
QLineEdit* make_line(QWidget* parent, const QString& name, bool read_only);
QGroupBox* make_group(QWidget* parent, const QString& title, const QString& name = QString());

// Rows of caption, field and unit in a grid.
class form_rows {
public:
    explicit form_rows(QWidget* owner);
    QGridLayout* grid() const { return layout; }
    // The caption may be a text or a label widget; either may be empty.
    void add(const QString& caption, QWidget* field, const QString& unit = QString());
    void add(QWidget* caption, QWidget* field, QWidget* unit = nullptr);
    void add_wide(QWidget* widget);

private:
    QWidget* owner;
    QGridLayout* layout;
    int row = 0;
};
