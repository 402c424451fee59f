// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WebListener.h"

#include <QTcpSocket>

namespace {

template <typename Base> QTcpSocket *guarded(Base &server, const ConnectionGuard &guard)
{
    while (QTcpSocket *socket = server.Base::nextPendingConnection()) {
        if (guard(socket))
            return socket;
        socket->abort();
        socket->deleteLater();
    }
    return nullptr;
}

} // namespace

QTcpSocket *WebListener::nextPendingConnection()
{
    return guarded<QTcpServer>(*this, m_guard);
}

QTcpSocket *TlsWebListener::nextPendingConnection()
{
    return guarded<QSslServer>(*this, m_guard);
}
