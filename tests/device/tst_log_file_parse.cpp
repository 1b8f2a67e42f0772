#include "device/log_line_reader.h"
#include "device/log_row_parser.h"
#include "device/rv8.h"
#include "tests/support/log_capture.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A row of the given time stamp whose first value is v and whose other values are zero.
QByteArray row(qint64 t, int v = 1)
{
    return QByteArray::number(t) + "," + QByteArray::number(v) + QByteArray(",0").repeated(30) + "\r\n";
}

QList<QByteArray> lines_of(const QByteArray& text, size_t block)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    log_line_reader reader(buffer, block);
    QList<QByteArray> lines;
    std::string_view line;
    while (reader.next(line))
        lines << QByteArray(line.data(), int(line.size()));
    return lines;
}

} // namespace

// Reading live-log files: sections, comments, file marks and rows the program did not write itself.
class tst_log_file_parse : public QObject {
    Q_OBJECT

    rv8_worker* worker = nullptr;
    QTemporaryDir* dir = nullptr;

    QString write(const QByteArray& text)
    {
        const QString path = dir->filePath("log.bnlog");
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(text);
        return path;
    }

    QList<unsigned int> marks() const
    {
        QList<unsigned int> all;
        for (int i = 0; i < worker->get_file_marks().size(); ++i)
            all << worker->get_file_marks().value(i);
        return all;
    }

    QList<unsigned int> column(rv8_log::e_data e) const
    {
        QList<unsigned int> all;
        for (int i = 0; i < worker->get_timestamps().size(); ++i)
            all << worker->get_data(e).value(i);
        return all;
    }

private slots:
    void initTestCase() { register_model_meta_types(); }

    void init()
    {
        worker = new rv8_worker;
        dir = new QTemporaryDir;
    }

    void cleanup()
    {
        delete worker;
        delete dir;
    }

    void lines_come_whole_across_blocks()
    {
        static const char raw[] = "  first line \r\n\r\nsecond\n a much longer third line than any block\r\n"
                                  "cut here\0 and not this\r\nlast without end  ";
        const QByteArray text(raw, int(sizeof raw) - 1);
        const QList<QByteArray> expected{"first line", "", "second", "a much longer third line than any block",
                                         "cut here", "last without end"};
        QCOMPARE(lines_of(text, 1 << 20), expected);
        QCOMPARE(lines_of(text, 7), expected);
        QCOMPARE(lines_of(text, 1), expected);
        QCOMPARE(lines_of("", 7), QList<QByteArray>());
        QCOMPARE(lines_of("\n", 7), QList<QByteArray>{""});
    }

    void rows_read_in_place_as_the_frame_would_read_them()
    {
        const log_row_parser parser;
        const QList<QByteArray> rows{
            row(1700000000123, 513).trimmed(),
            row(-5, 70000).trimmed(),                                             // wider than its column
            "17," + QByteArray("4294967296,").repeated(30) + "4294967297",        // wider than 32 bits
            row(10, 3).trimmed() + ",extra,fields",                               // ignored
            "+12,1" + QByteArray(",2").repeated(30),                              // sign the fast path leaves
            "12, 1" + QByteArray(",2").repeated(30),                              // blank inside
            "12,-1" + QByteArray(",2").repeated(30),                              // negative value
            "12,1" + QByteArray(",2").repeated(29),                               // a value short
            "12,1" + QByteArray(",2").repeated(29) + ",",                         // the last one empty
            "12,1" + QByteArray(",2").repeated(29) + ",99999999999999999999999",  // beyond 64 bits
            "garbage",
        };
        for (const QByteArray& r : rows) {
            log_capture log;
            const rv8_frame fast = parser.frame(std::string_view(r.constData(), size_t(r.size())));
            const QStringList fast_messages = log.texts();
            log.clear();
            const rv8_frame reference{QString::fromLatin1(r)};
            QVERIFY2(fast == reference, r.constData());
            QCOMPARE(fast_messages, log.texts());
        }
        qint64 t = 0;
        std::array<quint32, rv8_frame::value_count> values;
        const std::string plain = "12,1,2" + QByteArray(",3").repeated(29).toStdString();
        QVERIFY(parser.parse(plain, t, values));
        QCOMPARE(t, qint64(12));
        QCOMPARE(values[0], 1u);
        QCOMPARE(values[1], 2u);
        QCOMPARE(values[30], 3u);
        QVERIFY(!parser.parse("12,1", t, values));
    }

