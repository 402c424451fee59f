// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "HangUpVote.h"

#include "ClientLink.h"
#include "Cp1252.h"
#include "OfficeClock.h"
#include "Protocol.h"

#include <algorithm>
#include <chrono>

namespace {

// A client answers within its countdown, counted from the moment it got the question; the
// answer itself still has to travel.
constexpr int kAnswerGraceMs = 1000;

std::chrono::milliseconds until(qint64 dueMs, qint64 nowMs)
{
    return std::chrono::milliseconds(std::max<qint64>(0, dueMs - nowMs));
}

} // namespace

HangUpVote::HangUpVote(const OfficeClock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{
    m_voteTimer.setSingleShot(true);
    connect(&m_voteTimer, &QTimer::timeout, this, &HangUpVote::review);
    m_limitTimer.setSingleShot(true);
    connect(&m_limitTimer, &QTimer::timeout, this, &HangUpVote::onLimit);
    connect(&clock, &OfficeClock::advanced, this, [this] {
        if (m_limitDue >= 0)
            m_limitTimer.start(until(m_limitDue, m_clock.nowMs()));
        review();
    });
}

qint64 HangUpVote::closingDelayMs() const
{
    return (m_idle ? 0 : m_countdownSeconds * 1000LL) + kAnswerGraceMs;
}

void HangUpVote::start(ClientLink *requester, const QList<ClientLink *> &asked, bool idle)
{
    m_idle = idle;
    const qint64 closing = m_clock.nowMs() + closingDelayMs();
    m_exchange.start(requester, asked, closing);
    m_voteDue = closing;
    m_voteTimer.start(until(closing, m_clock.nowMs()));
    const QByteArray question = Cp1252::encode(Protocol::MsgDisconnectPrefix +
                                               QString::number(idle ? 0 : m_countdownSeconds));
    for (ClientLink *link : asked)
        link->send(question, ClientLink::Tag::DisconnectRequest);
}

bool HangUpVote::join(ClientLink *link)
{
    if (m_exchange.requesters().contains(link))
        return false;
    // Its own question, still queued, would open a countdown for a vote it has joined.
    link->withdraw(ClientLink::Tag::DisconnectRequest);
    m_exchange.addRequester(link);
    review();
    return true;
}

void HangUpVote::delivered(ClientLink *link)
{
    if (!m_exchange.active())
        return;
    m_exchange.questionSent(link, m_clock.nowMs() + closingDelayMs());
    review();
}

bool HangUpVote::answer(ClientLink *link)
{
    return m_exchange.active() && m_exchange.answer(link);
}

void HangUpVote::refuse(const QString &toRequesters)
{
    const QByteArray requesters = Cp1252::encode(toRequesters);
    for (ClientLink *link : m_exchange.requesters())
        link->send(requesters);
    abandon();
    // Refused at the call's time limit: the vote is put again after another such period.
    if (m_callUp && m_limitDue < 0 && m_capMs > 0)
        timeLimit(m_clock.nowMs());
}

void HangUpVote::abandon()
{
    const QByteArray cancelled = Cp1252::encode(Protocol::MsgCancelled);
    for (ClientLink *link : m_exchange.counting())
        link->send(cancelled);
    finish();
}

void HangUpVote::forget(ClientLink *link)
{
    if (!m_exchange.active())
        return;
    m_exchange.forget(link);
    review();
}

void HangUpVote::stop()
{
    m_voteTimer.stop();
    m_exchange.clear();
    m_idle = false;
    callDown();
}

void HangUpVote::review()
{
    if (!m_exchange.active())
        return;
    if (m_exchange.settled()) {
        finish();
        Q_EMIT settled(QStringLiteral("No objection to the hang-up"));
        return;
    }
    const qint64 due = m_exchange.lastDeadline();
    if (due > m_clock.nowMs()) {
        // Every delivery and answer of thousands comes here; restarting the timer each time
        // would walk the event loop's timers, one per link awaiting an acknowledgement.
        if (due != m_voteDue || !m_voteTimer.isActive()) {
            m_voteDue = due;
            m_voteTimer.start(until(due, m_clock.nowMs()));
        }
        return;
    }
    const qsizetype silent = m_exchange.counting().size() + m_exchange.queued().size();
    finish();
    Q_EMIT settled(QStringLiteral("%1 client(s) did not answer in time; hanging up")
                       .arg(QString::number(silent)));
}

void HangUpVote::finish()
{
    // A question still queued would open a countdown for a vote that has ended.
    for (ClientLink *link : m_exchange.queued())
        link->withdraw(ClientLink::Tag::DisconnectRequest);
    m_voteTimer.stop();
    m_exchange.clear();
    m_idle = false;
}

void HangUpVote::callUp(qint64 capMs)
{
    m_callUp = true;
    m_capMs = capMs;
    timeLimit(m_clock.nowMs());
}

void HangUpVote::callDown()
{
    m_callUp = false;
    m_limitDue = -1;
    m_limitTimer.stop();
}

bool HangUpVote::setCap(qint64 capMs)
{
    const qint64 old = m_capMs;
    m_capMs = capMs;
    if (capMs == old || !m_callUp || (m_limitDue < 0 && old != 0))
        return false;
    timeLimit(m_periodStart);
    return true;
}

void HangUpVote::timeLimit(qint64 sinceMs)
{
    m_periodStart = sinceMs;
    if (m_capMs <= 0) {
        m_limitDue = -1;
        m_limitTimer.stop();
        return;
    }
    // A period already longer than a lowered limit ends at once.
    m_limitDue = sinceMs + m_capMs;
    m_limitTimer.start(until(m_limitDue, m_clock.nowMs()));
}

void HangUpVote::onLimit()
{
    if (m_limitDue < 0)
        return;
    // A coarse timer may end a little early.
    if (m_limitDue > m_clock.nowMs()) {
        m_limitTimer.start(until(m_limitDue, m_clock.nowMs()));
        return;
    }
    m_limitDue = -1;
    if (m_callUp && !m_exchange.active())
        Q_EMIT limitReached();
}
