#include "app/fw_program_status.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QFrame* section(QWidget* parent, const char* frame_name, const QString& caption, const char* bar_name,
                QProgressBar** bar)
{
    QFrame* frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(frame_name));
    QHBoxLayout* row = new QHBoxLayout(frame);
    QLabel* label = new QLabel(caption, frame);
    QFont font = label->font();
    font.setPointSize(12);
    label->setFont(font);
    *bar = new QProgressBar(frame);
    (*bar)->setObjectName(QLatin1String(bar_name));
    (*bar)->setRange(0, 100);
    row->addWidget(label);
    row->addWidget(*bar, 1);
    return frame;
}
}

fw_program_status::fw_program_status(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("fw_program_status"));
    setWindowTitle(QStringLiteral("FW Programming..."));
    setWindowModality(Qt::ApplicationModal);
    resize(331, 137);
    QVBoxLayout* layout = new QVBoxLayout(this);
    prog_frame = section(this, "prog_frame", QStringLiteral("Programming"), "prog_prog", &prog_prog);
    reset_frame = section(this, "reset_frame", QStringLiteral("Resetting"), "reset_prog", &reset_prog);
    layout->addWidget(prog_frame);
    layout->addWidget(reset_frame);
    QDialogButtonBox* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->addButton(QStringLiteral("Abort"), QDialogButtonBox::RejectRole)->hide();
    layout->addWidget(buttons);
    reset();
}

void fw_program_status::reset()
{
    show_progress(prog_frame, prog_prog, -1);
    show_progress(reset_frame, reset_prog, -1);
}

void fw_program_status::program_progress(int progress)
{
    show_progress(prog_frame, prog_prog, progress);
}

void fw_program_status::reset_progress(int progress)
{
    show_progress(reset_frame, reset_prog, progress);
}

void fw_program_status::show_progress(QFrame* frame, QProgressBar* bar, int progress)
{
    frame->setEnabled(progress >= 0);
    bar->setValue(progress < 0 ? 0 : qMin(progress, 100));
}
