// The EEPROM image on disk: what is written, what comes back, and what a damaged file leaves behind.

#include "sim_test_bench.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray read_file(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write_file(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

} // namespace

class tst_sim_memory : public QObject {
    Q_OBJECT

private slots:
    void saved_file_text();
    void settings_survive_a_restart_of_the_tool();
    void damaged_files_change_nothing();

private:
    QTemporaryDir dir;
};

void tst_sim_memory::saved_file_text()
{
    sim_memory m;
    m.gpi2_state = 0x81;
    const QString path = dir.filePath("text.eeprom");
    QString error;
    QVERIFY(m.save(path, &error));
    QVERIFY(error.isEmpty());
    const QList<QByteArray> lines = read_file(path).split('\n');
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines[0], QByteArray("# RV8 virtual unit EEPROM"));
    QCOMPARE(lines[1], QByteArray("gpi1_state 00"));
    QCOMPARE(lines[2], QByteArray("gpi2_state 81"));
    QCOMPARE(lines[3], QByteArray("rpm_scaler 04ae00"));
    QCOMPARE(lines[4], QByteArray("pump_prime_delay 0026"));
    QCOMPARE(lines[5], "io_modes " + m.io_modes.toHex());
    QCOMPARE(lines[6], "map_cal " + m.map_cal.toHex());
    QCOMPARE(lines[7], "table_aux " + m.tables[0].toHex());
    QCOMPARE(lines[10], "table_gpo2 " + m.tables[3].toHex());
    QCOMPARE(lines[11], QByteArray());
}

void tst_sim_memory::settings_survive_a_restart_of_the_tool()
{
    const QString path = dir.filePath("unit.eeprom");
    QByteArray table(640, '\0');
    for (int i = 0; i < 640; ++i)
        table[i] = char(i * 13);
    {
        sim_bench b;
        QCOMPARE(b.ask(request(0x0D, table)), hex("3C0DF2"));
        QCOMPARE(b.ask(request(0x0E, hex("AA06AC0000"))), hex("3C0EF1"));
        QCOMPARE(b.ask(request(0x16, hex("00003F000003600000E0"))), hex("3C16E9"));
        QVERIFY(b.unit.memory().save(path));
    }
    sim_bench b;
    QVERIFY(b.unit.memory().load(path));
    QCOMPARE(b.ask(hex("C3050001AB6C")), hex("3C05FA") + table);
    QCOMPARE(b.ask(hex("C3050001B87F")), hex("3C05FA06AC00"));
    QCOMPARE(b.ask(hex("C3050001BF78")).mid(3, 10), hex("00003F000003600000E0"));
}

void tst_sim_memory::damaged_files_change_nothing()
{
    sim_memory saved;
    saved.gpi1_state = 1;
    const QString good = dir.filePath("good.eeprom");
    QVERIFY(saved.save(good));
    const QByteArray text = read_file(good);

    sim_memory m;
    m.set_rpm_scaler(9);
    const sim_memory before = m;
    QString error;

    QVERIFY(!m.load(dir.filePath("missing.eeprom"), &error));
    QCOMPARE(error, QString("No such file or directory"));

    const QString short_table = dir.filePath("short.eeprom");
    QByteArray cut = text;
    cut.replace("table_gpo1 " + saved.tables[2].toHex(), "table_gpo1 " + saved.tables[2].left(639).toHex());
    write_file(short_table, cut);
    QVERIFY(!m.load(short_table, &error));
    QCOMPARE(error, QString("table_gpo1: 639 bytes, expected 640"));

    const QString no_marker_block = dir.filePath("no_map.eeprom");
    QByteArray gone = text;
    gone.replace("map_cal " + saved.map_cal.toHex() + "\n", "");
    write_file(no_marker_block, gone);
    QVERIFY(!m.load(no_marker_block, &error));
    QCOMPARE(error, QString("map_cal: 0 bytes, expected 28"));

    const QString garbled = dir.filePath("garbled.eeprom");
    write_file(garbled, text + "rubbish\n");
    QVERIFY(!m.load(garbled, &error));
    QCOMPARE(error, QString("malformed line: rubbish"));

    QVERIFY(m == before);
    QVERIFY(m.load(good, &error));
    QVERIFY(m == saved);
}

QTEST_GUILESS_MAIN(tst_sim_memory)
#include "tst_sim_memory.moc"
