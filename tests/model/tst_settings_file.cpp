// Settings files are exchanged between users and program versions, so the text is pinned exactly.

#include "model/rv8_vars.h"
#include "tests/support/log_capture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray read_all(const QString& path)
{
    QFile f(path);
    if (!f.open(QFile::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void write_all(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QFile::WriteOnly | QFile::Truncate));
    f.write(text);
}

// Every byte value, so that the byte-array notation must escape and restore all of them.
QByteArray table_bytes(int seed)
{
    QByteArray t(640, 0);
    for (int k = 0; k < t.size(); ++k)
        t[k] = char((k * 7 + seed) & 0xFF);
    return t;
}

struct model_values {
    QList<QByteArray> tables;
    QList<unsigned int> ints;
    QList<adc_trim> trims;
};

model_values values_of(const rv8_vars& v)
{
    model_values m;
    v.get(m.tables, m.ints, m.trims);
    return m;
}

}  // namespace

class tst_settings_file : public QObject {
    Q_OBJECT

private slots:
    void init();
    void writes_exact_ini_text();
    void writes_only_pending_entries();
    void replaces_an_existing_file();
    void keeps_pending_sets_after_writing();
    void refuses_unwritable_path();
    void round_trip_of_full_model();
    void missing_file_leaves_model_unchanged();
    void malformed_file_fails_sync();
    void missing_tables_warn_and_keep_values();
    void missing_ints_and_trims_warn();
    void ints_array_size_limits_reading();
    void value_too_large_for_int_reads_as_zero();
    void non_byte_array_table_reads_empty();
    void trim_value_kept_to_sixteen_bits();
    void appends_to_callers_warnings();

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir;
};

void tst_settings_file::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

void tst_settings_file::writes_exact_ini_text()
{
    rv8_vars v(nullptr);
    v.set(QByteArray("\x01\x02 a=b", 6), tbl_main);
    v.set(2, int_main_mode);
    v.set(4294967295u, int_rpm_scaler);
    v.set(adc_trim{false, 300}, trim_aux_current);
    log_capture log;
    QVERIFY(v.vars_to_file(path("a.bnini")));
    QCOMPARE(read_all(path("a.bnini")),
             QByteArray("[rv8_vars]\n"
                        "ints\\1\\RPM%20scaler=4294967295\n"
                        "ints\\14\\Main%20mode=2\n"
                        "ints\\size=14\n"
                        "tables\\2\\MAIN%20duty%20table=\"@ByteArray(\\x1\\x2 a=b)\"\n"
                        "tables\\size=2\n"
                        "trims\\3\\AUX%20current%20trim\\pol=false\n"
                        "trims\\3\\AUX%20current%20trim\\value=300\n"
                        "trims\\size=3\n"));
    QVERIFY(log.entries().isEmpty());
}

void tst_settings_file::writes_only_pending_entries()
{
    rv8_vars v(nullptr);
    v.set(table_bytes(1), tbl_aux);
    v.set(7, int_gpi1_mode);
    v.remove_all_sets();
    v.set(3, int_main_mode);
    QVERIFY(v.vars_to_file(path("b.bnini")));
    QCOMPARE(read_all(path("b.bnini")), QByteArray("[rv8_vars]\nints\\14\\Main%20mode=3\nints\\size=14\ntables\\size=0\ntrims\\size=0\n"));
}

void tst_settings_file::replaces_an_existing_file()
{
    write_all(path("c.bnini"), "[rv8_vars]\ntrims\\1\\battery%20trim\\pol=false\ntrims\\size=1\n[other]\nk=v\n");
    write_all(path("c.bnlog"), "[rv8_vars]\nints\\size=0\n[rv8_log]\r\n# comment\r\ntimestamp,batt adc\r\n1,2\r\n");
    rv8_vars v(nullptr);
    v.set(9, int_rpm_scaler);
    const QByteArray expected = "[rv8_vars]\nints\\1\\RPM%20scaler=9\nints\\size=1\ntables\\size=0\ntrims\\size=0\n";
    log_capture log;
    QVERIFY(v.vars_to_file(path("c.bnini")));
    QCOMPARE(read_all(path("c.bnini")), expected);
    // Text QSettings cannot parse does not fail the save.
    QVERIFY(v.vars_to_file(path("c.bnlog")));
    QCOMPARE(read_all(path("c.bnlog")), expected);
    QVERIFY(log.entries().isEmpty());
}

void tst_settings_file::keeps_pending_sets_after_writing()
{
    rv8_vars v(nullptr);
    v.set(1, int_aux_mode);
    v.set(table_bytes(0), tbl_gpo1);
    v.set(adc_trim{}, trim_map);
    QVERIFY(v.vars_to_file(path("d.bnini")));
    QCOMPARE(v.pending_ints(), QSet<int_index>({int_aux_mode}));
    QCOMPARE(v.pending_tables(), QSet<table_index>({tbl_gpo1}));
    QCOMPARE(v.pending_trims(), QSet<adc_trim_index>({trim_map}));
}

