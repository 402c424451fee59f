// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"
#include "EventWait.h"

#include <ctime>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

class TestEventWait : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Clock::reset(); }

    void endsOnItsConditionAndSleeps()
    {
        // Timers still pending when a check fails go with the test, not into the next one.
        const QObject scope;
        bool flag = false;
        QTimer::singleShot(50, &scope, [&] { flag = true; });
        QElapsedTimer wall;
        wall.start();
        const std::clock_t cpuStart = std::clock();
        QVERIFY(EventWait::waitUntil([&] { return flag; }, 10, Clock::secsSinceEpoch()));
        QVERIFY(wall.elapsed() < 2000);
        // Asleep between events: a spinning loop would burn the whole 50 ms of CPU.
        const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        QVERIFY2(cpuMs < 30.0, qPrintable(QString::number(cpuMs)));
    }

    void nestedWaitsEachEndOnTheirOwn()
    {
        // The outer wait's condition comes true first; the inner wait runs on until its own.
        const QObject scope;
        bool outer = false;
        bool inner = false;
        bool innerEndedByItsCondition = false;
        bool outerHeldWhileInnerWaited = false;
        QTimer::singleShot(10, &scope, [&] {
            QTimer::singleShot(10, &scope, [&] { outer = true; });
            QTimer::singleShot(60, &scope, [&] { inner = true; });
            innerEndedByItsCondition =
                EventWait::waitUntil([&] { return inner; }, 5, Clock::secsSinceEpoch());
            outerHeldWhileInnerWaited = outer;
        });
        QVERIFY(EventWait::waitUntil([&] { return outer && inner; }, 5, Clock::secsSinceEpoch()));
        QVERIFY(innerEndedByItsCondition);
        QVERIFY(outerHeldWhileInnerWaited);
    }

    void limitsCountWholeSecondsOfTheClock()
    {
        // Starting just after a second boundary, a 1-second limit ends at the next boundary.
        QElapsedTimer wall;
        wall.start();
        QVERIFY(!EventWait::waitUntil([] { return false; }, 1, Clock::secsSinceEpoch()));
        QVERIFY(wall.elapsed() <= 1500);
        // A limit of 0 runs no pass at all, but the condition is still asked first.
        int asked = 0;
        QVERIFY(!EventWait::waitUntil([&] { return ++asked > 5; }, 0, Clock::secsSinceEpoch()));
        QCOMPARE(asked, 1);
        // Nor does a negative one: a limit never turns into no limit at all.
        QVERIFY(!EventWait::waitUntil([&] { return ++asked > 5; }, -5, Clock::secsSinceEpoch()));
        QCOMPARE(asked, 2);
        // The clock moved forward ends a wait at once.
        const QObject scope;
        QTimer::singleShot(20, &scope, [] { Clock::advance(10'000); });
        wall.restart();
        QVERIFY(!EventWait::waitUntil([] { return false; }, 10, Clock::secsSinceEpoch()));
        QVERIFY(wall.elapsed() < 2000);
    }
};

QTEST_GUILESS_MAIN(TestEventWait)
#include "tst_eventwait.moc"
