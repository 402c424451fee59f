// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QBasicTimer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <QStringList>

class OfficeClock;
class QTcpSocket;

// One client's link. The client takes whatever one read delivers as one message, so this side
// keeps at most one message in flight: the next leaves only after the client's "MSG_ACK" or
// after the acknowledgement time-out, and any two sends are kept a short gap apart so that an
// acknowledgement and the next message never reach the client together. Its time-outs run on
// the server's clock; the gap between two sends, a matter of the network, on real time.
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
        // A link that has not identified by then is closed: it answers nothing and only holds
        // a place. 0: never.
        int identifyTimeoutMs = 15000;
    };
    // Marks queued messages that may have to be withdrawn before they leave.
    enum class Tag { Plain, DisconnectRequest, Notice };

    // standsFor: the address a link made on another's behalf (a web page's user) answers for;
    // none: the socket's peer.
    ClientLink(QTcpSocket *socket, const Limits &limits, const OfficeClock &clock,
               QObject *parent = nullptr, const QHostAddress &standsFor = QHostAddress());
    ~ClientLink() override;

    QString peer() const { return m_peer; }
    // The client's address; an IPv4-mapped one as the IPv4 address it stands for.
    QHostAddress peerAddress() const { return m_address; }
    // The identity the client reported with "ID:"; empty until then.
    QString identity() const { return m_identity; }
    // Whether an "ID:" came, even one that left no identity: a link is named once.
    bool hasIdentified() const { return m_identified; }
    void setIdentity(const QString &identity);
    // Whether a warning about what the client did (an unknown message, a repeated identity, a
    // refused request...) may be logged; a few a minute per link, the last of them said so.
    enum class Warning { Log, LogLast, Quiet };
    Warning warning();
    // The identity, or the peer's address for a client that has not told it.
    QString name() const;
    // For the log: the identity and the peer, or the peer alone.
    QString describe() const;
    // The names last offered to this client as recipients.
    bool wasOffered(const QString &name) const { return m_offered.contains(name); }
    void setOffered(const QStringList &names);

    // Queues a message; it leaves in turn, once the one before it has been acknowledged.
    void send(const QByteArray &message, Tag tag = Tag::Plain);
    // Queues another desk's message within that sender's share of the queue, and false,
    // queueing nothing, past it: a recipient that cannot keep up with its senders costs them
    // their messages, never its link. Messages of other desks take at most half of the queue,
    // and one sender at most an eighth of it (at least one message).
    bool sendFrom(const QObject *sender, const QByteArray &message);
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
        Tag tag = Tag::Plain;
        const QObject *sender = nullptr; // another desk's message: only a key, never followed
    };

    void onReadyRead();
    void onAck();
    void pump();
    void write(const QByteArray &bytes);
    void finish();
    void enqueue(const Outgoing &message);
    Outgoing dequeue();
    void clearQueue();
    bool flooding(qsizetype bytes);
    // Starts a time-out of ms on the clock, due at *dueMs.
    void startTimeout(QBasicTimer &timer, qint64 *dueMs, int ms);

    const OfficeClock &m_clock;

    QTcpSocket *m_socket;
    Limits m_limits;
    QString m_peer;
    QHostAddress m_address;
    QString m_identity;
    bool m_identified = false;
    QSet<QString> m_offered;
    QQueue<Outgoing> m_queue;
    qsizetype m_queuedBytes = 0;
    int m_fromDesks = 0; // queued messages of other desks
    qsizetype m_fromDesksBytes = 0;
    QHash<const QObject *, int> m_perSender;
    int m_missedAcks = 0;
    QElapsedTimer m_warningWindow;
    int m_warnings = 0;
    int m_acksOwed = 0;
    bool m_awaitingAck = false;
    bool m_ending = false;
    bool m_closed = false;
    QElapsedTimer m_lastWrite;
    QBasicTimer m_ackTimer;
    qint64 m_ackDueMs = 0;
    QBasicTimer m_gapTimer;
    QBasicTimer m_identifyTimer;
    qint64 m_identifyDueMs = 0;
    QElapsedTimer m_window;
    int m_windowReads = 0;
    qsizetype m_windowBytes = 0;
};
