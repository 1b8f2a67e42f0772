#pragma once
// Answers the next modal dialog (or popup menu) from a timer, so a test never blocks on exec().

#include <QApplication>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>

class modal_answer : public QObject {
public:
    enum kind { modal, popup };

    explicit modal_answer(std::function<void(QWidget*)> act, kind what = modal)
        : act(std::move(act))
        , what(what)
    {
        connect(&timer, &QTimer::timeout, this, &modal_answer::poll);
        timer.start(5);
    }

    bool answered() const { return done; }

private:
    void poll()
    {
        QWidget* w = what == modal ? QApplication::activeModalWidget() : QApplication::activePopupWidget();
        if (!w)
            return;
        timer.stop();
        done = true;
        act(w);
    }

    std::function<void(QWidget*)> act;
    kind what;
    QTimer timer;
    bool done = false;
};
