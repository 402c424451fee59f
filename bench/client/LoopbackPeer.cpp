// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LoopbackPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Waits until fd is readable; false on a time-out or an error.
bool waitReadable(int fd, int timeoutMs)
{
    pollfd entry{fd, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, timeoutMs);
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

LoopbackPeer::LoopbackPeer()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, 1) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(fd);
        return;
    }
    m_listener = fd;
    m_port = ntohs(address.sin_port);
}

LoopbackPeer::~LoopbackPeer()
{
    closeClient();
    if (m_listener >= 0)
        ::close(m_listener);
}

bool LoopbackPeer::acceptClient(int timeoutMs)
{
    if (m_listener < 0 || !waitReadable(m_listener, timeoutMs))
        return false;
    const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return false;
    // Each line is one send that the client must see at once, as the real server sends it.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    closeClient();
    m_client = fd;
    return true;
}

bool LoopbackPeer::send(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::send(m_client, bytes.constData() + done,
                                       static_cast<size_t>(bytes.size() - done), MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

bool LoopbackPeer::readUntil(const QByteArray &expected, int timeoutMs)
{
    char buffer[4096];
    for (;;) {
        const qsizetype at = m_pending.indexOf(expected);
        if (at >= 0) {
            m_pending.remove(0, at + expected.size());
            return true;
        }
        if (m_client < 0 || !waitReadable(m_client, timeoutMs))
            return false;
        const ssize_t got = ::recv(m_client, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        m_pending.append(buffer, got);
    }
}

void LoopbackPeer::closeClient()
{
    if (m_client >= 0)
        ::close(m_client);
    m_client = -1;
    m_pending.clear();
}
