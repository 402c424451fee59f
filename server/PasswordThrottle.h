// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AddressRange.h"

#include <QHash>
#include <QHostAddress>

// Wrong passwords per host (an IPv6 host by its /64, which one machine may fill with addresses):
// after each one in a row, the next try from that address waits twice as long as before (the first
// delay, then twice, four times... at most 64 times). Every wrong try of a password that the line
// judges may be a real, billed call.
class PasswordThrottle
{
public:
    void setFirstDelay(int ms) { m_firstDelayMs = ms; }
    // How long address must still wait before its next try; 0 when it may try now.
    qint64 remainingMs(const QHostAddress &address, qint64 nowMs) const;
    void failed(const QHostAddress &address, qint64 nowMs);
    void succeeded(const QHostAddress &address) { m_state.remove(AddressRange::host(address)); }

private:
    struct State
    {
        int failures = 0;
        qint64 until = 0;
    };
    int m_firstDelayMs = 2000;
    QHash<QHostAddress, State> m_state;
};
