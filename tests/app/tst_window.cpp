// The window through its real widgets: first start and settings, the widget tree, the debug log,
// the connection lifecycle on the virtual unit, and the program's command line.

#include "app/app_resources.h"
#include "app/debug_log_format.h"
#include "sim/sim_unit.h"
#include "tests/support/log_capture.h"
#include "window_rig.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {
const QString connect_first = QStringLiteral("Connect to device to enable this button");

sim_config unit_config(quint16 fw, quint8 variant_byte, bool bootloader)
{
    sim_config config;
    config.fw_version = fw ? fw : 0x0175;
    config.variant_byte = variant_byte;
    config.start_in_bootloader = bootloader;
    return config;
}

// Standard error as the process writes it, for the length of one case.
class stderr_capture {
public:
    stderr_capture()
    {
        file.open();
        std::fflush(stderr);
        saved = dup(2);
        dup2(file.handle(), 2);
    }
    QByteArray take()
    {
        std::fflush(stderr);
        dup2(saved, 2);
        ::close(saved);
        file.seek(0);
        return file.readAll();
    }

private:
    QTemporaryFile file;
    int saved;
};

QString debug_log_path()
{
    return QDir::homePath() + QStringLiteral("/Documents/rv8_debug_log.txt");
}

void worker_gives_up()
{
    qFatal("worker gave up: %d", 42);
}

// Child mode: a fatal message from a thread that is not the window's.
int fatal_from_other_thread()
{
    QDir().mkpath(QDir::homePath() + QStringLiteral("/Documents"));
    MainWindow window;
    MainWindow::set_log_window(&window);
    qInstallMessageHandler(MainWindow::message_handler);
    QThread* thread = QThread::create(worker_gives_up);
    thread->start();
    thread->wait();
    return 0; // not reached: the fatal message ends the process
}
}

class tst_window : public QObject {
    Q_OBJECT

private slots:
    void first_start_and_the_six_settings()
    {
        {
            window_rig rig({}, false);
            QCOMPARE(rig.find<QLineEdit>("debug_log_file_name")->text(), debug_log_path());
            QCOMPARE(rig.find<QComboBox>("boost_select")->currentText(), QStringLiteral("PSI"));
            QCOMPARE(rig.find<QLineEdit>("cust_ana_filename")->text(), QString());
            QCOMPARE(rig.find<QAction>("act_save")->statusTip(),
                     "Save this settings file (" + QDir::homePath() + "/Documents/rv8_settings.bnini)");
            rig.find<QComboBox>("boost_select")->setCurrentIndex(1);
        }
        QSettings settings;
        const QString docs = QDir::homePath() + QStringLiteral("/Documents");
        QStringList stored;
        for (const char* key : {"debug_log_file_name", "settings_file_name", "live_log_folder_name", "boost_units",
                                "cust_ana_file_name", "cust_anb_file_name"})
            stored << settings.value(QStringLiteral("MainWindow/") + key, "missing").toString();
        QCOMPARE(stored, QStringList({debug_log_path(), docs + "/rv8_settings.bnini", docs, "Bar", "", ""}));
        {
            window_rig again({}, false);
            QCOMPARE(again.find<QComboBox>("boost_select")->currentText(), QStringLiteral("Bar"));
        }
        settings.clear();
    }

    // A misspelt on_<object>_<signal> slot only warns at start: here it fails.
    void every_slot_finds_its_widget_and_the_tabs_stand_in_order()
    {
        log_capture log;
        window_rig rig({}, false);
        const QStringList warnings = log.texts(QtWarningMsg);
        QVERIFY2(!warnings.join('\n').contains("No matching signal"), qPrintable(warnings.join('\n')));
        QTabWidget* tabs = rig.find<QTabWidget>("main_tab");
        QStringList tab_pages;
        for (int i = 0; i < tabs->count(); ++i)
            tab_pages << tabs->widget(i)->objectName() + "=" + tabs->tabText(i);
        QCOMPARE(tab_pages, QStringList({"basic=Settings", "main=Main Table", "aux=AUX Table", "gpo1=GPO1 Table",
                                         "gpo2=GPO2 Table", "log=Debug Log", "live=Live View"}));
    }

    void debug_log_lines()
    {
        const QDateTime when(QDate(2026, 3, 5), QTime(14, 7, 9, 4));
        QCOMPARE(debug_log_line(QtDebugMsg, "void f(int)", QStringLiteral("it said so"), 42, when),
                 QStringLiteral("[2026-03-05 14:07:09.004] {   42} it said so")); // a short thread number padded
        QCOMPARE(debug_log_line(QtWarningMsg, "void f(int)", QStringLiteral("it said so"), 1234567, when),
                 QStringLiteral("[2026-03-05 14:07:09.004] {1234567} [Warning] void f(int): it said so"));
        QCOMPARE(debug_log_line(QtFatalMsg, "void f(int)", QStringLiteral("it said so"), 7, when),
                 QStringLiteral("[2026-03-05 14:07:09.004] {    7} [Fatal] void f(int): it said so"));
    }

