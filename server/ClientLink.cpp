// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ClientLink.h"

#include "AddressRange.h"
#include "ClientRequests.h"
#include "Cp1252.h"
#include "Log.h"
#include "OfficeClock.h"
#include "Protocol.h"

#include <algorithm>
#include <QTcpSocket>
#include <QTimerEvent>
#include <sys/socket.h>
#include <utility>

namespace {

const QByteArray kAck = QByteArray(Protocol::MsgAck.data(), Protocol::MsgAck.size());
constexpr int kWarningsPerMinute = 5;

} // namespace

ClientLink::ClientLink(QTcpSocket *socket, const Limits &limits, const OfficeClock &clock,
                       QObject *parent, const QHostAddress &standsFor)
    : QObject(parent)
    , m_clock(clock)
    , m_socket(socket)
    , m_limits(limits)
{
    m_socket->setParent(this);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    // A bounded buffer keeps a client that sends without end from growing the server.
    m_socket->setReadBufferSize(m_limits.maxMessageBytes + 1);
    const bool onBehalf = !standsFor.isNull();
    m_address = AddressRange::plain(onBehalf ? standsFor : m_socket->peerAddress());
    m_peer = m_address.protocol() == QAbstractSocket::IPv6Protocol
                 ? QLatin1Char('[') + m_address.toString() + QLatin1Char(']')
                 : m_address.toString();
    m_peer += onBehalf ? QStringLiteral(" (web)")
                       : QLatin1Char(':') + QString::number(m_socket->peerPort());
    m_window.start();
    if (m_limits.identifyTimeoutMs > 0)
        startTimeout(m_identifyTimer, &m_identifyDueMs, m_limits.identifyTimeoutMs);
    // Whatever falls due in the time the clock moved on falls due now.
    connect(&clock, &OfficeClock::advanced, this, [this] {
        for (const auto &[timer, due] :
             {std::pair{&m_ackTimer, m_ackDueMs}, std::pair{&m_identifyTimer, m_identifyDueMs}}) {
            if (timer->isActive())
                timer->start(int(std::max<qint64>(0, due - m_clock.nowMs())), this);
        }
    });
    connect(m_socket, &QTcpSocket::readyRead, this, &ClientLink::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &ClientLink::finish);
}

ClientLink::~ClientLink()
{
    m_socket->disconnect(this);
}

QString ClientLink::name() const
{
    return m_identity.isEmpty() ? m_address.toString() : m_identity;
}

void ClientLink::setIdentity(const QString &identity)
{
    m_identity = identity;
    m_identified = true;
    m_identifyTimer.stop();
}

void ClientLink::setOffered(const QStringList &names)
{
    m_offered = QSet<QString>(names.cbegin(), names.cend());
}

ClientLink::Warning ClientLink::warning()
{
    if (!m_warningWindow.isValid() || m_warningWindow.elapsed() >= 60000) {
        m_warningWindow.start();
        m_warnings = 0;
    }
    ++m_warnings;
    if (m_warnings < kWarningsPerMinute)
        return Warning::Log;
    return m_warnings == kWarningsPerMinute ? Warning::LogLast : Warning::Quiet;
}

QString ClientLink::describe() const
{
    return m_identity.isEmpty() ? m_peer
                                : m_identity + QStringLiteral(" (") + m_peer + QLatin1Char(')');
}

void ClientLink::send(const QByteArray &message, Tag tag)
{
    if (m_closed || m_ending)
        return;
    if (m_queue.size() >= m_limits.maxQueued ||
        m_queuedBytes + message.size() > m_limits.maxQueuedBytes) {
        drop(QStringLiteral("it has not taken its last %1 messages (%2 bytes)")
                 .arg(QString::number(m_queue.size()), QString::number(m_queuedBytes)));
        return;
    }
    enqueue({message, tag, nullptr});
    pump();
}

