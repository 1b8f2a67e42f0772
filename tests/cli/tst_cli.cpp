// The brennix-cli program as a workshop runs it: a separate process, against the virtual unit and
// against rv8-sim on a pseudo-terminal, with its own home folder.

#include "cli/cli_failure.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/interrupt_watch.h"
#include "cli/unit_session.h"
#include "model/ids.h"
#include "model/restore_points.h"
#include "model/table_record.h"

#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <numeric>
#include <pthread.h>

class tst_cli : public QObject {
    Q_OBJECT

    struct result {
        int code;
        QString out;
        QString err;
    };

    QTemporaryDir home;
    QProcess sim;
    QString sim_port;

    QProcess* start(const QStringList& args)
    {
        auto* p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(BRENNIX_CLI_PATH), args);
        return p;
    }

    result finish(QProcess* p)
    {
        p->waitForFinished(60000);
        const result r{p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1,
                       QString::fromLocal8Bit(p->readAllStandardOutput()), QString::fromLocal8Bit(p->readAllStandardError())};
        delete p;
        return r;
    }

    result run(const QStringList& args) { return finish(start(args)); }

    QStringList unit(const QString& target)
    {
        if (target == QLatin1String("rv8-sim"))
            return {"--port", sim_port};
        return {"--virtual-unit", "--virtual-store", home.filePath(QStringLiteral("virtual.mem"))};
    }

    QString path(const QString& name) { return home.filePath(name); }

    static int data_rows(const QString& log)
    {
        QFile file(log);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        return QString::fromLatin1(file.readAll()).count(QRegularExpression(QStringLiteral("\n\\d{13},")));
    }

    // Edits a settings file the way a user's other tools would: through its own INI keys.
    static void edit(const QString& from, const QString& to, const std::function<void(QSettings&)>& change)
    {
        QFile::remove(to);
        QVERIFY(QFile::copy(from, to));
        QSettings file(to, QSettings::IniFormat);
        change(file);
    }

    static void set_word(QSettings& file, const QString& table, int at, quint16 value)
    {
        const QString key = QStringLiteral("rv8_vars/tables/") + table;
        QByteArray t = file.value(key).toByteArray();
        t[at] = char(value >> 8);
        t[at + 1] = char(value);
        t[639] = char(table_record::checksum_of(t.left(639)));
        file.setValue(key, t);
    }

    static void set_cell(QSettings& file, int row, int column, quint16 counts, const QString& table = "2/MAIN duty table")
    {
        set_word(file, table, table_record::cell_offset(row, column), counts);
    }

    // In this process, so that the virtual unit can be made to fail and its frames read.
    struct in_process {
        explicit in_process(const QStringList& args) : options(parse_cli_options(args)), session(options) {}
        cli_failure run()
        {
            command_context c{options, session, interrupt};
            try {
                return {run_command(c), QString()};
            } catch (const cli_failure& f) {
                return f;
            }
        }
        // Override and reset frames the unit received, as hex.
        QStringList override_frames() const
        {
            QStringList out;
            for (const QByteArray& w : session.hosted_unit()->writes())
                if (w.size() > 2 && (w[1] == 0x02 || w[1] == 0x06 || w[1] == 0x08))
                    out << QString::fromLatin1(w.toHex());
            return out;
        }
        cli_options options;
        interrupt_watch interrupt;
        unit_session session;
    };

    void in_process_setup()
    {
        qputenv("XDG_DATA_HOME", path("in-process").toLocal8Bit());
        QCoreApplication::setOrganizationName(QStringLiteral("Vantrel"));
        QCoreApplication::setApplicationName(QStringLiteral("Brennix"));
    }

    // A frame to the unit, its checksum added.
    static QString framed(const char* hex)
    {
        QByteArray f = QByteArray::fromHex(hex);
        f += char(std::accumulate(f.begin(), f.end(), 0, [](int x, char c) { return x ^ quint8(c); }));
        return QString::fromLatin1(f.toHex());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        sim.start(QStringLiteral(RV8_SIM_PATH), QStringList());
        while (!sim.canReadLine())
            QVERIFY(sim.waitForReadyRead(5000));
        sim_port = QString::fromLocal8Bit(sim.readLine()).trimmed();
    }

    void cleanupTestCase()
    {
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }

    void exit_codes_and_listings()
    {
        const QString sim_serial = QStringLiteral("P") + sim_port.mid(1).remove(QLatin1Char('/')).toUpper();
        const QString help = QStringLiteral("; see brennix-cli --help\n");
        const QString others = path("data/Vantrel/Brennix/restore/RV8X0009/RV8X0009_2024-03-05_06-07-08.bnini");
        QVERIFY(QDir().mkpath(QFileInfo(others).path()));
        QFile point(others);
        QVERIFY(point.open(QIODevice::WriteOnly));
        point.close();
        const QList<std::tuple<QStringList, int, QString, QString>> cases{
            {{"--virtual-unit", "list"}, 0, "KIRRA 3\tRV8V0001\tvirtual\n", ""},
            {{"--json", "--port", sim_port, "list"}, 0,
             QStringLiteral("[{\"description\":\"KIRRA 3\",\"port\":\"%1\",\"serial\":\"%2\",\"unit\":true}]\n")
                 .arg(sim_port, sim_serial),
             ""},
            {{"--virtual-unit", "info"}, 0, "serial: RV8V0001\nfirmware: fw v1.75\nvariant: RV8-SX\nrunning: application\n", ""},
            {{"--virtual-unit", "--port", sim_port, "--serial", "RV8V0001", "--json", "info"}, 0,
             "{\"firmware\":\"fw v1.75\",\"fw_version\":373,\"running\":\"application\",\"serial\":\"RV8V0001\","
             "\"variant\":\"RV8-SX\"}\n",
             ""},
            {{"list"}, 3, "", "brennix-cli: no unit found; connect one by USB, name its port with --port PATH, or use --virtual-unit\n"},
            {{"--virtual-unit", "--serial", "RV8X", "read", path("x.bnini")}, 3, "",
             "brennix-cli: no unit with serial number RV8X found; brennix-cli list shows the units found\n"},
            {{"--virtual-unit", "--port", sim_port, "info"}, 2, "",
             QStringLiteral("brennix-cli: 2 units found (%1, RV8V0001); pick one with --serial SN\n").arg(sim_serial)},
            {{"frobnicate"}, 2, "", "brennix-cli: unknown command \"frobnicate\"" + help},
            {{"--virtual-unit", "read"}, 2, "", "brennix-cli: read wants read FILE.bnini" + help},
            {{"diff", "a.bnini", "--all"}, 2, "", "brennix-cli: diff does not take --all" + help},
            {{"--virtual-unit", "override", "main", "50"}, 2, "",
             "brennix-cli: override wants --seconds N: how long the output is driven" + help},
            {{"--virtual-unit", "override", "pump", "50", "--seconds", "2"}, 2, "",
             "brennix-cli: OUTPUT is main, aux, gpo1 or gpo2, got \"pump\"" + help},
            {{"--virtual-unit", "diff", path("none.bnini")}, 2, "",
             "brennix-cli: " + path("none.bnini") + " does not exist; give the path of a .bnini settings file\n"},
            {{"log", "--seconds", "soon", "a.bnlog"}, 2, "",
             "brennix-cli: --seconds wants a number of seconds, 0.001 or more, got \"soon\"" + help},
            {{"log", "--pre", "90", "a.bnlog"}, 2, "",
             "brennix-cli: --pre wants a number of seconds from 0 to 60, got \"90\"" + help},
            {{"log", "--start-when", "rpn>3000", "a.bnlog"}, 2, "",
             "brennix-cli: --start-when: \"rpn\" is no live channel; channels are rpm, map, an_a, an_b, battery, "
             "main_duty, aux_duty, gpo1_duty, gpo2_duty, main_current, aux_current, gpi1, gpi2" + help},
            {{"log", "--stop-when", "rpm < 1500 for", "a.bnlog"}, 2, "",
             "brennix-cli: --stop-when: cannot read \"rpm < 1500 for\": write CHANNEL OP VALUE [for SECONDS], for "
             "example \"rpm>3000 for 0.5\"" + help},
            {{"--port", "ttyUSB0", "list"}, 2, "",
             "brennix-cli: --port wants an absolute device path such as /dev/pts/4, got \"ttyUSB0\"\n"},
            {{"--virtual-unit", "read", "/nonexistent/x.bnini"}, 2, "",
             "brennix-cli: cannot write /nonexistent/x.bnini: No such file or directory; choose a folder you can write to\n"},
            {{"restore", "--list", "--serial", "RV8X0009"}, 0, "RV8X0009\t2024-03-05 06:07:08\t" + others + "\n", ""},
            {{"--virtual-unit", "restore", others}, 1, "",
             "brennix-cli: " + others + " is a restore point of unit RV8X0009, not of the connected unit RV8V0001; nothing "
             "was written. Pick one of unit RV8V0001's (brennix-cli --serial RV8V0001 restore --list), or add --force\n"},
        };
        for (const auto& [args, code, out, err] : cases) {
            const result r = run(args);
            QVERIFY2(r.code == code && r.out == out && r.err == err,
                     qPrintable(args.join(' ') + " -> " + QString::number(r.code) + "\n" + r.out + r.err));
        }
        QVERIFY(QDir(path("data/Vantrel/Brennix/restore")).removeRecursively());
    }

    void settings_round_trip_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("virtual unit") << QStringLiteral("virtual");
        QTest::newRow("rv8-sim") << QStringLiteral("rv8-sim");
    }

    void settings_round_trip()
    {
        QFETCH(QString, target);
        const QStringList u = unit(target);
        const QString a = path(target + ".a.bnini"), b = path(target + ".b.bnini"), c = path(target + ".c.bnini");
        QCOMPARE(run(u + QStringList{"read", a}).code, 0);
        const result same = run(u + QStringList{"diff", a});
        QCOMPARE(std::make_pair(same.code, same.out), std::make_pair(0, QString()));

        edit(a, b, [](QSettings& f) {
            set_cell(f, 3, 5, 379);
            f.setValue(QStringLiteral("rv8_vars/ints/36/GPI1 act delay"), 16);
        });
        const QString changes = "GPI1 act delay: 104 ms -> 208 ms\n"
                                "MAIN duty table cell 3000 RPM, 24.0 PSI (row 3, column 5): 80 % -> 37 %\n";
        const result differs = run(u + QStringList{"diff", b});
        QCOMPARE(std::make_pair(differs.code, differs.out), std::make_pair(1, changes));
        const result dry = run(u + QStringList{"write", b, "--dry-run"});
        QCOMPARE(std::make_tuple(dry.code, dry.out, run(u + QStringList{"diff", b}).code), std::make_tuple(0, changes, 1));
        QCOMPARE(run(u + QStringList{"write", b}).code, 0);
        QCOMPARE(run(u + QStringList{"diff", b}).code, 0);

        // The restore point is the unit as it was: the file read before the write, to the byte.
        const QStringList points = run({"restore", "--list"}).out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(points.size(), 1);
        QFile point(points[0].section('\t', 2)), before(a);
        QVERIFY(point.open(QIODevice::ReadOnly) && before.open(QIODevice::ReadOnly));
        QCOMPARE(point.readAll(), before.readAll());

        edit(b, c, [](QSettings& f) {
            f.setValue(QStringLiteral("rv8_vars/tables/2/MAIN duty table"),
                       f.value(QStringLiteral("rv8_vars/tables/2/MAIN duty table")).toByteArray().left(639));
            f.setValue(QStringLiteral("rv8_vars/ints/37/GPI1 deact delay"), 10);
        });
        const result refused = run(u + QStringList{"write", c});
        QCOMPARE(std::make_tuple(refused.code, refused.out, refused.err),
                 std::make_tuple(1, QString(),
                                 QStringLiteral("warning: %1: MAIN duty table: 639 bytes, a table has 640\n"
                                                "brennix-cli: %1 has 1 warning(s); nothing was written. Correct the file, "
                                                "or add --force to write the rest (a damaged table is never sent)\n")
                                     .arg(c)));
        const result forced = run(u + QStringList{"write", c, "--force"});
        QCOMPARE(std::make_pair(forced.code, forced.out), std::make_pair(0, QString("GPI1 deact delay: 104 ms -> 130 ms\n")));
        const result back = run(u + QStringList{"diff", a});
        QCOMPARE(std::make_pair(back.code, back.out),
                 std::make_pair(1, QString("GPI1 act delay: 208 ms -> 104 ms\nGPI1 deact delay: 130 ms -> 104 ms\n"
                                           "MAIN duty table cell 3000 RPM, 24.0 PSI (row 3, column 5): 37 % -> 80 %\n")));
        QCOMPARE(run(u + QStringList{"restore", points[0].section('\t', 2)}).code, 0);
        QCOMPARE(run(u + QStringList{"diff", a}).code, 0);

        // One change each: the last table of the write order, and a mode code that goes out in its
        // output's own code base.
        const QString g = path(target + ".g.bnini"), h = path(target + ".h.bnini");
        edit(a, g, [](QSettings& f) { set_cell(f, 0, 0, 512, "4/GPO2 duty table"); });
        edit(g, h, [](QSettings& f) { f.setValue(QStringLiteral("rv8_vars/ints/16/GPO1 mode"), 0xD3); });
        const QString serial = run(u + QStringList{"info"}).out.section('\n', 0, 0).mid(8);
        const QList<std::pair<QString, QString>> singles{
            {g, "GPO2 duty table cell 0 RPM, 5.00 V (row 0, column 0): 0 % -> 50 %\n"},
            {h, "GPO1 mode: ON above setpoint, OFF below it (2) -> OFF above setpoint, ON below it (3)\n"},
        };
        for (const auto& [file, line] : singles) {
            const result w = run(u + QStringList{"write", file});
            QCOMPARE(std::make_tuple(w.code, w.out, w.err.section("; restore point ", 0, 0), run(u + QStringList{"diff", file}).code),
                     std::make_tuple(0, line, "wrote 1 message(s) to unit " + serial, 0));
        }
        QVERIFY(QDir(path("data/Vantrel/Brennix/restore")).removeRecursively());
    }

    void corrections_for_the_unit_written()
    {
        // An RV8-SX's file with values the window would not send, written to an RV8-S on old firmware.
        const QString sx = path("sx.bnini"), hot = path("hot.bnini");
        QCOMPARE(run(unit("virtual") + QStringList{"read", sx}).code, 0);
        edit(sx, hot, [](QSettings& f) {
            set_word(f, "2/MAIN duty table", 615, 410);
            f.setValue(QStringLiteral("rv8_vars/ints/2/pump prime delay"), 1000);
            f.setValue(QStringLiteral("rv8_vars/ints/19/GPI1 request"), 1535);
        });
        const QStringList s{"--virtual-unit", "--virtual-unit-variant", "s", "--virtual-unit-fw", "0x166",
                            "--virtual-store", path("s.mem")};
        const result w = run(s + QStringList{"write", hot});
        QCOMPARE(std::make_pair(w.code, w.err.section("wrote ", 0, 0)),
                 std::make_pair(0, QStringLiteral(
                                       "warning: Incompatible firmware detected, need >= 0x167, have 0x166; update the unit's "
                                       "firmware (brennix-cli flash IMAGE): with older firmware a write may break the unit, "
                                       "the engine or both\n"
                                       "correction: %1: Pump priming delay 13000 ms -> 10010 ms (at most 10010 ms)\n"
                                       "correction: %1: GPI1 override duty 150 % -> 100 % (at most 100 %)\n"
                                       "correction: %1: MAIN over-current limit 20.0 A -> 10.0 A (an RV8-S allows at most 10.0 A)\n")
                                       .arg(hot)));
        // The unit holds what the window would have written, not the file's numbers.
        const result d = run(s + QStringList{"diff", hot});
        QCOMPARE(std::make_pair(d.code, d.out),
                 std::make_pair(1, QString("pump prime delay: 10010 ms -> 13000 ms\n"
                                           "GPI1 request: 100 % (stored 1023) -> 100 % (stored 1535)\n"
                                           "MAIN duty table over-current limit: 10.01 A -> 20.02 A\n")));
    }

    void failed_write_names_what_was_written()
    {
        // The virtual unit garbles every answer to the IO modes.
        const QString file = path("all.bnini");
        QCOMPARE(run(unit("virtual") + QStringList{"read", file}).code, 0);
        in_process_setup();
        {
            in_process cli({"--virtual-unit", "write", "--all", file});
            cli.session.hosted_unit()->with([](sim_unit*, virtual_faults& f) {
                f.strike_on = QByteArray("\xC3\x15", 2);
                f.strike = [](sim_unit* unit, virtual_faults&) { unit->faults().corrupt_headers = 5; };
            });
            const cli_failure failure = cli.run();
            const QString point = restore_points::list(QStringLiteral("RV8V0001")).value(0).path;
            QCOMPARE(std::make_pair(failure.code, failure.message),
                     std::make_pair(int(exit_link), QStringLiteral("writing unit RV8V0001 failed, status 4; written: AUX duty table, "
                                                                   "MAIN duty table, GPO1 duty table, GPO2 duty table, RPM scaler, "
                                                                   "pump prime delay; not written: IO modes; the restore point %1 "
                                                                   "holds the settings from before (brennix-cli restore %1)")
                                                        .arg(point)));
        }
        // Acknowledged but not stored as sent: found by reading back, and named.
        const QString tuned = path("all-tuned.bnini");
        edit(file, tuned, [](QSettings& f) { set_cell(f, 3, 5, 379); });
        in_process again({"--virtual-unit", "write", "--all", tuned});
        again.session.hosted_unit()->with([](sim_unit* unit, virtual_faults&) {
            unit->faults().drop_write = 0x0B;
            unit->faults().alter_write = 0x15;
        });
        const cli_failure differs = again.run();
        const QString newest = restore_points::list(QStringLiteral("RV8V0001")).last().path;
        QCOMPARE(std::make_pair(differs.code, differs.message),
                 std::make_pair(int(exit_differs), QStringLiteral("unit RV8V0001 acknowledged the write; read back otherwise than "
                                                                  "sent: MAIN duty table, IO modes; write again, or read the unit "
                                                                  "to see what it holds; the restore point %1 holds the settings "
                                                                  "from before")
                                                       .arg(newest)));
    }

    void override_is_reset_at_its_end_and_on_sigterm()
    {
        in_process_setup();
        {
            in_process timed({"--virtual-unit", "override", "main", "50", "--seconds", "1"});
            QCOMPARE(timed.run().code, int(exit_ok));
            QCOMPARE(timed.override_frames(), QStringList({framed("c30200020200"), framed("c308000101")}));
        }
        // SIGTERM once the unit has taken it: reset at once, exit 130.
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &term, nullptr);
        in_process held({"--virtual-unit", "override", "gpo2", "100", "--seconds", "300"});
        const pthread_t main_thread = pthread_self();
        held.session.hosted_unit()->with([main_thread](sim_unit*, virtual_faults& f) {
            f.strike_on = QByteArray("\xC3\x06", 2);
            f.strike = [main_thread](sim_unit*, virtual_faults&) { pthread_kill(main_thread, SIGTERM); };
        });
        const cli_failure stopped = held.run();
        pthread_sigmask(SIG_UNBLOCK, &term, nullptr);
        QCOMPARE(std::make_pair(stopped.code, stopped.message),
                 std::make_pair(int(exit_interrupted), QStringLiteral("interrupted; the GPO2 override was reset")));
        QCOMPARE(held.override_frames(), QStringList({framed("c306000203ff"), framed("c308000104")}));

        // Over a pseudo-terminal, as a script runs it.
        const result r = run(unit("rv8-sim") + QStringList{"override", "aux", "25", "--seconds", "1"});
        const QString serial = run(unit("rv8-sim") + QStringList{"info"}).out.section('\n', 0, 0).mid(8);
        QCOMPARE(std::make_pair(r.code, r.out),
                 std::make_pair(0, QStringLiteral("AUX driven at 25 %% (duty 256) on unit %1 for 1 s\nAUX override reset after 1 s\n")
                                       .arg(serial)
                                       .replace("%%", "%")));
    }

    void log_rows_match_records()
    {
        const QString timed = path("timed.bnlog"), stopped = path("stopped.bnlog");
        const result r = run(unit("virtual") + QStringList{"log", "--seconds", "2", timed});
        const int rows = data_rows(timed);
        QCOMPARE(std::make_pair(r.code, r.out), std::make_pair(0, QStringLiteral("%1 records written to %2\n").arg(rows).arg(timed)));
        QVERIFY(rows > 50);
        // Ctrl+C (or a kill) is the other way a recording ends; the file is closed whole.
        QProcess* p = start(unit("rv8-sim") + QStringList{"log", stopped});
        QTRY_VERIFY_WITH_TIMEOUT(data_rows(stopped) > 20, 10000);
        p->terminate();
        const result s = finish(p);
        QCOMPARE(std::make_pair(s.code, s.out),
                 std::make_pair(0, QStringLiteral("%1 records written to %2\n").arg(data_rows(stopped)).arg(stopped)));
    }

    // An engine that idles (long enough for a loaded machine to start the recorder), flicks to
    // 4000 rpm for 0.3 s, idles, holds 4000 for 2 s, cruises at 2000
    // and then idles for good: the recording starts 0.5 s into the long pull with the second before
    // it, goes on through the cruise between the two thresholds, and ends 1 s into the idle.
    void recording_between_two_conditions()
    {
        QProcess engine;
        engine.start(QStringLiteral(RV8_SIM_PATH),
                     {"--drive", "0:850:-10,3:850:-10,3.02:4000:5,3.3:4000:5,3.32:850:-10,4:850:-10,4.02:4000:5,"
                                 "6:4000:5,6.02:2000:0,7:2000:0,7.02:900:-10"});
        QVERIFY(engine.waitForReadyRead(5000));
        const QString port = QString::fromLocal8Bit(engine.readLine()).trimmed();
        const QString file = path("between.bnlog");
        QProcess* p = start({"--port", port, "log", "--pre", "1", "--start-when", "rpm>3000 for 0.5", "--stop-when",
                             "rpm<1500 for 1", "--marker-on-signal", file});
        QTRY_VERIFY_WITH_TIMEOUT(data_rows(file) > 100, 15000);
        ::kill(pid_t(p->processId()), SIGUSR1);
        const result r = finish(p);
        engine.terminate();
        QVERIFY(engine.waitForFinished(5000));
        QCOMPARE(std::make_pair(r.code, r.out),
                 std::make_pair(0, QStringLiteral("%1 records and 1 marker written to %2\n").arg(data_rows(file)).arg(file)));

        rv8_worker reader;
        QSignalSpy markers(&reader, &rv8_worker::markers_read);
        reader.parse_log_file(file);
        const rv8_log& rows = reader.get_log();
        QList<qint64> first_at; // first row above 3000, first below 3000, first below 1500 after it
        int pulls = 0;
        bool pulling = false;
        for (int i = 0; i < rows.size(); ++i) {
            const int rpm = int(rows.const_data(rv8_log::e_rpm).value(i));
            if ((first_at.size() == 0 && rpm > 3000) || (first_at.size() == 1 && rpm < 3000)
                || (first_at.size() == 2 && rpm < 1500))
                first_at << rows.const_timestamps().value(i);
            pulls += rpm > 3000 && !pulling;
            pulling = rpm > 3000;
        }
        QCOMPARE(pulls, 1); // the short flick before is not in the file
        QCOMPARE(first_at.size(), 3);
        const qint64 first = rows.const_timestamps().value(0), last = rows.const_timestamps().last();
        // A second before the start, which came 0.5 s into the pull; the stop 1 s into the idle.
        QVERIFY2(first_at[0] - first >= 400 && first_at[0] - first <= 650, qPrintable(QString::number(first_at[0] - first)));
        QVERIFY(first_at[2] - first_at[1] >= 900);
        QVERIFY2(last - first_at[2] >= 950 && last - first_at[2] <= 1400, qPrintable(QString::number(last - first_at[2])));
        QCOMPARE(markers[0][0].value<QList<log_marker>>().size(), 1);
        QCOMPARE(markers[0][0].value<QList<log_marker>>()[0].note, QStringLiteral("SIGUSR1"));
    }

    // Killed outright, the recording has every row up to the last second and opens without a fault.
    void a_killed_recording_opens_cleanly()
    {
        const QString file = path("killed.bnlog");
        QProcess* p = start(unit("virtual") + QStringList{"log", file});
        QTRY_VERIFY_WITH_TIMEOUT(data_rows(file) > 100, 10000);
        const qint64 killed = QDateTime::currentMSecsSinceEpoch();
        p->kill();
        QVERIFY(p->waitForFinished(5000));
        delete p;
        rv8_worker reader;
        QSignalSpy settings(&reader, &rv8_worker::read_file);
        QSignalSpy parsed(&reader, &rv8_worker::parsed_log_file);
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type != QtDebugMsg && !text.startsWith("The last row of"))
                qFatal("%s", qPrintable(text));
        });
        reader.parse_log_file(file);
        qInstallMessageHandler(nullptr);
        QCOMPARE(parsed.count(), 1);
        QCOMPARE(settings.count(), 1);
        QCOMPARE(settings[0][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        QVERIFY(reader.get_log().size() >= 100);
        const qint64 last = reader.get_log().const_timestamps().last();
        QVERIFY2(killed - last <= 1000, qPrintable(QString::number(killed - last)));
    }

    void calibrate_map_writes_only_when_asked()
    {
        // The virtual unit's sensor noise follows its fixed seed, so the reading is known.
        const QStringList u = unit("virtual");
        const QString before = path("before-cal.bnini");
        QCOMPARE(run(u + QStringList{"read", before}).code, 0);
        const QString reading = "atmosphere: 224 counts (was 223)\nactive intercept: 223.312 counts (was 222.312)\n";
        const result looked = run(u + QStringList{"calibrate-map"});
        QCOMPARE(std::make_tuple(looked.code, looked.out, run(u + QStringList{"diff", before}).code),
                 std::make_tuple(0, reading + "not written; add --write to store it in the unit\n", 0));
        const result wrote = run(u + QStringList{"calibrate-map", "--write"});
        QVERIFY(wrote.code == 0 && wrote.out.startsWith(reading));
        // Its restore point is the file `read` makes, to the byte.
        QFile point(wrote.out.section("restore point ", -1).trimmed()), was(before);
        QVERIFY(point.open(QIODevice::ReadOnly) && was.open(QIODevice::ReadOnly));
        QCOMPARE(point.readAll(), was.readAll());
        QCOMPARE(run(u + QStringList{"diff", before}).out,
                 QString("Active Intercept: 223.312 counts -> 222.312 counts\nActive Atmospheric: 224 counts -> 223 counts\n"));
    }

    void flash_checks_the_image_first()
    {
        const QString data = QString::fromLocal8Bit(qgetenv("BRENNIX_TEST_DATA"));
        const QString bad = data + "/RV8_MAVO_0180_bad_line.hex";
        const QStringList u = unit("rv8-sim");
        const result refused = run(u + QStringList{"flash", bad});
        QCOMPARE(std::make_tuple(refused.code, refused.err, run(u + QStringList{"info"}).out.section('\n', 1, 1)),
                 std::make_tuple(1,
                                 "brennix-cli: flash refused: " + bad +
                                     ": line 12: checksum is 0x5E, the record says 0x53; the unit was not touched\n",
                                 QString("firmware: fw v1.75")));
        const QString serial = run(u + QStringList{"info"}).out.section('\n', 0, 0).mid(8);
        // The image's records say 0180; a bootloader line ahead of them makes the unit start as 0190.
        QFile image(data + "/RV8_MAVO_0180.hex"), other(path("RV8_MAVO_0180_other.bnhex"));
        QVERIFY(image.open(QIODevice::ReadOnly) && other.open(QIODevice::WriteOnly));
        QByteArray record = QByteArray::fromHex("08000000") + "MAVO0190";
        record += char(-char(std::accumulate(record.begin(), record.end(), 0)));
        other.write("|" + record.toHex().toUpper() + "\n" + image.readAll());
        other.close();
        const result wrong = run(u + QStringList{"flash", other.fileName()});
        QCOMPARE(std::make_pair(wrong.code, wrong.err),
                 std::make_pair(4, "brennix-cli: unit " + serial + " reports fw v1.90 after flashing, not fw v1.80; run the "
                                   "flash again\n"));
        const result flashed = run(u + QStringList{"flash", data + "/RV8_MAVO_0180.hex"});
        QCOMPARE(std::make_tuple(flashed.code, flashed.out, run(u + QStringList{"info"}).out.section('\n', 1, 1)),
                 std::make_tuple(0, QStringLiteral("unit %1 now runs fw v1.80 (was fw v1.90)\n").arg(serial),
                                 QString("firmware: fw v1.80")));
    }
};

QTEST_GUILESS_MAIN(tst_cli)
#include "tst_cli.moc"
