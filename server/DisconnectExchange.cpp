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
}

void DisconnectExchange::addRequester(ClientLink *link)
{
    m_pending.remove(link);
    if (!m_requesters.contains(link))
        m_requesters.append(link);
}

void DisconnectExchange::questionSent(ClientLink *link, qint64 deadlineMs)
{
    const auto it = m_pending.find(link);
    if (it != m_pending.end())
        *it = deadlineMs;
}

bool DisconnectExchange::answer(ClientLink *link)
{
    return m_pending.remove(link) > 0;
}

void DisconnectExchange::forget(ClientLink *link)
{
    m_pending.remove(link);
    m_requesters.removeAll(link);
}

void DisconnectExchange::clear()
{
    m_active = false;
    m_requesters.clear();
    m_pending.clear();
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
    qint64 last = 0;
    for (const std::optional<qint64> &deadline : m_pending) {
        if (!deadline)
            return m_closingMs;
        last = std::max(last, *deadline);
    }
    return std::min(last, m_closingMs);
}
