// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Admission.h"

#include <algorithm>

QString Admission::refusal(const QHostAddress &address) const
{
    if (!allowed(address))
        return QStringLiteral("not in AllowFrom");
    if (m_total >= m_settings.maxLinks)
        return QStringLiteral("%1 links already, the most allowed (MaxLinks)")
            .arg(QString::number(m_total));
    const int fromHost = m_perHost.value(AddressRange::host(address));
    if (fromHost >= m_settings.maxLinksPerAddress)
        return QStringLiteral("%1 links from that address already, the most allowed "
                              "(MaxLinksPerAddress)")
            .arg(QString::number(fromHost));
    return QString();
}

void Admission::linked(const QHostAddress &address)
{
    ++m_total;
    ++m_perHost[AddressRange::host(address)];
}

void Admission::unlinked(const QHostAddress &address)
{
    --m_total;
    const auto it = m_perHost.find(AddressRange::host(address));
    if (it != m_perHost.end() && --*it <= 0)
        m_perHost.remove(it.key());
}

QStringList Admission::refused(const QHostAddress &address, const QString &why, qint64 nowMs)
{
    QStringList lines;
    const QString ended = summary(nowMs);
    if (!ended.isEmpty())
        lines.append(ended);
    if (m_windowStart < 0 || nowMs - m_windowStart >= LogWindowMs) {
        m_windowStart = nowMs;
        m_logged.clear();
    }
    if (m_logged.size() < LoggedPerWindow && !m_logged.contains(address)) {
        m_logged.insert(address);
        lines.append(QStringLiteral("Refused a link from %1: %2").arg(address.toString(), why));
        return lines;
    }
    // The reason without its figures, so that a handful of keys count them all.
    ++m_leftOut;
    ++m_leftOutWhy[why.section(QLatin1Char('('), -1).remove(QLatin1Char(')'))];
    return lines;
}

QString Admission::summary(qint64 nowMs)
{
    if (m_leftOut == 0 || nowMs - m_windowStart < LogWindowMs)
        return QString();
    QStringList reasons;
    for (auto it = m_leftOutWhy.cbegin(); it != m_leftOutWhy.cend(); ++it)
        reasons.append(QStringLiteral("%1 %2").arg(QString::number(it.value()), it.key()));
    std::sort(reasons.begin(), reasons.end());
    const QString line = QStringLiteral("Refused %1 more link(s) in the last minute, not logged "
                                        "one by one: %2")
                             .arg(QString::number(m_leftOut), reasons.join(QStringLiteral(", ")));
    m_leftOut = 0;
    m_leftOutWhy.clear();
    m_windowStart = -1;
    m_logged.clear();
    return line;
}
