// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <QObject>
#include <QTimer>

class OfficeClock;

// When a call has been idle: a stretch of time in which fewer than a number of bytes crossed
// the line. The stretch begins when the call comes up and again whenever that many bytes have
// crossed since it began, so a call ends the idle time after its last burst of traffic.
struct IdleWindow
{
    qint64 sinceMs = 0;
    quint64 bytes = 0; // the call's bytes (both ways) when the stretch began

    bool operator==(const IdleWindow &other) const = default;
};

// The stretch after a reading of the call's bytes at nowMs: begun anew when at least idleBytes
// crossed since it began (or the counter went back), otherwise as it was.
IdleWindow nextWindow(const IdleWindow &window, qint64 nowMs, quint64 bytes, quint64 idleBytes);

// Reads the call's bytes every few seconds and whenever the clock is moved on, and says when
// the stretch has lasted idleMs; the next stretch then begins at once. Without a reading (the
// line's interface cannot be read) nothing is judged: a line whose traffic is unknown is never
// taken for idle.
class IdleWatch : public QObject
{
    Q_OBJECT

public:
    IdleWatch(const OfficeClock &clock, std::function<std::optional<quint64>()> bytes,
              QObject *parent = nullptr);

    // The call came up; idleMs 0: it is never idle.
    void begin(qint64 idleMs, quint64 idleBytes);
    // A new rule for the call in progress, over the stretch already begun.
    void setRule(qint64 idleMs, quint64 idleBytes);
    void end();

Q_SIGNALS:
    void idle();

private:
    void check();

    const OfficeClock &m_clock;
    std::function<std::optional<quint64>()> m_bytes;
    QTimer m_timer;
    qint64 m_idleMs = 0;
    quint64 m_idleBytes = 0;
    std::optional<IdleWindow> m_window; // none until the first reading
    bool m_running = false;
};
