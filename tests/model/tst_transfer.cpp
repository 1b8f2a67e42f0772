// Settings travel to and from a virtual unit over the real worker and driver layer; what the unit
// received is checked in its memory and in the frames written to it.

#include "device/rv8.h"
#include "model/rv8_vars.h"
#include "tests/device/virtual_bench.h"
#include "tests/support/log_capture.h"

#include <QtTest>

namespace {

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

quint8 xor_of(const QByteArray& b, int count)
{
    quint8 x = 0;
    for (int k = 0; k < count; ++k)
        x ^= quint8(b[k]);
    return x;
}

// A table whose checksum holds, different for every seed.
QByteArray sealed_table(int seed)
{
    QByteArray t(640, 0);
    for (int k = 0; k < 639; ++k)
        t[k] = char((k * 13 + seed * 29) & 0xFF);
    t[639] = char(xor_of(t, 639));
    return t;
}

QByteArray frame(quint8 type, const QByteArray& payload)
{
    QByteArray f;
    f.append(char(0xC3));
    f.append(char(type));
    f.append(char(payload.size() >> 8));
    f.append(char(payload.size() & 0xFF));
    f.append(payload);
    f.append(char(xor_of(f, f.size())));
    return f;
}

const int io_members[] = {int_main_mode,      int_aux_mode,         int_gpo1_mode,      int_gpo2_mode,
                          int_gpi1_mode,      int_gpi1_request,     int_gpi2_mode,      int_gpi2_request,
                          int_gpi1_act_delay, int_gpi1_deact_delay, int_gpi2_act_delay, int_gpi2_deact_delay};

}  // namespace

class tst_transfer : public QObject {
    Q_OBJECT

    virtual_bench* bench = nullptr;
    std::shared_ptr<virtual_device> device;
    rv8_worker* worker = nullptr;

    template <typename F>
    void inject(F&& f)
    {
        configure(device, std::forward<F>(f));
    }

    sim_memory memory()
    {
        sim_memory copy;
        inject([&](sim_unit& unit, virtual_faults&) { copy = unit.memory(); });
        return copy;
    }

    // Frames written to the unit apart from the identity queries of opening.
    QList<QByteArray> sent() { return device->writes(); }

private slots:
    void init();
    void cleanup();

    void full_read_fills_every_value();
    void unprogrammed_delays_read_as_zero();
    void gpi_state_sign_extends();
    void io_modes_marker_fails_after_first_steps();
    void map_cal_marker_fails_after_io_modes();
    void table_checksum_error_keeps_earlier_tables();
    void read_from_closed_link();

    void rpm_scaler_payload();
    void pump_prime_delay_payload();
    void io_modes_block();
    void map_calibration_blocks();
    void table_payload();
    void incomplete_groups_send_nothing();
    void members_without_trigger_send_nothing();
    void entries_never_sent_are_reported();
    void failed_second_table_reported_alone();
    void uninitialised_model_writes_nothing();
    void full_write_then_read_returns_same_values();
};

void tst_transfer::init()
{
    bench = new virtual_bench;
    device = bench->add_unit();
    worker = new rv8_worker;
    worker->open();
    QVERIFY(worker->is_open());
    device->clear_writes();
}

void tst_transfer::cleanup()
{
    delete worker;
    device.reset();
    delete bench;
}

