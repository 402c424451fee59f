// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QDateTime>

// The wall clock every timed rule reads: the link's 10-second limits, the countdown, the
// duration display and the notice's dismissal. Tests move it forward instead of sleeping.
namespace Clock {

QDateTime now();

// The same clock as now(), in seconds or milliseconds since the epoch, without converting to
// local time.
qint64 secsSinceEpoch();
qint64 msecsSinceEpoch();

// Whole seconds from start to now, counted by second boundaries crossed, as a clock of
// one-second resolution sees them.
qint64 wholeSecondsSince(const QDateTime &start);

// How long a change of the machine's time zone may take to show in local times.
inline constexpr qint64 ZoneCheckIntervalMs = 10000;

// Local time from the zone file read once, and read again only when the file has changed,
// looked at every ZoneCheckIntervalMs of this clock. Without it the C library looks at the file
// on every conversion. Does nothing when TZ is set: the library then keeps its zone anyway.
// The path is absolute. Call it before any other thread runs, since it sets TZ.
void followZoneFile(const QByteArray &path = QByteArrayLiteral("/etc/localtime"));

// Test seam: shifts the clock by the given amount; reset() puts it back and ends the following
// of a zone file.
void advance(qint64 milliseconds);
// Test seam: stops the clock where it stands, so that only advance() moves it on, until reset().
void freeze();
void reset();

} // namespace Clock
