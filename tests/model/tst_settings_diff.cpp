// The differences brennix-cli reports between a unit and a file, line by line.

#include "model/settings_diff.h"
#include "model/table_record.h"

#include <QtTest>
#include <functional>

class tst_settings_diff : public QObject {
    Q_OBJECT

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
    void lists_each_change_in_user_units()
    {
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

    // The window's Compare counts what is equal and takes single rows and cells of a table.
    void counts_and_takes_chosen_values()
    {
        const unit_settings unit = base();
        unit_settings file = base();
        file.ints[int_gpi2_request] = 512;
        file.ints[int_pump_prime_delay] = 8;
        QByteArray& t = file.tables[tbl_gpo1];
        for (int col = 3; col <= 5; ++col)
            t[table_record::cell_offset(2, col) + 1] = char(100 + col);
        t[612] = 8;
        seal(t);
        const settings_diff diff(unit, file);
        QCOMPARE(diff.changes().size(), 6);
        QCOMPARE(diff.compared(), 1197);
        QCOMPARE(diff.same().size(), 1197 - 6 - (4 * 256 - 3));
        QList<setting_change> chosen;
        for (const setting_change& c : diff.changes())
            if (c.param == int_pump_prime_delay || (c.cell() && c.column < 5) || c.item == QLatin1String("deactivation delay"))
                chosen << c;
        const unit_settings taken = take_changes(unit, file, chosen);
        unit_settings expected = unit;
        expected.ints[int_pump_prime_delay] = 8;
        QByteArray& e = expected.tables[tbl_gpo1];
        e[table_record::cell_offset(2, 3) + 1] = char(103);
        e[table_record::cell_offset(2, 4) + 1] = char(104);
        e[612] = 8;
        seal(e);
        QCOMPARE(taken.ints, expected.ints);
        QCOMPARE(taken.tables, expected.tables);
        QStringList left;
        const settings_diff after(taken, file);
        for (const setting_change& c : after.changes())
            left << c.line();
        QCOMPARE(left, QStringList({"GPI2 request: 98 % -> 50 %",
                                    "GPO1 duty table cell 2500 RPM, 25.8 PSI (row 2, column 5): 0 % -> 10 %"}));
    }
};

QTEST_GUILESS_MAIN(tst_settings_diff)
#include "tst_settings_diff.moc"
