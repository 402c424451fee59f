// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AddressRange.h"

#include <QHash>
#include <QSet>
#include <QStringList>

// Who may link: the allowed ranges and the caps on links in total and per host (an IPv6 host
// by its /64). Refusals are logged sparingly, so that a scan or a client that keeps retrying
// cannot fill the journal: in a minute the first few addresses get a line each, everything
// after them is counted and summarised in one line when the minute is over. The bookkeeping
// is bounded whatever the number of addresses.
class Admission
{
public:
    struct Settings
    {
        QList<AddressRange> allowFrom;
        int maxLinks = 1000;
        int maxLinksPerAddress = 50;
    };
    static constexpr qint64 LogWindowMs = 60000;
    // Addresses logged one by one in a minute.
    static constexpr int LoggedPerWindow = 5;

    void setSettings(const Settings &settings) { m_settings = settings; }
    // Why a new link from address is refused, or nothing when it is admitted.
    QString refusal(const QHostAddress &address) const;
    // Whether a link from address would be refused by the allowed ranges alone.
    bool allowed(const QHostAddress &address) const
    {
        return anyContains(m_settings.allowFrom, address);
    }
    void linked(const QHostAddress &address);
    void unlinked(const QHostAddress &address);
    int total() const { return m_total; }

    // Takes a refusal at nowMs and returns the lines to log now: the summary of a minute that
    // has ended, and the refusal itself while the minute still logs addresses one by one.
    QStringList refused(const QHostAddress &address, const QString &why, qint64 nowMs);
    // The summary of the minute, once it has ended at nowMs; empty when nothing was left out.
    QString summary(qint64 nowMs);
    // When the current minute ends; -1 when nothing waits for a summary.
    qint64 summaryDue() const { return m_leftOut > 0 ? m_windowStart + LogWindowMs : -1; }

private:
    Settings m_settings;
    QHash<QHostAddress, int> m_perHost;
    int m_total = 0;
    qint64 m_windowStart = -1;
    QSet<QHostAddress> m_logged; // the addresses logged one by one in this minute
    qsizetype m_leftOut = 0;
    QHash<QString, qsizetype> m_leftOutWhy;
};
