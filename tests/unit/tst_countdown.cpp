#include "Countdown.h"

#include <QTest>

class TestCountdown : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A whole run of ticks as the window runs them: from the start count until a tick stops
    // the timer, or for 40 ticks when none does.
    void wholeRuns_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("beepOn");
        QTest::addColumn<int>("redAtTick");  // 0: never
        QTest::addColumn<int>("stopAtTick"); // 0: never within 40 ticks
        QTest::addColumn<int>("beeps");
        QTest::newRow("30, beep on") << 30 << true << 20 << 30 << 11;
        QTest::newRow("30, beep off") << 30 << false << 20 << 30 << 0;
        QTest::newRow("11, beep on") << 11 << true << 1 << 11 << 11;
        QTest::newRow("10, beep on") << 10 << true << 0 << 10 << 10;
        QTest::newRow("10, beep off") << 10 << false << 0 << 10 << 0;
        QTest::newRow("5, beep on") << 5 << true << 0 << 5 << 5;
        QTest::newRow("5, beep off") << 5 << false << 0 << 5 << 0;
        QTest::newRow("0, beep on") << 0 << true << 0 << 0 << 40;
        QTest::newRow("0, beep off") << 0 << false << 0 << 0 << 0;
        QTest::newRow("-3, beep on") << -3 << true << 0 << 0 << 40;
        QTest::newRow("-3, beep off") << -3 << false << 0 << 0 << 0;
    }
    void wholeRuns()
    {
        QFETCH(int, start);
        QFETCH(bool, beepOn);
        QFETCH(int, redAtTick);
        QFETCH(int, stopAtTick);
        QFETCH(int, beeps);

        QString caption = QString::number(start);
        int redTicks = 0;
        int firstRed = 0;
        int stoppedAt = 0;
        int beeped = 0;
        for (int n = 1; n <= 40 && stoppedAt == 0; ++n) {
            const Countdown::Tick tick = Countdown::tick(caption, beepOn);
            QCOMPARE(tick.caption, QString::number(start - n));
            QVERIFY(!(tick.turnRed && tick.stop));
            if (tick.turnRed) {
                ++redTicks;
                firstRed = n;
            }
            if (tick.stop)
                stoppedAt = n;
            beeped += tick.beep ? 1 : 0;
            caption = tick.caption;
        }
        QCOMPARE(firstRed, redAtTick);
        QCOMPARE(redTicks, redAtTick == 0 ? 0 : 1);
        QCOMPARE(stoppedAt, stopAtTick);
        if (stoppedAt != 0)
            QCOMPARE(caption, QStringLiteral("0"));
        QCOMPARE(beeped, beeps);
    }

    // The count is read back from whatever the caption holds, so a caption the opener did not
    // write as a plain whole number still gives a readable count and never an exponent.
    void captionIsReadAsANumber_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("next");
        QTest::addColumn<bool>("beep");
        QTest::newRow("leading blank") << " 12"
                                       << "11" << false;
        QTest::newRow("trailing text") << "7 seconds"
                                       << "6" << true;
        QTest::newRow("plus sign") << "+13"
                                   << "12" << false;
        QTest::newRow("fraction") << "2.5"
                                  << "1.5" << true;
        QTest::newRow("fraction below zero") << "0.25"
                                             << "-0.75" << true;
        QTest::newRow("no number") << "soon"
                                   << "-1" << true;
        QTest::newRow("empty") << ""
                               << "-1" << true;
        QTest::newRow("huge") << "100000000000000000001"
                              << "100000000000000000000" << false;
        QTest::newRow("overflowing digits") << QString(400, QLatin1Char('9')) << "-1" << true;
    }
    void captionIsReadAsANumber()
    {
        QFETCH(QString, caption);
        QFETCH(QString, next);
        QFETCH(bool, beep);
        const Countdown::Tick tick = Countdown::tick(caption, true);
        QCOMPARE(tick.caption, next);
        QCOMPARE(tick.beep, beep);
        QVERIFY(!tick.turnRed);
        QVERIFY(!tick.stop);
    }

    void onlyTheExactTextsTurnRedOrStop_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("red");
        QTest::addColumn<bool>("stop");
        QTest::newRow("11 turns red") << "11" << true << false;
        QTest::newRow("11.0 turns red") << "11.0" << true << false;
        QTest::newRow("10.5 does not") << "10.5" << false << false;
        QTest::newRow("1 stops") << "1" << false << true;
        QTest::newRow("1.5 does not") << "1.5" << false << false;
        QTest::newRow("-1 does not") << "-1" << false << false;
    }
    void onlyTheExactTextsTurnRedOrStop()
    {
        QFETCH(QString, caption);
        QFETCH(bool, red);
        QFETCH(bool, stop);
        const Countdown::Tick tick = Countdown::tick(caption, false);
        QCOMPARE(tick.turnRed, red);
        QCOMPARE(tick.stop, stop);
        QVERIFY(!tick.beep);
    }
};

QTEST_APPLESS_MAIN(TestCountdown)
#include "tst_countdown.moc"
