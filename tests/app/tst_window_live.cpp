// The window's live view, live-log recording, MAP calibration, overrides and firmware update,
// through the real widgets and the virtual unit.

#include "app/app_resources.h"
#include "app/live_format.h"
#include "app/mapcal_rules.h"
#include "app/override_book.h"
#include "device/rv8.h"
#include "device/rv8_protocol.h"
#include "model/restore_points.h"
#include "graphs/log_graph.h"
#include "live/live_channels.h"
#include "live/record_condition.h"
#include "sim/sim_unit.h"
#include "tables/duty_table.h"
#include "tests/support/log_capture.h"
#include "window_rig.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <qwt/qwt_plot_curve.h>

#include <cctype>
#include <numeric>

namespace {
const QStringList readout_order = {"live_battery_voltage", "live_map", "live_an_a_voltage", "live_an_b_voltage",
                                   "live_aux_current", "live_main_current", "live_rpm", "live_aux_duty",
                                   "live_main_duty", "live_gpo1_duty", "live_gpo2_duty", "live_gpi1_state",
                                   "live_gpi2_state", "live_aux_master"};

QString data_path(const QString& name)
{
    return qEnvironmentVariable("BRENNIX_TEST_DATA") + "/" + name;
}

// A frame to the unit with its trailing checksum.
QByteArray unit_frame(const QByteArray& head)
{
    quint8 x = 0;
    for (char c : head)
        x ^= quint8(c);
    return head + char(x);
}

rv8_frame frame_of(quint16 rpm, quint16 map, quint16 an1, quint16 main_duty)
{
    rv8_frame f;
    f.batt_adc = 748;
    f.map_adc = map;
    f.an1_adc = an1;
    f.an2_adc = 1200; // above the 10-bit range: read as 1023
    f.aux_current = 205;
    f.main_current = 1023;
    f.rpm = rpm;
    f.aux_duty = 512;
    f.main_duty = main_duty;
    f.gpo1_duty = 0;
    f.gpo2_duty = 1;
    f.gpi1_state = 1;
    f.aux_master = 9;
    return f;
}

QStringList bnlogs(const QString& folder)
{
    return QDir(folder).entryList({"*.bnlog"}, QDir::Files, QDir::Name);
}
}

class tst_window_live : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // A rig connected to the virtual unit, logging into `folder`.
    std::unique_ptr<window_rig> connected(const QString& folder = QString())
    {
        auto rig = std::make_unique<window_rig>();
        rig->prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
        if (!folder.isEmpty()) {
            QDir().mkpath(folder);
            rig->prompts.pick = [folder](const file_request&) { return folder; };
            rig->window->on_set_live_log_folder_clicked();
            rig->prompts.pick = nullptr;
        }
        if (!rig->connect_unit())
            return nullptr;
        rig->prompts.asked.clear();
        rig->prompts.chosen.clear();
        return rig;
    }

    static QAction* action(window_rig& rig, const char* name) { return rig.find<QAction>(name); }
    static void live(window_rig& rig, bool on)
    {
        action(rig, "act_logging")->trigger();
        QTRY_COMPARE(action(rig, "act_logging")->isChecked(), on);
    }
    // What the window sent to the unit before a marker request, which the worker runs after
    // everything asked before it: an AUX override reset.
    static QList<QByteArray> sent_before_marker(window_rig& rig)
    {
        const QByteArray marker = unit_frame(QByteArray::fromHex("C3080001") + char(2));
        rig.find<QPushButton>("aux_override_reset")->click();
        if (!QTest::qWaitFor([&] { return rig.device->writes().contains(marker); }))
            return {"marker never sent"};
        QList<QByteArray> sent = rig.device->writes();
        sent.removeAll(marker);
        return sent;
    }
    static int chart_samples(window_rig& rig)
    {
        return int(rig.find<log_graph>("live_log_graph")->get_curve("MAP")->dataSize());
    }

