// Requests in, exact bytes out: the application firmware's replies, what its writes store, and the
// EEPROM image that keeps them across runs.

#include "sim_test_bench.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_sim_requests : public QObject {
    Q_OBJECT

private slots:
    void every_command_answers_with_its_header_and_length();
    void writes_come_back_in_the_layout_read();
    void requests_that_get_no_answer();
    void eeprom_file_round_trip_and_damage();
};

void tst_sim_requests::every_command_answers_with_its_header_and_length()
{
    const sim_memory factory;
    const struct {
        int code, length;
        QByteArray data; // compared when it has the reply's length
    } cases[] = {
        {0xA2, 2, {}}, {0xA8, 640, factory.tables[0]}, {0xA9, 640, factory.tables[1]}, {0xAA, 640, factory.tables[2]},
        {0xAB, 640, factory.tables[3]}, {0xB3, 1, hex("00")}, {0xB4, 1, hex("00")}, {0xB6, 2, hex("0175")},
        {0xB7, 0, {}}, {0xB8, 3, hex("04AE00")}, {0xBB, 2, hex("0026")}, {0xC0, 0, {}}, {0xC1, 1, hex("AA")},
        {0xBD, 38, hex("000000000000000000000000000000000000ABBA" "A1B1D2E15103FF50000000080008FFFFFFFF")},
        {0xBF, 28, hex("00003EFA0003646800DF00003EFA0003646800DF0030ABBA00000000")},
    };
    for (const auto& c : cases) {
        sim_bench b;
        const QByteArray r = b.ask(command(quint8(c.code)));
        QVERIFY2(r.left(3) == hex("3C05FA") && r.size() == 3 + c.length, r.toHex().constData());
        QVERIFY2(c.data.size() != c.length || r.mid(3) == c.data, r.toHex().constData());
    }
}

// Everything the read returns besides the written part must stay as it was.
void tst_sim_requests::writes_come_back_in_the_layout_read()
{
    const QByteArray modes = hex("A2B3D1E0520123530456000100020003FFFF");
    const QByteArray base = hex("00003F000003600000E0"), active = hex("00004000000370000100002A");
    QByteArray t(640, '\0');
    for (int i = 0; i < 640; ++i)
        t[i] = char(i * 7);
    const struct {
        QByteArray write, ack;
        int read, offset;
        QByteArray stored;
    } cases[] = {
        {request(0x07, hex("012322")), hex("3C07F8"), 0xBB, 0, hex("0123")},
        {request(0x0E, hex("AA06AC0000")), hex("3C0EF1"), 0xB8, 0, hex("06AC00")},
        {request(0x15, modes), hex("3C15EA"), 0xBD, 20, modes},
        {request(0x16, base), hex("3C16E9"), 0xBF, 0, base}, {request(0x17, active), hex("3C17E8"), 0xBF, 10, active},
        {request(0x0A, t), hex("3C0AF5"), 0xA8, 0, t}, {request(0x0B, t), hex("3C0BF4"), 0xA9, 0, t},
        {request(0x0C, t), hex("3C0CF3"), 0xAA, 0, t}, {request(0x0D, t), hex("3C0DF2"), 0xAB, 0, t},
    };
    for (const auto& c : cases) {
        sim_bench b;
        const QByteArray expected = patched(b.ask(command(quint8(c.read))), 3 + c.offset, c.stored);
        QCOMPARE(b.ask(c.write), c.ack);
        QCOMPARE(b.ask(command(quint8(c.read))), expected);
    }
}

void tst_sim_requests::requests_that_get_no_answer()
{
    sim_bench b;
    // Bad checksum, unknown type and command, a command of two bytes, wrong check bytes (scaler,
    // delay), a table a byte short, no output 5, a live switch neither on nor off.
    const QByteArray ignored[] = {
        hex("C3050001B672"), request(0x09, hex("01")), command(0xB0), request(0x05, hex("B6B6")),
        request(0x0E, hex("AA04AF0000")), request(0x07, hex("012323")), request(0x0A, QByteArray(639, 0)),
        request(0x08, hex("05")), request(0x13, hex("54")),
    };
    for (const QByteArray& r : ignored)
        QVERIFY2(b.ask(r).isEmpty(), r.toHex().constData());
    QVERIFY(!b.unit.streaming());
    QVERIFY(b.unit.memory() == sim_memory());
    // A length no request has: the reader hunts on and still answers the frame behind it.
    QCOMPARE(b.ask(hex("C305FFFF") + hex("C3050001B671")), hex("3C05FA0175"));
}

void tst_sim_requests::eeprom_file_round_trip_and_damage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("unit.eeprom");
    const QByteArray table = sim_memory().tables[sim_memory::main]; // into GPO2
    sim_bench b;
    QCOMPARE(b.ask(request(0x0D, table)), hex("3C0DF2"));
    QCOMPARE(b.ask(request(0x0E, hex("AA06AC0000"))), hex("3C0EF1"));
    QVERIFY(b.unit.memory().save(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.startsWith("# RV8 virtual unit EEPROM\ngpi1_state 00\ngpi2_state 00\nrpm_scaler 06ac00\n"));
    QVERIFY(text.endsWith("\ntable_gpo2 " + table.toHex() + "\n"));
    sim_bench after;
    QVERIFY(after.unit.memory().load(path));
    QCOMPARE(after.ask(command(0xAB)), hex("3C05FA") + table);
    QCOMPARE(after.ask(command(0xB8)), hex("3C05FA06AC00"));

    const QByteArray gpo1 = "table_gpo1 " + sim_memory().tables[2].toHex();
    const int map_cal = text.indexOf("map_cal"), map_cal_end = text.indexOf('\n', map_cal) + 1;
    const QPair<QByteArray, QString> damaged[] = {
        {QByteArray(text).replace(gpo1, gpo1.left(gpo1.size() - 2)), "table_gpo1: 639 bytes, expected 640"},
        {QByteArray(text).remove(map_cal, map_cal_end - map_cal), "map_cal: 0 bytes, expected 28"},
        {text + "rubbish\n", "malformed line: rubbish"},
    };
    sim_memory m;
    QString error;
    for (const auto& d : damaged) {
        QFile w(path);
        QVERIFY(w.open(QIODevice::WriteOnly | QIODevice::Truncate) && w.write(d.first) == d.first.size());
        w.close();
        QVERIFY(!m.load(path, &error));
        QCOMPARE(error, d.second);
    }
    QVERIFY(m == sim_memory()); // a refused file changes nothing
}

QTEST_GUILESS_MAIN(tst_sim_requests)
#include "tst_sim_requests.moc"
