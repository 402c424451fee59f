// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Acceptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <QTcpServer>
#include <QTcpSocket>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString hostAndPort(const QString &host, bool v6, quint16 port)
{
    return (v6 ? QLatin1Char('[') + host + QLatin1Char(']') : host) + QLatin1Char(':') +
           QString::number(port);
}

} // namespace

Acceptor::Acceptor(QTcpServer *listener, QObject *parent)
    : QObject(parent)
    , m_fd(::fcntl(int(listener->socketDescriptor()), F_DUPFD_CLOEXEC, 0))
    , m_address(listener->serverAddress())
    , m_port(listener->serverPort())
    , m_notifier(QSocketNotifier::Read)
{
    // Closing the listener closes its own descriptor and drops the watch Qt kept on it; the
    // socket lives on in the copy, watched only here.
    listener->close();
    if (m_fd < 0)
        return;
    m_notifier.setSocket(m_fd);
    m_notifier.setEnabled(true);
    connect(&m_notifier, &QSocketNotifier::activated, this, &Acceptor::onReadable);
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] { m_notifier.setEnabled(true); });
}

Acceptor::~Acceptor()
{
    m_notifier.setEnabled(false);
    if (m_fd >= 0)
        ::close(m_fd);
}

QString Acceptor::endpoint() const
{
    sockaddr_storage storage = {};
    socklen_t length = sizeof(storage);
    if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&storage), &length) == 0 &&
        storage.ss_family == AF_INET6) {
        const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(&storage);
        int v6only = 1;
        socklen_t size = sizeof(v6only);
        if (IN6_IS_ADDR_UNSPECIFIED(&in6->sin6_addr) &&
            ::getsockopt(m_fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, &size) == 0 && v6only == 0)
            return hostAndPort(QStringLiteral("0.0.0.0"), false, m_port) + QStringLiteral(" and ") +
                   hostAndPort(QStringLiteral("::"), true, m_port);
    }
    return hostAndPort(m_address.toString(), m_address.protocol() == QAbstractSocket::IPv6Protocol,
                       m_port);
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