private slots:
    void readouts_in_the_three_formats_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("Physical") << 0
                                  << QStringList{"13.8", "VAC", "0.6", "5.0", "10.0", "50.0", "3000", "50", "100",
                                                 "0", "0", "High", "Low", "RV8 PWM"};
        QTest::newRow("Raw decimal") << 1
                                     << QStringList{"748", "200", "123", "1200", "205", "1023", "3000", "512", "1023",
                                                    "0", "1", "1", "0", "9"};
        QTest::newRow("Raw hex") << 2
                                 << QStringList{"0x2ec", "0x0c8", "0x07b", "0x4b0", "0x0cd", "0x3ff", "0x0bb8",
                                                "0x200", "0x3ff", "0x000", "0x001", "1", "0", "0x09"};
    }
    void readouts_in_the_three_formats()
    {
        QFETCH(int, format);
        QFETCH(QStringList, texts);
        window_rig rig({}, false);
        rig.find<QComboBox>("live_display_format")->setCurrentIndex(format);
        rig.window->when_recall_data_ready(frame_of(3000, 200, 123, 1023));
        QStringList shown;
        for (const QString& name : readout_order)
            shown << rig.find<QLineEdit>(name)->text();
        QCOMPARE(shown, texts);
        // The duty fields under the tables: whole percent on the duty colour.
        QSpinBox* main_duty = rig.find<QSpinBox>("main_duty_live_value");
        QCOMPARE(main_duty->value(), 100);
        QCOMPARE(rig.find<QSpinBox>("aux_duty_live_value")->value(), 50);
        QCOMPARE(rig.find<QSpinBox>("main_horz_live_value")->value(), 3000);
        QVERIFY(main_duty->palette().color(QPalette::Inactive, QPalette::Base) != QColor(Qt::white));
    }

    void each_highlight_follows_its_vertical_source()
    {
        window_rig rig({}, false);
        log_capture log;
        rig.find<QComboBox>("aux_vert_axis")->setCurrentIndex(1); // AN A
        qint64 clock = 0;
        QList<duty_table*> tables;
        QTabWidget* tabs = rig.find<QTabWidget>("main_tab");
        for (const char* name : {"main_table", "aux_table"}) {
            tables << rig.find<duty_table>(name);
            tabs->setCurrentWidget(rig.find<QWidget>(QString(name).remove("_table")));
            QCoreApplication::processEvents(); // laid out once, the grid keeps its size
            tables.last()->set_clock([&clock] { return clock; });
        }
        QList<QList<int>> ys; // per frame: MAIN's and AUX's horizontal line
        const QList<rv8_frame> frames = {frame_of(3000, 400, 100, 0), frame_of(3000, 600, 100, 0),
                                         frame_of(3000, 600, 900, 0)};
        for (const rv8_frame& f : frames) {
            clock += 1000;
            rig.window->when_recall_data_ready(f);
            ys << QList<int>{tables[0]->horz_line_geometry().y(), tables[1]->horz_line_geometry().y()};
        }
        QVERIFY2(ys[1][0] < ys[0][0] && ys[1][1] == ys[0][1], "MAP moved MAIN only");
        QVERIFY2(ys[2][0] == ys[1][0] && ys[2][1] < ys[1][1], "AN A moved AUX only");
        QCOMPARE(rig.find<QDoubleSpinBox>("aux_vert_live_value")->value(), 4.4);
        QVERIFY(!log.has(QtCriticalMsg, "Unhandled vert axis"));
    }

    void live_updates_show_the_unit_and_stop_clean()
    {
        auto rig = connected();
        QVERIFY(rig);
        live(*rig, true);
        // The unit idles for its first seconds: manifold vacuum, about 850 rpm.
        QTRY_COMPARE(rig->find<QLineEdit>("live_map")->text(), QStringLiteral("VAC"));
        QTRY_VERIFY(qAbs(rig->find<QLineEdit>("live_rpm")->text().toInt() - 850) < 60);
        QVERIFY(rig->find<QLineEdit>("live_rpm")->isEnabled() && rig->find<QWidget>("main_vert_live_value")->isEnabled());
        QVERIFY(rig->find<duty_table>("gpo2_table")->highlight_wanted());
        rig->find<QComboBox>("live_display_format")->setCurrentIndex(2);
        rig->find<QSpinBox>("main_override")->setValue(100);
        rig->prompts.answer = [](const box_request& b) { return b.buttons & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok; };
        rig->find<QPushButton>("main_override_set")->click(); // the engine turns: asked first
        QCOMPARE(rig->prompts.asked.last().text, QStringLiteral("Override MAIN to 100 % with the engine running?"));
        QTRY_COMPARE(rig->find<QLineEdit>("live_main_duty")->text(), QStringLiteral("0x3ff"));

        live(*rig, false);
        QStringList after;
        for (const QString& name : readout_order)
            after << rig->find<QLineEdit>(name)->text() + (rig->find<QLineEdit>(name)->isEnabled() ? "!" : "");
        QStringList zeros;
        for (int i = 0; i < 13; ++i)
            zeros << "0";
        QCOMPARE(after, zeros << "");
        QCOMPARE(rig->find<QSpinBox>("main_horz_live_value")->value(), 0);
        QVERIFY(!rig->find<duty_table>("main_table")->highlight_wanted());
        QCOMPARE(rig->prompts.unexpected, QStringList());
    }

    void countdown_and_its_timer()
    {
        const QString folder = dir.filePath("countdown");
        auto rig = connected(folder);
        QVERIFY(rig);
        QTimer* countdown = rig->window->findChild<QTimer*>("log_countdown");
        QAction* to_file = action(*rig, "act_live_log_to_file");
        QCheckBox* use_timer = rig->find<QCheckBox>("live_log_use_timer");
        QSpinBox* start = rig->find<QSpinBox>("live_log_timer_start");
        QLabel* shown = rig->find<QLabel>("live_log_timer");

        // At 0 writing starts with live updates, and its settings take a half-typed value.
        use_timer->setChecked(true);
        start->setValue(0);
        to_file->setChecked(true);
        rig->type("pulses_per_rev", "1.2", false); // snapped to 1.5 when committed
        live(*rig, true);
        QCOMPARE(to_file->statusTip(), QStringLiteral("Writing live update data to file"));
        QVERIFY(!countdown->isActive() && !rig->find<QGroupBox>("live_log_timer_group")->isEnabled());
        QTRY_COMPARE(bnlogs(folder).size(), 1);
        QTRY_VERIFY(read_all(folder + "/" + bnlogs(folder)[0]).contains("RPM%20scaler=3\n"));
        to_file->setChecked(false);

        // Counting down: 3, 2, 1 on screen, one expiry at a time.
        start->setValue(3);
        QCOMPARE(shown->text(), QStringLiteral("3"));
        to_file->setChecked(true);
        QVERIFY(countdown->isActive());
        QCOMPARE(to_file->statusTip(), QStringLiteral("Will log live update data to file when triggers are met"));
        QMetaObject::invokeMethod(rig->window.get(), "when_live_log_timer_expires");
        QCOMPARE(shown->text(), QStringLiteral("2"));
        // Toggled off and on again: one countdown, from the start.
        to_file->setChecked(false);
        QVERIFY(!countdown->isActive());
        QCOMPARE(shown->text(), QStringLiteral("3"));
        to_file->setChecked(true);
        // The option unchecked while counting: the next expiry stops writing instead of starting it.
        use_timer->setChecked(false);
        QMetaObject::invokeMethod(rig->window.get(), "when_live_log_timer_expires");
        QCOMPARE(to_file->statusTip(), QStringLiteral("Not logging live update data to file"));
        QVERIFY(!countdown->isActive());
        QCOMPARE(bnlogs(folder).size(), 1);

        // Live updates stopped mid-countdown: the countdown goes with them.
        use_timer->setChecked(true);
        to_file->setChecked(false);
        to_file->setChecked(true);
        QVERIFY(countdown->isActive());
        live(*rig, false);
        QVERIFY(!countdown->isActive());

        // "Stop logging after" ends a recording by itself, 1 s of rows, and Log to File with it.
        start->setValue(0);
        rig->find<QSpinBox>("live_log_timer_stop")->setValue(1);
        live(*rig, true);
        QTRY_VERIFY(!to_file->isChecked());
        QTRY_COMPARE(rig->closed_logs.size(), 2); // the first recording, and this one
        QList<qint64> stamps;
        for (const QByteArray& line : read_all(rig->closed_logs[1]).split('\n'))
            if (!line.isEmpty() && std::isdigit(quint8(line[0])))
                stamps << line.left(line.indexOf(',')).toLongLong();
        QVERIFY2(stamps.last() - stamps.first() >= 990 && stamps.last() - stamps.first() <= 1300,
                 qPrintable(QString::number(stamps.last() - stamps.first())));
        live(*rig, false);
        QCOMPARE(rig->prompts.unexpected, QStringList());
    }

    void a_recording_keeps_its_file_across_pauses_and_names()
    {
        const QString folder = dir.filePath("pauses");
        auto rig = connected(folder);
        QVERIFY(rig);
        // Whatever second the recording starts in, its name is taken: it must get a suffix.
        const QDateTime now = QDateTime::currentDateTime();
        QDir().mkpath(folder);
        const auto taken = [&](int s) {
            return folder + "/brennix_log_" + now.addSecs(s).toString("yyyy-MM-dd_hh-mm-ss") + ".bnlog";
        };
        const int earlier = 10;
        for (int s = 0; s < earlier; ++s)
            write_file(taken(s), "earlier recording\r\n");
        QAction* to_file = action(*rig, "act_live_log_to_file");
        rig->find<QPushButton>("live_log_to_file")->click(); // the button drives the action
        QVERIFY(to_file->isChecked());
        live(*rig, true);
        const QString name = rig->find<QLineEdit>("live_log_file_name")->text();
        QVERIFY2(name.endsWith("_2.bnlog"), qPrintable(name));
        QTRY_VERIFY(read_all(name).count("\r\n") > 60);

        // An override and a calibration pause live logging; the recording goes on in the same file.
        rig->find<QSpinBox>("aux_override")->setValue(50);
        rig->find<QPushButton>("aux_override_set")->click();
        rig->find<QPushButton>("map_cal_calibrate")->click();
        QTRY_VERIFY(!rig->find<QPushButton>("map_cal_calibrate")->isChecked());
        const int rows = read_all(name).count("\r\n");
        QTRY_VERIFY(read_all(name).count("\r\n") > rows + 20);
        QCOMPARE(bnlogs(folder).size(), earlier + 1);
        QCOMPARE(read_all(name).count("[rv8_log]"), 1);
        QCOMPARE(rig->find<QLineEdit>("live_log_file_name")->text(), name);
        QCOMPARE(to_file->statusTip(), QStringLiteral("Writing live update data to file"));
        for (int s = 0; s < earlier; ++s)
            QCOMPARE(read_all(taken(s)), QByteArray("earlier recording\r\n"));

        // Turned off and on within the second: a second file, the first one whole.
        to_file->setChecked(false);
        QTRY_COMPARE(rig->closed_logs, QStringList{name});
        const QByteArray first = read_all(name);
        to_file->setChecked(true);
        const QString second = rig->find<QLineEdit>("live_log_file_name")->text();
        QVERIFY(second != name);
        QTRY_VERIFY(read_all(second).count("\r\n") > 40);
        QCOMPARE(read_all(name), first);
        live(*rig, false);
        QCOMPARE(rig->prompts.unexpected, QStringList());
    }

    void a_folder_that_cannot_be_written_is_reported()
    {
        const QString plain = dir.filePath("not_a_folder");
        write_file(plain, "");
        auto rig = connected(plain);
        QVERIFY(rig);
        action(*rig, "act_live_log_to_file")->setChecked(true);
        live(*rig, true);
        QTRY_COMPARE(rig->prompts.asked.size(), 1);
        const box_request box = rig->prompts.asked[0];
        QCOMPARE(box.text, QStringLiteral("Live log file could not be written"));
        QCOMPARE(box.icon, QMessageBox::Warning);
        const QString name = rig->find<QLineEdit>("live_log_file_name")->text();
        QCOMPARE(box.informative, name + "\nNot a folder: " + plain + "\n\nLive updates go on without the file.");
        QCOMPARE(rig->window->statusBar()->currentMessage(),
                 "Live log not written to " + name + ": Not a folder: " + plain);
        QVERIFY(!action(*rig, "act_live_log_to_file")->isChecked());
        QCOMPARE(rig->find<QPushButton>("live_log_to_file")->text(), QStringLiteral("Log to file"));
        const int samples = chart_samples(*rig);
        QTRY_VERIFY(chart_samples(*rig) > samples + 10);
        QVERIFY(action(*rig, "act_logging")->isChecked());
        live(*rig, false);
    }

    void opening_a_recorded_log()
    {
        const QString folder = dir.filePath("open");
        auto rig = connected(folder);
        QVERIFY(rig);
        // The form and the snapshot at the head of the log hold the unit's settings.
        action(*rig, "act_read")->trigger();
        QTRY_VERIFY(action(*rig, "act_read")->isEnabled());
        action(*rig, "act_live_log_to_file")->setChecked(true);
        live(*rig, true);
        const QString name = rig->find<QLineEdit>("live_log_file_name")->text();
        QTRY_VERIFY(read_all(name).count("\r\n") > 40);
        // The last record of a stop reaches the file after the toggle: count once it is closed.
        live(*rig, false);
        QTRY_COMPARE(rig->closed_logs, QStringList{name});
        int rows = 0; // data rows begin with their time stamp
        for (const QByteArray& line : read_all(name).split('\n'))
            rows += !line.isEmpty() && std::isdigit(quint8(line[0]));
        QSpinBox* prime = rig->find<QSpinBox>("pump_prime_delay");
        const int recorded = prime->value();
        prime->setValue(recorded + 1);
        rig->window->add_to_set(int_pump_prime_delay);
        QVERIFY(rig->window->has_changes_pending());
        rig->prompts.pick = [name](const file_request&) { return name; };
        rig->prompts.answer = [](const box_request&) { return QMessageBox::Cancel; };
        rig->find<QLineEdit>("live_log_file_name")->clear();
        rig->find<QPushButton>("open_live_log_file")->click();
        QCOMPARE(rig->prompts.asked.size(), 1);
        QCOMPARE(rig->prompts.asked[0].text, QStringLiteral("WARNING: About to overwrite local changes"));
        QCOMPARE(rig->prompts.chosen.size(), 0);
        QCOMPARE(prime->value(), recorded + 1);

        rig->prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
        action(*rig, "act_write")->setIcon(QIcon());
        rig->find<QPushButton>("open_live_log_file")->click();
        QCOMPARE(rig->prompts.chosen.last().caption, QStringLiteral("Open existing log file"));
        QCOMPARE(rig->prompts.chosen.last().filter, QStringLiteral("Brennix logs (*.bnlog);;All (*.*)"));
        QTRY_COMPARE(chart_samples(*rig), rows);
        QTRY_COMPARE(prime->value(), recorded);
        QCOMPARE(rig->find<QLineEdit>("live_log_file_name")->text(), name);
        // Everything the log brought is marked, as an opened settings file is.
        QVERIFY(rig->window->has_changes_pending());
        QCOMPARE(action(*rig, "act_write")->icon().pixmap(16, 16).toImage(), window_rig::led_of("red"));
    }

    void map_calibration_and_defaults()
    {
        QCOMPARE(map_cal_atmosphere({230, 231, 231, 232}), quint16(231));
        QCOMPARE(map_cal_atmosphere({230, 231, 231, 231, 232, 230, 231, 231, 231, 231}), quint16(230)); // 230.9
        QCOMPARE(map_cal_atmosphere({}), quint16(0));

        window_rig rig({}, false);
        QDoubleSpinBox* atm = rig.find<QDoubleSpinBox>("active_atm");
        QDoubleSpinBox* intercept = rig.find<QDoubleSpinBox>("active_intercept");
        rig.window->when_map_cal_data_ready({230, 231, 231, 232});
        QCOMPARE(atm->value(), 231.0);
        QCOMPARE(intercept->value(), 230.312);
        QVERIFY(rig.window->has_changes_pending());
        atm->setValue(225);
        QCOMPARE(intercept->value(), 224.312);

        // Edit Defaults: Cancel unchecks and unmarks; OK opens the fields.
        rig.window->clear_change_sets();
        QPushButton* edit = rig.find<QPushButton>("map_cal_edit_defaults");
        rig.prompts.answer = [](const box_request&) { return QMessageBox::Cancel; };
        edit->click();
        QCOMPARE(rig.prompts.asked.last().text, QStringLiteral("WARNING: Editing factory MAP sensor defaults"));
        QVERIFY(!edit->isChecked() && !rig.find<QWidget>("base_atm")->isEnabled());
        QVERIFY(!rig.window->has_changes_pending());
        rig.prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
        edit->click();
        QVERIFY(edit->isChecked() && rig.find<QWidget>("base_atm")->isEnabled() && rig.window->has_changes_pending());
        edit->click(); // unchecked by hand: the defaults are unmarked again
        QVERIFY(!rig.find<QWidget>("base_atm")->isEnabled() && !rig.window->has_changes_pending());

        rig.find<QDoubleSpinBox>("base_atm")->setValue(230);
        rig.find<QPushButton>("map_cal_default")->click();
        QCOMPARE(atm->value(), 230.0);
        QCOMPARE(intercept->value(), 222.312);
    }

    // Overrides end by themselves: at their time, on Esc, when their unit comes back after a lost
    // link and when the window closes; each set and reset is in the debug log.
    void overrides_end_by_themselves()
    {
        log_capture log;
        auto rig = connected();
        QVERIFY(rig);
        auto* book = rig->find<override_book>("override_book");
        qint64 now = 1000;
        book->set_clock([&now] { return now; });
        const QByteArray main_reset = unit_frame(QByteArray::fromHex("C308000101"));
        auto set = [&](const char* output, int percent, int seconds) {
            rig->find<QSpinBox>(QString(output) + "_override")->setValue(percent);
            rig->find<QSpinBox>(QString(output) + "_override_seconds")->setValue(seconds);
            rig->find<QPushButton>(QString(output) + "_override_set")->click();
        };
        auto left = [&](const char* output) { return rig->find<QLabel>(QString(output) + "_override_left")->text(); };

        // With the engine turning the user is asked first; No sends nothing.
        live(*rig, true);
        QTRY_VERIFY(rig->find<QLineEdit>("live_rpm")->text().toInt() > 0);
        rig->prompts.answer = [](const box_request&) { return QMessageBox::No; };
        set("main", 50, 2);
        QCOMPARE(rig->prompts.asked.last().text, QStringLiteral("Override MAIN to 50 % with the engine running?"));
        live(*rig, false); // behind any request made before it
        QVERIFY(!rig->device->writes().contains(unit_frame(QByteArray::fromHex("C30200020200"))));
        rig->prompts.answer = [](const box_request&) { return QMessageBox::Ok; };

        rig->device->clear_writes();
        set("aux", -1, 10); // off: nothing to send
        set("main", 50, 2);
        QCOMPARE(left("main"), QStringLiteral("2 s"));
        now = 2999;
        book->check();
        QList<QByteArray> sent = sent_before_marker(*rig);
        sent.erase(std::remove_if(sent.begin(), sent.end(), [](const QByteArray& w) { return w[1] == 0x13; }), sent.end());
        QCOMPARE(sent, QList<QByteArray>{unit_frame(QByteArray::fromHex("C30200020200"))}); // the stream's last switch aside
        now = 3000;
        book->check();
        QTRY_VERIFY(rig->device->writes().contains(main_reset));
        QCOMPARE(rig->find<QSpinBox>("main_override")->value(), -1);
        QCOMPARE(left("main"), QString());
        QVERIFY(log.has(QtInfoMsg, "Override MAIN set to 50 % (duty 512) for 2 s"));
        QVERIFY(log.has(QtInfoMsg, "Override MAIN reset (was 50 % (duty 512) for 2 s): its 2 s ran out"));

        // "until reset" outlasts any time; Esc ends it and every other one.
        set("gpo1", 150, 0); // above 100 % drives it at 100 %
        now += 1000000;
        book->check();
        QCOMPARE(left("gpo1"), QStringLiteral("until reset"));
        set("gpo2", 20, 30);
        QTRY_VERIFY(rig->device->writes().contains(unit_frame(QByteArray::fromHex("C306000200CD"))));
        QVERIFY(rig->device->writes().contains(unit_frame(QByteArray::fromHex("C304000203FF"))));
        rig->device->clear_writes();
        rig->window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig->window.get()));
        QTest::keyClick(rig->window.get(), Qt::Key_Escape);
        QTRY_COMPARE(rig->device->writes(), QList<QByteArray>({unit_frame(QByteArray::fromHex("C308000103")),
                                                               unit_frame(QByteArray::fromHex("C308000104"))}));
        QVERIFY(!rig->find<QAction>("act_reset_overrides")->isEnabled());

        // A unit that lost its link may still drive the output: reset once it is back.
        set("aux", 50, 10);
        // A GPO1 reset runs behind the set: once it is on the wire the unit has taken the set.
        rig->device->clear_writes();
        rig->find<QPushButton>("gpo1_override_reset")->click();
        QTRY_VERIFY(rig->device->writes().contains(unit_frame(QByteArray::fromHex("C308000103"))));
        rig->plug(false);
        QTRY_COMPARE(rig->status(), QStringLiteral("Not Connected"));
        QCOMPARE(left("aux"), QStringLiteral("reset on reconnect"));
        rig->device->clear_writes();
        rig->plug(true);
        QTRY_VERIFY(rig->device->writes().contains(unit_frame(QByteArray::fromHex("C308000102"))));
        QCOMPARE(left("aux"), QString());

        // Closing the window resets what it holds before the link closes.
        set("main", 30, 10);
        QTRY_VERIFY(rig->device->writes().contains(unit_frame(QByteArray::fromHex("C3020002") + char(0x01) + char(0x33))));
        rig->device->clear_writes();
        rig->window.reset();
        QVERIFY(rig->device->writes().contains(main_reset));
    }

    // The image rules themselves are the checker's (tst_fw_image_check); here, the window's own tag
    // rule and one refusal as a user meets it.
    void firmware_images_are_checked_before_the_unit_is_touched_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("reason");
        const QByteArray good = read_all(data_path("RV8_MAVO_0180.hex"));
        const QString wrong = "Incorrect FW version selected!";
        QTest::newRow("no tag") << "RV8_0180.hex" << good << wrong << "";
        QTest::newRow("tag in lower case") << "rv8_mavo_0180.hex" << good << wrong << "";
        QTest::newRow("tag in the folder only") << "MAVO/rv8_0180.hex" << good << wrong << "";
        QTest::newRow("checksum") << "RV8_MAVO_2.hex" << read_all(data_path("RV8_MAVO_0180_bad_line.hex"))
                                  << "This firmware image cannot be programmed" << "line 12: checksum is 0x5E, the record says 0x53";
    }
    void firmware_images_are_checked_before_the_unit_is_touched()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, image);
        QFETCH(QString, box);
        QFETCH(QString, reason);
        const QString path = dir.filePath("fw/" + file);
        QDir().mkpath(QFileInfo(path).path());
        write_file(path, image);
        auto rig = connected();
        QVERIFY(rig);
        QLineEdit* location = rig->find<QLineEdit>("fw_location");
        rig->prompts.pick = [path](const file_request&) { return path; };
        rig->find<QPushButton>("fw_browse")->click();
        QCOMPARE(rig->prompts.chosen[0].filter, QStringLiteral("FW files (*MAVO*.hex *MAVO*.bnhex);;All (*.*)"));
        QCOMPARE(location->text(), QString());
        // Typed in by hand, it is refused again on Update.
        location->setText(path);
        rig->device->clear_writes();
        rig->find<QPushButton>("fw_update")->click();
        QCOMPARE(rig->prompts.asked.size(), 2);
        for (const box_request& b : rig->prompts.asked) {
            QCOMPARE(b.text, box);
            QVERIFY2(b.informative.contains(reason), qPrintable(b.informative));
        }
        QCOMPARE(sent_before_marker(*rig), QList<QByteArray>());
        QCOMPARE(rig->status(), QStringLiteral("Connected fw v1.75 RV8-SX"));
    }

    void firmware_update_programs_the_unit()
    {
        // A record ahead of the sample image's says 0160: the unit starts as that, too old for this program.
        QByteArray record = QByteArray::fromHex("08000000") + "MAVO0160";
        record += char(-std::accumulate(record.begin(), record.end(), 0));
        const QString path = write_file(dir.filePath("RV8_MAVO_0160.hex"),
                                        ":" + record.toHex().toUpper() + "\n" + read_all(data_path("RV8_MAVO_0180.hex")));
        auto rig = connected();
        QVERIFY(rig);
        QStringList boxes;
        rig->prompts.answer = [&](const box_request& b) {
            boxes << b.text;
            return QMessageBox::Ok;
        };
        // Trailing spaces typed after the path are not part of it.
        rig->find<QLineEdit>("fw_location")->setText(path + "  ");
        rig->find<QPushButton>("fw_update")->click();
        QVERIFY(rig->window->findChild<QDialog*>("fw_program_status")->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 3, 20000);
        // Taken as a new connection: the new version, and the warning for firmware too old.
        QCOMPARE(boxes, QStringList({"About to program the FW!",
                                     "Incompatible firmware detected, need >= 0x167, have 0x160",
                                     "FW Update Successful!"}));
        QCOMPARE(rig->status(), QStringLiteral("Connected fw v1.60 RV8-SX"));
        QVERIFY(!rig->window->findChild<QDialog*>("fw_program_status")->isVisible());
    }

    void a_failed_update_says_what_the_unit_is_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("status");
        const QString ask = "About to program the FW!", failed = "FW Update Failed!";
        QTest::newRow("a line refused") << "refuse" << QStringList{ask, failed} << "Connected bootloader";
        QTest::newRow("unplugged while programming") << "unplug" << QStringList{ask, failed} << "Not Connected";
        QTest::newRow("restart refused") << "no restart" << QStringList{ask, failed} << "Connected fw v1.75 RV8-SX";
        QTest::newRow("silent after programming") << "silent" << QStringList{ask, failed} << "Connected, not answering";
        QTest::newRow("image damaged while asked")
            << "damage" << QStringList{ask, "This firmware image cannot be programmed"} << "Connected fw v1.75 RV8-SX";
    }
    void a_failed_update_says_what_the_unit_is()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, boxes);
        QFETCH(QString, status);
        const QString path = dir.filePath("RV8_MAVO_0180_" + fault.left(3) + ".hex");
        write_file(path, read_all(data_path("RV8_MAVO_0180.hex")));
        auto rig = connected();
        QVERIFY(rig);
        QStringList shown;
        rig->prompts.answer = [&](const box_request& b) {
            shown << b.text;
            if (fault == "damage" && shown.size() == 1)
                write_file(path, read_all(path).replace(":00000001FF", ""));
            return QMessageBox::Ok;
        };
        rig->device->with([&](sim_unit* unit, virtual_faults& driver) {
            if (fault == "refuse")
                unit->faults().refuse_hex_line = 3;
            if (fault == "no restart")
                unit->faults().banner = sim_faults::banner_fault::missing;
            if (fault == "unplug" || fault == "silent") {
                driver.strike_on = fault == "unplug" ? QByteArray(":10") : QByteArray::fromHex(rv8_protocol::frame_read_fw_version);
                driver.strike = [fault](sim_unit* u, virtual_faults& d) {
                    if (fault == "unplug")
                        d.unplugged = true;
                    else
                        u->faults().drop_replies = 1;
                };
            }
            return 0;
        });
        rig->device->clear_writes();
        rig->find<QLineEdit>("fw_location")->setText(path);
        rig->find<QPushButton>("fw_update")->click();
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 2, 20000);
        QCOMPARE(shown, boxes);
        QCOMPARE(rig->status(), status);
        QVERIFY(rig->window->windowTitle().endsWith(status));
        if (fault == "damage") // refused before the unit left its application
            QVERIFY(!rig->device->writes().contains(unit_frame(QByteArray::fromHex("C3050001C0"))));
    }

    void on_rv8_sim_over_a_serial_port()
    {
        QProcess sim;
        sim.start(QStringLiteral(RV8_SIM_PATH), {"--fw-version", "0x0175"});
        QVERIFY(sim.waitForReadyRead(5000));
        const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
        test_sources().serial().add_port(pty, "KIRRA 3", "SIM00013");
        {
            window_rig rig({}, false);
            QStringList boxes;
            rig.prompts.answer = [&](const box_request& b) {
                boxes << b.text;
                return QMessageBox::Ok;
            };
            rig.window->on_act_reconnect_triggered();
            QTRY_COMPARE_WITH_TIMEOUT(rig.status(), QStringLiteral("Connected fw v1.75 RV8-SX"), 10000);
            live(rig, true);
            QTRY_COMPARE(rig.find<QLineEdit>("live_map")->text(), QStringLiteral("VAC"));
            live(rig, false);
            // Over the terminal too a write is kept as a restore point first and read back after.
            rig.find<QAction>("act_write_all")->trigger();
            QTRY_VERIFY(rig.find<QAction>("act_write_all")->isEnabled());
            QCOMPARE(boxes, QStringList());
            QCOMPARE(restore_points::list("SIM00013").size(), 1);
            QVERIFY(!rig.window->has_changes_pending());
            rig.find<QLineEdit>("fw_location")->setText(data_path("RV8_MAVO_0180.hex"));
            rig.find<QPushButton>("fw_update")->click();
            QTRY_COMPARE_WITH_TIMEOUT(boxes, QStringList({"About to program the FW!", "FW Update Successful!"}), 30000);
            QCOMPARE(rig.status(), QStringLiteral("Connected fw v1.80 RV8-SX"));
        }
        test_sources().serial().remove_port(pty);
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }

    // An opened log on the MAIN table: 200 samples at 3000 rpm and 100 at 6000, both below the
    // boost axis, so each lands whole in one cell of the bottom row.
    void dwell_map_and_range_of_an_opened_log()
    {
        window_rig rig({}, false);
        const QString log = dir.filePath("dwell.bnlog");
        QByteArray text = rv8_frame::csv_header().toLatin1();
        const qint64 t0 = 1765000000000;
        for (int i = 0; i < 300; ++i) {
            rv8_frame f = frame_of(i < 200 ? 3000 : 6000, 222, 100, i < 200 ? 512 : (i % 2 ? 1023 : 0));
            f.main_current = 205;
            f.timestamp = t0 + 13 * i;
            text += f.to_row().toLatin1();
        }
        write_file(log, text);
        rig.prompts.pick = [log](const file_request&) { return log; };
        rig.find<QPushButton>("open_live_log_file")->click();
        QTRY_COMPARE(chart_samples(rig), 300);
        rig.find<QTabWidget>("main_tab")->setCurrentWidget(rig.find<QWidget>("main"));
        duty_table* table = rig.find<duty_table>("main_table");
        rig.find<QCheckBox>("main_dwell_map")->setChecked(true);
        QTRY_VERIFY(table->shade_at(15, 5).isValid());
        QCOMPARE(table->shade_tip(15, 5), QStringLiteral("2.6 s, 200 hits, mean duty 50.0 %, mean current 10.01 A"));
        QCOMPARE(table->shade_tip(15, 11), QStringLiteral("1.3 s, 100 hits, mean duty 50.0 %, mean current 10.01 A"));
        QVERIFY(table->shade_at(15, 11).isValid() && !table->shade_at(14, 5).isValid());
        // The longest cell is the darkest; a cell under the minimum stays plain.
        QVERIFY(table->shade_at(15, 5).lightness() < table->shade_at(15, 11).lightness());
        rig.find<QDoubleSpinBox>("main_dwell_minimum")->setValue(2);
        QVERIFY(!table->shade_at(15, 11).isValid());

        // The range of the second 100: the map counts only them, the panel sums them up.
        rig.find<log_graph>("live_log_graph")->select_range(t0 + 13 * 200, t0 + 13 * 299);
        QTRY_COMPARE(table->shade_tip(15, 5), QStringLiteral("0.0 s, 0 hits, mean duty 0.0 %, mean current 0.00 A"));
        QCOMPARE(table->shade_tip(15, 11), QStringLiteral("1.3 s, 100 hits, mean duty 50.0 %, mean current 10.01 A"));
        QTableWidget* stats = rig.find<QTableWidget>("range_stats");
        QTRY_COMPARE(stats->item(0, 1)->text(), QStringLiteral("6000"));
        const auto row_text = [stats](int r) {
            return QStringList{stats->item(r, 0)->text(), stats->item(r, 1)->text(), stats->item(r, 2)->text(),
                               stats->item(r, 3)->text()};
        };
        QCOMPARE(row_text(0), (QStringList{"Engine speed (RPM)", "6000", "6000", "6000.0"}));
        QCOMPARE(row_text(5), (QStringList{"Main duty (%)", "0.0", "100.0", "50.00"}));
        QCOMPARE(rig.find<QLabel>("range_duration")->text(),
                 "1.29 s from " + QDateTime::fromMSecsSinceEpoch(t0 + 2600).toString("hh:mm:ss.zzz") + ", 100 samples");

        // Exports: the checked channels of the range, and the map with its axes.
        stats->item(1, 0)->setCheckState(Qt::Unchecked); // MAP
        stats->item(6, 0)->setCheckState(Qt::Unchecked); // Aux duty
        const QString range_csv = dir.filePath("range.csv"), map_csv = dir.filePath("map.csv");
        rig.prompts.pick = [range_csv](const file_request&) { return range_csv; };
        rig.find<QPushButton>("export_range")->click();
        QByteArray expected = "timestamp,Engine speed (RPM),Main duty (%)\r\n";
        for (int i = 200; i < 300; ++i)
            expected += QByteArray::number(t0 + 13 * i) + (i % 2 ? ",6000,100.0\r\n" : ",6000,0.0\r\n");
        QTRY_COMPARE(read_all(range_csv), expected);
        rig.prompts.pick = [map_csv](const file_request&) { return map_csv; };
        rig.find<QPushButton>("main_dwell_export")->click();
        const QList<QByteArray> lines = read_all(map_csv).split('\n');
        QCOMPARE(lines[0], QByteArray("Time spent (s): PSI down / RPM across,0,1000,1500,2000,2500,3000,3500,4000,4500,"
                                      "5000,5500,6000,6500,7000,7500,8000\r"));
        QCOMPARE(lines[16], QByteArray("0.00,0.000,0.000,0.000,0.000,0.000,0.000,0.000,0.000,0.000,0.000,0.000,1.300,"
                                       "0.000,0.000,0.000,0.000\r"));
        QCOMPARE(lines[18].left(lines[18].indexOf(',')), QByteArray("Hits: PSI down / RPM across"));

        // Cleared, the range gives way to the whole log; Reset empties the map.
        rig.find<QPushButton>("clear_range")->click();
        QTRY_COMPARE(table->shade_tip(15, 5), QStringLiteral("2.6 s, 200 hits, mean duty 50.0 %, mean current 10.01 A"));
        QCOMPARE(rig.find<QLabel>("range_duration")->text(), QStringLiteral("Shift and drag on the chart to select a range"));
        rig.find<QPushButton>("main_dwell_reset")->click();
        QTRY_VERIFY(!table->shade_at(15, 5).isValid());
        rig.find<QCheckBox>("main_dwell_map")->setChecked(false);
        QVERIFY(!table->shaded());
        QCOMPARE(rig.prompts.unexpected, QStringList());
    }

    // Event based logging on an engine that flicks to 4000 rpm for 0.3 s, pulls at 4000 for 2 s,
    // cruises at 2000 and idles: one recording, from a second before its start (0.5 s into the
    // pull) to 1 s into the idle, with the marker typed while it ran; then armed again.
    void event_based_recording_with_a_marker()
    {
        const QString folder = dir.filePath("events");
        QDir().mkpath(folder);
        sim_config config;
        config.drive = {{0, 850, -10}, {1, 850, -10}, {1.02, 4000, 5}, {1.3, 4000, 5}, {1.32, 850, -10}, {2, 850, -10},
                        {2.02, 4000, 5}, {4, 4000, 5}, {4.02, 2000, 0}, {5, 2000, 0}, {5.02, 900, -10}};
        window_rig rig(config);
        rig.prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
        rig.prompts.pick = [folder](const file_request&) { return folder; };
        rig.window->on_set_live_log_folder_clicked();
        QVERIFY(rig.connect_unit());
        rig.find<QGroupBox>("live_log_event_group")->setChecked(true);
        rig.find<QComboBox>("live_log_start_source")->setCurrentIndex(live_channels::rpm);
        rig.find<QComboBox>("live_log_start_comparison")->setCurrentIndex(record_condition::above);
        rig.find<QDoubleSpinBox>("live_log_start_value")->setValue(3000);
        rig.find<QDoubleSpinBox>("live_log_start_hold")->setValue(0.5);
        rig.find<QComboBox>("live_log_stop_comparison")->setCurrentIndex(record_condition::below);
        rig.find<QDoubleSpinBox>("live_log_stop_value")->setValue(1500);
        rig.find<QDoubleSpinBox>("live_log_stop_hold")->setValue(1);
        rig.find<QSpinBox>("live_log_pre_trigger")->setValue(1);
        QStringList started;
        connect(rig.window->unit_worker(), &rv8_worker::log_file_started, rig.window.get(), [&](QString f) { started << f; });
        QAction* to_file = action(rig, "act_live_log_to_file");
        QLabel* armed = rig.find<QLabel>("trigger_status");
        to_file->setChecked(true);
        live(rig, true);
        QCOMPARE(armed->text(), QStringLiteral("Armed: start when Engine speed > 3000 RPM for 0.5 s"));
        QCOMPARE(to_file->statusTip(), QStringLiteral("Waiting for the start condition"));
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 1, 10000);
        QTRY_VERIFY(armed->text().startsWith("Recording: stop when Engine speed < 1500 RPM for 1 s"));
        rig.prompts.write = [](const text_request& r, QString* note) {
            *note = r.title == "Marker" ? QStringLiteral("pull") : QString();
            return true;
        };
        QTest::keyClick(rig.window.get(), Qt::Key_M);
        QTRY_COMPARE(rig.find<QListWidget>("log_markers")->count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(rig.closed_logs, QStringList{started[0]}, 10000);
        QTRY_COMPARE(armed->text(), QStringLiteral("Armed: start when Engine speed > 3000 RPM for 0.5 s"));
        QVERIFY(to_file->isChecked());
        live(rig, false);
        QCOMPARE(armed->text(), QString());
        QCOMPARE(bnlogs(folder).size(), 1);
        const QByteArray recorded = read_all(started[0]);
        QCOMPARE(recorded.count("\n# marker "), 1);
        QVERIFY(recorded.contains(" pull\r\n"));

        // Opened again, the log brings its marker back to the list and the chart.
        rig.prompts.pick = [&](const file_request&) { return started[0]; };
        rig.find<QListWidget>("log_markers")->clear();
        rig.find<QPushButton>("open_live_log_file")->click();
        QTRY_COMPARE(rig.find<QListWidget>("log_markers")->count(), 1);
        QVERIFY(rig.find<QListWidget>("log_markers")->item(0)->text().endsWith("  pull"));
        QCOMPARE(rig.find<log_graph>("live_log_graph")->log_marker_count(), 1);
        QCOMPARE(rig.prompts.unexpected, QStringList());
    }
};

int main(int argc, char** argv)
{
    static QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR"})
        qunsetenv(var);
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    set_app_identity();
    init_app_resources();
    tst_window_live test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_live.moc"