    void a_file_without_settings_gives_samples_only()
    {
        const QString path = write("# made by hand\r\n" + row(1000, 7) + row(1013, 8) + "\r\n# a note\r\n" +
                                   row(1026, 9));
        QSignalSpy read(worker, &rv8_worker::read_file);
        QSignalSpy parsed(worker, &rv8_worker::parsed_log_file);
        log_capture log;
        worker->parse_log_file(path);
        QCOMPARE(read.count(), 0);
        QCOMPARE(parsed.count(), 1);
        QCOMPARE(column(rv8_log::e_batt_adc), (QList<unsigned int>{7, 8, 9}));
        QCOMPARE(marks(), (QList<unsigned int>{1, 1, 1}));
        QVERIFY(log.has(QtDebugMsg, "Parsed file " + path + " with 3 lines."));
    }

    void settings_without_a_log_section_take_the_whole_file()
    {
        const QString path = write("[rv8_vars]\r\nints\\14\\Main%20mode=3\r\nints\\size=14\r\n" + row(1000) + row(1010));
        QSignalSpy read(worker, &rv8_worker::read_file);
        QSignalSpy parsed(worker, &rv8_worker::parsed_log_file);
        worker->parse_log_file(path);
        QCOMPARE(read.count(), 1);
        QCOMPARE(read[0][2].value<QList<quint32>>()[int_main_mode], quint32(3));
        QCOMPARE(parsed.count(), 1);
        QCOMPARE(worker->get_timestamps().size(), 0);
        QVERIFY(dir->isValid());
    }

    void settings_then_rows()
    {
        const QString path = write("[rv8_vars]\r\nints\\14\\Main%20mode=2\r\nints\\size=14\r\n\r\n[rv8_log]\r\n"
                                   "# Vantrel Brennix RV8-SX log x\r\n# Add comments\r\n" +
                                   rv8_frame::csv_header().toLatin1() + row(500, 1) + "# pit stop\r\n" + row(510, 2));
        QSignalSpy read(worker, &rv8_worker::read_file);
        worker->parse_log_file(path);
        QCOMPARE(read.count(), 1);
        QCOMPARE(read[0][2].value<QList<quint32>>()[int_main_mode], quint32(2));
        QCOMPARE(read[0][4].value<QList<QString>>().size(), 4 + 2); // four tables, RPM scaler, pump prime delay
        QCOMPARE(column(rv8_log::e_batt_adc), (QList<unsigned int>{1, 2}));
        QCOMPARE(worker->get_timestamps().value(1), qint64(510));
    }

    void file_marks_break_at_51_ms()
    {
        const QString path = write(row(1000) + row(1020) + row(1040) + row(1100) + row(1120) + row(1170) +
                                   row(1221) + row(1200) + row(1210));
        worker->parse_log_file(path);
        // 60 ms before 1100 and 51 ms before 1221 break the stretch; 50 ms and going back do not.
        QCOMPARE(marks(), (QList<unsigned int>{1, 1, 0, 0, 1, 0, 0, 1, 1}));
    }

    void a_bad_row_is_a_zero_sample()
    {
        const QString path = write(row(1000) + "1010,12,oops\r\n" + row(1020));
        log_capture log;
        worker->parse_log_file(path);
        QCOMPARE(worker->get_timestamps().size(), 3);
        QCOMPARE(worker->get_timestamps().value(1), qint64(0));
        QCOMPARE(column(rv8_log::e_batt_adc), (QList<unsigned int>{1, 0, 1}));
        QVERIFY(log.has(QtCriticalMsg, "Could not parse line in log: 1010,12,oops"));
    }

    void a_new_parse_replaces_the_store()
    {
        worker->parse_log_file(write(row(1000) + row(1010)));
        worker->parse_log_file(write(row(2000, 5)));
        QCOMPARE(column(rv8_log::e_batt_adc), QList<unsigned int>{5});
        QCOMPARE(marks(), QList<unsigned int>{1});
    }

    void unreadable_file_changes_nothing()
    {
        worker->parse_log_file(write(row(1000)));
        log_capture log;
        QSignalSpy parsed(worker, &rv8_worker::parsed_log_file);
        const QString missing = dir->filePath("missing.bnlog");
        worker->parse_log_file(missing);
        QVERIFY(log.has(QtCriticalMsg, "Could not open file for reading: " + missing));
        QCOMPARE(parsed.count(), 0);
        QCOMPARE(worker->get_timestamps().size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_log_file_parse)
#include "tst_log_file_parse.moc"
