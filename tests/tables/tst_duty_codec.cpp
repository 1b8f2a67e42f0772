#include "model/conv.h"
#include "tests/support/log_capture.h"
#include "tests/tables/grid_fixture.h"

#include <QtTest>

class tst_duty_codec : public grid_test {
    Q_OBJECT
    converter conv;

private slots:
    void init()
    {
        make_grid();
        t->conv = &conv;
    }

    // Bottom row first, each row left to right, two bytes per cell, high byte first.
    void encodes_percent_to_words()
    {
        const char* const texts[] = {"0", "1", "25", "50", "100", "150", "300", "-1", "abc"};
        for (int c = 0; c < 9; ++c)
            t->item(15, c)->setText(texts[c]);
        delete t->takeItem(15, 9);
        t->item(14, 0)->setText("50");
        t->item(0, 15)->setText("100");
        const QByteArray bytes = t->to_byteArray();
        QCOMPARE(bytes.left(20).toHex(' '), QByteArray("00 00 00 0a 01 00 02 00 03 ff 03 ff 03 ff 00 00 00 00 00 00"));
        QCOMPARE(bytes.mid(32, 2).toHex(' '), QByteArray("02 00"));
        QCOMPARE(bytes.mid(510, 2).toHex(' '), QByteArray("03 ff"));
        QCOMPARE(bytes.count(char(0)), 512 - 12);
    }

    void decodes_low_ten_bits_and_every_percent_round_trips()
    {
        QSignalSpy single(t.get(), &QTableWidget::cellChanged);
        QByteArray bytes(512, 0);
        bytes.replace(0, 10, QByteArray::fromHex("fc0003fffe00000a0014"));
        bytes[32] = char(3);     // row 14, column 0: 768 / 1023 -> 75 %
        bytes[510] = char(0xFC); // row 0, column 15: only the upper six bits set
        bytes[511] = char(0xCC); // 204 / 1023 -> 20 %
        t->from_byteArray(bytes);
        QCOMPARE(block(15, 0, 15, 4), QString("0 100 50 1 2"));
        QCOMPARE(t->item(0, 15)->text(), QString("20"));
        QVERIFY(single.count() == 0 && updates->count() == 1 && !t->signalsBlocked());
        QCOMPARE(sent(0).mid(0, 5), (QVector<double>{0, 100, 50, 1, 2}));
        QCOMPARE(sent(0).at(16) + sent(0).at(255), 95.0);
        // Every whole percent comes back as it went.
        for (int p = 0; p <= 100; ++p)
            t->item(p / 16, p % 16)->setText(QString::number(p));
        const QByteArray words = t->to_byteArray();
        t->set_all_cells("7");
        t->from_byteArray(words);
        for (int p = 0; p <= 100; ++p)
            QCOMPARE(t->item(p / 16, p % 16)->text(), QString::number(p));
    }

    void refusals_change_nothing()
    {
        log_capture log;
        t->item(3, 3)->setText("42");
        t->from_byteArray(QByteArray(511, char(0xFF)));
        t->from_byteArray(QByteArray(640, char(0xFF)));
        QCOMPARE(log.texts(QtCriticalMsg), (QStringList{"data isn't the same size as this table: 511  table: 512",
                                                        "data isn't the same size as this table: 640  table: 512"}));
        t->conv = nullptr;
        log.clear();
        QVERIFY(t->to_byteArray().isEmpty());
        t->from_byteArray(QByteArray(512, char(0x03)));
        const QString unset = "conv was not set prior to calling this method";
        QCOMPARE(log.texts(QtCriticalMsg), (QStringList{unset, unset}));
        QCOMPARE(t->item(3, 3)->text() + t->item(0, 0)->text(), QString("420"));
        QVERIFY(updates->count() == 0 && !t->signalsBlocked());
    }
};

QTEST_MAIN(tst_duty_codec)
#include "tst_duty_codec.moc"
