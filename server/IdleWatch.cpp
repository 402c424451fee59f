// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "IdleWatch.h"

#include "OfficeClock.h"

namespace {

// As often as the line's traffic counter reads the interface.
constexpr int kCheckMs = 2000;

} // namespace

IdleWindow nextWindow(const IdleWindow &window, qint64 nowMs, quint64 bytes, quint64 idleBytes)
{
    if (bytes < window.bytes || bytes - window.bytes >= idleBytes)
        return {nowMs, bytes};
    return window;
}

IdleWatch::IdleWatch(const OfficeClock &clock, std::function<std::optional<quint64>()> bytes,
                     QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_bytes(std::move(bytes))
{
    m_timer.setInterval(kCheckMs);
    connect(&m_timer, &QTimer::timeout, this, &IdleWatch::check);
    connect(&clock, &OfficeClock::advanced, this, [this] {
        if (m_running)
            check();
    });
}

void IdleWatch::begin(qint64 idleMs, quint64 idleBytes)
{
    m_window.reset();
    m_running = true;
    setRule(idleMs, idleBytes);
}

void IdleWatch::setRule(qint64 idleMs, quint64 idleBytes)
{
    m_idleMs = idleMs;
    m_idleBytes = idleBytes;
    if (!m_running || idleMs <= 0) {
        m_timer.stop();
        return;
    }
    if (!m_timer.isActive())
        m_timer.start();
    check();
}

void IdleWatch::end()
{
    m_running = false;
    m_timer.stop();
    m_window.reset();
}

void IdleWatch::check()
{
    if (!m_running || m_idleMs <= 0)
        return;
    const std::optional<quint64> bytes = m_bytes();
    if (!bytes)
        return;
    const qint64 now = m_clock.nowMs();
    m_window = m_window ? nextWindow(*m_window, now, *bytes, m_idleBytes) : IdleWindow{now, *bytes};
    if (now - m_window->sinceMs < m_idleMs)
        return;
    m_window = IdleWindow{now, *bytes};
    Q_EMIT idle();
}
