// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSocketNotifier>
#include <QTimer>

class QTcpServer;
class QTcpSocket;

// Takes the links waiting on a listening socket. Accepting is done here rather than by the
// QTcpServer that listens, so that a failure to accept (no file descriptor left, no memory)
// pauses accepting for a moment and then resumes by itself: the server neither spins on the
// same error nor stays deaf until restarted.
class Acceptor : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryMs = 1000;
    // The most links taken in one turn of the event loop.
    static constexpr int PerTurn = 32;

    explicit Acceptor(QTcpServer *listener, QObject *parent = nullptr);

Q_SIGNALS:
    // A new link; the receiver owns socket.
    void accepted(QTcpSocket *socket);
    // Accepting failed and pauses for RetryMs.
    void failed(const QString &why);

private:
    void onReadable();

    int m_fd;
    QSocketNotifier m_notifier;
    QTimer m_retry;
};
