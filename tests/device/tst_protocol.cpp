#include "device/rv8_protocol.h"

#include <QtTest>

using namespace rv8_protocol;

class tst_protocol : public QObject {
    Q_OBJECT

private slots:
    void frames()
    {
        QCOMPARE(build_frame(msg_command, QByteArray(1, char(0xB6))).toHex(), QByteArray("c3050001b671"));
        QCOMPARE(build_frame(msg_live_log, {}).toHex(), QByteArray("c3130000d0"));
        QCOMPARE(build_frame(msg_live_log, QByteArray(1, char(live_on))).toHex(), QByteArray("c313000155" "84"));
        QCOMPARE(frame(frame_live_off), build_frame(msg_live_log, QByteArray(1, '\0')));
        const QByteArray table = build_frame(msg_set_main_table, QByteArray(640, '\x01'));
        QCOMPARE(table.left(4).toHex(), QByteArray("c30b0280"));   // length high byte first
        QCOMPARE(quint8(table[644]), quint8(0xC3 ^ 0x0B ^ 0x02 ^ 0x80)); // 640 ones cancel out
        QCOMPARE(reply_header(msg_live_log).toHex(), QByteArray("3c13ec"));
    }

    void command_constants()
    {
        const QList<QPair<const char*, int>> constants = {
            {frame_read_map_sample, 0xA2}, {frame_read_aux_table, 0xA8},   {frame_read_gpi1_state, 0xB3},
            {frame_read_gpi2_state, 0xB4}, {frame_read_fw_version, 0xB6},  {frame_reset, 0xB7},
            {frame_read_rpm_scaler, 0xB8}, {frame_read_pump_prime_delay, 0xBB}, {frame_read_io_modes, 0xBD},
            {frame_read_map_cal, 0xBF},    {frame_enter_bootloader, 0xC0}, {frame_read_variant, 0xC1},
        };
        for (const auto& c : constants) {
            const QByteArray f = frame(c.first);
            QCOMPARE(f, build_frame(msg_command, QByteArray(1, char(c.second))));
            QCOMPARE(quint8(f[5]), quint8(0xC7 ^ c.second));
        }
        QCOMPARE(table_read_frame(1).toHex(), QByteArray("c3050001a96e"));
        QCOMPARE(table_read_frame(2).toHex(), QByteArray("c3050001aa6d"));
        QCOMPARE(table_read_frame(3).toHex(), QByteArray("c3050001ab6c"));
    }
};

QTEST_GUILESS_MAIN(tst_protocol)
#include "tst_protocol.moc"