void tst_transfer::full_read_fills_every_value()
{
    inject([](sim_unit& unit, virtual_faults&) {
        sim_memory& m = unit.memory();
        m.gpi1_state = 1;
        m.gpi2_state = 0;
        m.set_rpm_scaler(6);
        m.pump_prime_delay = QByteArray::fromHex("0457");
        m.io_modes.replace(20, 18, QByteArray::fromHex("0102030405a1b2060708090a0b0c0d0e0f10"));
        m.map_cal.replace(0, 22, QByteArray::fromHex("11223344556677880102a1a2a3a4b1b2b3b40304c5c6"));
        for (int t = 0; t < 4; ++t)
            m.tables[size_t(t)] = sealed_table(t + 1);
    });
    rv8_vars vars(worker);
    log_capture log;
    QCOMPARE(vars.rv8_to_vars(), FT_STATUS(FT_OK));
    QVERIFY(log.texts(QtCriticalMsg).isEmpty());
    QVERIFY(log.texts(QtWarningMsg).isEmpty());
    const model_values m = values_of(vars);

    QList<unsigned int> expected;
    for (int i = 0; i < int_last; ++i)
        expected.append(0);
    expected[int_gpi1_state] = 1;
    expected[int_rpm_scaler] = 6;
    expected[int_pump_prime_delay] = 0x0457;
    expected[int_main_mode] = 0x01;
    expected[int_aux_mode] = 0x02;
    expected[int_gpo1_mode] = 0x03;
    expected[int_gpo2_mode] = 0x04;
    expected[int_gpi1_mode] = 0x05;
    expected[int_gpi1_request] = 0xA1B2;
    expected[int_gpi2_mode] = 0x06;
    expected[int_gpi2_request] = 0x0708;
    expected[int_gpi1_act_delay] = 0x090A;
    expected[int_gpi1_deact_delay] = 0x0B0C;
    expected[int_gpi2_act_delay] = 0x0D0E;
    expected[int_gpi2_deact_delay] = 0x0F10;
    expected[int_base_slope] = 0x11223344;
    expected[int_base_intercept] = 0x55667788;
    expected[int_base_atm] = 0x0102;
    expected[int_active_slope] = 0xA1A2A3A4;
    expected[int_active_intercept] = 0xB1B2B3B4;
    expected[int_active_atm] = 0x0304;
    expected[int_active_deadband] = 0xC5C6;
    QCOMPARE(m.ints, expected);
    for (int t = 0; t < 4; ++t)
        QCOMPARE(m.tables[t], sealed_table(t + 1));
    QVERIFY(m.tables[tbl_wide_band].isEmpty() && m.tables[tbl_afr].isEmpty());
    QVERIFY(vars.is_initialized());
    QVERIFY(vars.pending_ints().isEmpty() && vars.pending_tables().isEmpty());

    const QStringList frames = {"c3050001b374", "c3050001b473", "c3050001b87f", "c3050001bb7c", "c3050001bd7a",
                                "c3050001bf78", "c3050001a86f", "c3050001a96e", "c3050001aa6d", "c3050001ab6c"};
    QStringList written;
    for (const QByteArray& w : sent())
        written << QString(w.toHex());
    QCOMPARE(written, frames);
}

void tst_transfer::unprogrammed_delays_read_as_zero()
{
    inject([](sim_unit& unit, virtual_faults&) {
        unit.memory().io_modes.replace(30, 8, QByteArray::fromHex("fffffffe0000ffff"));
        unit.memory().io_modes.replace(25, 2, QByteArray::fromHex("ffff"));
    });
    rv8_vars vars(worker);
    QCOMPARE(vars.rv8_to_vars(), FT_STATUS(FT_OK));
    const model_values m = values_of(vars);
    QCOMPARE(m.ints[int_gpi1_act_delay], 0u);
    QCOMPARE(m.ints[int_gpi1_deact_delay], 0xFFFEu);
    QCOMPARE(m.ints[int_gpi2_act_delay], 0u);
    QCOMPARE(m.ints[int_gpi2_deact_delay], 0u);
    QCOMPARE(m.ints[int_gpi1_request], 0xFFFFu);  // only delays mean "unprogrammed"
}

void tst_transfer::gpi_state_sign_extends()
{
    inject([](sim_unit& unit, virtual_faults&) {
        unit.memory().gpi1_state = 0x80;
        unit.memory().gpi2_state = 0x01;
    });
    rv8_vars vars(worker);
    QCOMPARE(vars.rv8_to_vars(), FT_STATUS(FT_OK));
    QCOMPARE(values_of(vars).ints[int_gpi1_state], 0xFFFFFF80u);
    QCOMPARE(values_of(vars).ints[int_gpi2_state], 1u);
}

void tst_transfer::io_modes_marker_fails_after_first_steps()
{
    QByteArray io;
    inject([&](sim_unit& unit, virtual_faults&) {
        unit.faults().corrupt_io_modes_marker = true;
        unit.memory().set_rpm_scaler(9);
        unit.memory().io_modes[20] = char(0x42);
        io = unit.memory().io_modes;
    });
    io[19] = 0;
    rv8_vars vars(worker);
    log_capture log;
    QCOMPARE(vars.rv8_to_vars(), FT_STATUS(FT_IO_ERROR));
    QCOMPARE(log.texts(QtCriticalMsg),
             QStringList({"Mode data from RV8-SX incorrect, try reading again!", QString(io.toHex())}));
    const model_values m = values_of(vars);
    QCOMPARE(m.ints[int_rpm_scaler], 9u);
    QCOMPARE(m.ints[int_main_mode], 0u);
    QVERIFY(!vars.is_initialized());
    QCOMPARE(sent().size(), 5);
}

