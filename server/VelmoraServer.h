// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "Acceptor.h"
#include "Accounting.h"
#include "Admission.h"
#include "ClientLink.h"
#include "ClientRequests.h"
#include "HangUpVote.h"
#include "IdleWatch.h"
#include "Line.h"
#include "Log.h"
#include "OfficeClock.h"
#include "PasswordThrottle.h"
#include "ServerConfig.h"

#include <memory>
#include <QElapsedTimer>
#include <QMultiHash>
#include <QTimer>
#include <vector>

// The server: the clients' links, the line they share, the requests between them. It runs on
// one thread, driven by its event loop, and never waits on a client or on the line. Its
// functions are defined beside what they face: the network in ServerListening.cpp, the desks'
// requests in VelmoraServer.cpp, the line and the hang-up in ServerHangUp.cpp; the vote and the
// call's time limit are HangUpVote's, each link's discipline ClientLink's.
class VelmoraServer : public QObject
{
    Q_OBJECT

public:
    // ---- Built and torn down in VelmoraServer.cpp -------------------------------------
    explicit VelmoraServer(const ServerConfig &config, QObject *parent = nullptr);
    ~VelmoraServer() override;

    // ---- Listening, reloading, stopping (ServerListening.cpp) --------------------------

    // Listens on every configured address and starts watching the line. False, with the
    // reason, when an address cannot be had; the server then does nothing.
    bool start(QString *error);
    // The port listened on (the same on every address).
    quint16 port() const;
    // The addresses and port really listened on, as "127.0.0.1:1000" or "0.0.0.0:1000 and
    // [::]:1000" for every address of both families.
    QString endpoint() const;
    qsizetype linkCount() const { return m_links.size(); }
    // The clock of the vote, the call's limits, the password waits and the links' time-outs.
    OfficeClock &clock() { return m_clock; }
    Line::State lineState() const { return m_line.state(); }

    // ---- For the web page, whose users are desks like any other (ServerListening.cpp) ---
    const ServerConfig &config() const { return m_config; }
    // Takes socket as the link of a desk at address (a web page's user): admitted, judged,
    // asked and accounted like a desk linked over the network. False, the socket closed, with
    // the reason when the address may not link now.
    bool adopt(QTcpSocket *socket, const QHostAddress &address, QString *refusal);
    // How long the line has been up, in seconds; -1 while it is not up.
    qint64 upSeconds() const;

    // Takes a new configuration: phonebook, rights, allow-list, caps, limits and timings. A
    // link from an address the new allow-list does not hold is closed; the others stay. The
    // addresses, the port and the line's settings need a restart; a change to them is logged
    // and left for then.
    void reload(const ServerConfig &config);

    // How a stopping server parts from its clients.
    enum class Farewell {
        CloseLinks, // the links close; the clients go on and link again
        EndClients, // every client is told to end ("MSG_SHUTDOWN")
    };
    // Stops accepting, parts from every client and emits stopped once they have left or the
    // configured wait has passed.
    void shutDown(Farewell farewell);

Q_SIGNALS:
    void stopped();

private:
    // Who dialled the current call, for the accounting log and the password throttle.
    struct Caller
    {
        QString identity;
        QHostAddress address;
        bool lineJudgesPassword = false;
    };

    // ---- The network (ServerListening.cpp) ---------------------------------------------
    void applySettings();
    void onNewConnection(QTcpSocket *socket);
    void addLink(QTcpSocket *socket, const QHostAddress &standsFor);
    void onAcceptError(const QString &why);
    void onClosed(ClientLink *link);

    // ---- The desks' requests (VelmoraServer.cpp) ---------------------------------------
    ClientLink::Limits limits() const;
    void onReceived(ClientLink *link, const QString &message);
    void handleIdentity(ClientLink *link, const QString &identity);
    void handleUsers(ClientLink *link);
    void handleConnect(ClientLink *link, const ClientRequests::Request &request);
    void handleUserMessage(ClientLink *link, const QString &body);
    bool isKnownName(const ClientLink *link, const QString &name) const;
    // Logs what link did wrong, within its few lines a minute, so that no desk fills the log.
    void report(ClientLink *link, Log::Level level, const QString &text);
    // False, after telling the client and the log, when the desk may not do what it asked.
    bool allowed(ClientLink *link, bool right, const QString &what);
    void onLineStatus(const QString &line);
    static void send(ClientLink *link, const QString &message,
                     ClientLink::Tag tag = ClientLink::Tag::Plain);

    // ---- The line and the hang-up (ServerHangUp.cpp) -----------------------------------
    void handleDisconnect(ClientLink *link);
    void handleAnswer(ClientLink *link, ClientRequests::Kind kind);
    // Asks every client but requester whether the line may go; requester may be none. An idle
    // call's vote is refused only by a lock.
    void startVote(ClientLink *requester, bool idle = false);
    void onDelivered(ClientLink *link, ClientLink::Tag tag);
    void onVoteSettled(const QString &why);
    void onOnlineLimit();
    void onIdle();
    void onLineState(Line::State state);
    // The time limit of the call's entry in the configuration in force; 0: none.
    qint64 onlineCapMs() const;
    // How long the call's entry may be idle, [IdleMinutes] before [Line]; 0: for ever.
    qint64 idleMs() const;
    void account(const QString &event, const ClientLink *link, qint64 seconds = -1);

    ServerConfig m_config;
    std::vector<std::unique_ptr<Acceptor>> m_acceptors;
    Line m_line;
    QList<ClientLink *> m_links;
    // The identified links by identity: a message's recipients are looked up, never searched.
    QMultiHash<QString, ClientLink *> m_byIdentity;
    Admission m_admission;
    PasswordThrottle m_throttle;
    Accounting m_accounting;
    OfficeClock m_clock;
    HangUpVote m_vote{m_clock};
    IdleWatch m_idleWatch{m_clock, [this]() -> std::optional<quint64> {
                              const std::optional<Traffic> traffic = m_line.trafficSoFar();
                              return traffic
                                         ? std::optional<quint64>(traffic->received + traffic->sent)
                                         : std::nullopt;
                          }};
    QTimer m_stopTimer;
    qint64 m_lastAcceptErrorLog = -1;
    QTimer m_refusalTimer;   // ends the minute of refusals with its summary
    qint64 m_upSinceMs = -1; // when the line came up, on m_clock; -1 while it is not up
    Caller m_caller;
    bool m_stopping = false;
};
