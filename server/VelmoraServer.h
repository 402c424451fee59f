#pragma once

#include "ClientLink.h"
#include "ClientRequests.h"
#include "DisconnectExchange.h"
#include "Line.h"
#include "ServerConfig.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>

// The server: the clients' links, the line they share, the requests between them. It runs on
// one thread, driven by its event loop, and never waits on a client or on the line.
class VelmoraServer : public QObject
{
    Q_OBJECT

public:
    explicit VelmoraServer(const ServerConfig &config, QObject *parent = nullptr);
    ~VelmoraServer() override;

    // Listens and starts watching the line. False, with the reason, when the address cannot be
    // had; the server then does nothing.
    bool start(QString *error);
    quint16 port() const { return m_listener.serverPort(); }
    // The address and port listened on, as "127.0.0.1:1000" or "[::]:1000".
    QString endpoint() const;
    qsizetype linkCount() const { return m_links.size(); }
    Line::State lineState() const { return m_line.state(); }

    // Tells every client to end ("MSG_SHUTDOWN") and emits stopped once they have left or the
    // configured wait has passed.
    void shutDown();

Q_SIGNALS:
    void stopped();

private:
    void onNewConnection();
    void onReceived(ClientLink *link, const QString &message);
    void onClosed(ClientLink *link);
    void onDelivered(ClientLink *link, ClientLink::Tag tag);
    void onLineStatus(const QString &line);
    void onLineState(Line::State state);

    void handleIdentity(ClientLink *link, const QString &identity);
    void handleUsers(ClientLink *link);
    void handleConnect(ClientLink *link, const ClientRequests::Request &request);
    void handleDisconnect(ClientLink *link);
    void handleAnswer(ClientLink *link, ClientRequests::Kind kind);
    void handleUserMessage(ClientLink *link, const QString &body);

    void reviewExchange();
    void hangUpNow();
    // Ends a refused exchange: requesters hear toRequesters, the clients still counting hear
    // "MSG_CANCELLED" so that their countdowns close.
    void refuseExchange(const QString &toRequesters);
    void abandonExchange();

    static void send(ClientLink *link, const QString &message,
                     ClientLink::Tag tag = ClientLink::Tag::Plain);
    bool isKnownName(const ClientLink *link, const QString &name) const;
    ClientLink::Limits limits() const;

    ServerConfig m_config;
    QTcpServer m_listener;
    Line m_line;
    QList<ClientLink *> m_links;
    DisconnectExchange m_exchange;
    QTimer m_exchangeTimer;
    QElapsedTimer m_clock;
    QTimer m_stopTimer;
    bool m_stopping = false;
};
