// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The server's side that faces the network: listening, who may link, links coming and going,
// a new configuration, stopping.

#include "Cp1252.h"
#include "Log.h"
#include "Protocol.h"
#include "VelmoraServer.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {

constexpr qint64 kAcceptErrorLogIntervalMs = 60000;

} // namespace

void VelmoraServer::applySettings()
{
    m_admission.setSettings({m_config.allowFrom, m_config.maxLinks, m_config.maxLinksPerAddress});
    m_throttle.setFirstDelay(m_config.wrongPasswordDelayMs);
    m_vote.setCountdownSeconds(m_config.disconnectSeconds);
    m_accounting.setPath(m_config.accountingFile);
    m_line.setPhonebook(m_config.phonebook);
}

bool VelmoraServer::start(QString *error)
{
    quint16 port = m_config.port;
    for (const QHostAddress &address : std::as_const(m_config.addresses)) {
        auto listener = std::make_unique<QTcpServer>();
        // Every client of an office relinks at once when the server restarts.
        listener->setListenBacklogSize(1024);
        if (!listener->listen(address, port)) {
            QString why = listener->errorString();
            if (listener->serverError() == QAbstractSocket::SocketAccessError && port < 1024)
                why += QStringLiteral(" (ports below 1024 need privileges: run as root, grant "
                                      "CAP_NET_BIND_SERVICE, or choose a port of 1024 or more)");
            *error = QStringLiteral("Cannot listen on %1 port %2: %3")
                         .arg(address.toString(), QString::number(port), why);
            m_acceptors.clear();
            return false;
        }
        // With port 0 the first address takes any free port, and the others the same one.
        port = listener->serverPort();
        auto acceptor = std::make_unique<Acceptor>(listener.get());
        if (!acceptor->isValid()) {
            *error = QStringLiteral("Cannot listen on %1 port %2: no file descriptor left")
                         .arg(address.toString(), QString::number(port));
            m_acceptors.clear();
            return false;
        }
        connect(acceptor.get(), &Acceptor::accepted, this, &VelmoraServer::onNewConnection);
        connect(acceptor.get(), &Acceptor::failed, this, &VelmoraServer::onAcceptError);
        m_acceptors.push_back(std::move(acceptor));
    }
    Log::notice(QStringLiteral("Listening on %1").arg(endpoint()));
    m_line.start();
    return true;
}

quint16 VelmoraServer::port() const
{
    return m_acceptors.empty() ? 0 : m_acceptors.front()->port();
}

QString VelmoraServer::endpoint() const
{
    QStringList endpoints;
    for (const auto &acceptor : m_acceptors)
        endpoints.append(acceptor->endpoint());
    return endpoints.join(QStringLiteral(", "));
}

void VelmoraServer::onAcceptError(const QString &why)
{
    const qint64 now = m_clock.nowMs();
    if (m_lastAcceptErrorLog >= 0 && now - m_lastAcceptErrorLog < kAcceptErrorLogIntervalMs)
        return;
    m_lastAcceptErrorLog = now;
    Log::error(QStringLiteral("Cannot accept a link: %1 (%2 linked); trying again every %3 ms")
                   .arg(why, QString::number(m_links.size()), QString::number(Acceptor::RetryMs)));
}

void VelmoraServer::onNewConnection(QTcpSocket *socket)
{
    const QHostAddress address = AddressRange::plain(socket->peerAddress());
    const QString refusal = m_stopping ? QStringLiteral("stopping") : m_admission.refusal(address);
    if (!refusal.isEmpty()) {
        // Closed unanswered: a stranger learns nothing, not even that this is the server.
        const qint64 now = m_clock.nowMs();
        for (const QString &line : m_admission.refused(address, refusal, now))
            Log::warning(line);
        const qint64 due = m_admission.summaryDue();
        if (due >= 0 && !m_refusalTimer.isActive())
            m_refusalTimer.start(std::chrono::milliseconds(std::max<qint64>(0, due - now)));
        socket->abort();
        socket->deleteLater();
        return;
    }
    addLink(socket, QHostAddress());
}

bool VelmoraServer::adopt(QTcpSocket *socket, const QHostAddress &address, QString *refusal)
{
    const QHostAddress plain = AddressRange::plain(address);
    *refusal = m_stopping ? QStringLiteral("stopping") : m_admission.refusal(plain);
    if (!refusal->isEmpty()) {
        socket->abort();
        socket->deleteLater();
        return false;
    }
    addLink(socket, plain);
    return true;
}

