// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"

#include <cstdio>
#include <ctime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString zoneInfo = QStringLiteral("/usr/share/zoneinfo/");

// Puts the zone's file at path as a new file, as a change of the machine's zone does.
bool installZone(const QString &zone, const QString &path)
{
    const QString fresh = path + QStringLiteral(".new");
    QFile::remove(fresh);
    return QFile::copy(zoneInfo + zone, fresh) &&
           std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) ==
               0;
}

} // namespace

class TestClock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        Clock::reset();
        qputenv("TZ", "UTC");
        tzset();
    }

    void localTimeFollowsTheZoneFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("localtime"));
        QVERIFY(installZone(QStringLiteral("Asia/Tokyo"), file));

        // A zone chosen by TZ stays: the zone file is not followed.
        Clock::followZoneFile(QFile::encodeName(file));
        QCOMPARE(Clock::now().offsetFromUtc(), 0);

        qunsetenv("TZ");
        Clock::followZoneFile(QFile::encodeName(file));
        QCOMPARE(Clock::now().offsetFromUtc(), 9 * 3600);
        const qint64 utc = QDateTime::currentSecsSinceEpoch();
        QVERIFY(qAbs(Clock::now().toSecsSinceEpoch() - utc) <= 1);
        QVERIFY(qAbs(Clock::secsSinceEpoch() - utc) <= 1);

        // The machine's zone changes: local times follow within the check interval.
        QVERIFY(installZone(QStringLiteral("Asia/Kolkata"), file));
        Clock::advance(Clock::ZoneCheckIntervalMs / 2);
        QCOMPARE(Clock::now().offsetFromUtc(), 9 * 3600);
        Clock::advance(Clock::ZoneCheckIntervalMs / 2);
        QCOMPARE(Clock::now().offsetFromUtc(), 5 * 3600 + 1800);
        QCOMPARE(qgetenv("TZ"), ':' + QFile::encodeName(file));

        // And again, also when the clock is set back.
        QVERIFY(installZone(QStringLiteral("Asia/Tokyo"), file));
        Clock::advance(-3600'000);
        QCOMPARE(Clock::now().offsetFromUtc(), 9 * 3600);
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
