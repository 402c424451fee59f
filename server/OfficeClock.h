// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QObject>

// The server's clock for what it times itself: the hang-up vote, a call's time limit, the waits
// after wrong passwords. Monotonic milliseconds; tests move it on at once instead of sleeping.
class OfficeClock : public QObject
{
    Q_OBJECT

public:
    OfficeClock() { m_elapsed.start(); }
    qint64 nowMs() const { return m_elapsed.elapsed() + m_offsetMs; }
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
};