void tst_transfer::map_cal_marker_fails_after_io_modes()
{
    QByteArray cal;
    inject([&](sim_unit& unit, virtual_faults&) {
        unit.faults().corrupt_map_cal_marker = true;
        unit.memory().io_modes[21] = char(0x07);
        unit.memory().map_cal[9] = char(0x33);
        cal = unit.memory().map_cal;
    });
    cal[23] = 0;
    rv8_vars vars(worker);
    log_capture log;
    QCOMPARE(vars.rv8_to_vars(), FT_STATUS(FT_IO_ERROR));
    QCOMPARE(log.texts(QtCriticalMsg),
             QStringList({"MAP cal data from RV8-SX incorrect, try reading again!", QString(cal.toHex())}));
    QCOMPARE(values_of(vars).ints[int_aux_mode], 7u);
    QCOMPARE(values_of(vars).ints[int_base_atm], 0u);
    QCOMPARE(sent().size(), 6);
}

void tst_transfer::table_checksum_error_keeps_earlier_tables()
{
    QByteArray gpo1;
    inject([&](sim_unit& unit, virtual_faults&) {
        for (int t = 0; t < 4; ++t)
            unit.memory().tables[size_t(t)] = sealed_table(t + 10);
        unit.faults().corrupt_table_checksum = 2;
        gpo1 = unit.memory().tables[2];
    });
    rv8_vars vars(worker);
    vars.set(QByteArray("kept"), tbl_gpo2);
    vars.remove_all_sets();
    log_capture log;
    QCOMPARE(vars.rv8_to_vars(), FT_STATUS(FT_IO_ERROR));
    const quint8 calc = xor_of(gpo1, 639);
    QCOMPARE(log.texts(QtWarningMsg),
             QStringList({QString("GPO1 duty table table read error from RV8-SX, try to read again! calc checksum=%1"
                                  "  read checksum=%2")
                              .arg(calc, 0, 16)
                              .arg(calc ^ 0x5A, 0, 16)}));
    const model_values m = values_of(vars);
    QCOMPARE(m.tables[tbl_aux], sealed_table(10));
    QCOMPARE(m.tables[tbl_main], sealed_table(11));
    QCOMPARE(m.tables[tbl_gpo1], QByteArray());
    QCOMPARE(m.tables[tbl_gpo2], QByteArray("kept"));
    QCOMPARE(sent().size(), 9);
}

void tst_transfer::read_from_closed_link()
{
    worker->close();
    device->clear_writes();
    rv8_vars vars(worker);
    QCOMPARE(vars.rv8_to_vars(), FT_STATUS(FT_DEVICE_NOT_OPENED));
    QVERIFY(!vars.is_initialized());
    QVERIFY(sent().isEmpty());
}

void tst_transfer::rpm_scaler_payload()
{
    rv8_vars vars(worker);
    vars.set(0x104, int_rpm_scaler);  // only the low byte travels
    QCOMPARE(vars.vars_to_rv8(), FT_STATUS(FT_OK));
    QCOMPARE(sent(), QList<QByteArray>({QByteArray::fromHex("c30e0005aa04ae0000c8")}));
    QCOMPARE(memory().rpm_scaler, QByteArray::fromHex("04ae00"));
    QVERIFY(vars.pending_ints().isEmpty());
}

void tst_transfer::pump_prime_delay_payload()
{
    rv8_vars vars(worker);
    vars.set(0x70123, int_pump_prime_delay);
    QCOMPARE(vars.vars_to_rv8(), FT_STATUS(FT_OK));
    QCOMPARE(sent(), QList<QByteArray>({QByteArray::fromHex("c3070003012322c7")}));
    QCOMPARE(memory().pump_prime_delay, QByteArray::fromHex("0123"));
}

