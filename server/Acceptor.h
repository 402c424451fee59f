// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>

class QTcpServer;
class QTcpSocket;

// Owns a listening socket and takes the links waiting on it. A QTcpServer binds and listens,
// with Qt's addresses and messages, then hands its socket over and is closed: one notifier
// watches the socket. Accepting is done here so that a failure to accept (no file descriptor
// left, no memory) pauses accepting for a moment and then resumes by itself: the server neither
// spins on the same error nor stays deaf until restarted.
class Acceptor : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryMs = 1000;
    // The most links taken in one turn of the event loop.
    static constexpr int PerTurn = 32;

    // Takes over the socket that listener listens on, and closes listener. Check isValid().
    explicit Acceptor(QTcpServer *listener, QObject *parent = nullptr);
    ~Acceptor() override;

    // False when the socket could not be taken over (no file descriptor left).
    bool isValid() const { return m_fd >= 0; }
    quint16 port() const { return m_port; }
    // What the system really listens on, as "127.0.0.1:1000" or "[::1]:1000"; an "any" socket
    // of IPv6 that also takes IPv4 is "0.0.0.0:1000 and [::]:1000".
    QString endpoint() const;

Q_SIGNALS:
    // A new link; the receiver owns socket.
    void accepted(QTcpSocket *socket);
    // Accepting failed and pauses for RetryMs.
    void failed(const QString &why);

private:
    void onReadable();

    int m_fd;
    QHostAddress m_address;
    quint16 m_port;
    QSocketNotifier m_notifier;
    QTimer m_retry;
};
