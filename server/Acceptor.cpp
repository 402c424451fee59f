// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Acceptor.h"

#include <cerrno>
#include <cstring>
#include <QTcpServer>
#include <QTcpSocket>
#include <sys/socket.h>
#include <unistd.h>

Acceptor::Acceptor(QTcpServer *listener, QObject *parent)
    : QObject(parent)
    , m_fd(int(listener->socketDescriptor()))
    , m_notifier(listener->socketDescriptor(), QSocketNotifier::Read)
{
    // The QTcpServer keeps the socket and its address; the links are taken here.
    listener->pauseAccepting();
    connect(&m_notifier, &QSocketNotifier::activated, this, &Acceptor::onReadable);
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] { m_notifier.setEnabled(true); });
}

void Acceptor::onReadable()
{
    // A bounded turn: under a flood of links the event loop still serves the linked desks
    // between turns, and the notifier comes back while links are waiting.
    for (int taken = 0; taken < PerTurn; ++taken) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED)
                return;
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            m_notifier.setEnabled(false);
            m_retry.start();
            Q_EMIT failed(why);
            return;
        }
        auto *socket = new QTcpSocket;
        if (!socket->setSocketDescriptor(fd)) {
            ::close(fd);
            delete socket;
            continue;
        }
        Q_EMIT accepted(socket);
    }
}
