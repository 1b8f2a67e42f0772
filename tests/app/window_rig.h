#pragma once
// One rig for the window's tests: a virtual unit on the process' unit sources, the real window,
// and scripted answers to its questions. A box nobody expected is recorded and fails the case.

#include "app/mainwindow.h"
#include "app/prompts.h"
#include "device/rv8.h"
#include "device/d2xx/unit_sources.h"

#include <QAbstractSpinBox>
#include <QLabel>
#include <QtTest>

#include <functional>
#include <memory>

// Each kind of question is answered by the case's function for it; one the case did not expect is
// recorded by its caption and answered as if cancelled.
struct scripted_prompts : prompts {
    std::function<QMessageBox::StandardButton(const box_request&)> answer;
    std::function<bool(const number_request&, double*)> type;
    std::function<bool(const text_request&, QString*)> write;
    std::function<QString(const file_request&)> pick;
    QList<box_request> asked;
    QList<file_request> chosen;
    QStringList unexpected;

    QMessageBox::StandardButton ask(const box_request& request) override
    {
        asked << request;
        return reply(answer, request.text, QMessageBox::NoButton, request);
    }
    bool number(const number_request& request, double* value) override
    {
        return reply(type, request.title, false, request, value);
    }
    bool text(const text_request& request, QString* value) override { return reply(write, request.title, false, request, value); }
    QString choose(const file_request& request) override
    {
        chosen << request;
        return reply(pick, request.caption, QString(), request);
    }

private:
    template <typename F, typename R, typename... A>
    R reply(const F& scripted, const QString& caption, R cancelled, A&&... args)
    {
        if (!scripted) {
            unexpected << caption;
            return cancelled;
        }
        return scripted(std::forward<A>(args)...);
    }
};

inline QByteArray read_all(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

inline QString write_file(const QString& path, const QByteArray& data)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(data);
    return path;
}

inline unit_sources& test_sources()
{
    static unit_sources sources(false);
    return sources;
}

class window_rig {
public:
    explicit window_rig(const sim_config& config = {}, bool with_unit = true)
    {
        if (with_unit)
            device = test_sources().add_virtual_unit(config);
        window = std::make_unique<MainWindow>();
        window->set_prompts(&prompts);
        window->show();
        // The window as the context: a file closed as the window goes must not reach a rig that has gone.
        QObject::connect(window->unit_worker(), &rv8_worker::log_file_closed, window.get(),
                         [this](QString file) { closed_logs << file; });
    }
    ~window_rig()
    {
        window.reset();
        if (device)
            test_sources().virtuals().remove(device);
    }

    template <typename T = QObject>
    T* find(const QString& name) const
    {
        return window->findChild<T*>(name);
    }
    QString status() const { return find<QLabel>(QStringLiteral("connection_status"))->text(); }
    QImage led() const { return find<QLabel>(QStringLiteral("connection_led"))->pixmap(Qt::ReturnByValue).toImage(); }
    static QImage led_of(const char* colour)
    {
        return QIcon(QStringLiteral(":/icon/%1led.ico").arg(QLatin1String(colour))).pixmap(16, 16).toImage();
    }

    // Connects through the tool bar and waits for the unit's firmware version.
    bool connect_unit()
    {
        window->on_act_reconnect_triggered();
        return QTest::qWaitFor([this] { return status().startsWith(QLatin1String("Connected fw")); });
    }

    // Keys into a field as a user types, then Return unless the value is to stay half-typed.
    void type(const char* name, const QString& text, bool enter = true)
    {
        QAbstractSpinBox* field = find<QAbstractSpinBox>(QLatin1String(name));
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        if (enter)
            QTest::keyClick(field, Qt::Key_Return);
    }

    // The hot-plug path: the watcher hands the event to the worker as udev would.
    void plug(bool in)
    {
        device->set_plugged(in);
        QMetaObject::invokeMethod(find<QObject>(QStringLiteral("hotplug_watcher")), "announce",
                                  Q_ARG(quint32, in ? 0x8000u : 0x8004u));
    }

    std::shared_ptr<virtual_device> device;
    std::unique_ptr<MainWindow> window;
    scripted_prompts prompts;
    QStringList closed_logs; // recordings the worker closed, in order
};
