// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WebDesk.h"

#include "Cp1252.h"
#include "Protocol.h"
#include "VelmoraServer.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <sys/socket.h>

namespace {

// A page that goes away (a reload, a closed tab) leaves its desk this long for the next.
constexpr int kIdleMs = 20000;
// A stream whose reader does not keep up is closed; the page opens it again.
constexpr qint64 kMaxStreamBacklog = 256 * 1024;
// A phone that sleeps or leaves the network drops its stream without a word; what is written
// to it now and then fails in the end and frees the desk.
constexpr int kKeepAliveMs = 25000;

bool isState(const QString &line)
{
    return Protocol::isConnectedStatus(line) || line == Protocol::StatusConnectDevice ||
           line == Protocol::StatusDisconnecting || line == Protocol::StatusDisconnected;
}

} // namespace

WebDesk::WebDesk(const QString &identity, const QHostAddress &address, QObject *parent)
    : QObject(parent)
    , m_identity(identity)
    , m_address(address)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(kIdleMs);
    connect(&m_idle, &QTimer::timeout, this, [this] { Q_EMIT finished(this); });
    m_idle.start();
    m_keepAlive.setInterval(kKeepAliveMs);
    connect(&m_keepAlive, &QTimer::timeout, this, [this] {
        // A copy: an aborted stream leaves the list at once.
        for (const QPointer<QTcpSocket> &stream : QList<QPointer<QTcpSocket>>(m_streams)) {
            if (stream && stream->bytesToWrite() <= kMaxStreamBacklog)
                stream->write(":\n\n");
            else if (stream)
                stream->abort();
        }
    });
    m_keepAlive.start();
}

WebDesk::~WebDesk()
{
    const QList<QPointer<QTcpSocket>> streams = m_streams;
    for (const QPointer<QTcpSocket> &stream : streams) {
        if (stream) {
            stream->disconnect(this);
            stream->disconnectFromHost();
        }
    }
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

bool WebDesk::link(VelmoraServer &server, QString *refusal)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        *refusal = QStringLiteral("no file descriptor left");
        return false;
    }
    m_server = &server;
    m_socket = new QTcpSocket(this);
    auto *theirs = new QTcpSocket;
    m_socket->setSocketDescriptor(fds[0]);
    theirs->setSocketDescriptor(fds[1]);
    connect(m_socket, &QTcpSocket::readyRead, this, &WebDesk::onRead);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        push({{QStringLiteral("type"), QStringLiteral("closed")}});
        Q_EMIT finished(this);
    });
    return server.adopt(theirs, m_address, refusal);
}

void WebDesk::request(const QString &message)
{
    m_requests.enqueue(message);
    sendNext();
}

void WebDesk::sendNext()
{
    if (m_awaitingAck || m_requests.isEmpty() || !m_socket)
        return;
    m_awaitingAck = true;
    m_socket->write(Cp1252::encode(m_requests.dequeue()));
}

void WebDesk::onRead()
{
    // The server keeps its messages apart, but when this side reads late its acknowledgement
    // may come with the message before it or after it; a message is never sent before the
    // last one was acknowledged, so no two others come together.
    QString data = Cp1252::decode(m_socket->readAll());
    if (data.startsWith(Protocol::MsgAck)) {
        m_awaitingAck = false;
        data = data.mid(Protocol::MsgAck.size());
    } else if (data.endsWith(Protocol::MsgAck) && data.size() > Protocol::MsgAck.size()) {
        m_awaitingAck = false;
        data.chop(Protocol::MsgAck.size());
    }
    if (!data.isEmpty()) {
        m_socket->write(Cp1252::encode(Protocol::MsgAck));
        onMessage(data);
    }
    sendNext();
}

