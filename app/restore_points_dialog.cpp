#include "app/restore_points_dialog.h"

#include "model/param_units.h"
#include "model/restore_points.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const int path_role = Qt::UserRole;
enum column { taken_column, firmware_column, written_column, pinned_column };
}

restore_points_dialog::restore_points_dialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("restore_points_dialog"));
    setWindowTitle(QStringLiteral("Restore Points"));
    auto* layout = new QVBoxLayout(this);
    caption = new QLabel(this);
    caption->setObjectName(QStringLiteral("restore_points_caption"));
    caption->setWordWrap(true);
    points = new QTreeWidget(this);
    points->setObjectName(QStringLiteral("restore_points_list"));
    points->setRootIsDecorated(false);
    points->setHeaderLabels({QStringLiteral("Taken"), QStringLiteral("Firmware"), QStringLiteral("The write after it changed"),
                             QStringLiteral("Pinned")});
    points->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(points, &QTreeWidget::itemChanged, this, &restore_points_dialog::follow_pin);
    connect(points, &QTreeWidget::itemSelectionChanged, this, [this] { compare->setEnabled(!selected().isEmpty()); });
    connect(points, &QTreeWidget::itemDoubleClicked, this, [this] { emit compare_wanted(selected()); });
    auto* buttons = new QHBoxLayout;
    compare = new QPushButton(QStringLiteral("Compare with the unit..."), this);
    compare->setObjectName(QStringLiteral("restore_points_compare"));
    compare->setEnabled(false);
    connect(compare, &QPushButton::clicked, this, [this] {
        if (!selected().isEmpty())
            emit compare_wanted(selected());
    });
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    buttons->addWidget(compare);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addWidget(caption);
    layout->addWidget(points, 1);
    layout->addLayout(buttons);
    resize(760, 420);
}

void restore_points_dialog::show_unit(const QString& unit_serial)
{
    serial = unit_serial;
    filling = true;
    points->clear();
    if (serial.isEmpty()) {
        caption->setText(QStringLiteral("Connect a unit to see its restore points."));
        filling = false;
        return;
    }
    const QList<restore_point> found = restore_points::list(serial);
    for (auto p = found.crbegin(); p != found.crend(); ++p) {
        auto* item = new QTreeWidgetItem(points);
        item->setText(taken_column, p->taken.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        item->setText(firmware_column, p->fw_version ? fw_version_text(p->fw_version) : QStringLiteral("unknown"));
        item->setText(written_column, p->written.isEmpty() ? QStringLiteral("(no write recorded)") : p->written);
        item->setData(taken_column, path_role, p->path);
        item->setToolTip(taken_column, p->path);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(pinned_column, p->pinned ? Qt::Checked : Qt::Unchecked);
    }
    caption->setText(QStringLiteral("Unit %1: %2 restore point(s), saved before each write. Unpinned points beyond the "
                                    "newest %3 are removed, oldest first.")
                         .arg(serial)
                         .arg(found.size())
                         .arg(restore_points::kept_unpinned));
    filling = false;
    compare->setEnabled(!selected().isEmpty());
}

QString restore_points_dialog::selected() const
{
    const QTreeWidgetItem* item = points->currentItem();
    return item && item->isSelected() ? item->data(taken_column, path_role).toString() : QString();
}

void restore_points_dialog::follow_pin(QTreeWidgetItem* item)
{
    if (filling)
        return;
    QString error;
    const bool pinned = item->checkState(pinned_column) == Qt::Checked;
    if (restore_points::set_pinned(item->data(taken_column, path_role).toString(), pinned, &error))
        return;
    filling = true;
    item->setCheckState(pinned_column, pinned ? Qt::Unchecked : Qt::Checked);
    filling = false;
    caption->setText(error);
}
