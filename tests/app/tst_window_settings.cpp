// The settings form through the real window and the virtual unit: read, write, typed input with
// its corrections, settings files, custom analog conversions.

#include "app/app_resources.h"
#include "app/compare_dialog.h"
#include "app/custom_csv.h"
#include "app/restore_points_dialog.h"
#include "device/rv8.h"
#include "model/param_units.h"
#include "model/restore_points.h"
#include "model/rv8_vars.h"
#include "model/table_record.h"
#include "sim/sim_unit.h"
#include "tables/duty_table.h"
#include "tests/support/log_capture.h"
#include "window_rig.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QProcess>
#include <QPushButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QMenu>
#include <QTableWidget>
#include <QTreeWidget>
#include <QUndoView>

#include <csignal>
#include <sys/resource.h>

namespace {
QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

// The message types the unit received, in order, leaving out reads and the live switch.
QByteArray written_types(const std::shared_ptr<virtual_device>& device)
{
    QByteArray types;
    for (const QByteArray& w : device->writes())
        if (w.size() > 2 && quint8(w[0]) == 0xC3 && quint8(w[1]) != 0x05 && quint8(w[1]) != 0x13)
            types.append(w[1]);
    std::sort(types.begin(), types.end()); // the model sends its groups in no fixed order
    return types.toHex();
}

sim_memory memory_of(const std::shared_ptr<virtual_device>& device)
{
    sim_memory copy;
    device->with([&](sim_unit* unit, virtual_faults&) {
        copy = unit->memory();
        return 0;
    });
    return copy;
}

// A connected window whose questions are answered Yes.
struct form_rig : window_rig {
    explicit form_rig(const sim_config& config = {}) : window_rig(config)
    {
        prompts.answer = [](const box_request&) { return QMessageBox::Yes; };
        QVERIFY(connect_unit());
    }
    void read()
    {
        window->on_act_read_triggered();
        QTRY_VERIFY(find<QAction>("act_read")->isEnabled());
    }
    void write(const char* action = "act_write")
    {
        device->clear_writes();
        find<QAction>(action)->trigger();
        QTRY_VERIFY(find<QAction>("act_write_all")->isEnabled());
    }
    // Open through the menu, returning once the worker has answered.
    void open(const QString& path)
    {
        int answered = 0;
        QMetaObject::Connection relay = QObject::connect(window->unit_worker(), &rv8_worker::read_file, window.get(),
                                                         [&] { ++answered; });
        prompts.pick = [path](const file_request&) { return path; };
        find<QAction>("act_open")->trigger();
        QTRY_COMPARE(answered, 1);
        QObject::disconnect(relay);
    }
    void save_as(const QString& path)
    {
        prompts.pick = [path](const file_request&) { return path; };
        find<QAction>("act_save_as")->trigger();
        QTRY_VERIFY(QFile::exists(path));
    }
    QString status_text() const { return find<QStatusBar>("statusBar")->currentMessage(); }
    double value(const char* name) const
    {
        if (auto* real = find<QDoubleSpinBox>(name))
            return real->value();
        return find<QSpinBox>(name)->value();
    }
    duty_table* table(const char* name) const { return find<duty_table>(name); }
    QString serial() const { return device->info().serial_number; }
    // The unit stops answering from the first message of this type on.
    void silent_from(quint8 type)
    {
        device->with([type](sim_unit*, virtual_faults& driver) {
            driver.strike_on = QByteArray(1, char(0xC3)) + char(type);
            driver.strike = [](sim_unit* unit, virtual_faults&) { unit->faults().drop_replies = 100; };
            return 0;
        });
    }
    void drop_replies(int n)
    {
        device->with([n](sim_unit* unit, virtual_faults&) { return unit->faults().drop_replies = n; });
    }
};

// The rows Compare lists, "setting | item | A | B", tables with their children indented.
QStringList compare_rows(compare_dialog* dialog)
{
    QStringList out;
    auto* tree = dialog->findChild<QTreeWidget*>("compare_rows");
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree->topLevelItem(i);
        out << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join(" | ");
        for (int c = 0; c < item->childCount(); ++c)
            out << "  " + QStringList{item->child(c)->text(1), item->child(c)->text(2), item->child(c)->text(3)}.join(" | ");
    }
    return out;
}

QTreeWidgetItem* compare_row(compare_dialog* dialog, const QString& setting)
{
    const QList<QTreeWidgetItem*> found = dialog->findChild<QTreeWidget*>("compare_rows")->findItems(setting, Qt::MatchExactly);
    return found.value(0);
}

// A file as another tool would change it: through its INI keys, the table sealed again.
void edit_file(const QString& path, const std::function<void(QSettings&)>& change)
{
    QSettings file(path, QSettings::IniFormat);
    change(file);
}

void set_cells(QSettings& file, const QString& table, int row, QList<int> columns, quint16 counts)
{
    const QString key = QStringLiteral("rv8_vars/tables/") + table;
    QByteArray t = file.value(key).toByteArray();
    for (int col : columns) {
        t[table_record::cell_offset(row, col)] = char(counts >> 8);
        t[table_record::cell_offset(row, col) + 1] = char(counts);
    }
    t[639] = char(table_record::checksum_of(t.left(639)));
    file.setValue(key, t);
}

QByteArray csv_lines(int first, int count, const char* end = "\n")
{
    QByteArray text;
    for (int adc = first; adc < first + count; ++adc)
        text += QByteArray::number(adc) + ", " + QByteArray::number(adc / 10.0) + end;
    return text;
}

}