void tst_settings_file::refuses_unwritable_path()
{
    write_all(path("plain"), "not a folder");
    const QString target = path("plain/e.bnini");
    rv8_vars v(nullptr);
    v.set(1, int_rpm_scaler);
    log_capture log;
    QVERIFY(!v.vars_to_file(target));
    QCOMPARE(log.texts(QtCriticalMsg), QStringList({"File " + target + " is not writable"}));
    QCOMPARE(read_all(path("plain")), QByteArray("not a folder"));
}

void tst_settings_file::round_trip_of_full_model()
{
    rv8_vars written(nullptr);
    for (int i = 0; i < tbl_last; ++i)
        written.set(table_bytes(i * 31), table_index(i));
    for (int i = 0; i < int_last; ++i)
        written.set(quint32(i * 1000003 % 2147483647), int_index(i));
    written.set(2147483647u, int_base_slope);
    for (int i = 0; i < trim_last; ++i)
        written.set(adc_trim{i % 2 == 0, quint16(i * 10007)}, adc_trim_index(i));
    QVERIFY(written.vars_to_file(path("full.bnini")));

    rv8_vars read(nullptr);
    QList<QString> warnings;
    log_capture log;
    QVERIFY(read.file_to_vars(path("full.bnini"), warnings));
    QVERIFY(warnings.isEmpty());
    QVERIFY(log.entries().isEmpty());
    const model_values a = values_of(written), b = values_of(read);
    QCOMPARE(b.tables, a.tables);
    QCOMPARE(b.ints, a.ints);
    QCOMPARE(b.trims, a.trims);
    QVERIFY(read.is_initialized());
    // Loaded values are the unit's new state, not edits waiting to be sent.
    QVERIFY(read.pending_tables().isEmpty());
    QVERIFY(read.pending_ints().isEmpty());
    QVERIFY(read.pending_trims().isEmpty());
}

void tst_settings_file::missing_file_leaves_model_unchanged()
{
    rv8_vars v(nullptr);
    QList<QString> warnings;
    log_capture log;
    QVERIFY(!v.file_to_vars(path("absent.bnini"), warnings));
    QCOMPARE(log.texts(QtCriticalMsg), QStringList({"Settings file not found " + path("absent.bnini")}));
    QVERIFY(warnings.isEmpty());
    QVERIFY(!v.is_initialized());
}

void tst_settings_file::malformed_file_fails_sync()
{
    write_all(path("bad.bnini"), "[rv8_vars\nints\\1\\RPM%20scaler=5\nints\\size=1\n");
    rv8_vars v(nullptr);
    QList<QString> warnings;
    log_capture log;
    QVERIFY(!v.file_to_vars(path("bad.bnini"), warnings));
    QCOMPARE(log.texts(QtCriticalMsg), QStringList({"Could not sync settings file"}));
    QCOMPARE(values_of(v).ints[int_rpm_scaler], 0u);
    QVERIFY(!v.is_initialized());
}

void tst_settings_file::missing_tables_warn_and_keep_values()
{
    write_all(path("nt.bnini"), "[rv8_vars]\ntables\\5\\Wide%20Band%20duty%20table=@ByteArray(xy)\n");
    rv8_vars v(nullptr);
    v.set(table_bytes(5), tbl_main);
    QList<QString> warnings;
    log_capture log;
    QVERIFY(v.file_to_vars(path("nt.bnini"), warnings));
    QCOMPARE(warnings, QList<QString>({
                           "Table AUX duty table does not exist in settings file, keeping the current settings.",
                           "Table MAIN duty table does not exist in settings file, keeping the current settings.",
                           "Table GPO1 duty table does not exist in settings file, keeping the current settings.",
                           "Table GPO2 duty table does not exist in settings file, keeping the current settings.",
                       }));
    const model_values m = values_of(v);
    QCOMPARE(m.tables[tbl_main], table_bytes(5));
    QCOMPARE(m.tables[tbl_wide_band], QByteArray("xy"));
    QCOMPARE(log.texts(QtWarningMsg), QStringList({"Warnings detected while parsing settings file:"}));
    QStringList lines;
    for (const QString& w : warnings)
        lines << "  * " + w;
    QCOMPARE(log.texts(QtDebugMsg), lines);
    QCOMPARE(log.entries().first().type, QtWarningMsg);
}

