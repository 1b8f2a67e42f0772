#pragma once
#include <QDialog>

class QProgressBar;
class QFrame;

// The modal progress shown while firmware is programmed: one section for the transfer, one for
// the reset into and out of the bootloader. It cannot be cancelled; the worker ends it.
class fw_program_status : public QDialog {
    Q_OBJECT
public:
    explicit fw_program_status(QWidget* parent = nullptr);

    void reset();

public slots:
    void program_progress(int progress);
    void reset_progress(int progress);

private:
    static void show_progress(QFrame* frame, QProgressBar* bar, int progress);

    QFrame* prog_frame;
    QProgressBar* prog_prog;
    QFrame* reset_frame;
    QProgressBar* reset_prog;
};
