// Filling the settings form: vars_to_fields with a whole unit's settings, and a Read from the
// button to the filled form on the virtual unit; medians. Offscreen, in a home of its own.

#include "app/app_resources.h"
#include "app/mainwindow.h"
#include "app/prompts.h"
#include "device/d2xx/unit_sources.h"
#include "device/rv8.h"
#include "model/rv8_vars.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct yes_prompts : prompts {
    QMessageBox::StandardButton ask(const box_request&) override { return QMessageBox::Yes; }
    QString choose(const file_request&) override { return QString(); }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    set_app_identity();
    init_app_resources();
    unit_sources sources(false);
    sources.add_virtual_unit();

    // A whole unit's settings, as a read hands them to the window.
    QList<QByteArray> tables;
    QList<quint32> ints;
    QList<adc_trim> trims;
    {
        rv8_worker worker;
        worker.open();
        rv8_vars vars(&worker);
        if (vars.rv8_to_vars() != FT_OK)
            return 1;
        vars.get(tables, ints, trims);
    }

    MainWindow window;
    yes_prompts answers;
    window.set_prompts(&answers);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    window.on_act_reconnect_triggered();
    QLabel* status = window.findChild<QLabel*>(QStringLiteral("connection_status"));
    while (!status->text().startsWith(QLatin1String("Connected fw")))
        QTest::qWait(5);

    std::vector<double> fill, read;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer clock;
        clock.start();
        window.vars_to_fields(tables, ints, trims);
        fill.push_back(clock.nsecsElapsed() / 1e6);
    }
    QAction* act_read = window.findChild<QAction*>(QStringLiteral("act_read"));
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer clock;
        clock.start();
        act_read->trigger();
        while (!act_read->isEnabled())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        read.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("{\"bench\":\"fill_form\",\"vars_to_fields_ms_median\":%.2f,\"vars_to_fields_ms_max\":%.2f,"
                "\"read_button_to_filled_form_ms_median\":%.1f,\"runs\":[21,10]}\n",
                median(fill), *std::max_element(fill.begin(), fill.end()), median(read));
    return 0;
}
