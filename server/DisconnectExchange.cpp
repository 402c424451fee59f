// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DisconnectExchange.h"

#include <algorithm>

void DisconnectExchange::start(ClientLink *requester, const QList<ClientLink *> &asked,
                               qint64 closingMs)
{
    clear();
    m_active = true;
    m_closingMs = closingMs;
    if (requester)
        m_requesters.append(requester);
    for (ClientLink *link : asked)
        m_pending.insert(link, std::nullopt);
    m_queuedCount = m_pending.size();
}

void DisconnectExchange::addRequester(ClientLink *link)
{
    removePending(link);
    if (!m_requesters.contains(link))
        m_requesters.append(link);
}

void DisconnectExchange::questionSent(ClientLink *link, qint64 deadlineMs)
{
    const auto it = m_pending.find(link);
    if (it == m_pending.end())
        return;
    if (*it)
        m_deadlines.erase(m_deadlines.find(**it));
    else
        --m_queuedCount;
    *it = deadlineMs;
    m_deadlines.insert(deadlineMs);
}

bool DisconnectExchange::answer(ClientLink *link)
{
    return removePending(link);
}

void DisconnectExchange::forget(ClientLink *link)
{
    removePending(link);
    m_requesters.removeAll(link);
}

void DisconnectExchange::clear()
{
    m_active = false;
    m_requesters.clear();
    m_pending.clear();
    m_queuedCount = 0;
    m_deadlines.clear();
}

bool DisconnectExchange::removePending(ClientLink *link)
{
    const auto it = m_pending.constFind(link);
    if (it == m_pending.cend())
        return false;
    if (*it)
        m_deadlines.erase(m_deadlines.find(**it));
    else
        --m_queuedCount;
    m_pending.erase(it);
    return true;
}

QList<ClientLink *> DisconnectExchange::counting() const
{
    QList<ClientLink *> links;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value())
            links.append(it.key());
    }
    return links;
}

QList<ClientLink *> DisconnectExchange::queued() const
{
    QList<ClientLink *> links;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (!it.value())
            links.append(it.key());
    }
    return links;
}

qint64 DisconnectExchange::lastDeadline() const
{
    if (m_queuedCount > 0)
        return m_closingMs;
    const qint64 last = m_deadlines.empty() ? 0 : *m_deadlines.rbegin();
    return std::min(last, m_closingMs);
}
