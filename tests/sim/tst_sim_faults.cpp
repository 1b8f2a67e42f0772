// The live stream, the bootloader request and every reply fault, byte by byte.

#include "sim_test_bench.h"

#include <QtTest>

namespace {

QByteArray trailer(const QByteArray& record)
{
    return record.right(2);
}

} // namespace

class tst_sim_faults : public QObject {
    Q_OBJECT

private slots:
    void stream_runs_at_its_period_and_stops();
    void long_silence_loses_old_records();
    void unpaced_stream_gives_one_record_per_poll();
    void bad_trailer_and_backlog();
    void dropped_and_corrupt_headers();
    void late_truncated_and_padded_replies();
    void corrupt_blocks_leave_memory_intact();
    void bootloader_banner_follows_the_header();
    void banner_faults();
};

void tst_sim_faults::stream_runs_at_its_period_and_stops()
{
    sim_config c;
    c.live_period_ms = 10;
    sim_bench b(c);
    QCOMPARE(b.ask(hex("C31300015584"), 0).toHex(), hex("3C13EC").toHex());
    QCOMPARE(b.poll(9.9), QByteArray());
    const QByteArray three = b.poll(30);
    QCOMPARE(three.size(), 3 * 70);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(trailer(three.mid(70 * i, 70)), hex("AABB"));

    // Switching off answers after the records already due, and nothing follows.
    const QByteArray off = b.ask(hex("C313000100D1"), 45);
    QCOMPARE(off.size(), 70 + 3);
    QCOMPARE(off.right(3), hex("3C13EC"));
    QVERIFY(!b.unit.streaming());
    QCOMPARE(b.poll(500), QByteArray());

    // A restart switches the stream off as well.
    b.ask(hex("C31300015584"), 1000);
    QCOMPARE(b.ask(hex("C3050001B770"), 1005), hex("3C05FA"));
    QCOMPARE(b.poll(2000), QByteArray());
}

void tst_sim_faults::long_silence_loses_old_records()
{
    sim_config c;
    c.live_period_ms = 10;
    sim_bench b(c);
    b.ask(hex("C31300015584"), 0);
    QCOMPARE(b.poll(60000).size(), sim_unit::max_catch_up * 70);
    QCOMPARE(b.poll(60010).size(), 70);
}

void tst_sim_faults::unpaced_stream_gives_one_record_per_poll()
{
    sim_config c;
    c.live_period_ms = 0;
    sim_bench b(c);
    const QByteArray first = b.ask(hex("C31300015584"), 0); // the bench polls once after sending
    QCOMPARE(first.left(3), hex("3C13EC"));
    QCOMPARE(first.size(), 3 + 70);
    QCOMPARE(b.poll(0.5).size(), 70);
    QCOMPARE(b.poll(5000).size(), 70);
}

void tst_sim_faults::bad_trailer_and_backlog()
{
    sim_config c;
    c.live_period_ms = 10;
    sim_bench b(c);
    b.ask(hex("C31300015584"), 0);
    b.unit.faults().bad_live_trailer = true;
    const QByteArray two = b.poll(20);
    QCOMPARE(trailer(two.left(70)), hex("AABC"));
    QCOMPARE(trailer(two.mid(70)), hex("AABB"));
    QVERIFY(!b.unit.faults().bad_live_trailer);

    b.unit.faults().live_backlog = 3;
    QCOMPARE(b.poll(21).size(), 3 * 70);
    QCOMPARE(b.unit.faults().live_backlog, 0);
    QCOMPARE(b.poll(22).size(), 0);
}

void tst_sim_faults::dropped_and_corrupt_headers()
{
    sim_bench b;
    b.unit.faults().drop_replies = 2;
    b.unit.faults().corrupt_headers = 1;
    QCOMPARE(b.ask(hex("C3050001B671")), QByteArray());
    QCOMPARE(b.ask(request(0x13, hex("00"))), QByteArray());
    QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05050175"));
    QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05FA0175"));

    // A write whose acknowledgement is garbled was still carried out, as on a noisy cable.
    b.unit.faults().corrupt_headers = 1;
    QCOMPARE(b.ask(request(0x0E, hex("AA08A20000"))), hex("3C0E0E"));
    QCOMPARE(b.ask(hex("C3050001B87F")), hex("3C05FA08A200"));
}

