// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Admission.h"

namespace {

constexpr qint64 kLogIntervalMs = 60000;
// Beyond this many remembered addresses the stale ones are forgotten.
constexpr qsizetype kRemembered = 4096;

} // namespace

QString Admission::refusal(const QHostAddress &address) const
{
    if (!anyContains(m_settings.allowFrom, address))
        return QStringLiteral("not in AllowFrom");
    if (m_total >= m_settings.maxLinks)
        return QStringLiteral("%1 links already, the most allowed (MaxLinks)")
            .arg(QString::number(m_total));
    if (m_perAddress.value(address) >= m_settings.maxLinksPerAddress)
        return QStringLiteral("%1 links from that address already, the most allowed "
                              "(MaxLinksPerAddress)")
            .arg(QString::number(m_perAddress.value(address)));
    return QString();
}

void Admission::linked(const QHostAddress &address)
{
    ++m_total;
    ++m_perAddress[address];
}

void Admission::unlinked(const QHostAddress &address)
{
    --m_total;
    const auto it = m_perAddress.find(address);
    if (it != m_perAddress.end() && --*it <= 0)
        m_perAddress.remove(address);
}

bool Admission::logDue(const QHostAddress &address, qint64 nowMs)
{
    const auto it = m_lastLogged.constFind(address);
    if (it != m_lastLogged.constEnd() && nowMs - *it < kLogIntervalMs)
        return false;
    if (m_lastLogged.size() >= kRemembered)
        m_lastLogged.removeIf(
            [nowMs](const auto &item) { return nowMs - item.value() >= kLogIntervalMs; });
    m_lastLogged.insert(address, nowMs);
    return true;
}
