// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AddressRange.h"

#include <QHash>

// Who may link: the allowed ranges and the caps on links in total and per address. Refusals are
// logged at most once a minute per address, so that a scan or a client that keeps retrying
// cannot fill the journal.
class Admission
{
public:
    struct Settings
    {
        QList<AddressRange> allowFrom;
        int maxLinks = 1000;
        int maxLinksPerAddress = 50;
    };

    void setSettings(const Settings &settings) { m_settings = settings; }
    // Why a new link from address is refused, or nothing when it is admitted.
    QString refusal(const QHostAddress &address) const;
    void linked(const QHostAddress &address);
    void unlinked(const QHostAddress &address);
    int total() const { return m_total; }
    // True when a refusal of address at nowMs is to be logged.
    bool logDue(const QHostAddress &address, qint64 nowMs);

private:
    Settings m_settings;
    QHash<QHostAddress, int> m_perAddress;
    int m_total = 0;
    QHash<QHostAddress, qint64> m_lastLogged;
};
