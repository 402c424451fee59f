// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PasswordThrottle.h"

#include <algorithm>

namespace {

constexpr int kMostDoublings = 6;
// Beyond this many remembered addresses, those free to try again are forgotten.
constexpr qsizetype kRemembered = 4096;

} // namespace

qint64 PasswordThrottle::remainingMs(const QHostAddress &address, qint64 nowMs) const
{
    const auto it = m_state.constFind(AddressRange::host(address));
    return it == m_state.constEnd() ? 0 : std::max<qint64>(0, it->until - nowMs);
}

void PasswordThrottle::failed(const QHostAddress &address, qint64 nowMs)
{
    if (m_state.size() >= kRemembered)
        m_state.removeIf([nowMs](const auto &item) { return item.value().until <= nowMs; });
    State &state = m_state[AddressRange::host(address)];
    const int doublings = std::min(state.failures, kMostDoublings);
    ++state.failures;
    state.until = nowMs + (qint64(m_firstDelayMs) << doublings);
}
