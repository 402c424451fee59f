#pragma once

#include <QDateTime>

// The wall clock every timed rule reads: the link's 10-second limits, the countdown, the
// duration display and the notice's dismissal. Tests move it forward instead of sleeping.
namespace Clock {

QDateTime now();

// Whole seconds from start to now, counted by second boundaries crossed, as a clock of
// one-second resolution sees them.
qint64 wholeSecondsSince(const QDateTime &start);

// Test seam: shifts the clock by the given amount; reset() puts it back.
void advance(qint64 milliseconds);
void reset();

} // namespace Clock
