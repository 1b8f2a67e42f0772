#include "device/rv8_protocol.h"

#include <QtTest>

using namespace rv8_protocol;

class tst_protocol : public QObject {
    Q_OBJECT

private slots:
    void worked_example()
    {
        QCOMPARE(build_frame(msg_command, QByteArray(1, char(0xB6))), QByteArray::fromHex("C3050001B671"));
    }

    void empty_payload()
    {
        for (quint8 type : {quint8(0x05), quint8(0x13), quint8(0x17)}) {
            const QByteArray f = build_frame(rv8_msg_type(type), {});
            const char expected[] = {char(0xC3), char(type), 0, 0, char(0xC3 ^ type)};
            QCOMPARE(f.toHex(), QByteArray(expected, 5).toHex());
        }
    }

    void length_is_big_endian()
    {
        const QByteArray f = build_frame(msg_set_main_table, QByteArray(640, '\x01'));
        QCOMPARE(f.size(), 645);
        QCOMPARE(quint8(f[2]), quint8(0x02));
        QCOMPARE(quint8(f[3]), quint8(0x80));
        QCOMPARE(quint8(f[644]), quint8(0xC3 ^ 0x0B ^ 0x02 ^ 0x80)); // 640 ones cancel out
    }

    void command_constants_data()
    {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<int>("code");
        QTest::newRow("map sample") << QByteArray(frame_read_map_sample) << 0xA2;
        QTest::newRow("aux table") << QByteArray(frame_read_aux_table) << 0xA8;
        QTest::newRow("gpi1") << QByteArray(frame_read_gpi1_state) << 0xB3;
        QTest::newRow("gpi2") << QByteArray(frame_read_gpi2_state) << 0xB4;
        QTest::newRow("fw version") << QByteArray(frame_read_fw_version) << 0xB6;
        QTest::newRow("reset") << QByteArray(frame_reset) << 0xB7;
        QTest::newRow("rpm scaler") << QByteArray(frame_read_rpm_scaler) << 0xB8;
        QTest::newRow("pump prime") << QByteArray(frame_read_pump_prime_delay) << 0xBB;
        QTest::newRow("io modes") << QByteArray(frame_read_io_modes) << 0xBD;
        QTest::newRow("map cal") << QByteArray(frame_read_map_cal) << 0xBF;
        QTest::newRow("bootloader") << QByteArray(frame_enter_bootloader) << 0xC0;
        QTest::newRow("variant") << QByteArray(frame_read_variant) << 0xC1;
    }

    void command_constants()
    {
        QFETCH(QByteArray, hex);
        QFETCH(int, code);
        const QByteArray f = frame(hex.constData());
        QCOMPARE(f, build_frame(msg_command, QByteArray(1, char(code))));
        QCOMPARE(quint8(f[5]), quint8(0xC7 ^ code));
    }

    void table_frames()
    {
        QCOMPARE(table_read_frame(0).toHex(), QByteArray("c3050001a86f"));
        QCOMPARE(table_read_frame(1).toHex(), QByteArray("c3050001a96e"));
        QCOMPARE(table_read_frame(2).toHex(), QByteArray("c3050001aa6d"));
        QCOMPARE(table_read_frame(3).toHex(), QByteArray("c3050001ab6c"));
    }

    void live_frames()
    {
        QCOMPARE(frame(frame_live_off), build_frame(msg_live_log, QByteArray(1, '\0')));
        QCOMPARE(build_frame(msg_live_log, QByteArray(1, char(live_on))).toHex(), QByteArray("c313000155" "84"));
    }

    void reply_header_complements_low_byte()
    {
        QCOMPARE(reply_header(msg_live_log).toHex(), QByteArray("3c13ec"));
        QCOMPARE(reply_header(msg_command).toHex(), QByteArray("3c05fa"));
    }
};

QTEST_GUILESS_MAIN(tst_protocol)
#include "tst_protocol.moc"
