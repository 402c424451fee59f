// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The server's side that faces the line: requests to hang up and the other desks' answers, the
// line's changes, the limit on a call's length and the accounting log. The vote itself and the
// timing are HangUpVote's.

#include "Log.h"
#include "Protocol.h"
#include "VelmoraServer.h"

using ClientRequests::Kind;

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
    if (m_vote.active()) {
        // Asked again by the same desk: one request, accounted once.
        if (!m_vote.join(link)) {
            report(link, Log::Level::Info,
                   QStringLiteral("%1 asks again to hang up").arg(link->name()));
            return;
        }
        account(QStringLiteral("hang-up request"), link);
        Log::info(QStringLiteral("%1 also asks to hang up").arg(link->name()));
        return;
    }
    account(QStringLiteral("hang-up request"), link);
    startVote(link);
}

void VelmoraServer::startVote(ClientLink *requester, bool idle)
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
    m_vote.start(requester, others, idle);
}

void VelmoraServer::onDelivered(ClientLink *link, ClientLink::Tag tag)
{
    if (tag == ClientLink::Tag::DisconnectRequest)
        m_vote.delivered(link);
}

void VelmoraServer::handleAnswer(ClientLink *link, Kind kind)
{
    if (!m_vote.answer(link)) {
        report(
            link, Log::Level::Info,
            QStringLiteral("%1 answered a hang-up request that is not pending").arg(link->name()));
        return;
    }
    // An idle call has no countdown to cancel: only a lock, answered at once, keeps it.
    if (kind == Kind::Cancel && m_vote.idle()) {
        Log::info(QStringLiteral("%1 refuses the hang-up of an idle call; only a lock keeps it")
                      .arg(link->name()));
        m_vote.review();
        return;
    }
    // A desk that may not refuse has its refusal counted as consent.
    if (kind != Kind::Ok && !allowed(link, m_config.rightsFor(link->peerAddress()).refuse,
                                     QStringLiteral("Refusing a hang-up"))) {
        m_vote.review();
        return;
    }
    switch (kind) {
    case Kind::Cancel:
        Log::info(QStringLiteral("%1 refuses the hang-up").arg(link->name()));
        account(QStringLiteral("refused"), link);
        m_vote.refuse(Protocol::MsgCancelled);
        break;
    case Kind::Locked:
        Log::info(QStringLiteral("%1 has the line locked").arg(link->name()));
        account(QStringLiteral("locked"), link);
        m_vote.refuse(Protocol::MsgLocked);
        break;
    default:
        m_vote.review();
        break;
    }
}

void VelmoraServer::onVoteSettled(const QString &why)
{
    Log::info(why);
    m_line.hangUp();
}

void VelmoraServer::onLineState(Line::State state)
{
    switch (state) {
    case Line::State::Up: {
        m_upSinceMs = m_clock.nowMs();
        if (m_caller.lineJudgesPassword)
            m_throttle.succeeded(m_caller.address);
        m_accounting.record(QStringLiteral("up"), m_caller.identity, m_caller.address.toString(),
                            m_line.entry());
        m_vote.callUp(onlineCapMs());
        m_idleWatch.begin(idleMs(), quint64(m_config.idleBytes));
        break;
    }
    case Line::State::Down: {
        m_vote.callDown();
        m_idleWatch.end();
        // A dial that failed on a password the line judged counts as a wrong password.
        if (m_upSinceMs < 0 && m_caller.lineJudgesPassword)
            m_throttle.failed(m_caller.address, m_clock.nowMs());
        const std::optional<Traffic> traffic = m_line.callTraffic();
        m_accounting.record(QStringLiteral("down"), QString(), QString(), m_line.entry(),
                            m_upSinceMs < 0 ? -1 : (m_clock.nowMs() - m_upSinceMs) / 1000,
                            traffic ? qint64(traffic->received) : -1,
                            traffic ? qint64(traffic->sent) : -1);
        m_upSinceMs = -1;
        m_caller = {};
        if (m_vote.active()) {
            Log::info(QStringLiteral("The line went down during a hang-up request"));
            m_vote.abandon();
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
    if (m_line.state() != Line::State::Up || m_stopping)
        return;
    Log::info(QStringLiteral("The call on %1 reached its time limit").arg(m_line.entry()));
    m_accounting.record(QStringLiteral("time limit"), QString(), QString(), m_line.entry());
    startVote(nullptr);
}

qint64 VelmoraServer::onlineCapMs() const
{
    const PhonebookEntry *entry = m_config.findEntry(m_line.entry());
    return entry ? entry->maxOnlineMs : 0;
}

void VelmoraServer::onIdle()
{
    // A vote already running decides; the idle time is counted again from now.
    if (m_line.state() != Line::State::Up || m_stopping || m_vote.active())
        return;
    Log::info(QStringLiteral("The call on %1 has been idle for %2 minute(s)")
                  .arg(m_line.entry(), QString::number(idleMs() / 60000.0)));
    m_accounting.record(QStringLiteral("idle"), QString(), QString(), m_line.entry());
    startVote(nullptr, true);
}

qint64 VelmoraServer::idleMs() const
{
    const PhonebookEntry *entry = m_config.findEntry(m_line.entry());
    if (entry && entry->idleMs >= 0)
        return entry->idleMs;
    return m_config.idleMinutes * 60000LL;
}
