// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The server's side that faces the line: requests to hang up and the other desks' answers, the
// line's changes, the limit on a call's length and the accounting log.

#include "Cp1252.h"
#include "Log.h"
#include "Protocol.h"
#include "VelmoraServer.h"

using ClientRequests::Kind;

namespace {

// A client answers a hang-up request within its countdown, counted from the moment it got the
// question; the answer itself still has to travel.
constexpr int kAnswerGraceMs = 1000;

} // namespace

void VelmoraServer::account(const QString &event, const ClientLink *link, qint64 seconds)
{
    m_accounting.record(event, link ? link->identity() : QString(),
                        link ? link->peerAddress().toString() : QString(), m_line.entry(), seconds);
}

void VelmoraServer::handleDisconnect(ClientLink *link)
{
    switch (m_line.state()) {
    case Line::State::Down:
        // The client missed a change; the current state puts it right.
        send(link, m_line.statusLine());
        return;
    case Line::State::HangingUp:
        return;
    case Line::State::Dialling:
    case Line::State::Up:
        break;
    }
    if (!allowed(link, m_config.rightsFor(link->peerAddress()).hangUp,
                 QStringLiteral("Hanging up")))
        return;
    if (m_exchange.active()) {
        // Asked again by the same desk: one request, accounted once.
        if (m_exchange.requesters().contains(link)) {
            report(link, Log::Level::Info,
                   QStringLiteral("%1 asks again to hang up").arg(link->name()));
            return;
        }
        account(QStringLiteral("hang-up request"), link);
        Log::info(QStringLiteral("%1 also asks to hang up").arg(link->name()));
        // Its own question, still queued, would open a countdown for a vote it has joined.
        link->withdraw(ClientLink::Tag::DisconnectRequest);
        m_exchange.addRequester(link);
        reviewExchange();
        return;
    }
    account(QStringLiteral("hang-up request"), link);
    startExchange(link);
}

void VelmoraServer::startExchange(ClientLink *requester)
{
    const QString who = requester ? requester->name() : QStringLiteral("The server");
    QList<ClientLink *> others = m_links;
    others.removeOne(requester);
    if (others.isEmpty()) {
        Log::info(QStringLiteral("%1 asks to hang up; nobody else is linked").arg(who));
        m_line.hangUp();
        return;
    }
    Log::info(QStringLiteral("%1 asks to hang up; asking %2 other client(s)")
                  .arg(who, QString::number(others.size())));
    const qint64 closing = m_clock.elapsed() + m_config.disconnectSeconds * 1000LL + kAnswerGraceMs;
    m_exchange.start(requester, others, closing);
    m_exchangeDue = closing;
    m_exchangeTimer.start(int(closing - m_clock.elapsed()));
    const QByteArray question =
        Cp1252::encode(Protocol::MsgDisconnectPrefix + QString::number(m_config.disconnectSeconds));
    for (ClientLink *other : std::as_const(others))
        other->send(question, ClientLink::Tag::DisconnectRequest);
}

void VelmoraServer::onDelivered(ClientLink *link, ClientLink::Tag tag)
{
    if (tag != ClientLink::Tag::DisconnectRequest || !m_exchange.active())
        return;
    m_exchange.questionSent(link, m_clock.elapsed() + m_config.disconnectSeconds * 1000LL +
                                      kAnswerGraceMs);
    reviewExchange();
}

void VelmoraServer::handleAnswer(ClientLink *link, Kind kind)
{
    if (!m_exchange.active() || !m_exchange.answer(link)) {
        report(
            link, Log::Level::Info,
            QStringLiteral("%1 answered a hang-up request that is not pending").arg(link->name()));
        return;
    }
    // A desk that may not refuse has its refusal counted as consent.
    if (kind != Kind::Ok && !allowed(link, m_config.rightsFor(link->peerAddress()).refuse,
                                     QStringLiteral("Refusing a hang-up"))) {
        reviewExchange();
        return;
    }
    switch (kind) {
    case Kind::Cancel:
        Log::info(QStringLiteral("%1 refuses the hang-up").arg(link->name()));
        account(QStringLiteral("refused"), link);
        refuseExchange(Protocol::MsgCancelled);
        break;
    case Kind::Locked:
        Log::info(QStringLiteral("%1 has the line locked").arg(link->name()));
        account(QStringLiteral("locked"), link);
        refuseExchange(Protocol::MsgLocked);
        break;
    default:
        reviewExchange();
        break;
    }
}

