// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TcpClientSocket.h"

#include "Cp1252.h"
#include "RuntimeError.h"

#include <algorithm>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QTcpSocket>

namespace {

QString plainAddress(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4).toString() : address.toString();
}

} // namespace

TcpClientSocket::TcpClientSocket(QObject *parent)
    : QObject(parent)
    , m_socket(new QTcpSocket(this))
{
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_linked = true;
        m_candidates.clear();
        // Each message is one send; do not let the kernel hold a short one back.
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        if (m_arrivalPosted)
            return;
        m_arrivalPosted = true;
        QMetaObject::invokeMethod(this, &TcpClientSocket::deliverArrival, Qt::QueuedConnection);
    });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this](qint64 written) {
        m_bytesSent += written;
        const qint64 remaining = m_socket->bytesToWrite();
        const qint64 sent = m_bytesSent;
        if (remaining == 0)
            m_bytesSent = 0;
        Q_EMIT SendProgress(sent, remaining);
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::RemoteHostClosedError)
            return;
        // An address that does not link: the name's next one, from the event loop, since the
        // socket is still inside its own notification.
        if (!m_linked && !m_candidates.isEmpty()) {
            m_nextPending = true;
            QMetaObject::invokeMethod(
                this,
                [this, attempt = m_attempt] {
                    if (attempt == m_attempt)
                        connectNext();
                },
                Qt::QueuedConnection);
            return;
        }
        m_failed = true;
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_closingByUs)
            return;
        // Queued behind any data that arrived just before the close, so it is handled first.
        QMetaObject::invokeMethod(this, &TcpClientSocket::CloseEvent, Qt::QueuedConnection);
    });
}

TcpClientSocket::~TcpClientSocket()
{
    m_closingByUs = true;
}

void TcpClientSocket::Connect(const QString &host, const QString &port)
{
    bool ok = false;
    const uint number = port.trimmed().toUInt(&ok);
    if (!ok || number == 0 || number > 65535)
        throw RuntimeError(RuntimeError::InvalidArgument,
                           QStringLiteral("Invalid port \"%1\" for the server").arg(port));
    if (host.trimmed().isEmpty())
        throw RuntimeError(RuntimeError::InvalidArgument,
                           QStringLiteral("No server name or address to link to"));
    Close();
    m_remoteHost = host;
    m_remotePort = static_cast<quint16>(number);
    const QHostAddress literal(host.trimmed());
    if (!literal.isNull()) {
        m_socket->connectToHost(literal, m_remotePort);
        return;
    }
    m_resolving = true;
    const int attempt = m_attempt;
    m_lookupId =
        QHostInfo::lookupHost(host.trimmed(), this, [this, attempt](const QHostInfo &info) {
            onLookedUp(info, attempt);
        });
}

QList<QHostAddress> TcpClientSocket::linkOrder(QList<QHostAddress> addresses)
{
    std::stable_partition(addresses.begin(), addresses.end(), [](const QHostAddress &address) {
        return address.protocol() == QAbstractSocket::IPv4Protocol;
    });
    return addresses;
}

void TcpClientSocket::onLookedUp(const QHostInfo &info, int attempt)
{
    if (attempt != m_attempt)
        return;
    m_resolving = false;
    m_lookupId = -1;
    m_candidates = linkOrder(info.addresses());
    if (info.error() != QHostInfo::NoError || m_candidates.isEmpty()) {
        m_candidates.clear();
        m_failed = true;
        return;
    }
    connectNext();
}

void TcpClientSocket::connectNext()
{
    m_nextPending = false;
    m_socket->connectToHost(m_candidates.takeFirst(), m_remotePort);
}

void TcpClientSocket::Close()
{
    ++m_attempt;
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    m_resolving = false;
    m_nextPending = false;
    m_linked = false;
    m_candidates.clear();
    m_closingByUs = true;
    m_socket->abort();
    m_closingByUs = false;
    m_failed = false;
    m_bytesSent = 0;
}

void TcpClientSocket::SendData(const QString &text)
{
    if (State() != StateConnected)
        throw RuntimeError(RuntimeError::InvalidConnectionState,
                           QStringLiteral("Wrong protocol or connection state for the requested "
                                          "transaction or request"));
    m_socket->write(Cp1252::encode(text));
}

QString TcpClientSocket::GetData()
{
    return Cp1252::decode(m_socket->readAll());
}

void TcpClientSocket::deliverArrival()
{
    m_arrivalPosted = false;
    // An earlier event may already have taken everything; an empty read is no message.
    const qint64 available = m_socket->bytesAvailable();
    if (available > 0)
        Q_EMIT DataArrival(available);
}

int TcpClientSocket::State() const
{
    if (m_failed)
        return StateError;
    if (m_resolving)
        return StateResolvingHost;
    if (m_nextPending)
        return StateConnecting;
    switch (m_socket->state()) {
    case QAbstractSocket::HostLookupState:
        return StateResolvingHost;
    case QAbstractSocket::ConnectingState:
        return StateConnecting;
    case QAbstractSocket::ConnectedState:
        return StateConnected;
    case QAbstractSocket::ClosingState:
        return StateClosing;
    case QAbstractSocket::BoundState:
        return StateOpen;
    case QAbstractSocket::ListeningState:
        return StateListening;
    case QAbstractSocket::UnconnectedState:
        break;
    }
    return StateClosed;
}

QString TcpClientSocket::RemoteHost() const
{
    return m_remoteHost;
}

QString TcpClientSocket::RemoteHostIP() const
{
    return plainAddress(m_socket->peerAddress());
}

int TcpClientSocket::RemotePort() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState ? m_socket->peerPort()
                                                                : m_remotePort;
}

QString TcpClientSocket::LocalHostName() const
{
    return QHostInfo::localHostName();
}

QString TcpClientSocket::LocalIP() const
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        return plainAddress(m_socket->localAddress());
    const auto addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return QStringLiteral("127.0.0.1");
}
