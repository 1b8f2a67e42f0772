// brennix: the window on an RV8 unit.
#include "app/app_options.h"
#include "app/app_resources.h"
#include "app/mainwindow.h"
#include "device/d2xx/unit_sources.h"

#include <QApplication>
#include <QCoreApplication>
#include <mgl2/define.h>

#include <cstdio>
#include <memory>

namespace {
int say(FILE* stream, const QString& text, int code)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    return code;
}

bool has_display()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

QStringList arguments_of(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}
}

int main(int argc, char** argv)
{
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    set_app_identity();
    app_options::outcome outcome;
    const app_options options = app_options::parse(arguments_of(argc, argv), &outcome);
    switch (outcome) {
    case app_options::bad_usage:
        return say(stderr, QStringLiteral("brennix: %1\n").arg(options.error), 2);
    case app_options::version:
        return say(stdout, QStringLiteral("Brennix %1\n").arg(QCoreApplication::applicationVersion()), 0);
    case app_options::help: {
        QCoreApplication console(argc, argv);
        return say(stdout, app_options::help_text(), 0);
    }
    case app_options::run:
        break;
    }

    unit_sources sources;
    for (const QString& spec : options.ports) {
        QString error;
        if (!sources.add_port_spec(spec, &error))
            return say(stderr, QStringLiteral("brennix: %1\n").arg(error), 2);
    }
    if (!has_display())
        return say(stderr, QStringLiteral("brennix: no display to show the window on (set DISPLAY, or run it under xvfb-run)\n"), 1);

    QApplication app(argc, argv);
    init_app_resources();
    // The surfaces are 16 x 16 cells: OpenMP's worker threads would spin waiting for work longer
    // than the drawing takes, and compete with the worker thread for the cores.
    mgl_set_num_thr(1);
    if (options.virtual_unit)
        sources.add_virtual_unit(options.virtual_config);

    auto window = std::make_unique<MainWindow>(nullptr);
    MainWindow::set_log_window(window.get());
    window->show();
    qInstallMessageHandler(MainWindow::message_handler);
    window->on_act_reconnect_triggered();
    const int code = app.exec();
    window.reset();
    return code;
}