void VelmoraServer::reviewExchange()
{
    if (!m_exchange.active())
        return;
    if (m_exchange.settled()) {
        Log::info(QStringLiteral("No objection to the hang-up"));
        hangUpNow();
        return;
    }
    const qint64 due = m_exchange.lastDeadline();
    const qint64 remaining = due - m_clock.elapsed();
    if (remaining > 0) {
        // Every delivery and answer of thousands comes here; restarting the timer each time
        // would walk the event loop's timers, one per link awaiting an acknowledgement.
        if (due != m_exchangeDue || !m_exchangeTimer.isActive()) {
            m_exchangeDue = due;
            m_exchangeTimer.start(int(remaining));
        }
        return;
    }
    Log::info(QStringLiteral("%1 client(s) did not answer in time; hanging up")
                  .arg(QString::number(m_exchange.counting().size() + m_exchange.queued().size())));
    hangUpNow();
}

void VelmoraServer::hangUpNow()
{
    // A question still queued would open a countdown for a line already going.
    for (ClientLink *link : m_exchange.queued())
        link->withdraw(ClientLink::Tag::DisconnectRequest);
    m_exchangeTimer.stop();
    m_exchange.clear();
    m_line.hangUp();
}

void VelmoraServer::refuseExchange(const QString &toRequesters)
{
    for (ClientLink *link : m_exchange.queued())
        link->withdraw(ClientLink::Tag::DisconnectRequest);
    for (ClientLink *link : m_exchange.requesters())
        send(link, toRequesters);
    for (ClientLink *link : m_exchange.counting())
        send(link, Protocol::MsgCancelled);
    m_exchangeTimer.stop();
    m_exchange.clear();
    // Refused at the call's time limit: the server asks again after another such period.
    if (m_line.state() == Line::State::Up && !m_onlineTimer.isActive() && onlineCapMs() > 0)
        timeOnlineLimit(m_clock.elapsed());
}

void VelmoraServer::abandonExchange()
{
    for (ClientLink *link : m_exchange.queued())
        link->withdraw(ClientLink::Tag::DisconnectRequest);
    for (ClientLink *link : m_exchange.counting())
        send(link, Protocol::MsgCancelled);
    m_exchangeTimer.stop();
    m_exchange.clear();
}

void VelmoraServer::onLineState(Line::State state)
{
    switch (state) {
    case Line::State::Up: {
        m_upSince.start();
        if (m_caller.lineJudgesPassword)
            m_throttle.succeeded(m_caller.address);
        m_accounting.record(QStringLiteral("up"), m_caller.identity, m_caller.address.toString(),
                            m_line.entry());
        timeOnlineLimit(m_clock.elapsed());
        break;
    }
    case Line::State::Down: {
        m_onlineTimer.stop();
        // A dial that failed on a password the line judged counts as a wrong password.
        if (!m_upSince.isValid() && m_caller.lineJudgesPassword)
            m_throttle.failed(m_caller.address, m_clock.elapsed());
        m_accounting.record(QStringLiteral("down"), QString(), QString(), m_line.entry(),
                            m_upSince.isValid() ? m_upSince.elapsed() / 1000 : -1);
        m_upSince.invalidate();
        m_caller = {};
        if (m_exchange.active()) {
            Log::info(QStringLiteral("The line went down during a hang-up request"));
            abandonExchange();
        }
        break;
    }
    case Line::State::Dialling:
    case Line::State::HangingUp:
        break;
    }
}

void VelmoraServer::onOnlineLimit()
{
    if (m_line.state() != Line::State::Up || m_exchange.active() || m_stopping)
        return;
    Log::info(QStringLiteral("The call on %1 reached its time limit").arg(m_line.entry()));
    m_accounting.record(QStringLiteral("time limit"), QString(), QString(), m_line.entry());
    startExchange(nullptr);
}

qint64 VelmoraServer::onlineCapMs() const
{
    const PhonebookEntry *entry = m_config.findEntry(m_line.entry());
    return entry ? entry->maxOnlineMs : 0;
}

void VelmoraServer::timeOnlineLimit(qint64 sinceMs)
{
    m_onlineSince = sinceMs;
    const qint64 cap = onlineCapMs();
    if (cap <= 0) {
        m_onlineTimer.stop();
        return;
    }
    // A period already longer than a lowered limit ends at once.
    m_onlineTimer.start(
        std::chrono::milliseconds(std::max<qint64>(0, sinceMs + cap - m_clock.elapsed())));
}
