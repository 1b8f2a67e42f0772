// Requests in, exact bytes out: the application firmware's replies and what its writes store.

#include "sim_test_bench.h"

#include <QtTest>

class tst_sim_requests : public QObject {
    Q_OBJECT

private slots:
    void identity_answers_version_and_variant();
    void byte_and_word_reads_follow_the_header();
    void blocks_carry_markers_and_tables_checksums();
    void default_tables_are_usable();
    void every_write_type_is_acknowledged_with_its_header();
    void writes_come_back_byte_for_byte();
    void split_and_joined_frames();
    void requests_that_get_no_answer();
    void stale_partial_frame_is_abandoned();
    void overrides_hold_until_reset();
    void map_sample_is_near_atmosphere();
};

void tst_sim_requests::identity_answers_version_and_variant()
{
    sim_bench b;
    QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05FA0175"));
    QCOMPARE(b.ask(hex("C3050001C106")), hex("3C05FAAA"));

    sim_config old;
    old.fw_version = 0x0160;
    old.variant_byte = 0x55;
    sim_bench s(old);
    QCOMPARE(s.ask(hex("C3050001B671")), hex("3C05FA0160"));
    QCOMPARE(s.ask(hex("C3050001C106")), hex("3C05FA55"));
}

void tst_sim_requests::byte_and_word_reads_follow_the_header()
{
    sim_bench b;
    QCOMPARE(b.ask(hex("C3050001B374")), hex("3C05FA00"));
    QCOMPARE(b.ask(hex("C3050001B473")), hex("3C05FA00"));
    QCOMPARE(b.ask(hex("C3050001B87F")), hex("3C05FA04AE00"));
    QCOMPARE(b.ask(hex("C3050001BB7C")), hex("3C05FA0026"));
    QCOMPARE(b.ask(hex("C3050001B770")), hex("3C05FA"));

    b.unit.memory().gpi1_state = 0x80;
    QCOMPARE(b.ask(hex("C3050001B374")), hex("3C05FA80"));
}

void tst_sim_requests::blocks_carry_markers_and_tables_checksums()
{
    sim_bench b;
    const QByteArray io = b.ask(hex("C3050001BD7A"));
    QCOMPARE(io.size(), 3 + 38);
    QCOMPARE(io.left(3), hex("3C05FA"));
    QCOMPARE(io.mid(3 + 18, 2), hex("ABBA"));
    // main A1, aux B1, gpo1 D2, gpo2 E1, gpi1 51 request 03FF, gpi2 50 request 0, delays 8 8 and unprogrammed
    QCOMPARE(io.mid(3 + 20), hex("A1B1D2E15103FF50000000080008FFFFFFFF"));

    const QByteArray map = b.ask(hex("C3050001BF78"));
    QCOMPARE(map, hex("3C05FA") + hex("00003EFA" "0003646800DF" "00003EFA" "0003646800DF" "0030" "ABBA" "00000000"));

    for (int t = 0; t < 4; ++t) {
        const QByteArray r = b.ask(command(quint8(0xA8 + t)));
        QCOMPARE(r.size(), 643);
        QCOMPARE(r.left(3), hex("3C05FA"));
        const QByteArray table = r.mid(3);
        quint8 x = 0;
        for (int i = 0; i < 639; ++i)
            x ^= quint8(table[i]);
        QCOMPARE(quint8(table[639]), x);
        QCOMPARE(quint8(table[608]), quint8(0xCC));
        QCOMPARE(quint8(table[638]), quint8(t == 3 ? 0xA2 : 0xA1));
    }
}

void tst_sim_requests::default_tables_are_usable()
{
    sim_bench b;
    for (int t = 0; t < 4; ++t) {
        const QByteArray table = b.ask(command(quint8(0xA8 + t))).mid(3);
        const auto word = [&](int offset) { return quint8(table[offset]) << 8 | quint8(table[offset + 1]); };
        // Horizontal axis 0, 1000, 1500 ... 8000 RPM; vertical axis rising 10-bit counts.
        QCOMPARE(word(544), 0);
        QCOMPARE(word(546), 1000);
        QCOMPARE(word(574), 8000);
        for (int i = 1; i < 16; ++i) {
            QVERIFY(word(544 + 2 * i) > word(542 + 2 * i));
            QVERIFY(word(512 + 2 * i) > word(510 + 2 * i));
            QVERIFY(word(512 + 2 * i) <= 1023);
        }
        for (int cell = 0; cell < 256; ++cell)
            QVERIFY(word(2 * cell) <= 1023);
    }
    const QByteArray main = b.ask(hex("C3050001A96E")).mid(3);
    QCOMPARE(main.mid(512, 2), hex("00DE"));  // 0 PSI
    QCOMPARE(main.mid(542, 2), hex("02C2"));  // 30 PSI
    QCOMPARE(main.left(2), hex("0066"));      // 10 % at idle and no boost
    QCOMPARE(main.mid(510, 2), hex("03FF"));  // full duty at the top corner
}

