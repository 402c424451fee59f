// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QHostInfo;
class QTcpSocket;

// The link's TCP client socket, with the operations, states and events the link manager and
// the dispatcher are written against. Text crosses the wire as Windows-1252, one byte a
// character, so that both ends of the link read the same characters whatever their locale.
class TcpClientSocket : public QObject
{
    Q_OBJECT

public:
    // The socket states as the link reports them.
    enum SocketState : int {
        StateClosed = 0,
        StateOpen = 1,
        StateListening = 2,
        StateConnectionPending = 3,
        StateResolvingHost = 4,
        StateHostResolved = 5,
        StateConnecting = 6,
        StateConnected = 7,
        StateClosing = 8,
        StateError = 9,
    };

    explicit TcpClientSocket(QObject *parent = nullptr);
    ~TcpClientSocket() override;

    // Starts an asynchronous connect and returns at once. A port that is not a number from 1
    // to 65535 raises a RuntimeError. A host name is looked up and its addresses are tried in
    // turn, in linkOrder(); an address is linked to as it is.
    void Connect(const QString &host, const QString &port);
    // The order in which a name's addresses are tried: IPv4 first, so that a name that has
    // both links as the dotted address the window shows; IPv6 after, so that a name with
    // IPv6 alone, or a server that listens on IPv6 alone, still links. Otherwise as the
    // resolver gave them.
    static QList<QHostAddress> linkOrder(QList<QHostAddress> addresses);
    // Closes the socket whatever its state; raises no events.
    void Close();
    // Queues the text for sending; raises a RuntimeError unless connected.
    void SendData(const QString &text);
    // Everything received so far.
    QString GetData();

    int State() const;
    QString RemoteHost() const; // the host given to Connect
    // The peer's numeric address: dotted for IPv4 (also when it came as an IPv4-mapped IPv6
    // address), the usual text of an IPv6 address otherwise.
    QString RemoteHostIP() const;
    int RemotePort() const;
    QString LocalHostName() const;
    QString LocalIP() const;

Q_SIGNALS:
    // Data has arrived. Raised from the event loop rather than from inside the socket's own
    // notification, so that a handler that waits (processing events) sees the next arrival
    // as a nested event: the acknowledgement that ends its wait arrives exactly so.
    void DataArrival(qint64 bytesTotal);
    // The peer closed the link.
    void CloseEvent();
    // After each part of a send: bytes sent so far and bytes still to send.
    void SendProgress(qint64 bytesSent, qint64 bytesRemaining);

private:
    void deliverArrival();
    void onLookedUp(const QHostInfo &info, int attempt);
    void connectNext();

    QTcpSocket *m_socket;
    QString m_remoteHost;
    quint16 m_remotePort = 0;
    // The addresses of the name still to try, and whether a try of one is under way between
    // two of the socket's own attempts (the lookup, or the step to the next address).
    QList<QHostAddress> m_candidates;
    bool m_resolving = false;
    bool m_nextPending = false;
    bool m_linked = false;
    // Counts Connect and Close calls, so that a lookup's late answer to an abandoned attempt
    // is dropped.
    int m_attempt = 0;
    int m_lookupId = -1;
    bool m_failed = false;
    bool m_closingByUs = false;
    bool m_arrivalPosted = false;
    qint64 m_bytesSent = 0;
};
