// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QBasicTimer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QQueue>
#include <QStringList>

class QTcpSocket;

// One client's link. The client takes whatever one read delivers as one message, so this side
// keeps at most one message in flight: the next leaves only after the client's "MSG_ACK" or
// after the acknowledgement time-out, and any two sends are kept a short gap apart so that an
// acknowledgement and the next message never reach the client together.
class ClientLink : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        int ackTimeoutMs = 10000;
        int sendGapMs = 50;
        int maxMessageBytes = 65536;
        int maxMessagesPerSecond = 100;
        qsizetype maxBytesPerSecond = 4 * 65536;
        int maxQueued = 1000;
        qsizetype maxQueuedBytes = 1024 * 1024;
        // A client that leaves this many messages in a row unacknowledged is gone or stuck.
        int maxMissedAcks = 3;
        // A client that keeps the discipline waits for each acknowledgement before its next
        // request, so it is never owed more than one or two.
        int maxAcksOwed = 32;
    };
    // Marks queued messages that may have to be withdrawn before they leave.
    enum class Tag { Plain, DisconnectRequest };

    ClientLink(QTcpSocket *socket, const Limits &limits, QObject *parent = nullptr);
    ~ClientLink() override;

    QString peer() const { return m_peer; }
    // The client's address; an IPv4-mapped one as the IPv4 address it stands for.
    QHostAddress peerAddress() const { return m_address; }
    // The identity the client reported with "ID:"; empty until then.
    QString identity() const { return m_identity; }
    // Whether an "ID:" came, even one that left no identity: a link is named once.
    bool hasIdentified() const { return m_identified; }
    void setIdentity(const QString &identity)
    {
        m_identity = identity;
        m_identified = true;
    }
    // Whether a warning about an unknown message may be logged; a few a minute per link.
    enum class Warning { Log, LogLast, Quiet };
    Warning unknownMessageWarning();
    // The identity, or the peer's address for a client that has not told it.
    QString name() const;
    // For the log: the identity and the peer, or the peer alone.
    QString describe() const;
    // The names last offered to this client as recipients.
    const QStringList &offered() const { return m_offered; }
    void setOffered(const QStringList &names) { m_offered = names; }

    // Queues a message; it leaves in turn, once the one before it has been acknowledged.
    void send(const QByteArray &message, Tag tag = Tag::Plain);
    // Withdraws the queued messages of that tag that have not left yet; true when one was.
    bool withdraw(Tag tag);
    // Owes the client a "MSG_ACK"; acknowledgements go ahead of the queue.
    void acknowledge();
    // Sends the acknowledgements still owed, then closes; queued messages are dropped.
    void end();
    // Replaces whatever is queued by this one message; used when the server stops.
    void sendFinal(const QByteArray &message);
    // Closes at once and tells why in the log.
    void drop(const QString &why);
    bool isClosed() const { return m_closed; }

Q_SIGNALS:
    // A message other than "MSG_ACK"; it is still to be acknowledged.
    void received(ClientLink *link, const QString &message);
    // A queued message of that tag has just been handed to the socket.
    void delivered(ClientLink *link, ClientLink::Tag tag);
    // The link is gone; emitted once, from the event loop, never inside a call on the link.
    void closed(ClientLink *link);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    struct Outgoing
    {
        QByteArray bytes;
        Tag tag;
    };

    void onReadyRead();
    void onAck();
    void pump();
    void write(const QByteArray &bytes);
    void finish();
    bool flooding(qsizetype bytes);

    QTcpSocket *m_socket;
    Limits m_limits;
    QString m_peer;
    QHostAddress m_address;
    QString m_identity;
    bool m_identified = false;
    QStringList m_offered;
    QQueue<Outgoing> m_queue;
    qsizetype m_queuedBytes = 0;
    int m_missedAcks = 0;
    QElapsedTimer m_warningWindow;
    int m_warnings = 0;
    int m_acksOwed = 0;
    bool m_awaitingAck = false;
    bool m_ending = false;
    bool m_closed = false;
    QElapsedTimer m_lastWrite;
    QBasicTimer m_ackTimer;
    QBasicTimer m_gapTimer;
    QElapsedTimer m_window;
    int m_windowReads = 0;
    qsizetype m_windowBytes = 0;
};
