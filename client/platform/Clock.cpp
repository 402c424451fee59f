// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"

#include <cstdlib>
#include <ctime>
#include <optional>

namespace {

qint64 offsetMs = 0;
std::optional<qint64> frozenAtMs;

// The C library reads the file named by TZ once and then only when the text of TZ changes; a
// second spelling of the same path makes it look at the file again (it re-reads only a file
// that changed). Switching to it and back leaves TZ as it was.
struct ZoneFile
{
    bool following = false;
    QByteArray tz;
    QByteArray otherSpelling;
    qint64 checkedAtMs = 0;

    void lookAgainIfDue(qint64 nowMs)
    {
        if (!following ||
            (nowMs >= checkedAtMs && nowMs - checkedAtMs < Clock::ZoneCheckIntervalMs))
            return;
        checkedAtMs = nowMs;
        setenv("TZ", otherSpelling.constData(), 1);
        tzset();
        setenv("TZ", tz.constData(), 1);
        tzset();
    }
};

ZoneFile zoneFile;

} // namespace

namespace Clock {

qint64 msecsSinceEpoch()
{
    const qint64 ms = frozenAtMs.value_or(QDateTime::currentMSecsSinceEpoch()) + offsetMs;
    zoneFile.lookAgainIfDue(ms);
    return ms;
}

qint64 secsSinceEpoch()
{
    return msecsSinceEpoch() / 1000;
}

QDateTime now()
{
    return QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch());
}

qint64 wholeSecondsSince(const QDateTime &start)
{
    return secsSinceEpoch() - start.toSecsSinceEpoch();
}

void followZoneFile(const QByteArray &path)
{
    if (qEnvironmentVariableIsSet("TZ"))
        return;
    zoneFile.tz = ':' + path;
    zoneFile.otherSpelling = ":/" + path;
    zoneFile.checkedAtMs = QDateTime::currentMSecsSinceEpoch() + offsetMs;
    zoneFile.following = true;
    setenv("TZ", zoneFile.tz.constData(), 1);
    tzset();
}

void advance(qint64 milliseconds)
{
    offsetMs += milliseconds;
}

void freeze()
{
    frozenAtMs = QDateTime::currentMSecsSinceEpoch();
}

void reset()
{
    offsetMs = 0;
    frozenAtMs.reset();
    zoneFile.following = false;
}

} // namespace Clock
