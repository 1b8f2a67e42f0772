// Settings travel to and from a virtual unit over the real worker and driver layer; what the unit
// received is checked in its memory and in the frames written to it.

#include "device/rv8_protocol.h"
#include "model/write_group.h"
#include "tests/device/tst_worker_rig.h"
#include "tests/model/model_values.h"
#include "tests/support/log_capture.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

// The members come in int_index order, as their bytes travel; the exact frames pin them.
const QList<int_index> io_members = group_members(g_io_modes);
const QList<int_index> map_members = group_members(g_base_map_cal) + group_members(g_active_map_cal);

// A worker opened on a unit of the virtual bus, and a model using that worker.
struct rig : worker_rig {
    rv8_vars vars{worker.get()};
};

}  // namespace

class tst_transfer : public QObject {
    Q_OBJECT

private slots:
    void full_read_fills_every_value()
    {
        rig r;
        configure(r.device, [](sim_unit& unit, virtual_faults&) {
            sim_memory& m = unit.memory();
            m.gpi1_state = 0x80;
            m.gpi2_state = 1;
            m.set_rpm_scaler(6);
            m.pump_prime_delay = hex("0457");
            // 0xFFFF means an unprogrammed delay; a request may hold it.
            m.io_modes.replace(20, 18, hex("0102030405ffff060708fffffffe0d0effff"));
            m.map_cal.replace(0, 22, hex("11223344556677880102a1a2a3a4b1b2b3b40304c5c6"));
            for (int t = 0; t < 4; ++t)
                m.tables[size_t(t)] = sealed_table(t + 1);
        });
        log_capture log;
        QCOMPARE(r.vars.rv8_to_vars(), FT_STATUS(FT_OK));
        QVERIFY(log.texts(QtCriticalMsg).isEmpty() && log.texts(QtWarningMsg).isEmpty());
        const model_values m(r.vars);
        // In declaration order: scaler, prime delay, live values, GPI states, IO modes, MAP cal, limits, delays.
        const QList<unsigned int> expected = {6, 0x0457, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFFFFFF80, 1,
                                              1, 2, 3, 4, 5, 0xFFFF, 6, 0x0708,
                                              0x11223344, 0x55667788, 0x0102, 0xA1A2A3A4, 0xB1B2B3B4, 0x0304, 0xC5C6,
                                              0, 0, 0, 0, 0, 0, 0, 0, 0xFFFE, 0x0D0E, 0, 0, 0};
        QCOMPARE(m.ints, expected);
        QCOMPARE(m.tables,
                 QList<QByteArray>({sealed_table(1), sealed_table(2), sealed_table(3), sealed_table(4), {}, {}}));
        QVERIFY(r.vars.is_initialized() && r.vars.pending_ints().isEmpty() && r.vars.pending_tables().isEmpty());
        QList<QByteArray> requests;
        for (int code : {0xB3, 0xB4, 0xB8, 0xBB, 0xBD, 0xBF, 0xA8, 0xA9, 0xAA, 0xAB})
            requests << rv8_protocol::build_frame(msg_command, QByteArray(1, char(code)));
        QCOMPARE(r.device->writes(), requests);
    }

