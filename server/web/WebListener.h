// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <QSslServer>
#include <QTcpServer>

// The web page's listening sockets, plain or TLS. Every connection passes the guard before the
// HTTP server reads a byte of it: an address outside AllowFrom, or one over its share of
// connections, is closed unanswered, as a desk's link would be.
using ConnectionGuard = std::function<bool(QTcpSocket *socket)>;

class WebListener : public QTcpServer
{
public:
    explicit WebListener(ConnectionGuard guard)
        : m_guard(std::move(guard))
    {}
    QTcpSocket *nextPendingConnection() override;

private:
    ConnectionGuard m_guard;
};

class TlsWebListener : public QSslServer
{
public:
    explicit TlsWebListener(ConnectionGuard guard)
        : m_guard(std::move(guard))
    {}
    QTcpSocket *nextPendingConnection() override;

private:
    ConnectionGuard m_guard;
};