void tst_sim_faults::late_truncated_and_padded_replies()
{
    sim_bench b;
    b.unit.faults().late_replies = 1;
    b.unit.faults().late_by_ms = 2500;
    QCOMPARE(b.ask(hex("C3050001B671"), 1000), QByteArray());
    QCOMPARE(b.poll(3499), QByteArray());
    QCOMPARE(b.poll(3500), hex("3C05FA0175"));
    QCOMPARE(b.ask(hex("C3050001B671"), 3600), hex("3C05FA0175"));

    // A late reply and a prompt one keep their send order.
    b.unit.faults().late_replies = 1;
    b.unit.faults().late_by_ms = 50;
    QCOMPARE(b.ask(hex("C3050001B671"), 4000), QByteArray());
    QCOMPARE(b.ask(hex("C3050001C106"), 4010), hex("3C05FAAA"));
    QCOMPARE(b.poll(4100), hex("3C05FA0175"));

    b.unit.faults().truncate_next_reply = 2;
    QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05"));
    QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05FA0175"));

    // Extra bytes follow a command reply only, and only once.
    b.unit.faults().extra_after_command = hex("1234");
    QCOMPARE(b.ask(request(0x08, hex("01"))), hex("3C08F7"));
    QCOMPARE(b.ask(hex("C3050001C106")), hex("3C05FAAA1234"));
    QCOMPARE(b.ask(hex("C3050001C106")), hex("3C05FAAA"));
}

void tst_sim_faults::corrupt_blocks_leave_memory_intact()
{
    sim_bench b;
    sim_faults& f = b.unit.faults();
    f.corrupt_io_modes_marker = true;
    f.corrupt_map_cal_marker = true;
    f.corrupt_table_checksum = 2;
    f.corrupt_table_marker = 0;
    QCOMPARE(b.ask(hex("C3050001BD7A")).mid(3 + 18, 2), hex("AB00"));
    QCOMPARE(b.ask(hex("C3050001BF78")).mid(3 + 22, 2), hex("AB00"));

    const QByteArray gpo1 = b.ask(hex("C3050001AA6D")).mid(3);
    QCOMPARE(gpo1.left(639), b.unit.memory().tables[2].left(639));
    QVERIFY(gpo1[639] != b.unit.memory().tables[2][639]);

    const QByteArray aux = b.ask(hex("C3050001A86F")).mid(3);
    QCOMPARE(quint8(aux[608]), quint8(0));
    quint8 x = 0;
    for (int i = 0; i < 639; ++i)
        x ^= quint8(aux[i]);
    QCOMPARE(quint8(aux[639]), x);

    QCOMPARE(b.unit.memory().io_modes.mid(18, 2), hex("ABBA"));
    QCOMPARE(quint8(b.unit.memory().tables[0][608]), quint8(0xCC));
    QCOMPARE(b.ask(hex("C3050001A96E")).mid(3), b.unit.memory().tables[1]);
}

void tst_sim_faults::bootloader_banner_follows_the_header()
{
    sim_config c;
    c.banner_delay_ms = 20;
    sim_bench b(c);
    b.ask(hex("C31300015584"), 0);
    QCOMPARE(b.ask(hex("C3050001C007"), 5), hex("3C05FA"));
    QVERIFY(b.unit.in_bootloader());
    QVERIFY(!b.unit.streaming());
    QCOMPARE(b.poll(24), QByteArray());
    QCOMPARE(b.poll(25), QByteArray("\r\nRV8 boot v2.1\r\n"));

    // Application requests mean nothing to the bootloader.
    QCOMPARE(b.ask(hex("C3050001B671"), 200), QByteArray());
    QCOMPARE(b.ask(hex("C3050001B770"), 300), QByteArray());
    QVERIFY(b.unit.in_bootloader());

    b.unit.power_cycle(b.at(400));
    QVERIFY(!b.unit.in_bootloader());
    QCOMPARE(b.ask(hex("C3050001B671"), 410), hex("3C05FA0175"));
}

void tst_sim_faults::banner_faults()
{
    {
        sim_bench b;
        b.unit.faults().banner = sim_faults::banner_fault::missing;
        QCOMPARE(b.ask(hex("C3050001C007"), 0), hex("3C05FA"));
        QCOMPARE(b.poll(1000), QByteArray());
        QVERIFY(!b.unit.in_bootloader());
        QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05FA0175"));
    }
    {
        sim_bench b;
        b.unit.faults().banner = sim_faults::banner_fault::v_last;
        b.ask(hex("C3050001C007"), 0);
        const QByteArray banner = b.poll(1000);
        QCOMPARE(banner.indexOf('v'), banner.size() - 1);
        QVERIFY(b.unit.in_bootloader());
    }
    {
        sim_bench b;
        b.unit.faults().banner = sim_faults::banner_fault::v_not_digit;
        b.ask(hex("C3050001C007"), 0);
        const QByteArray banner = b.poll(1000);
        const int v = banner.indexOf('v');
        QVERIFY(v >= 0 && v + 1 < banner.size());
        QVERIFY(!QChar(banner[v + 1]).isDigit());
    }
}

QTEST_GUILESS_MAIN(tst_sim_faults)
#include "tst_sim_faults.moc"