void tst_sim_requests::every_write_type_is_acknowledged_with_its_header()
{
    sim_bench b;
    const struct {
        quint8 type;
        QByteArray payload;
        QByteArray ack;
    } cases[] = {
        {0x01, hex("0200"), hex("3C01FE")},
        {0x02, hex("0200"), hex("3C02FD")},
        {0x04, hex("0200"), hex("3C04FB")},
        {0x06, hex("0200"), hex("3C06F9")},
        {0x07, hex("012322"), hex("3C07F8")},
        {0x08, hex("01"), hex("3C08F7")},
        {0x0A, QByteArray(640, '\1'), hex("3C0AF5")},
        {0x0B, QByteArray(640, '\2'), hex("3C0BF4")},
        {0x0C, QByteArray(640, '\3'), hex("3C0CF3")},
        {0x0D, QByteArray(640, '\4'), hex("3C0DF2")},
        {0x0E, hex("AA04AE0000"), hex("3C0EF1")},
        {0x15, QByteArray(18, '\x11'), hex("3C15EA")},
        {0x16, QByteArray(10, '\x22'), hex("3C16E9")},
        {0x17, QByteArray(12, '\x33'), hex("3C17E8")},
        {0x13, hex("55"), hex("3C13EC")},
    };
    for (const auto& c : cases)
        QCOMPARE(b.ask(request(c.type, c.payload)).left(3), c.ack);
    QCOMPARE(b.ask(hex("C313000100D1")).left(3), hex("3C13EC"));
}

void tst_sim_requests::writes_come_back_byte_for_byte()
{
    sim_bench b;
    const QByteArray modes = hex("A2B3D1E0520123530456000100020003FFFF");
    QCOMPARE(b.ask(request(0x15, modes)), hex("3C15EA"));
    QCOMPARE(b.ask(hex("C3050001BD7A")).mid(3 + 20), modes);

    const QByteArray base = hex("00003F000003600000E0");
    const QByteArray active = hex("00004000000370000100002A");
    QCOMPARE(b.ask(request(0x16, base)), hex("3C16E9"));
    QCOMPARE(b.ask(request(0x17, active)), hex("3C17E8"));
    QCOMPARE(b.ask(hex("C3050001BF78")), hex("3C05FA") + base + active + hex("ABBA00000000"));

    QCOMPARE(b.ask(request(0x0E, hex("AA06AC0000"))), hex("3C0EF1"));
    QCOMPARE(b.ask(hex("C3050001B87F")), hex("3C05FA06AC00"));
    QCOMPARE(b.ask(request(0x07, hex("012322"))), hex("3C07F8"));
    QCOMPARE(b.ask(hex("C3050001BB7C")), hex("3C05FA0123"));

    QByteArray table(640, '\0');
    for (int i = 0; i < 640; ++i)
        table[i] = char(i * 7);
    QCOMPARE(b.ask(request(0x0C, table)), hex("3C0CF3"));
    QCOMPARE(b.ask(hex("C3050001AA6D")), hex("3C05FA") + table);
    QCOMPARE(b.unit.memory().tables[2], table);
}

void tst_sim_requests::split_and_joined_frames()
{
    sim_bench b;
    const QByteArray frame = hex("C3050001B671");
    QByteArray out;
    for (char c : frame)
        out += b.ask(QByteArray(1, c), b.now + 1);
    QCOMPARE(out, hex("3C05FA0175"));

    // Line noise before a frame, then three frames in one write: three replies in order.
    QCOMPARE(b.ask(hex("00FF3C") + hex("C3050001B671") + hex("C3050001C106") + request(0x08, hex("02"))),
             hex("3C05FA0175" "3C05FAAA" "3C08F7"));

    // A table write cut into uneven pieces.
    const QByteArray write = request(0x0B, QByteArray(640, '\x05'));
    QCOMPARE(b.ask(write.left(3)), QByteArray());
    QCOMPARE(b.ask(write.mid(3, 400)), QByteArray());
    QCOMPARE(b.ask(write.mid(403)), hex("3C0BF4"));
    QCOMPARE(b.unit.memory().tables[1], QByteArray(640, '\x05'));
}