    void a_worker_warning_reaches_view_file_and_console()
    {
        QDir().mkpath(QDir::homePath() + QStringLiteral("/Documents"));
        QFile::remove(debug_log_path());
        window_rig rig;
        MainWindow::set_log_window(rig.window.get());
        QtMessageHandler previous = qInstallMessageHandler(MainWindow::message_handler);
        stderr_capture console;
        rig.window->on_act_reconnect_triggered();
        QTRY_COMPARE(rig.status(), QStringLiteral("Connected fw v1.75 RV8-SX"));
        // A driver that refuses to close makes the worker warn when it reconnects.
        rig.device->with([](sim_unit*, virtual_faults& faults) {
            faults.fail(d2xx_call::close, FT_IO_ERROR);
            return 0;
        });
        rig.window->on_act_reconnect_triggered();
        QPlainTextEdit* view = rig.find<QPlainTextEdit>("debug_log_text");
        QTRY_VERIFY(view->toPlainText().contains("Cannot disconnect"));
        qInstallMessageHandler(previous);
        MainWindow::set_log_window(nullptr);
        const QByteArray said = console.take();

        const QRegularExpression shape(
            "^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\] \\{ *(\\d+)\\} \\[Warning\\] FT_STATUS "
            "rv8_worker::silent_close\\(\\): Cannot disconnect from device handle 0x[0-9a-f]+ \\(you can probably "
            "ignore this\\)$");
        QString line;
        for (const QString& l : view->toPlainText().split('\n'))
            if (l.contains("Cannot disconnect"))
                line = l.trimmed();
        const QRegularExpressionMatch match = shape.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        QVERIFY(match.captured(1).toULongLong() != current_thread_number());
        QVERIFY(said.contains(line.toLocal8Bit() + "\n"));
        QFile file(debug_log_path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(line.toLocal8Bit() + "\r\n"));
    }

    void a_fatal_message_from_another_thread_is_written_before_the_end()
    {
        QTemporaryDir home;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("BRENNIX_CHILD_HOME", home.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--fatal-from-other-thread"});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const QByteArray tail = "[Fatal] void {anonymous}::worker_gives_up(): worker gave up: 42";
        const QByteArray said = child.readAllStandardError();
        QVERIFY2(said.contains("} " + tail + "\n"), said.constData());
        QFile file(home.path() + "/Documents/rv8_debug_log.txt");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("} " + tail + "\r\n"));
    }

    void connects_to_the_virtual_unit_data()
    {
        QTest::addColumn<int>("fw");
        QTest::addColumn<int>("variant_byte");
        QTest::addColumn<bool>("bootloader");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("box");
        QTest::addColumn<double>("max_current");
        QTest::newRow("RV8-SX 2.1") << 0x0201 << 0xAA << false << "Connected fw v2.1 RV8-SX" << "" << 20.0;
        QTest::newRow("RV8-S lowers the limits") << 0x0201 << 0x55 << false << "Connected fw v2.1 RV8-S" << "" << 10.0;
        QTest::newRow("too old, warned once")
            << 0x0166 << 0xAA << false << "Connected fw v1.66 RV8-SX"
            << "Incompatible firmware detected, need >= 0x167, have 0x166" << 20.0;
        QTest::newRow("oldest compatible") << 0x0167 << 0xAA << false << "Connected fw v1.67 RV8-SX" << "" << 20.0;
        // A bootloader cannot tell the variant: the limits stay as they were.
        QTest::newRow("bootloader of an RV8-S") << 0 << 0x55 << true << "Connected bootloader" << "" << 20.0;
    }
    void connects_to_the_virtual_unit()
    {
        QFETCH(int, fw);
        QFETCH(int, variant_byte);
        QFETCH(bool, bootloader);
        QFETCH(QString, status);
        QFETCH(QString, box);
        QFETCH(double, max_current);
        window_rig rig(unit_config(quint16(fw), quint8(variant_byte), bootloader));
        rig.prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
        QCOMPARE(rig.status(), QStringLiteral("Not Connected"));
        rig.window->on_act_reconnect_triggered();
        QCOMPARE(rig.status(), QStringLiteral("Connecting..."));
        QCOMPARE(rig.led(), window_rig::led_of("yellow"));
        QTRY_COMPARE(rig.status(), status);
        QCOMPARE(rig.window->windowTitle(), "Vantrel Brennix v2.11.0:  " + status);
        QCOMPARE(rig.led(), window_rig::led_of("green"));
        QStringList boxes;
        for (const box_request& r : rig.prompts.asked)
            boxes << r.text + (r.icon == QMessageBox::Warning ? " (warning)" : "");
        QCOMPARE(boxes, box.isEmpty() ? QStringList() : QStringList{box + " (warning)"});
        QVERIFY(rig.find<QAction>("act_read")->isEnabled() && rig.find<QAction>("act_logging")->isEnabled());
        QCOMPARE(rig.find<QAction>("act_write_all")->statusTip(),
                 QStringLiteral("Write all settings to device, regardless of what changed"));
        QCOMPARE(rig.find<QDoubleSpinBox>("main_overcurrent_limit")->maximum(), max_current);
        QCOMPARE(rig.find<QDoubleSpinBox>("aux_overcurrent_limit")->maximum(), max_current);
    }

