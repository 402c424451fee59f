// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "EventWait.h"

#include "Clock.h"

#include <algorithm>
#include <QCoreApplication>
#include <QTimer>

namespace {

// Milliseconds until the clock has advanced limitSeconds whole seconds past start (0 when it
// already has), for a wait that must wake at that moment.
int msUntilWholeSeconds(qint64 startSecsSinceEpoch, int limitSeconds)
{
    const qint64 deadlineMs = (startSecsSinceEpoch + limitSeconds) * 1000;
    const qint64 left = deadlineMs - Clock::msecsSinceEpoch();
    return static_cast<int>(std::clamp<qint64>(left, 0, 24LL * 3600 * 1000));
}

} // namespace

namespace EventWait {

void processEvents(int wakeAfterMs)
{
    // A precise timer: a coarse one may fire 5% late, which a 10-second limit would notice.
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    if (wakeAfterMs >= 0)
        wake.start(wakeAfterMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool waitWithoutLimit(const std::function<bool()> &done)
{
    while (!done())
        processEvents();
    return true;
}

bool waitUntil(const std::function<bool()> &done, int limitSeconds, qint64 start)
{
    if (limitSeconds <= 0)
        return done();
    for (;;) {
        if (done())
            return true;
        const int left = msUntilWholeSeconds(start, limitSeconds);
        if (left == 0)
            return false;
        processEvents(left);
    }
}

} // namespace EventWait