qint64 VelmoraServer::upSeconds() const
{
    return m_upSinceMs < 0 ? -1 : (m_clock.nowMs() - m_upSinceMs) / 1000;
}

void VelmoraServer::addLink(QTcpSocket *socket, const QHostAddress &standsFor)
{
    auto *link = new ClientLink(socket, limits(), m_clock, this, standsFor);
    connect(link, &ClientLink::received, this, &VelmoraServer::onReceived);
    connect(link, &ClientLink::closed, this, &VelmoraServer::onClosed);
    connect(link, &ClientLink::delivered, this, &VelmoraServer::onDelivered);
    m_links.append(link);
    m_admission.linked(link->peerAddress());
    Log::info(
        QStringLiteral("%1 linked (%2 linked)").arg(link->peer(), QString::number(m_links.size())));
    send(link, Protocol::CmdSendId);
    send(link, m_line.statusLine());
}

void VelmoraServer::onClosed(ClientLink *link)
{
    m_links.removeOne(link);
    if (!link->identity().isEmpty())
        m_byIdentity.remove(link->identity(), link);
    m_admission.unlinked(link->peerAddress());
    Log::info(QStringLiteral("%1 unlinked (%2 linked)")
                  .arg(link->describe(), QString::number(m_links.size())));
    link->deleteLater();
    m_vote.forget(link);
    if (m_stopping && m_links.isEmpty() && m_stopTimer.isActive()) {
        m_stopTimer.stop();
        Q_EMIT stopped();
    }
}

void VelmoraServer::reload(const ServerConfig &config)
{
    ServerConfig next = config;
    if (next.addresses != m_config.addresses || next.port != m_config.port ||
        next.backend != m_config.backend || next.simulated != m_config.simulated ||
        next.command != m_config.command || next.web != m_config.web)
        Log::warning(QStringLiteral("The new addresses, port, line or web settings take effect "
                                    "at the next start"));
    next.web = m_config.web;
    next.addresses = m_config.addresses;
    next.port = m_config.port;
    next.backend = m_config.backend;
    next.simulated = m_config.simulated;
    next.command = m_config.command;
    m_config = next;
    applySettings();
    // A link the new allow-list no longer admits goes, as it could not link now; rights are
    // looked up for every request, so the new ones apply to the links that stay.
    qsizetype closed = 0;
    for (ClientLink *link : std::as_const(m_links)) {
        if (!link->isClosed() && !m_admission.allowed(link->peerAddress())) {
            link->drop(QStringLiteral("its address is no longer in AllowFrom"));
            ++closed;
        }
    }
    // A changed limit applies to the call in progress, over the period already begun. Once the
    // old limit has been reached its vote decides, and a refusal times the new limit.
    const qint64 cap = onlineCapMs();
    if (m_vote.setCap(cap))
        Log::info(cap > 0
                      ? QStringLiteral("The call on %1 is now limited to %2 minute(s)")
                            .arg(m_line.entry(), QString::number(cap / 60000.0))
                      : QStringLiteral("The call on %1 is no longer limited").arg(m_line.entry()));
    m_idleWatch.setRule(idleMs(), quint64(m_config.idleBytes));
    Log::info(QStringLiteral("Configuration reloaded: %1 phonebook entries, %2 rights rules; "
                             "%3 links kept, %4 closed")
                  .arg(QString::number(m_config.phonebook.size()),
                       QString::number(m_config.rights.size()),
                       QString::number(m_links.size() - closed), QString::number(closed)));
}

void VelmoraServer::shutDown(Farewell farewell)
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_acceptors.clear();
    m_vote.stop();
    const bool endClients = farewell == Farewell::EndClients;
    Log::info(endClients ? QStringLiteral("Stopping: telling %1 client(s) to end")
                               .arg(QString::number(m_links.size()))
                         : QStringLiteral("Stopping: closing %1 link(s); the clients link again "
                                          "by themselves")
                               .arg(QString::number(m_links.size())));
    if (m_links.isEmpty()) {
        QMetaObject::invokeMethod(this, &VelmoraServer::stopped, Qt::QueuedConnection);
        return;
    }
    // A restart costs the users nothing: a client whose link closes keeps running and links
    // again. Only an administrator who wants the office's clients gone has them told to end.
    const QByteArray shutdown = Cp1252::encode(Protocol::MsgShutdown);
    for (ClientLink *link : std::as_const(m_links)) {
        if (endClients)
            link->sendFinal(shutdown);
        else
            link->end();
    }
    m_stopTimer.start(m_config.shutdownWaitMs);
}
