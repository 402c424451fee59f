// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

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
        QTest::newRow("10 never turns red") << 10 << true << 0 << 10 << 10;
        QTest::newRow("0 never stops") << 0 << true << 0 << 0 << 40;
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
        int redAt = 0, stoppedAt = 0, beeped = 0;
        for (int n = 1; n <= 40 && stoppedAt == 0; ++n) {
            const Countdown::Tick tick = Countdown::tick(caption, beepOn);
            QCOMPARE(tick.caption, QString::number(start - n));
            if (tick.turnRed)
                redAt = n;
            if (tick.stop)
                stoppedAt = n;
            beeped += tick.beep ? 1 : 0;
            caption = tick.caption;
        }
        QCOMPARE(redAt, redAtTick);
        QCOMPARE(stoppedAt, stopAtTick);
        QCOMPARE(beeped, beeps);
    }

    // The count is read back from whatever the caption holds: a caption the opener did not
    // write as a plain whole number still gives a readable count and never an exponent, and
    // only a tick that writes exactly "10" or "0" turns the count red or stops it.
    void singleTicks_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("beep");
        QTest::addColumn<QString>("next");
        QTest::newRow("trailing text") << "7 seconds" << true << "6";
        QTest::newRow("fraction") << "2.5" << true << "1.5";
        QTest::newRow("fraction below zero") << "0.25" << true << "-0.75";
        QTest::newRow("no number") << "soon" << true << "-1";
        QTest::newRow("huge") << "100000000000000000001" << false << "100000000000000000000";
        QTest::newRow("overflowing digits") << QString(400, QLatin1Char('9')) << true << "-1";
        QTest::newRow("11.0 turns red") << "11.0" << true << "10";
        QTest::newRow("10.5 does not") << "10.5" << true << "9.5";
        QTest::newRow("1.0 stops") << "1.0" << true << "0";
        QTest::newRow("1.5 does not") << "1.5" << true << "0.5";
    }
    void singleTicks()
    {
        QFETCH(QString, caption);
        QFETCH(bool, beep);
        QFETCH(QString, next);
        const Countdown::Tick tick = Countdown::tick(caption, true);
        QCOMPARE(tick.caption, next);
        QCOMPARE(tick.beep, beep);
        QCOMPARE(tick.turnRed, next == QLatin1String("10"));
        QCOMPARE(tick.stop, next == QLatin1String("0"));
    }
};

QTEST_APPLESS_MAIN(TestCountdown)
#include "tst_countdown.moc"