bool ClientLink::sendFrom(const QObject *sender, const QByteArray &message)
{
    if (m_closed || m_ending)
        return true;
    // The server's own messages keep the other half; a client that takes none of them still
    // loses its link as before.
    const int share = std::max(1, m_limits.maxQueued / 8);
    if (m_queue.size() >= m_limits.maxQueued ||
        m_queuedBytes + message.size() > m_limits.maxQueuedBytes ||
        m_fromDesks >= m_limits.maxQueued / 2 ||
        m_fromDesksBytes + message.size() > m_limits.maxQueuedBytes / 2 ||
        m_perSender.value(sender) >= share)
        return false;
    enqueue({message, Tag::Plain, sender});
    pump();
    return true;
}

void ClientLink::enqueue(const Outgoing &message)
{
    m_queue.enqueue(message);
    m_queuedBytes += message.bytes.size();
    if (message.sender) {
        ++m_fromDesks;
        m_fromDesksBytes += message.bytes.size();
        ++m_perSender[message.sender];
    }
}

ClientLink::Outgoing ClientLink::dequeue()
{
    const Outgoing next = m_queue.dequeue();
    m_queuedBytes -= next.bytes.size();
    if (next.sender) {
        --m_fromDesks;
        m_fromDesksBytes -= next.bytes.size();
        if (--m_perSender[next.sender] <= 0)
            m_perSender.remove(next.sender);
    }
    return next;
}

void ClientLink::clearQueue()
{
    m_queue.clear();
    m_queuedBytes = 0;
    m_fromDesks = 0;
    m_fromDesksBytes = 0;
    m_perSender.clear();
}

bool ClientLink::withdraw(Tag tag)
{
    QQueue<Outgoing> kept;
    bool withdrawn = false;
    while (!m_queue.isEmpty()) {
        const Outgoing next = dequeue();
        if (next.tag == tag)
            withdrawn = true;
        else
            kept.enqueue(next);
    }
    for (const Outgoing &message : std::as_const(kept))
        enqueue(message);
    return withdrawn;
}

void ClientLink::acknowledge()
{
    if (m_closed)
        return;
    if (++m_acksOwed > m_limits.maxAcksOwed) {
        drop(QStringLiteral("it sent %1 messages without waiting for their acknowledgements")
                 .arg(QString::number(m_acksOwed)));
        return;
    }
    pump();
}

void ClientLink::end()
{
    m_ending = true;
    clearQueue();
    pump();
}

void ClientLink::sendFinal(const QByteArray &message)
{
    if (m_closed || m_ending)
        return;
    clearQueue();
    enqueue({message, Tag::Plain, nullptr});
    pump();
}

void ClientLink::drop(const QString &why)
{
    if (m_closed)
        return;
    Log::warning(QStringLiteral("Dropping the link of %1: %2").arg(describe(), why));
    m_socket->abort();
    finish();
}

void ClientLink::onReadyRead()
{
    const QByteArray bytes = m_socket->readAll();
    if (m_closed || bytes.isEmpty())
        return;
    if (bytes.size() > m_limits.maxMessageBytes) {
        drop(QStringLiteral("a message of more than %1 bytes")
                 .arg(QString::number(m_limits.maxMessageBytes)));
        return;
    }
    if (flooding(bytes.size())) {
        drop(QStringLiteral("more than %1 messages or %2 bytes in a second")
                 .arg(QString::number(m_limits.maxMessagesPerSecond),
                      QString::number(m_limits.maxBytesPerSecond)));
        return;
    }
    const ClientRequests::Read read = ClientRequests::splitLeadingAcks(Cp1252::decode(bytes));
    for (int i = 0; i < read.acks; ++i)
        onAck();
    if (!read.rest.isEmpty())
        Q_EMIT received(this, read.rest);
}

bool ClientLink::flooding(qsizetype bytes)
{
    if (m_window.elapsed() >= 1000) {
        m_window.restart();
        m_windowReads = 0;
        m_windowBytes = 0;
    }
    ++m_windowReads;
    m_windowBytes += bytes;
    return m_windowReads > m_limits.maxMessagesPerSecond ||
           m_windowBytes > m_limits.maxBytesPerSecond;
}