void WebDesk::onMessage(const QString &message)
{
    const auto type = [](const char *name) { return QString::fromLatin1(name); };
    switch (Protocol::classify(message)) {
    case Protocol::ServerMessage::SendId:
        m_requests.prepend(Protocol::IdPrefix + m_identity);
        return;
    case Protocol::ServerMessage::Status:
        if (isState(message)) {
            m_status = message;
            m_reason.clear();
        } else {
            m_reason = message;
        }
        push(statusEvent());
        return;
    case Protocol::ServerMessage::DisconnectRequest: {
        const qint64 seconds = Protocol::disconnectSeconds(message).value_or(0);
        m_voteDue = QDateTime::currentMSecsSinceEpoch() + seconds * 1000;
        push({{QStringLiteral("type"), type("vote")}, {QStringLiteral("seconds"), seconds}});
        return;
    }
    case Protocol::ServerMessage::Cancelled:
    case Protocol::ServerMessage::Locked:
        m_voteDue = -1;
        push({{QStringLiteral("type"), type("voteEnd")},
              {QStringLiteral("locked"),
               Protocol::classify(message) == Protocol::ServerMessage::Locked}});
        return;
    case Protocol::ServerMessage::Password:
        push({{QStringLiteral("type"), type("password")}});
        return;
    case Protocol::ServerMessage::Shutdown:
        push({{QStringLiteral("type"), type("closed")}});
        return;
    case Protocol::ServerMessage::Users: {
        const QStringList names =
            Protocol::parseList(Protocol::payload(message, Protocol::UsersPrefix));
        push({{QStringLiteral("type"), type("users")},
              {QStringLiteral("names"), QJsonArray::fromStringList(names)}});
        return;
    }
    case Protocol::ServerMessage::UserMessage: {
        const Protocol::UserMessage received = Protocol::parseUserMessage(message);
        push({{QStringLiteral("type"), type("message")},
              {QStringLiteral("from"), received.sender},
              {QStringLiteral("text"), received.text}});
        return;
    }
    case Protocol::ServerMessage::Ack:
    case Protocol::ServerMessage::Phonebook:
    case Protocol::ServerMessage::Connections:
        return;
    }
}

QJsonObject WebDesk::statusEvent() const
{
    return {{QStringLiteral("type"), QStringLiteral("status")},
            {QStringLiteral("status"), m_status},
            {QStringLiteral("reason"), m_reason},
            {QStringLiteral("upSeconds"), m_server ? m_server->upSeconds() : -1}};
}

void WebDesk::attach(QTcpSocket *stream)
{
    m_idle.stop();
    m_streams.append(stream);
    stream->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    connect(stream, &QTcpSocket::disconnected, this, [this, stream] { onStreamGone(stream); });
    connect(stream, &QObject::destroyed, this, [this, stream] { onStreamGone(stream); });
    if (!m_status.isEmpty())
        pushTo(stream, statusEvent());
    const qint64 left = m_voteDue - QDateTime::currentMSecsSinceEpoch();
    if (m_voteDue >= 0 && left > 0)
        pushTo(stream, {{QStringLiteral("type"), QStringLiteral("vote")},
                        {QStringLiteral("seconds"), (left + 999) / 1000}});
}

void WebDesk::onStreamGone(QTcpSocket *stream)
{
    m_streams.removeIf([stream](const QPointer<QTcpSocket> &s) { return !s || s == stream; });
    if (m_streams.isEmpty() && !m_idle.isActive())
        m_idle.start();
}

void WebDesk::push(const QJsonObject &event)
{
    for (const QPointer<QTcpSocket> &stream : QList<QPointer<QTcpSocket>>(m_streams)) {
        if (stream)
            pushTo(stream, event);
    }
}

void WebDesk::pushTo(QTcpSocket *stream, const QJsonObject &event)
{
    if (stream->bytesToWrite() > kMaxStreamBacklog) {
        stream->abort();
        return;
    }
    stream->write("data: " + QJsonDocument(event).toJson(QJsonDocument::Compact) + "\n\n");
}