void tst_transfer::io_modes_block()
{
    rv8_vars vars(worker);
    const quint32 values[] = {0x101, 0x02, 0x03, 0x04, 0x05, 0x1A1B2, 0x06, 0x0708, 0x090A, 0x0B0C, 0x0D0E, 0xFFFF};
    for (int k = 0; k < 12; ++k)
        vars.set(values[k], int_index(io_members[k]));
    log_capture log;
    QCOMPARE(vars.vars_to_rv8(), FT_STATUS(FT_OK));
    const QByteArray payload = QByteArray::fromHex("0102030405a1b2060708090a0b0c0d0effff");
    QCOMPARE(sent(), QList<QByteArray>({frame(0x15, payload)}));
    QCOMPARE(memory().io_modes.mid(20), payload);
    QCOMPARE(log.texts(QtDebugMsg).size(), 12);  // one "Set" per member
    QVERIFY(log.texts(QtDebugMsg).contains("Set Main mode"));
    QVERIFY(log.texts(QtCriticalMsg).isEmpty());
}

void tst_transfer::map_calibration_blocks()
{
    rv8_vars vars(worker);
    vars.set(0x11223344, int_base_slope);
    vars.set(0x55667788, int_base_intercept);
    vars.set(0xAB0102, int_base_atm);
    vars.set(0xA1A2A3A4, int_active_slope);
    vars.set(0xB1B2B3B4, int_active_intercept);
    vars.set(0x0304, int_active_atm);
    vars.set(0xC5C6, int_active_deadband);
    QCOMPARE(vars.vars_to_rv8(), FT_STATUS(FT_OK));
    const QByteArray base = QByteArray::fromHex("11223344556677880102");
    const QByteArray active = QByteArray::fromHex("a1a2a3a4b1b2b3b40304c5c6");
    QList<QByteArray> frames = sent();
    std::sort(frames.begin(), frames.end(), [](const QByteArray& a, const QByteArray& b) { return a[1] < b[1]; });
    QCOMPARE(frames, QList<QByteArray>({frame(0x16, base), frame(0x17, active)}));
    QCOMPARE(memory().map_cal.left(22), base + active);
}

void tst_transfer::table_payload()
{
    rv8_vars vars(worker);
    vars.set(sealed_table(77), tbl_gpo2);
    QCOMPARE(vars.vars_to_rv8(), FT_STATUS(FT_OK));
    QCOMPARE(sent(), QList<QByteArray>({frame(0x0D, sealed_table(77))}));
    QCOMPARE(sent().first().left(4), QByteArray::fromHex("c30d0280"));
    QCOMPARE(memory().tables[3], sealed_table(77));
    QVERIFY(vars.pending_tables().isEmpty());
}

void tst_transfer::incomplete_groups_send_nothing()
{
    const sim_memory before = memory();
    rv8_vars vars(worker);
    for (int member : io_members) {
        if (member != int_gpi2_deact_delay)
            vars.set(1, int_index(member));
    }
    vars.set(5, int_base_atm);
    vars.set(5, int_base_slope);
    vars.set(5, int_active_deadband);
    vars.set(5, int_active_slope);
    vars.set(5, int_active_intercept);
    log_capture log;
    QCOMPARE(vars.vars_to_rv8(), FT_STATUS(FT_OK));
    QVERIFY(sent().isEmpty());
    QVERIFY(memory() == before);
    QStringList criticals = log.texts(QtCriticalMsg);
    criticals.sort();
    QCOMPARE(criticals, QStringList({"Do not have all the values needed when setting the IO modes",
                                     "Do not have all the values needed when setting the active MAP cal",
                                     "Do not have all the values needed when setting the base MAP cal"}));
    QVERIFY(vars.pending_ints().isEmpty());
}

void tst_transfer::members_without_trigger_send_nothing()
{
    rv8_vars vars(worker);
    for (int member : io_members) {
        if (member != int_main_mode)
            vars.set(1, int_index(member));
    }
    vars.set(2, int_min_boost);
    vars.set(3, int_gui_version);
    log_capture log;
    QCOMPARE(vars.vars_to_rv8(), FT_STATUS(FT_OK));
    QVERIFY(sent().isEmpty());
    QCOMPARE(log.entries().size(), 13);
    QCOMPARE(log.texts(QtDebugMsg).size(), 13);
    QVERIFY(log.texts(QtDebugMsg).contains("Set GPI2 deact delay"));
}