void ClientLink::onAck()
{
    if (!m_awaitingAck) {
        Log::debug(QStringLiteral("%1: MSG_ACK with nothing in flight").arg(m_peer));
        return;
    }
    m_awaitingAck = false;
    m_missedAcks = 0;
    m_ackTimer.stop();
    pump();
}

void ClientLink::pump()
{
    if (m_closed || m_gapTimer.isActive())
        return;
    const bool ackDue = m_acksOwed > 0;
    const bool messageDue = !m_awaitingAck && !m_queue.isEmpty();
    if (!ackDue && !messageDue) {
        if (m_ending)
            m_socket->disconnectFromHost();
        return;
    }
    if (m_lastWrite.isValid() && m_lastWrite.elapsed() < m_limits.sendGapMs) {
        m_gapTimer.start(int(m_limits.sendGapMs - m_lastWrite.elapsed()), Qt::PreciseTimer, this);
        return;
    }
    if (ackDue) {
        --m_acksOwed;
        write(kAck);
    } else {
        const Outgoing next = dequeue();
        m_awaitingAck = true;
        startTimeout(m_ackTimer, &m_ackDueMs, m_limits.ackTimeoutMs);
        write(next.bytes);
        if (next.tag != Tag::Plain)
            Q_EMIT delivered(this, next.tag);
    }
    if (m_acksOwed > 0 || (!m_awaitingAck && !m_queue.isEmpty()) || m_ending)
        m_gapTimer.start(m_limits.sendGapMs, Qt::PreciseTimer, this);
}

void ClientLink::write(const QByteArray &bytes)
{
    // A client that does not read lets the socket's buffer grow, acknowledgements included.
    if (m_socket->bytesToWrite() + bytes.size() > m_limits.maxQueuedBytes) {
        drop(QStringLiteral("it does not read what it is sent (%1 bytes waiting)")
                 .arg(QString::number(m_socket->bytesToWrite())));
        return;
    }
    if (Log::enabled(Log::Level::Debug))
        Log::debug(
            QStringLiteral("%1 S: %2").arg(m_peer, ClientRequests::masked(Cp1252::decode(bytes))));
    // Straight to the system while Qt holds nothing back for this socket: a message is small
    // and fits the socket's buffer, and Qt's own buffering would copy it and arm a write
    // notifier per link, which a broadcast to thousands of links pays for. What the system
    // does not take, an error included, goes the buffered way, which also reports the error.
    qsizetype sent = 0;
    if (m_socket->bytesToWrite() == 0) {
        const ssize_t n = ::send(int(m_socket->socketDescriptor()), bytes.constData(),
                                 size_t(bytes.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        sent = n > 0 ? qsizetype(n) : 0;
    }
    if (sent < bytes.size())
        m_socket->write(bytes.constData() + sent, bytes.size() - sent);
    m_lastWrite.start();
}

void ClientLink::startTimeout(QBasicTimer &timer, qint64 *dueMs, int ms)
{
    *dueMs = m_clock.nowMs() + ms;
    timer.start(ms, this);
}

void ClientLink::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_ackTimer.timerId()) {
        m_ackTimer.stop();
        if (++m_missedAcks >= m_limits.maxMissedAcks) {
            drop(QStringLiteral("it left %1 messages in a row unacknowledged")
                     .arg(QString::number(m_missedAcks)));
            return;
        }
        Log::info(QStringLiteral("%1 did not acknowledge within %2 ms; sending on")
                      .arg(name(), QString::number(m_limits.ackTimeoutMs)));
        m_awaitingAck = false;
        pump();
    } else if (event->timerId() == m_identifyTimer.timerId()) {
        m_identifyTimer.stop();
        drop(QStringLiteral("it did not identify within %1 ms")
                 .arg(QString::number(m_limits.identifyTimeoutMs)));
    } else if (event->timerId() == m_gapTimer.timerId()) {
        m_gapTimer.stop();
        pump();
    } else {
        QObject::timerEvent(event);
    }
}

void ClientLink::finish()
{
    if (m_closed)
        return;
    m_closed = true;
    m_ackTimer.stop();
    m_gapTimer.stop();
    m_identifyTimer.stop();
    clearQueue();
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT closed(this); }, Qt::QueuedConnection);
}
