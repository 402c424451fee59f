// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "InterfaceWatch.h"

#include "Log.h"

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <QSocketNotifier>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// rtnetlink's attributes follow their header, each aligned; these walk them without the
// kernel's macros, which cast in ways the compiler's checks refuse.
template <typename Header> QByteArray attribute(const void *message, int length, int wanted)
{
    const auto *bytes = static_cast<const char *>(message);
    int offset = NLMSG_ALIGN(int(sizeof(Header)));
    while (offset + int(sizeof(rtattr)) <= length) {
        rtattr attr;
        std::memcpy(&attr, bytes + offset, sizeof attr);
        if (attr.rta_len < sizeof attr || offset + attr.rta_len > length)
            break;
        if (attr.rta_type == wanted)
            return QByteArray(bytes + offset + RTA_LENGTH(0), attr.rta_len - RTA_LENGTH(0));
        offset += RTA_ALIGN(attr.rta_len);
    }
    return QByteArray();
}

} // namespace

InterfaceWatch::InterfaceWatch(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name.toUtf8())
{}

InterfaceWatch::~InterfaceWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InterfaceWatch::start(QString *error)
{
    m_fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    sockaddr_nl address = {};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (m_fd < 0 ||
        ::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        *error = QStringLiteral("Cannot follow the interface %1: %2")
                     .arg(name(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InterfaceWatch::onReadable);
    // The links first, then their addresses: one dump at a time on a socket.
    m_dump = Dump::Links;
    request(RTM_GETLINK);
    return true;
}

void InterfaceWatch::request(int type)
{
    struct
    {
        nlmsghdr header;
        rtgenmsg body;
    } message = {};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = quint16(type);
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.header.nlmsg_seq = ++m_sequence;
    message.body.rtgen_family = AF_UNSPEC;
    if (::send(m_fd, &message, sizeof message, 0) < 0)
        Log::warning(QStringLiteral("Cannot read the state of the interface %1: %2")
                         .arg(name(), QString::fromLocal8Bit(std::strerror(errno))));
}

void InterfaceWatch::onReadable()
{
    alignas(nlmsghdr) char buffer[32768];
    for (;;) {
        const ssize_t size = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (size < 0) {
            // Events were lost while the server was busy: read the whole state again.
            if (errno == ENOBUFS && m_dump == Dump::None) {
                m_dump = Dump::Links;
                request(RTM_GETLINK);
                continue;
            }
            break;
        }
        int offset = 0;
        while (offset + int(sizeof(nlmsghdr)) <= int(size)) {
            nlmsghdr header;
            std::memcpy(&header, buffer + offset, sizeof header);
            if (header.nlmsg_len < sizeof header || offset + int(header.nlmsg_len) > int(size))
                break;
            if (header.nlmsg_type == NLMSG_DONE || header.nlmsg_type == NLMSG_ERROR) {
                if (m_dump == Dump::Links) {
                    m_dump = Dump::Addresses;
                    m_addresses.clear();
                    request(RTM_GETADDR);
                } else {
                    m_dump = Dump::None;
                }
            } else {
                handle(buffer + offset + NLMSG_HDRLEN, header.nlmsg_type,
                       int(header.nlmsg_len) - NLMSG_HDRLEN);
            }
            offset += NLMSG_ALIGN(int(header.nlmsg_len));
        }
    }
    update();
}

void InterfaceWatch::handle(const void *message, int type, int length)
{
    if (type == RTM_NEWLINK || type == RTM_DELLINK) {
        if (length < int(sizeof(ifinfomsg)))
            return;
        ifinfomsg link;
        std::memcpy(&link, message, sizeof link);
        QByteArray linkName = attribute<ifinfomsg>(message, length, IFLA_IFNAME);
        linkName.truncate(qsizetype(qstrnlen(linkName.constData(), size_t(linkName.size()))));
        if (linkName == m_name && type == RTM_NEWLINK) {
            if (m_index != link.ifi_index)
                m_addresses.clear();
            m_index = link.ifi_index;
            m_running = (link.ifi_flags & IFF_UP) && (link.ifi_flags & IFF_RUNNING);
        } else if (link.ifi_index == m_index) {
            // Gone, or renamed away.
            m_index = 0;
            m_running = false;
            m_addresses.clear();
        }
        return;
    }
    if ((type != RTM_NEWADDR && type != RTM_DELADDR) || length < int(sizeof(ifaddrmsg)))
        return;
    ifaddrmsg address;
    std::memcpy(&address, message, sizeof address);
    if (m_index == 0 || int(address.ifa_index) != m_index || address.ifa_scope >= RT_SCOPE_LINK)
        return;
    QByteArray key = attribute<ifaddrmsg>(message, length, IFA_LOCAL);
    if (key.isEmpty())
        key = attribute<ifaddrmsg>(message, length, IFA_ADDRESS);
    key.prepend(char(address.ifa_family));
    if (type == RTM_NEWADDR)
        m_addresses.insert(key);
    else
        m_addresses.remove(key);
}

void InterfaceWatch::update()
{
    // While the state is being read again, the half read is not the truth.
    if (m_dump != Dump::None)
        return;
    const bool up = m_index != 0 && m_running && !m_addresses.isEmpty();
    if (up == m_up)
        return;
    m_up = up;
    Log::info(QStringLiteral("The interface %1 is %2")
                  .arg(name(), up ? QStringLiteral("up") : QStringLiteral("down")));
    Q_EMIT changed(up);
}
