// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QObject>

// The server's clock for what it times itself: the hang-up vote, a call's time limit, the waits
// after wrong passwords, a call's idle time, a link's time-outs. Monotonic milliseconds; tests
// move it on at once instead of sleeping, or run it fast.
class OfficeClock : public QObject
{
    Q_OBJECT

public:
    OfficeClock() { m_elapsed.start(); }
    qint64 nowMs() const { return m_elapsed.elapsed() * m_rate + m_offsetMs; }
    // Runs the clock rate times as fast from now on; its timers are real ones, and so come due
    // no earlier than they should, only later on this clock.
    void setRate(int rate)
    {
        m_offsetMs = nowMs() - m_elapsed.elapsed() * rate;
        m_rate = rate;
    }
    // As if ms had passed: whatever falls due in them happens now.
    void advance(qint64 ms)
    {
        m_offsetMs += ms;
        Q_EMIT advanced();
    }

Q_SIGNALS:
    void advanced();

private:
    QElapsedTimer m_elapsed;
    qint64 m_offsetMs = 0;
    int m_rate = 1;
};
