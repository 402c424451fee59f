// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RawClient.h"

#include "Cp1252.h"
#include "Protocol.h"

#include <QTest>

RawClient::RawClient(quint16 port, const QString &identity, Mode mode, const QString &from)
    : m_identity(identity)
    , m_mode(mode)
{
    const QHostAddress source(from);
    if (!from.isEmpty())
        m_socket.bind(source);
    connect(&m_socket, &QTcpSocket::readyRead, this, &RawClient::onReadyRead);
    m_socket.connectToHost(source.protocol() == QAbstractSocket::IPv6Protocol
                               ? QStringLiteral("::1")
                               : QStringLiteral("127.0.0.1"),
                           port);
}

bool RawClient::link()
{
    return m_socket.waitForConnected(5000) && expect(Protocol::CmdSendId) && !next().isEmpty();
}

void RawClient::sendRaw(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

void RawClient::send(const QString &message)
{
    sendRaw(Cp1252::encode(message));
}

bool RawClient::request(const QString &message)
{
    skipAll();
    send(message);
    return expect(Protocol::MsgAck);
}

bool RawClient::expect(const QString &message, int timeoutMs)
{
    const auto at = [&] { return m_reads.indexOf(message, m_cursor); };
    if (!QTest::qWaitFor([&] { return at() >= 0 || isClosed(); }, timeoutMs) || at() < 0)
        return false;
    m_cursor = at() + 1;
    return true;
}

QString RawClient::next(int timeoutMs)
{
    const auto unread = [this] {
        while (m_cursor < m_reads.size() && m_reads[m_cursor] == Protocol::MsgAck)
            ++m_cursor;
        return m_cursor < m_reads.size();
    };
    if (!QTest::qWaitFor([&] { return unread() || isClosed(); }, timeoutMs) || !unread())
        return QString();
    return m_reads[m_cursor++];
}

bool RawClient::waitClosed()
{
    return QTest::qWaitFor([this] { return isClosed(); });
}

void RawClient::onReadyRead()
{
    const QString read = Cp1252::decode(m_socket.readAll());
    m_reads.append(read);
    if (m_mode != Mode::Disciplined || read == Protocol::MsgAck)
        return;
    send(Protocol::MsgAck);
    if (read == Protocol::CmdSendId && !m_identity.isEmpty())
        send(Protocol::IdPrefix + m_identity);
}