void tst_settings_file::missing_ints_and_trims_warn()
{
    write_all(path("mi.bnini"),
              "[rv8_vars]\n"
              "ints\\1\\RPM%20scaler=12\n"
              "ints\\size=14\n"
              "trims\\1\\battery%20trim\\pol=false\n"
              "trims\\1\\battery%20trim\\value=40\n"
              "trims\\2\\MAP%20trim\\value=77\n"
              "trims\\size=2\n");
    rv8_vars v(nullptr);
    v.set(adc_trim{false, 5}, trim_map);
    v.set(444, int_pump_prime_delay);
    QList<QString> warnings;
    QVERIFY(v.file_to_vars(path("mi.bnini"), warnings));
    QCOMPARE(warnings, QList<QString>({
                           "Table AUX duty table does not exist in settings file, keeping the current settings.",
                           "Table MAIN duty table does not exist in settings file, keeping the current settings.",
                           "Table GPO1 duty table does not exist in settings file, keeping the current settings.",
                           "Table GPO2 duty table does not exist in settings file, keeping the current settings.",
                           "Parameter pump prime delay does not exist in settings file, keeping the current setting.",
                           "Parameter Main mode does not exist in settings file, keeping the current setting.",
                           "ADC trim MAP trim does not exist in settings file, keeping the current setting.",
                       }));
    const model_values m = values_of(v);
    QCOMPARE(m.ints[int_rpm_scaler], 12u);
    QCOMPARE(m.ints[int_pump_prime_delay], 444u);
    QCOMPARE(m.trims[trim_battery], (adc_trim{false, 40}));
    QCOMPARE(m.trims[trim_map], (adc_trim{false, 5}));
}

void tst_settings_file::ints_array_size_limits_reading()
{
    QByteArray text = "[rv8_vars]\n";
    for (int i = 0; i < int_last; ++i)
        text += "ints\\" + QByteArray::number(i + 1) + "\\" + QUrl::toPercentEncoding(int_names[i], "", "") + "=" +
                QByteArray::number(i + 100) + "\n";
    text += "ints\\size=30\n";
    write_all(path("s30.bnini"), text);
    rv8_vars v(nullptr);
    QList<QString> warnings;
    QVERIFY(v.file_to_vars(path("s30.bnini"), warnings));
    QCOMPARE(warnings.size(), 4);  // the four tables only
    const model_values m = values_of(v);
    QCOMPARE(m.ints[int_rpm_scaler], 100u);
    QCOMPARE(m.ints[int_min_boost], 129u);
    QCOMPARE(m.ints[int_max_boost], 0u);
    QCOMPARE(m.ints[int_fw_version], 0u);
}

void tst_settings_file::value_too_large_for_int_reads_as_zero()
{
    rv8_vars written(nullptr);
    written.set(4294967295u, int_active_slope);
    written.set(2147483648u, int_active_intercept);
    written.set(2147483647u, int_base_slope);
    QVERIFY(written.vars_to_file(path("big.bnini")));
    rv8_vars read(nullptr);
    read.set(55, int_active_slope);
    QList<QString> warnings;
    QVERIFY(read.file_to_vars(path("big.bnini"), warnings));
    const model_values m = values_of(read);
    QCOMPARE(m.ints[int_active_slope], 0u);
    QCOMPARE(m.ints[int_active_intercept], 0u);
    QCOMPARE(m.ints[int_base_slope], 2147483647u);
}

void tst_settings_file::non_byte_array_table_reads_empty()
{
    write_all(path("txt.bnini"), "[rv8_vars]\ntables\\1\\AUX%20duty%20table=some text\n");
    rv8_vars v(nullptr);
    v.set(table_bytes(2), tbl_aux);
    QList<QString> warnings;
    QVERIFY(v.file_to_vars(path("txt.bnini"), warnings));
    QCOMPARE(values_of(v).tables[tbl_aux], QByteArray());
    QCOMPARE(warnings.size(), 3);
}

void tst_settings_file::trim_value_kept_to_sixteen_bits()
{
    write_all(path("tr.bnini"),
              "[rv8_vars]\ntrims\\6\\spare%20trim\\pol=true\ntrims\\6\\spare%20trim\\value=65537\ntrims\\size=6\n");
    rv8_vars v(nullptr);
    QList<QString> warnings;
    QVERIFY(v.file_to_vars(path("tr.bnini"), warnings));
    QCOMPARE(values_of(v).trims[trim_spare], (adc_trim{true, 1}));
    // Elements 1 to 5 of the array are absent.
    QCOMPARE(warnings.size(), 4 + 5);
    QCOMPARE(warnings.last(), QString("ADC trim Wide Band current trim does not exist in settings file, keeping the "
                                      "current setting."));
}

void tst_settings_file::appends_to_callers_warnings()
{
    write_all(path("w.bnini"), "[rv8_vars]\n");
    rv8_vars v(nullptr);
    QList<QString> warnings = {"earlier"};
    log_capture log;
    QVERIFY(v.file_to_vars(path("w.bnini"), warnings));
    QCOMPARE(warnings.size(), 5);
    QCOMPARE(warnings.first(), QString("earlier"));
    QCOMPARE(log.texts(QtDebugMsg).size(), 4);
    QVERIFY(v.is_initialized());
}

QTEST_GUILESS_MAIN(tst_settings_file)
#include "tst_settings_file.moc"