    // What was read before a bad block stays; the block and all after it do not.
    void read_failures_keep_what_came_before()
    {
        for (bool io : {true, false}) {
            rig r;
            QByteArray block;
            configure(r.device, [&](sim_unit& unit, virtual_faults&) {
                (io ? unit.faults().corrupt_io_modes_marker : unit.faults().corrupt_map_cal_marker) = true;
                unit.memory().set_rpm_scaler(9);
                unit.memory().io_modes[20] = char(0x42);
                unit.memory().map_cal[9] = char(0x33);
                block = io ? unit.memory().io_modes : unit.memory().map_cal;
            });
            block[io ? 19 : 23] = 0;
            log_capture log;
            QCOMPARE(r.vars.rv8_to_vars(), FT_STATUS(FT_IO_ERROR));
            QCOMPARE(log.texts(QtCriticalMsg),
                     QStringList({io ? "Mode data from RV8-SX incorrect, try reading again!"
                                     : "MAP cal data from RV8-SX incorrect, try reading again!",
                                  QString(block.toHex())}));
            const model_values m(r.vars);
            QCOMPARE(m.ints[int_rpm_scaler], 9u);
            QCOMPARE(m.ints[int_main_mode], io ? 0u : 0x42u);
            QCOMPARE(m.ints[int_base_atm], 0u);
            QVERIFY(!r.vars.is_initialized());
            QCOMPARE(r.device->writes().size(), io ? 5 : 6);
        }
        // So does a table whose checksum fails.
        rig r;
        configure(r.device, [&](sim_unit& unit, virtual_faults&) {
            for (int t = 0; t < 4; ++t)
                unit.memory().tables[size_t(t)] = sealed_table(t + 10);
            unit.faults().corrupt_table_checksum = 2;
        });
        r.vars.set(QByteArray("kept"), tbl_gpo2);
        r.vars.remove_all_sets();
        log_capture log;
        QCOMPARE(r.vars.rv8_to_vars(), FT_STATUS(FT_IO_ERROR));
        const quint8 calc = quint8(sealed_table(12)[639]);
        QCOMPARE(log.texts(QtWarningMsg),
                 QStringList({QString("GPO1 duty table table read error from RV8-SX, try to read again! "
                                      "calc checksum=%1  read checksum=%2")
                                  .arg(calc, 0, 16).arg(calc ^ 0x5A, 0, 16)}));
        const model_values m(r.vars);
        QCOMPARE(m.tables.mid(0, 4), QList<QByteArray>({sealed_table(10), sealed_table(11), {}, "kept"}));
        QCOMPARE(r.device->writes().size(), 9);
    }

