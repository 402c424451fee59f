#include "RawClient.h"

#include "Cp1252.h"
#include "Protocol.h"

#include <QTest>

RawClient::RawClient(quint16 port, const QString &identity, Mode mode)
    : m_identity(identity)
    , m_mode(mode)
{
    m_clock.start();
    connect(&m_socket, &QTcpSocket::readyRead, this, &RawClient::onReadyRead);
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
}

bool RawClient::link()
{
    if (!m_socket.waitForConnected(5000))
        return false;
    if (!expect(Protocol::CmdSendId))
        return false;
    return !next().isEmpty();
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

QStringList RawClient::pending() const
{
    QStringList messages;
    for (qsizetype i = m_cursor; i < m_reads.size(); ++i) {
        if (m_reads[i] != Protocol::MsgAck)
            messages.append(m_reads[i]);
    }
    return messages;
}

bool RawClient::expect(const QString &message, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        for (qsizetype i = m_cursor; i < m_reads.size(); ++i) {
            if (m_reads[i] == message) {
                m_cursor = i + 1;
                return true;
            }
        }
        if (waited.elapsed() >= timeoutMs || isClosed())
            return false;
        QTest::qWait(5);
    }
}

QString RawClient::next(int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        while (m_cursor < m_reads.size()) {
            const QString read = m_reads[m_cursor++];
            if (read != Protocol::MsgAck)
                return read;
        }
        if (waited.elapsed() >= timeoutMs || isClosed())
            return QString();
        QTest::qWait(5);
    }
}

int RawClient::mergedReads() const
{
    static const QLatin1String keywords[] = {
        Protocol::MsgAck,
        Protocol::CmdSendId,
        Protocol::MsgDisconnectPrefix,
        Protocol::MsgCancelled,
        Protocol::MsgLocked,
        Protocol::MsgPassword,
        Protocol::MsgShutdown,
        Protocol::PhonebookPrefix,
        Protocol::UsersPrefix,
        Protocol::UserMessagePrefix,
        Protocol::ConnectionsPrefix,
        Protocol::StatusConnectDevice,
        Protocol::StatusConnected,
        Protocol::StatusDisconnecting,
        Protocol::StatusDisconnected,
    };
    int merged = 0;
    for (const QString &read : m_reads) {
        for (const QLatin1String keyword : keywords) {
            if (read.indexOf(keyword, 1) > 0 ||
                (keyword == Protocol::MsgAck && read.startsWith(keyword) && read != keyword)) {
                ++merged;
                break;
            }
        }
    }
    return merged;
}

bool RawClient::waitClosed(int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!isClosed() && waited.elapsed() < timeoutMs)
        QTest::qWait(5);
    return isClosed();
}

void RawClient::onReadyRead()
{
    const QString read = Cp1252::decode(m_socket.readAll());
    m_reads.append(read);
    m_readTimes.append(m_clock.elapsed());
    if (m_mode != Mode::Disciplined || read == Protocol::MsgAck)
        return;
    send(Protocol::MsgAck);
    if (read == Protocol::CmdSendId && !m_identity.isEmpty())
        send(Protocol::IdPrefix + m_identity);
}
