#pragma once
// Work that would hold up the window (counting a million samples, writing a long export) on threads
// of its own; each result comes back in the owner's thread. Jobs still running when the owner goes
// are waited for, since they read the log store the owner's worker keeps.

#include <QObject>
#include <QPointer>
#include <QThread>

#include <functional>
#include <memory>

class background_jobs : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~background_jobs() override
    {
        for (QThread* t : findChildren<QThread*>())
            t->wait();
    }

    template <typename R>
    void run(std::function<R()> work, std::function<void(R)> done)
    {
        auto result = std::make_shared<R>();
        QThread* thread = QThread::create([work, result] { *result = work(); });
        thread->setParent(this);
        connect(thread, &QThread::finished, this, [thread, result, done] {
            thread->deleteLater();
            done(*result);
        });
        thread->start();
    }
};
