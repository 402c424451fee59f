// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "DisconnectExchange.h"

#include <QList>
#include <QString>
#include <QTimer>

class ClientLink;
class OfficeClock;

// The vote on a hang-up and the call's time limit, timed on the clock it is given. It asks the
// other desks ("MSG_DISCONNECT+" and the countdown), closes the countdowns of a refused or
// abandoned vote, and says when the line may go (settled) or when the call has reached its
// limit (limitReached); the server judges rights, accounts and drives the line.
class HangUpVote : public QObject
{
    Q_OBJECT

public:
    explicit HangUpVote(const OfficeClock &clock, QObject *parent = nullptr);

    void setCountdownSeconds(int seconds) { m_countdownSeconds = seconds; }
    bool active() const { return m_exchange.active(); }
    // Asks every link in asked; requester may be none (the time limit asks). An idle call's
    // question comes without a countdown ("MSG_DISCONNECT+0"): no user is asked, and only a
    // desk with the line locked answers at once and refuses.
    void start(ClientLink *requester, const QList<ClientLink *> &asked, bool idle = false);
    // The vote in progress is about an idle call.
    bool idle() const { return m_idle; }
    // A further request during the vote; false when link has already asked.
    bool join(ClientLink *link);
    // The question has just left for link: its countdown runs from now.
    void delivered(ClientLink *link);
    // Takes link's answer, whatever it is; false when link has nothing to answer.
    bool answer(ClientLink *link);
    // Settles the vote when nobody objects any more or its time is up.
    void review();
    // Ends the vote refused: requesters hear toRequesters, desks still counting "MSG_CANCELLED".
    void refuse(const QString &toRequesters);
    // Ends the vote because the line went down: the countdowns close.
    void abandon();
    // A link that is gone no longer objects nor hears the outcome.
    void forget(ClientLink *link);
    // Ends everything at once and says nothing: the server stops.
    void stop();

    // The call came up now, limited to capMs (0: none), or went down.
    void callUp(qint64 capMs);
    void callDown();
    // A new limit for the call in progress, over the period already begun; once the old limit
    // has put its vote, that vote decides. False when the call's timing did not change.
    bool setCap(qint64 capMs);

Q_SIGNALS:
    // Nobody objects any more (why: for the log); the line may go.
    void settled(const QString &why);
    void limitReached();

private:
    void finish();
    void timeLimit(qint64 sinceMs);
    void onLimit();
    qint64 closingDelayMs() const;

    const OfficeClock &m_clock;
    int m_countdownSeconds = 30;
    bool m_idle = false;
    DisconnectExchange m_exchange;
    QTimer m_voteTimer;
    qint64 m_voteDue = 0;
    bool m_callUp = false;
    qint64 m_capMs = 0;
    QTimer m_limitTimer;
    qint64 m_limitDue = -1; // -1: not timed
    qint64 m_periodStart = 0;
};
