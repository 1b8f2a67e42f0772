// The debug log: every diagnostic of every thread becomes one line in the view, the file and the
// console. Only the GUI thread touches the view and, but for a fatal message, the file.
#include "app/mainwindow.h"

#include "app/debug_log_format.h"
#include "app/main_form.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QPlainTextEdit>
#include <QReadWriteLock>
#include <QThread>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace {
MainWindow* log_window = nullptr;
// Held for reading while a message is forwarded, so the window cannot go away in the middle.
QReadWriteLock log_window_lock(QReadWriteLock::Recursive);
// A message raised while a line is being written goes to standard error only.
thread_local bool writing_line = false;

void to_console(QtMsgType type, const QByteArray& line)
{
    FILE* stream = (type == QtDebugMsg || type == QtInfoMsg) ? stdout : stderr;
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fputc('\n', stream);
}
}

void MainWindow::set_log_window(MainWindow* window)
{
    QWriteLocker lock(&log_window_lock);
    log_window = window;
}

void MainWindow::message_handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QReadLocker lock(&log_window_lock);
    if (log_window)
        log_window->debug_message_handler(type, context, message);
}

void MainWindow::debug_message_handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString line = debug_log_line(type, context.function, message, current_thread_number(),
                                        QDateTime::currentDateTime());
    if (writing_line) {
        to_console(QtCriticalMsg, line.toLocal8Bit());
        return;
    }
    // The process ends when this returns, so a queued call would never run.
    if (type == QtFatalMsg && QThread::currentThread() != thread()) {
        write_fatal_now(line);
        return;
    }
    when_update_log(type, line);
}

void MainWindow::write_fatal_now(const QString& formatted)
{
    const QByteArray line = formatted.toLocal8Bit();
    to_console(QtFatalMsg, line);
    std::fflush(stderr);
    QMutexLocker lock(&log_file_lock);
    QFile file(debug_log_file_name);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        file.write(line + "\r\n");
        file.flush();
    }
}

void MainWindow::when_update_log(QtMsgType type, const QString& formatted)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, "when_update_log", Qt::QueuedConnection, Q_ARG(QtMsgType, type),
                                  Q_ARG(QString, formatted));
        return;
    }
    writing_line = true;
    const QByteArray line = formatted.toLocal8Bit();
    QFile file(debug_log_file_name);
    const bool file_open = file.open(QIODevice::WriteOnly | QIODevice::Append);
    to_console(type, line);

    ui->debug_log_text->moveCursor(QTextCursor::End);
    ui->debug_log_text->insertPlainText(formatted + QStringLiteral("\r\n"));
    ui->debug_log_text->moveCursor(QTextCursor::End);

    if (file_open)
        file.write(line + "\r\n");
    if (type == QtFatalMsg) {
        file.flush();
        std::fflush(stderr);
        on_open_debug_log_file_clicked();
        std::abort();
    }
    std::fflush(stdout);
    std::fflush(stderr);
    file.close();
    writing_line = false;
}

void MainWindow::on_open_debug_log_file_clicked()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(debug_log_file_name));
}

void MainWindow::on_act_rw_debug_toggled(bool)
{
}