void tst_transfer::entries_never_sent_are_reported()
{
    rv8_vars vars(worker);
    vars.set(1, int_boost_step);
    vars.set(1, int_gpi2_state);
    vars.set(QByteArray("x"), tbl_wide_band);
    vars.set(adc_trim{false, 2}, trim_map);
    log_capture log;
    QCOMPARE(vars.vars_to_rv8(), FT_STATUS(FT_OK));
    QVERIFY(sent().isEmpty());
    QStringList warnings = log.texts(QtWarningMsg);
    warnings.sort();
    QCOMPARE(warnings, QStringList({"ADC trims set not implemented for MAP trim 1",
                                    "Ints set not implemented for GPI2 state 12",
                                    "Ints set not implemented for boost step 2",
                                    "Tables set not implemented for Wide Band duty table 4"}));
    QStringList debug = log.texts(QtDebugMsg);
    debug.sort();
    QCOMPARE(debug, QStringList({"Set GPI2 state", "Set MAP trim", "Set Wide Band duty table", "Set boost step"}));
    QVERIFY(vars.pending_tables().isEmpty() && vars.pending_ints().isEmpty() && vars.pending_trims().isEmpty());
}

void tst_transfer::failed_second_table_reported_alone()
{
    rv8_vars vars(worker);
    vars.set(sealed_table(1), tbl_aux);
    vars.set(sealed_table(2), tbl_main);
    // The second table frame goes nowhere: the driver fails that write.
    inject([](sim_unit&, virtual_faults& faults) { faults.fail(d2xx_call::write, FT_IO_ERROR, 1, 1); });
    log_capture log;
    QCOMPARE(vars.vars_to_rv8(), FT_STATUS(FT_IO_ERROR));
    QStringList order;
    for (const QString& line : log.texts(QtDebugMsg)) {
        if (line.startsWith("Set "))
            order << line.mid(4);
    }
    QCOMPARE(order.size(), 2);
    const int second = table_names.indexOf(order[1]);
    QCOMPARE(log.texts(QtWarningMsg), QStringList({QString("Could not set %1 %2").arg(order[1]).arg(second)}));
    const int first = table_names.indexOf(order[0]);
    QCOMPARE(memory().tables[size_t(first)], sealed_table(first + 1));
    QVERIFY(memory().tables[size_t(second)] != sealed_table(second + 1));
    QVERIFY(vars.pending_tables().isEmpty());
}

void tst_transfer::uninitialised_model_writes_nothing()
{
    rv8_vars vars(worker);
    log_capture log;
    QCOMPARE(vars.vars_to_rv8(), FT_STATUS(FT_OTHER_ERROR));
    QCOMPARE(log.texts(QtCriticalMsg),
             QStringList({"Internal error: vars were not initialized prior to trying to write to the device"}));
    QVERIFY(sent().isEmpty());
}

void tst_transfer::full_write_then_read_returns_same_values()
{
    rv8_vars written(worker);
    for (int t = 0; t < 4; ++t)
        written.set(sealed_table(t + 40), table_index(t));
    const int members[] = {int_rpm_scaler,    int_pump_prime_delay, int_base_slope,      int_base_intercept,
                           int_base_atm,      int_active_slope,     int_active_intercept, int_active_atm,
                           int_active_deadband};
    for (int i : members)
        written.set(quint32(0x3000 + i * 3), int_index(i));
    for (int i : io_members)
        written.set(quint32(i < int_gpi1_request || i == int_gpi2_mode ? i : 0x1200 + i), int_index(i));
    QCOMPARE(written.vars_to_rv8(), FT_STATUS(FT_OK));

    rv8_vars read(worker);
    QCOMPARE(read.rv8_to_vars(), FT_STATUS(FT_OK));
    const model_values a = values_of(written), b = values_of(read);
    for (int t = 0; t < 4; ++t)
        QCOMPARE(b.tables[t], a.tables[t]);
    QCOMPARE(b.ints[int_rpm_scaler], a.ints[int_rpm_scaler] & 0xFF);
    for (int i : members) {
        if (i != int_rpm_scaler)
            QCOMPARE(b.ints[i], a.ints[i]);
    }
    for (int i : io_members)
        QCOMPARE(b.ints[i], a.ints[i]);
}

QTEST_GUILESS_MAIN(tst_transfer)
#include "tst_transfer.moc"
