// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <QHash>
#include <QList>
#include <set>

class ClientLink;

// The state of one request to hang up: who asked, and which other clients may still object.
// A client asked counts down from the moment the question leaves for it; until then its question
// is only queued and can be withdrawn. However the questions travel, the exchange ends by its
// closing time: a desk that leaves its messages unacknowledged does not hold it up.
class DisconnectExchange
{
public:
    bool active() const { return m_active; }
    // requester may be none: the server itself asks. closingMs: when the exchange ends at the
    // latest.
    void start(ClientLink *requester, const QList<ClientLink *> &asked, qint64 closingMs);
    // A second request while one runs: its sender no longer objects and hears the outcome.
    void addRequester(ClientLink *link);
    // The question has left for link; its answer is due by deadlineMs.
    void questionSent(ClientLink *link, qint64 deadlineMs);
    // Takes link's answer; false when link has nothing to answer.
    bool answer(ClientLink *link);
    // A link that is gone no longer hears the outcome, nor objects.
    void forget(ClientLink *link);
    void clear();

    const QList<ClientLink *> &requesters() const { return m_requesters; }
    // Asked, question delivered, no answer yet: their countdown is open.
    QList<ClientLink *> counting() const;
    // Asked, question still queued.
    QList<ClientLink *> queued() const;
    bool settled() const { return m_pending.isEmpty(); }
    // The moment the last answer is due, never after the closing time.
    qint64 lastDeadline() const;

private:
    // Takes link out of the pending ones; false when it was not pending.
    bool removePending(ClientLink *link);

    bool m_active = false;
    qint64 m_closingMs = 0;
    QList<ClientLink *> m_requesters;
    QHash<ClientLink *, std::optional<qint64>> m_pending; // nothing while the question is queued
    // The same, counted as it changes: with thousands of desks every delivery and answer is
    // reviewed, and a walk over all the pending ones each time would cost their square.
    qsizetype m_queuedCount = 0;
    std::multiset<qint64> m_deadlines;
};