class tst_window_settings : public QObject {
    Q_OBJECT

private slots:
    void init() { QSettings().clear(); } // each case starts as a first start
    void read_fills_the_form_and_asks_before_replacing_calibration()
    {
        form_rig rig;
        QByteArray main_table;
        rig.device->with([&](sim_unit* unit, virtual_faults&) {
            sim_memory& m = unit->memory();
            m.pump_prime_delay = hex("0004");                  // 52 ms
            m.io_modes[sim_memory::io_main_mode] = char(0xA1);
            m.io_modes[sim_memory::io_aux_mode] = char(0xB2);
            m.io_modes[sim_memory::io_gpi1_mode] = char(0x53);
            m.set_rpm_scaler(3);                                // 1.5 pulses per revolution
            QByteArray& t = m.tables[sim_memory::main];
            t[639] = char(t[639] ^ t[4] ^ t[5] ^ 0x66); // the third cell of the bottom row: 10 %
            t[4] = 0;
            t[5] = char(0x66);
            main_table = m.tables[sim_memory::main];
            return 0;
        });
        rig.read();
        QCOMPARE(rig.prompts.asked.size(), 0); // the unit's calibration is the form's
        QCOMPARE(rig.value("pump_prime_delay"), 52.0);
        QCOMPARE(rig.value("pump_prime_delay_2"), 52.0);
        QCOMPARE(rig.find<QComboBox>("main_control")->currentIndex(), 1);
        QCOMPARE(rig.find<QComboBox>("aux_control")->currentIndex(), 2);
        QCOMPARE(rig.find<QComboBox>("gpi1_control")->currentIndex(), 3);
        QVERIFY(rig.find<QWidget>("gpi1_request")->isEnabled() && rig.find<QWidget>("main_table")->isEnabled());
        QCOMPARE(rig.value("pulses_per_rev"), 1.5);
        // No table uses input B and the unit keeps no ranges: the form's range stays.
        QCOMPARE(rig.value("max_an2_input") - rig.value("min_an2_input"), 4.7);
        QCOMPARE(rig.window->gui_to_byteArray(tbl_main).left(608), main_table.left(608));
        QVERIFY(!rig.window->has_changes_pending());

        // A unit with another calibration: both questions, and No keeps the form's values.
        rig.device->with([](sim_unit* unit, virtual_faults&) {
            unit->memory().map_cal.replace(0, 10, hex("00003f2a0003646800e0"));     // slope 16.170, atmosphere 224
            unit->memory().map_cal.replace(10, 12, hex("00003f2a0003647000e10030")); // and the active set
            return 0;
        });
        rig.prompts.answer = [](const box_request&) { return QMessageBox::No; };
        rig.read();
        QStringList asked;
        for (const box_request& b : rig.prompts.asked)
            asked << b.text;
        QCOMPARE(asked, QStringList({"Do you want to overwrite your FACTORY DEFAULT map calibration values?",
                                     "Do you want to overwrite your CURRENT ACTIVE map calibration values?"}));
        QCOMPARE(rig.value("base_slope"), 16.122);
        QCOMPARE(rig.value("active_atm"), 223.0);
    }

