// Settings files are exchanged between users and program versions, so the text is pinned exactly;
// and the differences a user is shown between two sets of settings, line by line.

#include "model/restore_points.h"
#include "model/settings_diff.h"
#include "model/table_record.h"
#include "model/unit_settings.h"
#include "tests/model/model_values.h"
#include "tests/support/log_capture.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

QByteArray read_all(const QString& path)
{
    QFile f(path);
    return f.open(QFile::ReadOnly) ? f.readAll() : QByteArray();
}

void write_all(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QFile::WriteOnly | QFile::Truncate) && f.write(text) == text.size());
}

}  // namespace

class tst_settings_file : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    static void seal(QByteArray& t) { t[639] = char(table_record::checksum_of(t.left(639))); }

    // A GPO1 table on boost: breakpoints 222 counts (0 PSI) upward in steps of 32 counts, 500 RPM apart.
    static unit_settings base()
    {
        unit_settings s;
        s.ints[int_active_slope] = 16122;
        s.ints[int_active_intercept] = 222312;
        s.ints[int_gpi2_request] = 1000;
        QByteArray t(640, '\0');
        for (int k = 0; k < 16; ++k) {
            t[512 + 2 * k] = char((222 + 32 * k) >> 8);
            t[513 + 2 * k] = char(222 + 32 * k);
            t[544 + 2 * k] = char((500 * k) >> 8);
            t[545 + 2 * k] = char(500 * k);
        }
        t[608] = char(0xCC);
        t[638] = char(0xA1);
        seal(t);
        for (int i = tbl_aux; i <= tbl_gpo2; ++i)
            s.tables[i] = t;
        return s;
    }

