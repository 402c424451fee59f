// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FakeServer.h"

#include "Cp1252.h"
#include "Protocol.h"

#include <QTest>

FakeServer::FakeServer(const QHostAddress &loopback)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_accepted;
            if (m_client)
                m_client->deleteLater();
            m_client = socket;
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        }
    });
    if (!m_server.listen(loopback, 0))
        qFatal("FakeServer cannot listen: %s", qPrintable(m_server.errorString()));
}

bool FakeServer::waitForConnections(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_accepted >= count && hasClient(); }, timeoutMs);
}

void FakeServer::send(const QString &message)
{
    if (m_client)
        m_client->write(Cp1252::encode(message));
}

bool FakeServer::sendAndWaitForAck(const QString &message, int timeoutMs)
{
    const auto acks = m_received.count(Protocol::MsgAck);
    send(message);
    return QTest::qWaitFor([&] { return m_received.count(Protocol::MsgAck) > acks; }, timeoutMs);
}

void FakeServer::closeClient()
{
    if (m_client)
        m_client->disconnectFromHost();
}

QStringList FakeServer::requests() const
{
    QStringList result = m_received;
    result.removeAll(Protocol::MsgAck);
    return result;
}

bool FakeServer::waitForRequest(const QString &message, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_received.contains(message); }, timeoutMs);
}

bool FakeServer::roundTrip(int timeoutMs)
{
    const qsizetype before = m_received.size();
    send(Protocol::CmdSendId);
    const auto answer = [&] {
        for (qsizetype i = before; i < m_received.size(); ++i) {
            if (m_received[i].startsWith(Protocol::IdPrefix))
                return i;
        }
        return qsizetype(-1);
    };
    if (!QTest::qWaitFor([&] { return answer() >= 0; }, timeoutMs))
        return false;
    const qsizetype id = answer();
    if (!m_autoAck)
        m_client->write(Cp1252::encode(Protocol::MsgAck));
    m_received.removeAt(id);
    // The acknowledgement of the marker came just before its answer.
    if (id > before && m_received[id - 1] == Protocol::MsgAck)
        m_received.removeAt(id - 1);
    return true;
}

void FakeServer::onReadyRead(QTcpSocket *socket)
{
    QString data = Cp1252::decode(socket->readAll());
    while (data.startsWith(Protocol::MsgAck)) {
        m_received.append(Protocol::MsgAck);
        data.remove(0, Protocol::MsgAck.size());
    }
    if (data.isEmpty())
        return;
    m_received.append(data);
    if (m_autoAck && socket == m_client)
        socket->write(Cp1252::encode(Protocol::MsgAck));
    if (m_responder)
        m_responder(data);
}