    void write_sends_what_was_edited_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("types");
        QTest::newRow("nothing") << "" << "";
        QTest::newRow("a MAIN cell") << "cell" << "0b";
        QTest::newRow("pump priming delay") << "pump_prime_delay" << "0715";
        QTest::newRow("pulses per revolution") << "pulses_per_rev" << "0e";
        QTest::newRow("GPO1 delay") << "gpo1_act_delay" << "0c";
        QTest::newRow("a pasted AUX block") << "paste" << "0a";
        QTest::newRow("typed, Write without Return") << "typed" << "0e";
        QTest::newRow("a GPO1 code without a selector item") << "unknown mode" << "0715";
    }
    void write_sends_what_was_edited()
    {
        QFETCH(QString, edit);
        QFETCH(QString, types);
        form_rig rig;
        if (edit == "unknown mode")
            rig.device->with([](sim_unit* unit, virtual_faults&) {
                unit->memory().io_modes[sim_memory::io_gpo1_mode] = char(0xD8);
                return 0;
            });
        rig.read();
        log_capture log;
        if (edit == "typed") {
            rig.type("pulses_per_rev", "1.2", false);
        } else if (edit == "unknown mode") {
            QComboBox* gpi1 = rig.find<QComboBox>("gpi1_control");
            gpi1->setCurrentIndex(gpi1->currentIndex() == 2 ? 3 : 2);
        } else if (edit == "cell") {
            rig.table("main_table")->item(15, 0)->setText("40");
        } else if (edit == "paste") {
            QApplication::clipboard()->setText("10\t150\n-5\t40\n");
            duty_table* aux = rig.table("aux_table");
            aux->setCurrentCell(0, 0);
            aux->paste();
            // Clamped where it lands, not only on the way to the unit.
            QCOMPARE(aux->item(0, 1)->text() + " " + aux->item(1, 0)->text(), QStringLiteral("100 0"));
            QCOMPARE(rig.status_text(), QStringLiteral("2 pasted cells were clamped to 0 to 100 %"));
        } else if (edit == "gpo1_act_delay") {
            rig.find<QComboBox>("gpo1_control")->setCurrentIndex(2);
            rig.device->clear_writes();
            rig.write(); // the mode itself, with the IO block
            rig.type("gpo1_act_delay", "14");
        } else if (edit == "pump_prime_delay") {
            rig.find<QComboBox>("aux_control")->setCurrentIndex(2);
            rig.type("pump_prime_delay", "14");
        } else if (!edit.isEmpty()) {
            rig.type(edit.toLatin1().constData(), "1.2");
        }
        rig.write();
        QCOMPARE(written_types(rig.device), types.toLatin1());
        if (edit.isEmpty())
            QVERIFY(log.has(QtDebugMsg, "No changes to write to device"));
        const sim_memory m = memory_of(rig.device);
        if (edit == "pump_prime_delay")
            QCOMPARE(m.pump_prime_delay.toHex(), QByteArray("0002")); // 14 ms became 26 ms: two ticks
        if (edit == "gpo1_act_delay")
            QCOMPARE(m.tables[sim_memory::gpo1].mid(609, 2).toHex(), QByteArray("0002"));
        if (edit == "typed")
            QCOMPARE(m.rpm_scaler.left(1).toHex(), QByteArray("03")); // snapped to 1.5 before it was sent
        if (edit == "unknown mode")
            QCOMPARE(m.io_byte(sim_memory::io_gpo1_mode), quint8(0xD8));
        QVERIFY(!rig.window->has_changes_pending());
    }

    void write_all_and_a_failed_write()
    {
        form_rig rig;
        rig.read();
        rig.write("act_write_all");
        // Every table, the IO block with the pump delay, the scaler and the active calibration;
        // the factory calibration only when its editing was opened.
        QCOMPARE(written_types(rig.device), QByteArray("070a0b0c0d0e1517"));
        rig.type("pulses_per_rev", "2");
        rig.table("main_table")->item(15, 0)->setText("40");
        // Silent from the GPO1 table on: the write stops there, names both halves and keeps the rest marked.
        rig.silent_from(0x0C);
        rig.prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
        rig.write("act_write_all");
        QCOMPARE(written_types(rig.device), QByteArray("0a0b0c"));
        QCOMPARE(rig.prompts.asked.last().text, QStringLiteral("Error writing data to device"));
        QCOMPARE(rig.prompts.asked.last().informative,
                 QStringLiteral("Could not write data to device, check the log for possible error messages.\n\n"
                                "Written: AUX duty table, MAIN duty table\nNot written, still marked for Write: GPO1 duty "
                                "table, GPO2 duty table, RPM scaler, pump prime delay, IO modes, active MAP calibration"));
        QCOMPARE(rig.prompts.asked.last().icon, QMessageBox::Critical);
        QVERIFY(rig.window->has_changes_pending());
        rig.drop_replies(0);
        rig.write();
        QCOMPARE(written_types(rig.device), QByteArray("070c0d0e1517"));
        QCOMPARE(memory_of(rig.device).rpm_scaler.left(1).toHex(), QByteArray("04"));
        QCOMPARE(memory_of(rig.device).tables[sim_memory::main].mid(0, 2).toHex(), QByteArray("0199")); // 40 %

        // What a failed write left unsent and a Read then replaced never goes out with its old values.
        rig.type("pulses_per_rev", "3");
        rig.table("gpo1_table")->item(15, 0)->setText("40");
        rig.silent_from(0x0C);
        rig.write();
        rig.drop_replies(0);
        rig.read();
        rig.table("main_table")->item(15, 1)->setText("40");
        rig.write();
        QCOMPARE(written_types(rig.device), QByteArray("0b"));
    }

    // Compare the unit with the form and with a file, take a row and a block of cells, Write: the
    // unit then holds exactly what was taken, and nothing that was left.
    void compare_takes_chosen_values_into_the_form()
    {
        QTemporaryDir dir;
        form_rig rig;
        rig.read();
        const QString tuned = dir.filePath("tuned.bnini");
        rig.save_as(tuned);
        rig.write(); // after a save everything is marked: the unit then holds the form
        edit_file(tuned, [](QSettings& f) {
            f.setValue("rv8_vars/ints/36/GPI1 act delay", 16);
            set_cells(f, "2/MAIN duty table", 3, {5, 6, 7}, 379);
        });
        rig.type("pulses_per_rev", "3");
        rig.find<QAction>("act_compare")->trigger();
        auto* dialog = rig.find<compare_dialog>("compare_dialog");
        QTRY_VERIFY(dialog->holds(0) && dialog->holds(1));
        QCOMPARE(compare_rows(dialog), QStringList("RPM scaler |  | 2.0 pulses/rev | 3.0 pulses/rev"));
        QCOMPARE(dialog->findChild<QLabel*>("compare_counts")->text(), QStringLiteral("1 setting differs, 1196 are equal"));

        rig.prompts.pick = [&](const file_request&) { return tuned; };
        dialog->choose(1, compare_dialog::file);
        QCOMPARE(compare_rows(dialog), QStringList({"GPI1 act delay |  | 104 ms | 208 ms", "MAIN duty table | 3 cells differ |  | "}));
        QCOMPARE(dialog->findChild<QLabel*>("compare_counts")->text(), QStringLiteral("4 settings differ, 1193 are equal"));
        dialog->findChild<QCheckBox*>("compare_differences_only")->setChecked(false);
        QCOMPARE(compare_rows(dialog).size(), 177); // every integer, every table item but the cells
        dialog->findChild<QCheckBox*>("compare_differences_only")->setChecked(true);

        compare_row(dialog, "GPI1 act delay")->setCheckState(0, Qt::Checked);
        auto* tree = dialog->findChild<QTreeWidget*>("compare_rows");
        tree->setCurrentItem(compare_row(dialog, "MAIN duty table"));
        auto* cells = dialog->findChild<QTableWidget*>("compare_cells");
        QCOMPARE(cells->item(3, 5)->text(), QStringLiteral("80 \u2192 37"));
        cells->setRangeSelected(QTableWidgetSelectionRange(3, 5, 3, 6), true);
        dialog->findChild<QPushButton*>("compare_check_cells")->click();
        QCOMPARE(compare_row(dialog, "MAIN duty table")->checkState(0), Qt::PartiallyChecked);
        dialog->findChild<QPushButton*>("compare_take")->click();

        QCOMPARE(rig.value("gpi1_act_delay"), 208.0);
        QCOMPARE(rig.table("main_table")->item(3, 5)->text() + rig.table("main_table")->item(3, 6)->text()
                     + rig.table("main_table")->item(3, 7)->text(),
                 QStringLiteral("373784"));
        const quint16 left_alone = table_record(memory_of(rig.device).tables[sim_memory::main]).cell(3, 7);
        QCOMPARE(rig.find<QAction>("act_undo")->text(), QStringLiteral("Undo Take 3 setting(s) from tuned.bnini"));
        rig.write();
        QCOMPARE(written_types(rig.device), QByteArray("0b0e15"));
        const sim_memory m = memory_of(rig.device);
        QCOMPARE(m.io_word(sim_memory::io_gpi1_act_delay), quint16(16));
        const QByteArray& main = m.tables[sim_memory::main];
        QCOMPARE(QList<quint16>({table_record(main).cell(3, 5), table_record(main).cell(3, 6), table_record(main).cell(3, 7)}),
                 QList<quint16>({379, 379, left_alone}));
        QCOMPARE(m.rpm_scaler.left(1).toHex(), QByteArray("06"));
    }

    // Every window write keeps the unit's settings from before as a restore point (but not the
    // same settings twice); a point taken through Compare and written brings the unit back.
    void restore_points_bring_the_unit_back()
    {
        form_rig rig;
        // Unprogrammed delays (FFFF) read as 0, and a point holds what was read: program them first.
        rig.device->with([](sim_unit* unit, virtual_faults&) {
            unit->memory().io_modes.replace(sim_memory::io_gpi2_act_delay, 4, QByteArray(4, '\0'));
            return 0;
        });
        rig.read();
        QDir(restore_points::folder(rig.serial())).removeRecursively(); // another case's unit had the same serial
        const sim_memory before = memory_of(rig.device);
        rig.type("pulses_per_rev", "3");
        rig.table("main_table")->item(15, 0)->setText("40");
        rig.write();
        rig.type("gpi1_act_delay", "208");
        rig.write();
        // Tables written as the unit holds them: the second time the newest point holds the unit
        // already, and only says what the last write sent.
        for (const char* name : {"main_table", "gpo1_table"}) {
            const QString was = rig.table(name)->item(0, 0)->text();
            rig.table(name)->item(0, 0)->setText("1");
            rig.table(name)->item(0, 0)->setText(was);
            rig.write();
        }
        const QList<restore_point> points = restore_points::list(rig.serial());
        QStringList written;
        for (const restore_point& p : points)
            written << p.written + " / " + fw_version_text(p.fw_version);
        QCOMPARE(written, QStringList({"MAIN duty table, RPM scaler / fw v1.75", "pump prime delay, IO modes / fw v1.75",
                                       "GPO1 duty table / fw v1.75"}));
        QVERIFY(!(memory_of(rig.device) == before));

        rig.find<QAction>("act_restore_points")->trigger();
        auto* list = rig.find<QTreeWidget>("restore_points_list");
        QCOMPARE(list->topLevelItemCount(), 3);
        list->setCurrentItem(list->topLevelItem(2)); // newest first
        rig.find<QPushButton>("restore_points_compare")->click();
        auto* dialog = rig.find<compare_dialog>("compare_dialog");
        QTRY_VERIFY(dialog->holds(0) && dialog->holds(1));
        QCOMPARE(compare_rows(dialog), QStringList({"RPM scaler |  | 3.0 pulses/rev | 2.0 pulses/rev",
                                                    "GPI1 act delay |  | 208 ms | 104 ms", "MAIN duty table | 1 cell differs |  | "}));
        auto* tree = dialog->findChild<QTreeWidget*>("compare_rows");
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            tree->topLevelItem(i)->setCheckState(0, Qt::Checked);
        dialog->findChild<QPushButton*>("compare_take")->click();
        rig.write();
        QVERIFY(memory_of(rig.device) == before);
    }

    void a_write_the_unit_does_not_hold_stays_marked_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("named");
        QTest::addColumn<QByteArray>("again");
        QTest::newRow("a MAIN table write dropped") << "drop" << "MAIN duty table" << QByteArray("0b");
        QTest::newRow("an IO modes write altered") << "alter" << "IO modes" << QByteArray("15");
    }
    void a_write_the_unit_does_not_hold_stays_marked()
    {
        QFETCH(QString, fault);
        QFETCH(QString, named);
        QFETCH(QByteArray, again);
        form_rig rig;
        rig.read();
        rig.table("main_table")->item(15, 0)->setText("40");
        rig.type("gpi1_act_delay", "208");
        rig.device->with([&](sim_unit* unit, virtual_faults&) {
            (fault == "drop" ? unit->faults().drop_write : unit->faults().alter_write) = fault == "drop" ? 0x0B : 0x15;
            return 0;
        });
        rig.prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
        rig.write();
        QCOMPARE(written_types(rig.device), QByteArray("070b15"));
        QCOMPARE(rig.prompts.asked.last().text, "The unit holds different values for: " + named);
        QVERIFY(rig.window->has_changes_pending());
        rig.write();
        QCOMPARE(written_types(rig.device), again);
        QVERIFY(!rig.window->has_changes_pending());
        const sim_memory m = memory_of(rig.device);
        QCOMPARE(m.io_word(sim_memory::io_gpi1_act_delay), quint16(16));
        QCOMPARE(m.tables[sim_memory::main].mid(0, 2).toHex(), QByteArray("0199"));
    }

    void factory_calibration_goes_only_while_edit_defaults_is_held_data()
    {
        QTest::addColumn<QString>("between"); // what happens between the typed slope and the Write
        QTest::addColumn<bool>("held");
        QTest::newRow("save, not held") << "save" << false;
        QTest::newRow("open, not held") << "open" << false;
        QTest::newRow("save, held") << "save" << true;
        QTest::newRow("open, held") << "open" << true;
        QTest::newRow("save during a failed write, held") << "failed write" << true;
    }
    void factory_calibration_goes_only_while_edit_defaults_is_held()
    {
        QFETCH(QString, between);
        QFETCH(bool, held);
        form_rig rig;
        rig.read();
        rig.prompts.answer = [](const box_request& b) { return b.buttons & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok; };
        QPushButton* edit = rig.find<QPushButton>("map_cal_edit_defaults");
        if (held) {
            edit->click();
            rig.type("base_slope", "16.5");
        }
        QTemporaryDir dir;
        const QString path = dir.filePath("f.bnini");
        if (between == "failed write") {
            rig.drop_replies(1);
            rig.find<QAction>("act_write")->trigger();
            rig.save_as(path); // while the write waits for its answer
            QTRY_VERIFY(rig.find<QAction>("act_write_all")->isEnabled());
            QCOMPARE(rig.prompts.asked.last().text, QStringLiteral("Error writing data to device"));
            QVERIFY(edit->isChecked()); // the unit never acknowledged the factory frame
        } else {
            rig.save_as(path);
            if (between == "open")
                rig.open(path);
        }
        rig.write();
        const QByteArray types = written_types(rig.device);
        QVERIFY2(types.contains("0a") && types.contains("15"), types.constData()); // everything else, as files mark it
        QCOMPARE(types.contains("16"), held);
        QCOMPARE(memory_of(rig.device).map_cal.left(4).toHex(), QByteArray(held ? "00004074" : "00003efa"));
        QVERIFY(!edit->isChecked());
    }

    void open_takes_only_settings_files_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason"); // empty: it loads
        QTest::newRow("a settings file") << QByteArray("settings") << "";
        QTest::newRow("a recorded log") << QByteArray("log") << "";
        QTest::newRow("a CSV") << QByteArray("rpm,boost\n1000,3\n") << "This is not a Brennix settings file.";
        QTest::newRow("an image") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR") << "This is not a Brennix settings file.";
        QTest::newRow("a log without settings") << QByteArray("[rv8_log]\n# note\n") << "This live log holds no settings.";
        QTest::newRow("a missing file") << QByteArray("missing") << "No such file or directory";
    }
    void open_takes_only_settings_files()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        form_rig rig;
        rig.prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
        QDoubleSpinBox* pulses = rig.find<QDoubleSpinBox>("pulses_per_rev");
        pulses->setValue(3.5);
        const QString made = dir.filePath("made.bnini");
        rig.save_as(made);
        const QString opened = dir.filePath(content == "log" ? "run.bnlog" : "opened.bnini");
        QByteArray text = content;
        if (content == "settings" || content == "log")
            text = read_all(made) + (content == "log" ? "[rv8_log]\n# note\ntimestamp,batt adc\n1733493600000,1\n" : "");
        if (content != "missing")
            write_file(opened, text);
        pulses->setValue(1.0);
        rig.window->clear_change_sets();
        rig.prompts.asked.clear();
        rig.open(opened);
        if (reason.isEmpty()) {
            QCOMPARE(pulses->value(), 3.5);
        } else {
            QCOMPARE(rig.prompts.asked.size(), 1);
            QCOMPARE(rig.prompts.asked[0].text, QStringLiteral("Could not open the settings file"));
            QCOMPARE(rig.prompts.asked[0].informative, opened + "\n" + reason + "\n\nNothing in the form was changed.");
            QCOMPARE(pulses->value(), 1.0);
            QVERIFY(!rig.window->has_changes_pending());
        }
        // Save goes to the file only when it opened as settings; a recording is never replaced.
        QFile::remove(made);
        if (content == "settings")
            QFile::remove(opened);
        rig.prompts.chosen.clear();
        rig.prompts.pick = [](const file_request&) { return QString(); };
        rig.find<QAction>("act_save")->trigger();
        QCOMPARE(rig.prompts.chosen.size(), content == "log" ? 1 : 0);
        if (content == "settings")
            QTRY_VERIFY(QFile::exists(opened));
        else if (content == "log")
            QCOMPARE(read_all(opened), text);
        else
            QTRY_VERIFY(QFile::exists(made));
    }

    // One history for the form: undo and redo give back the exact bytes a Write sends, and the
    // change tracking compares with what the unit holds.
    void undo_and_redo_keep_the_unit_truth()
    {
        form_rig rig;
        rig.read();
        QAction* undo = rig.find<QAction>("act_undo");
        QAction* redo = rig.find<QAction>("act_redo");
        duty_table* main = rig.table("main_table");
        const QByteArray unit_main = rig.window->gui_to_byteArray(tbl_main);
        QApplication::clipboard()->setText("10\t20\n30\t40\n");
        main->setCurrentCell(0, 0);
        main->paste();
        QTRY_COMPARE(undo->text(), QStringLiteral("Undo Paste into MAIN table"));
        const QByteArray pasted = rig.window->gui_to_byteArray(tbl_main);
        main->setFocus();
        QTest::keyClick(main, Qt::Key_Plus); // the pasted block is still selected
        QTRY_COMPARE(undo->text(), QStringLiteral("Undo Add in MAIN table"));
        undo->trigger();
        QCOMPARE(rig.window->gui_to_byteArray(tbl_main), pasted);
        undo->trigger();
        QCOMPARE(rig.window->gui_to_byteArray(tbl_main), unit_main);
        QVERIFY(!rig.window->has_changes_pending()); // back to what the unit holds
        QCOMPARE(rig.find<QAction>("act_write")->icon().pixmap(16, 16).toImage(), window_rig::led_of("green"));
        redo->trigger();
        QCOMPARE(redo->text(), QStringLiteral("Redo Add in MAIN table"));
        QCOMPARE(main->item(0, 1)->text(), QStringLiteral("20"));
        rig.write();
        QCOMPARE(memory_of(rig.device).tables[sim_memory::main].left(608), pasted.left(608));

        // A field written, undone, written again: redoing it differs from the unit once more.
        rig.type("pulses_per_rev", "2.5");
        QTRY_COMPARE(undo->text(), QStringLiteral("Undo Pulses per revolution 2.5"));
        rig.write();
        undo->trigger();
        QVERIFY(rig.window->has_changes_pending());
        rig.write();
        QCOMPARE(written_types(rig.device), QByteArray("0e"));
        QVERIFY(!rig.window->has_changes_pending());
        redo->trigger();
        QCOMPARE(rig.value("pulses_per_rev"), 2.5);
        QVERIFY(rig.window->has_changes_pending());

        // A mistaken Open is undone like any step.
        QTemporaryDir dir;
        rig.save_as(dir.filePath("a.bnini"));
        rig.type("pulses_per_rev", "3");
        rig.open(dir.filePath("a.bnini"));
        QCOMPARE(undo->text(), QStringLiteral("Undo Open a.bnini"));
        undo->trigger();
        QCOMPARE(rig.value("pulses_per_rev"), 3.0);
        QCOMPARE(rig.find<QUndoView>("undo_view")->stack()->count(), 5); // Read, Paste, pulses 2.5 and 3, Open

        // A copy to an output on another load axis asks first, and is one step with the axis.
        QComboBox* gpo1_axis = rig.find<QComboBox>("gpo1_vert_axis");
        gpo1_axis->setCurrentIndex(1);
        QTRY_COMPARE(undo->text(), QStringLiteral("Undo GPO1 load axis Analog Input A (0-5V)"));
        const QVector<int> gpo1 = rig.table("gpo1_table")->grid().cells;
        rig.prompts.answer = [](const box_request&) { return QMessageBox::Yes; };
        rig.find<QMenu>("main_table_copy_menu")->actions().at(3)->trigger(); // GPO1 with its load axis
        QCOMPARE(rig.prompts.asked.last().text, QStringLiteral("Copy the MAIN table to GPO1?"));
        QCOMPARE(rig.table("gpo1_table")->grid().cells, main->grid().cells);
        QCOMPARE(gpo1_axis->currentIndex(), 0);
        QTRY_COMPARE(undo->text(), QStringLiteral("Undo Copy MAIN table to GPO1"));
        undo->trigger();
        QCOMPARE(rig.table("gpo1_table")->grid().cells, gpo1);
        QCOMPARE(gpo1_axis->currentIndex(), 1);
    }

    void typed_input_is_snapped_with_its_message_data()
    {
        QTest::addColumn<QString>("setup");    // name=value pairs set first, through the fields
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");   // name=value pairs after
        QTest::addColumn<QString>("message");
        QTest::newRow("RPM to 500") << "" << "max_engine_speed" << "7250" << "max_engine_speed=7500"
                                    << "Can only set max engine RPM in increments of 500";
        QTest::newRow("delay to 13") << "gpi1_control=1" << "gpi1_act_delay" << "14" << "gpi1_act_delay=26"
                                     << "Can only set delay in increments of 13.0";
        QTest::newRow("pulses to 0.5") << "" << "pulses_per_rev" << "1.2" << "pulses_per_rev=1.5"
                                       << "Can only set pulses per revolution in increments of 0.5";
        QTest::newRow("boost gap, PSI") << "min_boost=10" << "max_boost" << "12" << "max_boost=15"
                                        << "Max must be greater than 15.0 PSI";
        QTest::newRow("boost gap, Bar") << "boost_select=1;min_boost=0.69" << "max_boost" << "0.7"
                                        << "max_boost=1.03" << "Max must be greater than 1.0 Bar";
        QTest::newRow("analog gap") << "main_vert_axis=1;min_an1_input=0.8" << "max_an1_input" << "1.0"
                                    << "max_an1_input=1.3;main_header=1.3" << "Max - min must be greater than 0.5V";
        QTest::newRow("analog gap of 0.4 V") << "main_vert_axis=1;min_an1_input=0.8" << "max_an1_input" << "1.2"
                                             << "max_an1_input=1.3" << "Max - min must be greater than 0.5V";
    }
    void typed_input_is_snapped_with_its_message()
    {
        QFETCH(QString, setup);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, result);
        QFETCH(QString, message);
        form_rig rig;
        auto apply = [&](const QString& pairs, bool check) {
            for (const QString& pair : pairs.split(';', Qt::SkipEmptyParts)) {
                const QString name = pair.section('=', 0, 0);
                const double v = pair.section('=', 1).toDouble();
                if (name == "main_header") // the top row of the Main table follows the analog range
                    QCOMPARE(rig.table("main_table")->vert_header_at(0), v);
                else if (auto* combo = rig.find<QComboBox>(name))
                    combo->setCurrentIndex(int(v));
                else if (check)
                    QCOMPARE(rig.value(name.toLatin1().constData()), v);
                else
                    rig.type(name.toLatin1().constData(), pair.section('=', 1));
            }
        };
        apply(setup, false);
        rig.find<QStatusBar>("statusBar")->clearMessage();
        rig.type(field.toLatin1().constData(), typed);
        apply(result, true);
        QCOMPARE(rig.status_text(), message);
        rig.type(field.toLatin1().constData(), result.section(';', 0, 0).section('=', 1));
        apply(result, true); // a corrected value stays
    }

    void control_mode_interlocks()
    {
        form_rig rig;
        QComboBox* main = rig.find<QComboBox>("main_control");
        QComboBox* aux = rig.find<QComboBox>("aux_control");
        aux->setCurrentIndex(1);
        main->setCurrentIndex(2);
        QCOMPARE(main->currentIndex(), 1);
        QCOMPARE(rig.status_text(), QStringLiteral("Cannot change MAIN control to duty + pump prime if AUX table is not already set to the same"));
        aux->setCurrentIndex(2);
        main->setCurrentIndex(2);
        QCOMPARE(main->currentIndex(), 2);
        QVERIFY(rig.find<QWidget>("pump_prime_delay")->isEnabled());
        rig.prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
        aux->setCurrentIndex(1);
        QCOMPARE(main->currentIndex(), 1);
        QCOMPARE(rig.prompts.asked.last().informative,
                 QStringLiteral("MAIN control currently set to: Duty table + pump delay\nMAIN control will be changed to: Duty table"));
        QVERIFY(!rig.find<QWidget>("pump_prime_delay")->isEnabled());

        QComboBox* gpo1 = rig.find<QComboBox>("gpo1_control");
        gpo1->setCurrentIndex(3);
        QCOMPARE(rig.find<QLabel>("gpo1_vert_comp_label")->text(), QStringLiteral("is equal to or less than:"));
        gpo1->setCurrentIndex(2);
        QCOMPARE(rig.find<QLabel>("gpo1_horz_comp_label")->text(), QStringLiteral("is equal to or greater than:"));
        QVERIFY(rig.find<QWidget>("gpo1_act_delay")->isEnabled() && rig.find<QWidget>("gpo1_vert_axis_gt")->isEnabled());
        gpo1->setCurrentIndex(5);
        for (const char* name : {"gpo1_table", "gpo1_vert_axis", "gpo1_vert_axis_gt", "gpo1_horz_axis_gt", "gpo1_act_delay", "gpo1_deact_delay"})
            QVERIFY2(!rig.find<QWidget>(name)->isEnabled(), name);
        QCOMPARE(rig.find<QLabel>("gpo1_operate_label")->text(), QStringLiteral("Duty table is not used."));
    }

    void tables_and_units_round_trip()
    {
        form_rig rig;
        rig.read();
        // A display unit changes no stored number: nothing is marked and Write sends nothing.
        QComboBox* unit = rig.find<QComboBox>("boost_select");
        const QByteArray stored = rig.window->gui_to_byteArray(tbl_main);
        const double second_row = rig.table("main_table")->vert_header_at(14);
        unit->setCurrentIndex(1);
        QCOMPARE(rig.find<QLabel>("live_map_units")->text(), QStringLiteral("Bar"));
        QCOMPARE(rig.window->gui_to_byteArray(tbl_main).mid(512, 32), stored.mid(512, 32));
        QVERIFY(qAbs(rig.table("main_table")->vert_header_at(14) - second_row * 0.0689475729) < 0.005);
        QCOMPARE(rig.find<QAction>("act_write")->icon().pixmap(16, 16).toImage(), window_rig::led_of("green"));
        rig.write();
        QCOMPARE(written_types(rig.device), QByteArray());
        unit->setCurrentIndex(0);
        QCOMPARE(rig.window->gui_to_byteArray(tbl_main).mid(512, 32), stored.mid(512, 32));

        rig.find<QComboBox>("gpo1_vert_axis")->setCurrentIndex(1);
        rig.find<QDoubleSpinBox>("gpo1_vert_axis_gt")->setValue(2.5);
        rig.find<QDoubleSpinBox>("main_vert_axis_gt")->setValue(14);
        rig.find<QSpinBox>("main_min_duty")->setValue(50);
        rig.table("gpo1_table")->item(3, 4)->setText("77");
        const QByteArray gpo1 = rig.window->gui_to_byteArray(tbl_gpo1);
        const QByteArray main = rig.window->gui_to_byteArray(tbl_main);
        QCOMPARE(main.mid(609, 2).toHex(), QByteArray("0200")); // 50 % is 512 counts

        // PSI -> Bar -> PSI: both thresholds come back as they were.
        unit->setCurrentIndex(1);
        QCOMPARE(rig.value("main_vert_axis_gt"), 0.965);
        QCOMPARE(rig.value("gpo1_vert_axis_gt"), 2.5);
        unit->setCurrentIndex(0);
        QCOMPARE(rig.value("main_vert_axis_gt"), 14.0);
        QCOMPARE(rig.window->gui_to_byteArray(tbl_gpo1).mid(630, 2), gpo1.mid(630, 2));
        QCOMPARE(rig.window->gui_to_byteArray(tbl_main).mid(630, 2), main.mid(630, 2));

        // Save and open give the same form and the same file.
        QTemporaryDir dir;
        const QString first = dir.filePath("first.bnini");
        const QString second = dir.filePath("second");
        QStringList chosen = {first, second + ".bnini", second};
        rig.prompts.pick = [&](const file_request&) { return chosen.takeLast(); };
        rig.find<QAction>("act_save_as")->trigger();
        QTRY_VERIFY(QFile::exists(second + ".bnini"));
        // The dialog adds it before it asks about replacing a file, so the question names that file.
        QCOMPARE(rig.prompts.chosen.last().default_suffix, QStringLiteral("bnini"));
        const QString saved_cell = rig.table("main_table")->item(0, 0)->text();
        rig.table("main_table")->item(0, 0)->setText("5");
        rig.find<QAction>("act_open")->trigger();
        QTRY_COMPARE(rig.table("main_table")->item(0, 0)->text(), saved_cell);
        QCOMPARE(rig.window->gui_to_byteArray(tbl_gpo1), gpo1);
        rig.find<QAction>("act_save_as")->trigger();
        QTRY_VERIFY(QFile::exists(first));
        QFile a(first), b(second + ".bnini");
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
    }

    void the_units_variant_goes_into_files()
    {
        sim_config s_unit;
        s_unit.variant_byte = 0x55;
        form_rig rig(s_unit); // saved before any Read: the connection told the variant
        QTemporaryDir dir;
        rig.save_as(dir.filePath("s.bnini"));
        const QString key = QStringLiteral("rv8_vars/ints/%1/%2").arg(int_variant + 1).arg(int_names[int_variant]);
        QCOMPARE(QSettings(dir.filePath("s.bnini"), QSettings::IniFormat).value(key).toUInt(), 1u);
        QCOMPARE(rig.find<QDoubleSpinBox>("main_overcurrent_limit")->maximum(), 10.0);
    }

    void open_tells_about_other_versions_data()
    {
        QTest::addColumn<quint32>("saved_by");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QString>("box");
        QTest::newRow("older") << 0x02000A01u << false << "BNINI is from older version|Brennix v2.10.1 was used to save this BNINI file, but your version is 2.11.0.\nIt seems all the necessary data was in the file, so this warning can be ignored\nUse the Save/Save As buttons to update this file with this newer version of Brennix";
        QTest::newRow("same") << 0x02000B00u << false << "";
        QTest::newRow("newer") << 0x02000C00u << false << "BNINI is from newer version|Brennix v2.12.0 was used to save this BNINI file, but your version is 2.11.0.\nIt's possible the file contains data that was not loaded properly or is not supported by this application version.\n\nRecommend you update your Brennix version before writing fields back to the unit!";
        QTest::newRow("same, a 639-byte table") << 0x02000B00u << true << "Warnings found while opening the BNINI file|This BNINI file was made with the same version of Brennix (2.11.0),\nbut there were some warnings found while opening the file:\n  * Table GPO2 duty table is damaged (639 bytes, a table has 640) and was not loaded, keeping the current settings.\n\nDouble-check these values in the application to make sure they are correct!\nUse the Save/Save As buttons to correct the issues in this file.";
    }
    void open_tells_about_other_versions()
    {
        QFETCH(quint32, saved_by);
        QFETCH(bool, damaged);
        QFETCH(QString, box);
        form_rig rig;
        rig.read();
        QTemporaryDir dir;
        const QString path = dir.filePath("unit.bnini");
        rig.save_as(path);
        edit_file(path, [&](QSettings& f) {
            for (const auto& [i, v] : {std::make_pair(int_gui_version, saved_by), std::make_pair(int_rpm_scaler, 7u)})
                f.setValue(QStringLiteral("rv8_vars/ints/%1/%2").arg(i + 1).arg(int_names[i]), v);
            set_cells(f, "2/MAIN duty table", 15, {0}, 0x66); // 10 % in the bottom left cell
            if (damaged)
                f.setValue("rv8_vars/tables/4/GPO2 duty table", f.value("rv8_vars/tables/4/GPO2 duty table").toByteArray().left(639));
        });
        rig.prompts.pick = [&](const file_request&) { return path; };
        rig.prompts.answer = [](const box_request& b) { return b.buttons & QMessageBox::Yes ? QMessageBox::No : QMessageBox::Ok; };
        rig.find<QAction>("act_open")->trigger();
        QTRY_COMPARE(rig.value("pulses_per_rev"), 3.5);
        QStringList shown;
        for (const box_request& b : rig.prompts.asked)
            if (b.text.startsWith("BNINI") || b.text.startsWith("Warnings"))
                shown << b.text + "|" + b.informative;
        QCOMPARE(shown, box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(rig.table("main_table")->item(15, 0)->text(), QStringLiteral("10"));
        rig.write();
        const QByteArray types = written_types(rig.device);
        QVERIFY2(types.contains("0a") && types.contains("0b") && types.contains("0c"), types.constData());
        QCOMPARE(types.contains("0d"), !damaged); // a damaged table never reaches the unit
        QVERIFY(!types.contains("16"));           // nor the file's factory calibration
    }

    void custom_conversion_files_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        const QByteArray header = "# made by hand\nAFR, comment\n";
        QTest::newRow("good, comments among data") << header + csv_lines(0, 500) + "# half\n" + csv_lines(500, 524) << "";
        QTest::newRow("spreadsheet: CR LF, quotes") << "\"AFR\",\"\"\r\n" + csv_lines(0, 1024, "\r\n") << "";
        QTest::newRow("blank line") << header + csv_lines(0, 10) + "\n" + csv_lines(10, 1014) << "Value on line 13 needs two values separated by a comma";
        QTest::newRow("1023 lines") << header + csv_lines(0, 1023) << "Missing 1 values, must have 1024";
        QTest::newRow("1025 lines") << header + csv_lines(0, 1025) << "Missing -1 values, must have 1024";
        QTest::newRow("starts at 1") << header + csv_lines(1, 1024) << "ADC on line 3 not the expected value of 0";
        QTest::newRow("a value abc") << header + csv_lines(0, 5) + "5, abc\n" + csv_lines(6, 1018) << "Error converting value on line 8: 'abc'";
        QTest::newRow("no header") << csv_lines(0, 1024) << "ADC on line 2 not the expected value of 0";
        QTest::newRow("a value nan") << header + csv_lines(0, 5) + "5, nan\n" + csv_lines(6, 1018) << "Error converting value on line 8: 'nan'";
        QTest::newRow("a value inf") << header + csv_lines(0, 5) + "5, -inf\n" + csv_lines(6, 1018) << "Error converting value on line 8: '-inf'";
    }
    void custom_conversion_files()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QTemporaryDir dir;
        window_rig rig({}, false);
        rig.prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
        const QString good = write_file(dir.filePath("good.csv"), "deg C\n" + csv_lines(0, 1024));
        const QString tried = write_file(dir.filePath("tried.csv"), text);
        QStringList chosen = {tried, good};
        rig.prompts.pick = [&](const file_request&) { return chosen.takeLast(); };
        rig.find<QPushButton>("cust_ana_load_file")->click();
        QCOMPARE(rig.find<QLabel>("live_an_a_units")->text(), QStringLiteral("deg C"));
        log_capture log;
        rig.find<QPushButton>("cust_ana_load_file")->click();
        // The field names the conversion in use.
        QCOMPARE(rig.find<QLineEdit>("cust_ana_filename")->text(), error.isEmpty() ? QStringLiteral("tried.csv") : QStringLiteral("good.csv"));
        QCOMPARE(log.texts(QtCriticalMsg), error.isEmpty() ? QStringList() : QStringList{error});
        QCOMPARE(rig.find<QLabel>("live_an_a_units")->text(), error.isEmpty() ? QStringLiteral("AFR") : QStringLiteral("deg C"));
        QCOMPARE(rig.prompts.asked.size(), error.isEmpty() ? 0 : 1);
        rig.window.reset(); // stores the path of the last conversion that loaded
        QCOMPARE(QSettings().value("MainWindow/cust_ana_file_name").toString(), error.isEmpty() ? tried : good);
        if (!error.isEmpty()) {
            // At start-up a stored file that no longer loads is forgotten, and its name not shown.
            QSettings().setValue("MainWindow/cust_ana_file_name", tried);
            window_rig again({}, false);
            again.prompts.answer = [](const box_request&) { return QMessageBox::Ok; };
            QTRY_COMPARE(again.prompts.asked.size(), 1);
            QCOMPARE(again.find<QLineEdit>("cust_ana_filename")->text(), QString());
        }
        QSettings().clear();
    }

    // A full disk or a file size limit: the old file stays as it was, and no scratch file is left.
    void saving_on_a_full_disk_keeps_the_old_file()
    {
        QTemporaryDir dir;
        const QString path = write_file(dir.filePath("kept.bnini"), "[rv8_vars]\nold=1\n");
        rv8_vars vars(nullptr);
        for (int t = tbl_aux; t <= tbl_gpo2; ++t)
            vars.set(QByteArray(640, char(0x11 * (t + 1))), table_index(t));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit was{};
        getrlimit(RLIMIT_FSIZE, &was);
        const rlimit small{512, was.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        QString reason;
        const bool saved = vars.vars_to_file(path, &reason);
        setrlimit(RLIMIT_FSIZE, &was);
        QCOMPARE(std::make_pair(saved, reason),
                 std::make_pair(false, QStringLiteral("the settings could not be written in full (the disk may be full or a "
                                                      "file size limit reached)")));
        QCOMPARE(read_all(path), QByteArray("[rv8_vars]\nold=1\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.bnini"});
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
    tst_window_settings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_settings.moc"
