// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LoadClient.h"

#include "Cp1252.h"
#include "Protocol.h"

#include <algorithm>

LoadClient::LoadClient(int index, const QElapsedTimer &clock, QHash<QString, int> &acked,
                       QObject *parent)
    : QObject(parent)
    , m_index(index)
    , m_clock(clock)
    , m_ackCounts(acked)
{
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(&m_socket, &QTcpSocket::readyRead, this, &LoadClient::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] { m_closed = true; });
}

void LoadClient::connectTo(quint16 port)
{
    m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
}

void LoadClient::request(const QString &message)
{
    m_requests.enqueue(message);
    if (!m_awaitingAck) {
        m_awaitingAck = true;
        write(m_requests.dequeue());
    }
}

void LoadClient::write(const QString &message)
{
    m_history.append(QStringLiteral("%1 S %2").arg(m_clock.elapsed()).arg(message));
    m_socket.write(Cp1252::encode(message));
}

void LoadClient::onReadyRead()
{
    QString read = Cp1252::decode(m_socket.readAll());
    m_history.append(QStringLiteral("%1 R %2").arg(m_clock.elapsed()).arg(read));
    if (m_history.size() > 12)
        m_history.removeFirst();
    // One process reading a thousand sockets can come late to one of them and find the
    // server's acknowledgement and its next message together. A real client would lose one of
    // them; here they are counted and taken apart, so that the timings stay meaningful.
    int acks = 0;
    while (read.startsWith(Protocol::MsgAck)) {
        read.remove(0, Protocol::MsgAck.size());
        ++acks;
    }
    while (!read.isEmpty() && read.endsWith(Protocol::MsgAck)) {
        read.chop(Protocol::MsgAck.size());
        ++acks;
    }
    if (acks > 0 && !read.isEmpty())
        ++m_merged;
    if (!read.isEmpty())
        onMessage(read);
    for (int i = 0; i < acks; ++i)
        onAck();
}

void LoadClient::onAck()
{
    m_awaitingAck = !m_requests.isEmpty();
    if (m_awaitingAck)
        write(m_requests.dequeue());
}

void LoadClient::onMessage(const QString &message)
{
    m_received.insert(message, m_clock.elapsed());
    write(Protocol::MsgAck);
    m_acked.insert(message, m_clock.elapsed());
    ++m_ackCounts[message];
    if (message == Protocol::CmdSendId) {
        request(Protocol::IdPrefix + identity());
    } else if (message.startsWith(Protocol::MsgDisconnectPrefix)) {
        request(Protocol::CmdOk);
    } else if (message == Protocol::MsgShutdown) {
        request(Protocol::CmdEnd);
    } else if (!m_linked && Protocol::classify(message) == Protocol::ServerMessage::Status) {
        m_linked = true;
    }
}

qint64 LoadClient::receivedWith(const QString &prefix) const
{
    qint64 last = -1;
    for (auto it = m_received.cbegin(); it != m_received.cend(); ++it) {
        if (it.key().startsWith(prefix))
            last = std::max(last, it.value());
    }
    return last;
}

QString LoadClient::history() const
{
    return QStringLiteral("client %1 (%2, %3 queued):\n    ")
               .arg(m_index)
               .arg(m_awaitingAck ? QStringLiteral("awaiting MSG_ACK") : QStringLiteral("idle"))
               .arg(m_requests.size()) +
           m_history.join(QStringLiteral("\n    "));
}