    void unplug_and_plug_back()
    {
        window_rig rig;
        rig.window->on_act_reconnect_triggered();
        QTRY_COMPARE(rig.status(), QStringLiteral("Connected fw v1.75 RV8-SX"));
        rig.find<QAction>("act_live_log_to_file")->setChecked(true);
        rig.plug(false);
        QTRY_COMPARE(rig.status(), QStringLiteral("Not Connected"));
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Vantrel Brennix v2.11.0 : Not Connected"));
        QCOMPARE(rig.led(), window_rig::led_of("red"));
        QStringList tips;
        for (const char* name : {"act_read", "act_write", "act_write_all", "act_logging"})
            tips << rig.find<QAction>(name)->statusTip();
        QCOMPARE(tips, QStringList({connect_first, connect_first, connect_first, connect_first}));
        for (const char* name : {"act_read", "act_write", "act_write_all", "act_reset", "act_logging", "act_live_log_to_file"})
            QVERIFY2(!rig.find<QAction>(name)->isEnabled() && !rig.find<QAction>(name)->isChecked(), name);
        QVERIFY(!rig.find<QWidget>("fw_update")->isEnabled() && !rig.find<QWidget>("main_override_set")->isEnabled());
        rig.plug(true);
        QTRY_COMPARE(rig.status(), QStringLiteral("Connected fw v1.75 RV8-SX"));
        QVERIFY(rig.find<QWidget>("fw_update")->isEnabled());
    }

    void an_unplug_while_the_old_firmware_box_is_open_is_shown()
    {
        window_rig rig(unit_config(0x0160, 0xAA, false));
        rig.prompts.answer = [&rig](const box_request&) {
            rig.plug(false);
            for (int i = 0; i < 500 && rig.status() != QLatin1String("Not Connected"); ++i)
                QTest::qWait(10);
            return QMessageBox::Ok;
        };
        rig.window->on_act_reconnect_triggered();
        QTRY_COMPARE(rig.prompts.asked.size(), 1);
        QCOMPARE(rig.status(), QStringLiteral("Not Connected"));
        QVERIFY(!rig.find<QAction>("act_read")->isEnabled());
        QCOMPARE(rig.led(), window_rig::led_of("red"));
    }

    void the_program_from_its_command_line()
    {
        QProcess sim;
        sim.start(QStringLiteral(RV8_SIM_PATH), {"--fw-version", "0x0201"});
        QVERIFY(sim.waitForReadyRead(5000));
        const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();

        struct run {
            QStringList args;
            int code;
            QByteArray out;  // must appear in standard output
            QByteArray err;  // standard error, exactly
        };
        const QList<run> runs = {
            {{"--version"}, 0, "Brennix 2.11.0\n", ""},
            {{"--virtual-unit-variant", "x", "--virtual-unit"}, 2, "", "brennix: --virtual-unit-variant is sx or s, got \"x\"\n"},
            {{"--virtual-unit", "--virtual-unit-fw", "0x10000"}, 2, "",
             "brennix: --virtual-unit-fw wants a 16-bit number such as 0x0201, got \"0x10000\"\n"},
            {{"--port", "ttyUSB0"}, 2, "", "brennix: --port wants an absolute device path such as /dev/pts/4, got \"ttyUSB0\"\n"},
            {{"--colour"}, 2, "", "brennix: Unknown option 'colour'.\n"},
            {{"--port", pty + ",KIRRA 3,SIM00002"}, -1, "Device connected. sn:SIM00002  v:201  var:0\n", ""},
        };
        for (const run& r : runs) {
            QProcess program;
            program.start(QStringLiteral(BRENNIX_PATH), r.args);
            QVERIFY(program.waitForStarted());
            QByteArray out;
            if (r.code < 0) { // runs until closed: wait for the connection in its console log
                for (int i = 0; i < 100 && !out.contains(r.out); ++i) {
                    program.waitForReadyRead(100);
                    out += program.readAllStandardOutput();
                }
                program.terminate();
            }
            QVERIFY(program.waitForFinished(10000));
            out += program.readAllStandardOutput();
            QVERIFY2(out.contains(r.out), out.constData());
            if (r.code >= 0) {
                QCOMPARE(program.exitCode(), r.code);
                QCOMPARE(program.readAllStandardError(), r.err);
            }
        }
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }
};

int main(int argc, char** argv)
{
    // Settings, the debug log and documents go to a home of this run's own.
    static QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR"})
        qunsetenv(var);
    const bool child = argc > 1 && qstrcmp(argv[1], "--fatal-from-other-thread") == 0;
    if (child) // the parent gave it a home of its own
        qputenv("HOME", qgetenv("BRENNIX_CHILD_HOME"));
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    set_app_identity();
    init_app_resources();
    if (child)
        return fatal_from_other_thread();
    tst_window test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window.moc"