private slots:
    // Only the pending entries are written, replacing whatever the file held before.
    void writes_exact_ini_text_or_fails_cleanly()
    {
        write_all(path("a.bnini"), "[rv8_vars]\ntrims\\1\\battery%20trim\\pol=false\ntrims\\size=1\n[other]\nk=v\n");
        write_all(path("a.bnlog"), "[rv8_vars]\nints\\size=0\n[rv8_log]\r\n# comment\r\ntimestamp,batt adc\r\n1,2\r\n");
        rv8_vars v(nullptr);
        v.set(sealed_table(1), tbl_aux);
        v.set(7, int_gpi1_mode);
        v.remove_all_sets();
        v.set(QByteArray("\x01\x02 a=b", 6), tbl_main);
        v.set(2, int_main_mode);
        v.set(4294967295u, int_rpm_scaler);
        v.set(adc_trim{false, 300}, trim_aux_current);
        log_capture log;
        const QByteArray expected = "[rv8_vars]\nints\\1\\RPM%20scaler=4294967295\nints\\14\\Main%20mode=2\n"
                                    "ints\\size=14\ntables\\2\\MAIN%20duty%20table=\"@ByteArray(\\x1\\x2 a=b)\"\n"
                                    "tables\\size=2\ntrims\\3\\AUX%20current%20trim\\pol=false\n"
                                    "trims\\3\\AUX%20current%20trim\\value=300\ntrims\\size=3\n";
        for (const char* name : {"a.bnini", "a.bnlog"}) {
            QVERIFY(v.vars_to_file(path(name)));
            QCOMPARE(read_all(path(name)), expected);
        }
        QVERIFY(log.entries().isEmpty());
        QVERIFY(v.pending_ints() == QSet<int_index>({int_main_mode, int_rpm_scaler}) &&
                v.pending_tables() == QSet<table_index>({tbl_main}) &&
                v.pending_trims() == QSet<adc_trim_index>({trim_aux_current}));

        // Failures leave the model and the files alone.
        write_all(path("plain"), "not a folder");
        write_all(path("bad.bnini"), "[rv8_vars\nints\\1\\RPM%20scaler=5\nints\\size=1\n");
        rv8_vars u(nullptr);
        QList<QString> warnings;
        QVERIFY(!u.file_to_vars(path("absent.bnini"), warnings));
        QVERIFY(!u.file_to_vars(path("bad.bnini"), warnings));
        QVERIFY(!u.is_initialized());
        QCOMPARE(model_values(u).ints[int_rpm_scaler], 0u);
        u.set(1, int_rpm_scaler);
        QVERIFY(!u.vars_to_file(path("plain/e.bnini")));
        QCOMPARE(read_all(path("plain")), QByteArray("not a folder"));
        QCOMPARE(log.texts(QtCriticalMsg),
                 QStringList({"Settings file not found " + path("absent.bnini"), "Could not sync settings file",
                              "File " + path("plain/e.bnini") + " is not writable"}));
        QVERIFY(warnings.isEmpty());
    }

    void round_trip_of_full_model()
    {
        rv8_vars written(nullptr);
        for (int i = 0; i < tbl_last; ++i)
            written.set(sealed_table(i * 31), table_index(i));
        for (int i = 0; i < int_last; ++i)
            written.set(quint32(i * 1000003 % 2147483647), int_index(i));
        written.set(2147483647u, int_base_slope);
        // Beyond the signed range a number reads back as 0.
        written.set(4294967295u, int_active_slope);
        written.set(2147483648u, int_active_intercept);
        for (int i = 0; i < trim_last; ++i)
            written.set(adc_trim{i % 2 == 0, quint16(i * 10007)}, adc_trim_index(i));
        QVERIFY(written.vars_to_file(path("full.bnini")));
        rv8_vars read(nullptr);
        read.set(55, int_active_slope);
        read.remove_all_sets();
        QList<QString> warnings;
        log_capture log;
        QVERIFY(read.file_to_vars(path("full.bnini"), warnings));
        QVERIFY(warnings.isEmpty() && log.entries().isEmpty());
        model_values a(written);
        a.ints[int_active_slope] = a.ints[int_active_intercept] = 0;
        QVERIFY(model_values(read) == a && read.is_initialized());
        // Loaded values are the unit's new state, not edits waiting to be sent.
        QVERIFY(read.pending_tables().isEmpty() && read.pending_ints().isEmpty() && read.pending_trims().isEmpty());
    }

    void missing_entries_warn_and_keep_values()
    {
        write_all(path("m.bnini"), "[rv8_vars]\ntables\\1\\AUX%20duty%20table=some text\n"
                                   "tables\\5\\Wide%20Band%20duty%20table=@ByteArray(xy)\n"
                                   "ints\\1\\RPM%20scaler=12\nints\\14\\Main%20mode=3\nints\\15\\AUX%20mode=9\n"
                                   "ints\\size=14\n"
                                   "trims\\1\\battery%20trim\\pol=false\ntrims\\1\\battery%20trim\\value=40\n"
                                   "trims\\2\\MAP%20trim\\value=77\ntrims\\6\\spare%20trim\\pol=true\n"
                                   "trims\\6\\spare%20trim\\value=65537\ntrims\\size=6\n");
        rv8_vars v(nullptr);
        v.set(sealed_table(2), tbl_aux);
        v.set(sealed_table(5), tbl_main);
        v.set(444, int_pump_prime_delay);
        v.set(adc_trim{false, 5}, trim_map);
        QList<QString> warnings = {"earlier"};
        log_capture log;
        QVERIFY(v.file_to_vars(path("m.bnini"), warnings));
        const QString table = "Table %1 does not exist in settings file, keeping the current settings.";
        const QString trim = "ADC trim %1 does not exist in settings file, keeping the current setting.";
        const QStringList expected = {
            table.arg("MAIN duty table"), table.arg("GPO1 duty table"), table.arg("GPO2 duty table"),
            "Parameter pump prime delay does not exist in settings file, keeping the current setting.",
            trim.arg("MAP trim"), trim.arg("AUX current trim"), trim.arg("MAIN current trim"),
            trim.arg("Wide Band current trim")};
        QCOMPARE(warnings, QStringList("earlier") + expected);
        QCOMPARE(log.texts(QtWarningMsg), QStringList({"Warnings detected while parsing settings file:"}));
        QCOMPARE(log.entries().first().type, QtWarningMsg);
        QCOMPARE(log.texts(QtDebugMsg), QStringList(expected).replaceInStrings(QRegularExpression("^"), "  * "));
        const model_values m(v);
        // Text is not a table, and the array size limits what is read.
        QCOMPARE(m.tables.mid(0, 5), QList<QByteArray>({{}, sealed_table(5), {}, {}, "xy"}));
        QCOMPARE(m.ints.mid(0, 2), QList<unsigned>({12, 444}));
        QCOMPARE(m.ints.mid(int_main_mode, 2), QList<unsigned>({3, 0}));
        QCOMPARE(m.trims, QList<adc_trim>({{false, 40}, {false, 5}, {}, {}, {}, {true, 1}}));
        QVERIFY(v.is_initialized());
    }

    // Restore points are the one way back after a write: pruning may remove only old, unpinned ones.
    void restore_points_are_pruned_around_pinned_ones()
    {
        qputenv("XDG_DATA_HOME", path("data").toLocal8Bit());
        QCoreApplication::setOrganizationName(QStringLiteral("Vantrel"));
        QCoreApplication::setApplicationName(QStringLiteral("Brennix"));
        unit_settings unit;
        for (int t = tbl_aux; t <= tbl_gpo2; ++t)
            unit.tables[t] = sealed_table(t);
        unit.ints[int_fw_version] = 0x0175;
        QStringList saved;
        QString error;
        for (quint32 delay = 1; delay <= 6; ++delay) {
            unit.ints[int_pump_prime_delay] = delay;
            saved << restore_points::save(QStringLiteral("RV8T0001"), unit, &error);
        }
        // The unit unchanged since the newest point: no second copy of it.
        QCOMPARE(restore_points::save(QStringLiteral("RV8T0001"), unit, &error), saved.last());
        QVERIFY(restore_points::set_pinned(saved[0], true, &error));
        restore_points::note_write(saved[4], {"MAIN duty table", "IO modes"});
        restore_points::prune(QStringLiteral("RV8T0001"), 2);
        QStringList kept;
        for (const restore_point& p : restore_points::list(QStringLiteral("RV8T0001")))
            kept << QStringLiteral("%1 %2 %3 %4").arg(QFileInfo(p.path).fileName()).arg(p.pinned).arg(p.fw_version, 0, 16).arg(p.written);
        auto name = [&](int k) { return QFileInfo(saved[k]).fileName(); };
        QCOMPARE(kept, QStringList({name(0) + " 1 175 ", name(4) + " 0 175 MAIN duty table, IO modes", name(5) + " 0 175 "}));
        QVERIFY(!QFile::exists(saved[1]) && !QFile::exists(restore_points::note_path(saved[1])));
        // A point holds the unit as `read` saves it, to the value.
        unit_settings back;
        QStringList warnings;
        QVERIFY(unit_settings::load(saved[5], unit_settings(), &back, &warnings, &error) && warnings.isEmpty());
        QCOMPARE(back.tables.mid(0, 4), unit.tables.mid(0, 4));
        QCOMPARE(back.ints[int_pump_prime_delay], 6u);
    }

    // A table's load source is coded MAP, analog A, analog B, and 0xA4 for the source the selector has no
    // entry for; then the differences a user is shown, one kind at a time.
    void load_source_codes_and_each_change_in_user_units()
    {
        log_capture log;
        for (int index = 0; index < 4; ++index) {
            QCOMPARE(int(encode_vertical_source(index)), 0xA1 + index);
            QCOMPARE(decode_vertical_source(quint8(0xA1 + index)), index);
        }
        QVERIFY(log.entries().isEmpty());
        for (int index : {4, -1})
            QCOMPARE(int(encode_vertical_source(index)), 0);
        for (int code : {0xA0, 0xA5, 0xB1, 0x00})
            QCOMPARE(decode_vertical_source(quint8(code)), 0);
        QCOMPARE(log.texts(QtCriticalMsg),
                 QStringList({"Unhandled vert axis 4", "Unhandled vert axis -1", "Unhandled vert axis 0xa0",
                              "Unhandled vert axis 0xa5", "Unhandled vert axis 0xb1", "Unhandled vert axis 0x00"}));

        using edit = std::function<void(unit_settings&)>;
        auto table = [](std::function<void(QByteArray&)> f) {
            return edit([f](unit_settings& s) {
                f(s.tables[tbl_gpo1]);
                seal(s.tables[tbl_gpo1]);
            });
        };
        const QList<std::tuple<const char*, edit, QStringList>> cases{
            {"same", [](unit_settings&) {}, {}},
            {"request rounding alike", [](unit_settings& s) { s.ints[int_gpi2_request] = 1001; },
             {"GPI2 request: 98 % (stored 1000) -> 98 % (stored 1001)"}},
            {"cell", table([](QByteArray& t) { t[table_record::cell_offset(0, 2) + 1] = 1; }),
             {"GPO1 duty table cell 1000 RPM, 29.8 PSI (row 0, column 2): 0 % (stored 0) -> 0 % (stored 1)"}},
            {"trailer, axis and source", table([](QByteArray& t) {
                 t[612] = 8;
                 t[575] = char(0x60);
                 t[638] = char(0xA2);
             }),
             {"GPO1 duty table engine speed breakpoint of column 15: 7500 RPM -> 7520 RPM",
              "GPO1 duty table load source: MAP Sensor -> Analog Input A (0-5V)",
              "GPO1 duty table deactivation delay: 0 ms -> 104 ms"}},
            {"load breakpoint", table([](QByteArray& t) {
                 t[514] = char(270 >> 8);
                 t[515] = char(270 & 0xFF);
             }),
             {"GPO1 duty table load breakpoint of row 14: 2.0 PSI -> 3.0 PSI"}},
            {"other bytes", table([](QByteArray& t) { t[580] = t[581] = 1; }), {"GPO1 duty table bytes 580 to 581: 0000 -> 0101"}},
            {"damaged", [](unit_settings& s) { s.tables[tbl_main].chop(1); },
             {"MAIN duty table: sound -> damaged in the file: 639 bytes, a table has 640"}},
        };
        const unit_settings unit = base();
        for (const auto& [name, change, lines] : cases) {
            unit_settings file = base();
            change(file);
            const settings_diff diff(unit, file);
            QStringList got;
            for (const setting_change& c : diff.changes())
                got << c.line();
            QVERIFY2(got == lines, qPrintable(QString::fromLatin1(name) + ":\n" + got.join('\n')));
        }
    }
};

QTEST_GUILESS_MAIN(tst_settings_file)
#include "tst_settings_file.moc"
