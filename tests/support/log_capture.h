#pragma once
// Records every message the code under test logs, with its level, so that tests can check the
// exact text of a failure and that nothing else was said.

#include <QList>
#include <QString>
#include <QtGlobal>

class log_capture {
public:
    struct entry {
        QtMsgType type;
        QString text;
    };

    log_capture();
    ~log_capture();
    log_capture(const log_capture&) = delete;
    log_capture& operator=(const log_capture&) = delete;

    QList<entry> entries() const;
    QStringList texts() const;
    QStringList texts(QtMsgType type) const;
    // True when a message of this level with exactly this text was logged.
    bool has(QtMsgType type, const QString& text) const;
    int count(const QString& text) const;
    bool contains_text(const QString& part) const;
    void clear();

private:
    QtMessageHandler previous;
};