void tst_sim_requests::requests_that_get_no_answer()
{
    sim_bench b;
    const sim_memory before = b.unit.memory();
    QCOMPARE(b.ask(hex("C3050001B672")), QByteArray());       // checksum off by one
    QCOMPARE(b.ask(request(0x09, hex("01"))), QByteArray());  // no such type
    QCOMPARE(b.ask(command(0xB0)), QByteArray());             // no such command
    QCOMPARE(b.ask(request(0x05, hex("B6B6"))), QByteArray()); // command of two bytes
    QCOMPARE(b.ask(request(0x0E, hex("AA04AF0000"))), QByteArray()); // scaler check byte wrong
    QCOMPARE(b.ask(request(0x0E, hex("AA04AE00"))), QByteArray());   // scaler too short
    QCOMPARE(b.ask(request(0x07, hex("012323"))), QByteArray());     // delay check byte wrong
    QCOMPARE(b.ask(request(0x15, QByteArray(17, '\0'))), QByteArray());
    QCOMPARE(b.ask(request(0x0A, QByteArray(639, '\0'))), QByteArray());
    QCOMPARE(b.ask(request(0x08, hex("05"))), QByteArray());   // no output 5
    QCOMPARE(b.ask(request(0x13, hex("54"))), QByteArray());
    QVERIFY(!b.unit.streaming());
    QVERIFY(b.unit.memory() == before);

    // A length no request has: the reader hunts on and still answers the frame behind it.
    QCOMPARE(b.ask(hex("C305FFFF") + hex("C3050001B671")), hex("3C05FA0175"));
}

void tst_sim_requests::stale_partial_frame_is_abandoned()
{
    sim_bench b;
    QCOMPARE(b.ask(hex("C30A0280"), 100), QByteArray()); // a table write that stops after its length
    QCOMPARE(b.ask(hex("C3050001B671"), 110), QByteArray()); // still taken as table bytes
    QCOMPARE(b.ask(hex("C3050001B671"), 2200), hex("3C05FA0175"));
}

void tst_sim_requests::overrides_hold_until_reset()
{
    sim_bench b;
    QCOMPARE(b.ask(request(0x02, hex("0200"))), hex("3C02FD"));
    QCOMPARE(b.ask(request(0x06, hex("03FF"))), hex("3C06F9"));
    QCOMPARE(b.unit.override_duty(sim_memory::main), 0x200);
    QCOMPARE(b.unit.override_duty(sim_memory::gpo2), 0x3FF);
    QCOMPARE(b.unit.override_duty(sim_memory::aux), -1);

    QCOMPARE(b.ask(request(0x08, hex("02"))), hex("3C08F7")); // output 2 is AUX: MAIN stays forced
    QCOMPARE(b.unit.override_duty(sim_memory::main), 0x200);
    QCOMPARE(b.ask(request(0x08, hex("01"))), hex("3C08F7"));
    QCOMPARE(b.unit.override_duty(sim_memory::main), -1);
    QCOMPARE(b.unit.override_duty(sim_memory::gpo2), 0x3FF);

    QCOMPARE(b.ask(hex("C3050001B770")), hex("3C05FA")); // a restart ends every override
    QCOMPARE(b.unit.override_duty(sim_memory::gpo2), -1);
}

void tst_sim_requests::map_sample_is_near_atmosphere()
{
    sim_bench b;
    bool varied = false;
    int first = -1;
    for (int i = 0; i < 20; ++i) {
        const QByteArray r = b.ask(hex("C3050001A265"));
        QCOMPARE(r.size(), 5);
        QCOMPARE(r.left(3), hex("3C05FA"));
        const int v = quint8(r[3]) << 8 | quint8(r[4]);
        QVERIFY2(v >= 222 && v <= 226, qPrintable(QString::number(v)));
        varied |= first >= 0 && v != first;
        if (first < 0)
            first = v;
    }
    QVERIFY(varied);
}

QTEST_GUILESS_MAIN(tst_sim_requests)
#include "tst_sim_requests.moc"