    // A model neither read nor loaded sends nothing; then every group goes byte for byte, in the
    // fixed order: tables AUX, MAIN, GPO1, GPO2, then the integer blocks.
    void write_payloads()
    {
        rig r;
        log_capture log;
        QCOMPARE(r.vars.vars_to_rv8(), FT_STATUS(FT_OTHER_ERROR));
        QCOMPARE(log.texts(QtCriticalMsg),
                 QStringList({"Internal error: vars were not initialized prior to trying to write to the device"}));
        const quint32 map[] = {0x11223344, 0x55667788, 0xAB0102, 0xA1A2A3A4, 0xB1B2B3B4, 0x0304, 0xC5C6};
        for (int k = 6; k >= 0; --k)
            r.vars.set(map[k], map_members[k]);
        const quint32 io[] = {0x101, 0x02, 0x03, 0x04, 0x05, 0x1A1B2, 0x06, 0x0708, 0x090A, 0x0B0C, 0x0D0E, 0xFFFF};
        for (int k = 0; k < 12; ++k)
            r.vars.set(io[k], io_members[k]);
        r.vars.set(0x70123, int_pump_prime_delay);
        r.vars.set(0x104, int_rpm_scaler);  // only the low byte travels
        for (int t = tbl_gpo2; t >= tbl_aux; --t)
            r.vars.set(sealed_table(70 + t), table_index(t));
        QCOMPARE(r.vars.vars_to_rv8(), FT_STATUS(FT_OK));
        const QByteArray modes = hex("0102030405a1b2060708090a0b0c0d0effff");
        const QByteArray base = hex("11223344556677880102"), active = hex("a1a2a3a4b1b2b3b40304c5c6");
        using rv8_protocol::build_frame;
        QList<QByteArray> frames;
        for (int t = tbl_aux; t <= tbl_gpo2; ++t)
            frames << build_frame(rv8_msg_type(msg_set_aux_table + t), sealed_table(70 + t));
        frames << hex("c30e0005aa04ae0000c8") << hex("c3070003012322c7") << build_frame(msg_set_io_modes, modes)
               << build_frame(msg_set_base_map_cal, base) << build_frame(msg_set_active_map_cal, active);
        QCOMPARE(r.device->writes(), frames);
        QCOMPARE(r.vars.last_written(), (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
        QVERIFY(r.vars.last_not_written().isEmpty());
        QVERIFY(r.vars.pending_ints().isEmpty() && r.vars.pending_tables().isEmpty());
    }

    // A group missing a member is dropped with a word; entries the unit has no message for are
    // dropped with or without one.
    void entries_never_sent()
    {
        rig r;
        log_capture log;
        for (int_index member : io_members)
            r.vars.set(1, member == int_gpi2_deact_delay ? int_main_mode : member);
        for (int member : {int_base_atm, int_base_slope, int_active_deadband, int_active_slope, int_active_intercept})
            r.vars.set(5, int_index(member));
        QCOMPARE(r.vars.vars_to_rv8(), FT_STATUS(FT_OK));
        for (int_index member : io_members)
            r.vars.set(1, member == int_main_mode ? int_min_boost : member);
        r.vars.set(1, int_boost_step);
        r.vars.set(1, int_gpi2_state);
        r.vars.set(QByteArray("x"), tbl_wide_band);
        r.vars.set(adc_trim{false, 2}, trim_map);
        QCOMPARE(r.vars.vars_to_rv8(), FT_STATUS(FT_OK));
        QVERIFY(r.device->writes().isEmpty());
        QStringList criticals = log.texts(QtCriticalMsg), warnings = log.texts(QtWarningMsg);
        criticals.sort();
        warnings.sort();
        QCOMPARE(criticals, QStringList({"Do not have all the values needed when setting the IO modes",
                                         "Do not have all the values needed when setting the IO modes",
                                         "Do not have all the values needed when setting the active MAP cal",
                                         "Do not have all the values needed when setting the base MAP cal"}));
        QCOMPARE(warnings, QStringList({"ADC trims set not implemented for MAP trim 1",
                                        "Ints set not implemented for GPI2 state 12",
                                        "Ints set not implemented for boost step 2",
                                        "Tables set not implemented for Wide Band duty table 4"}));
        QVERIFY(r.vars.pending_tables().isEmpty() && r.vars.pending_ints().isEmpty());
        QVERIFY(r.vars.pending_trims().isEmpty());
    }

    // A lost link ends the write; a refused group does not. Unacknowledged groups stay pending.
    void write_failures_data()
    {
        QTest::addColumn<bool>("link_lost");
        QTest::addColumn<int>("sent");  // frames that reached the unit
        QTest::addColumn<QList<int>>("written");
        QTest::addColumn<QList<int>>("not_written");
        QTest::newRow("link lost") << true << 1 << QList<int>{g_aux_table} << QList<int>{g_main_table, g_pump_prime};
        QTest::newRow("refused") << false << 7 << QList<int>{g_aux_table, g_pump_prime} << QList<int>{g_main_table};
    }

    void write_failures()
    {
        QFETCH(bool, link_lost);
        rig r;
        r.vars.set(sealed_table(1), tbl_aux);
        r.vars.set(sealed_table(2), tbl_main);
        r.vars.set(9, int_pump_prime_delay);
        configure(r.device, [&](sim_unit&, virtual_faults& f) {
            f.strike_on = hex("c30b");
            f.strike = [link_lost](sim_unit* unit, virtual_faults& now) {
                link_lost ? now.fail(d2xx_call::write, FT_IO_ERROR) : void(unit->faults().corrupt_headers = 5);
            };
        });
        log_capture log;
        QCOMPARE(r.vars.vars_to_rv8(), FT_STATUS(FT_IO_ERROR));
        QVERIFY(log.has(QtWarningMsg, "Could not set MAIN duty table"));
        QTEST(r.device->writes().size(), "sent");
        QTEST(r.vars.last_written(), "written");
        QTEST(r.vars.last_not_written(), "not_written");
        QCOMPARE(r.vars.pending_tables(), QSet<table_index>{tbl_main});
        QCOMPARE(r.vars.pending_ints(), link_lost ? QSet<int_index>{int_pump_prime_delay} : QSet<int_index>());
        QCOMPARE(r.unit().memory().tables[0], sealed_table(1));
        QCOMPARE(r.unit().memory().tables[1] == sealed_table(2), !link_lost); // a refused write may still have landed
        QCOMPARE(r.worker->is_open(), !link_lost);
    }
};

QTEST_GUILESS_MAIN(tst_transfer)
#include "tst_transfer.moc"
