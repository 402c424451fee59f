// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "VelmoraServer.h"

#include "CommandBackend.h"
#include "Cp1252.h"
#include "Log.h"
#include "NetworkManagerBackend.h"
#include "Protocol.h"
#include "SimulatedBackend.h"

#include <QSet>
#include <QTcpSocket>

using ClientRequests::Kind;

namespace {

// Longer identities are cut: a host name fits, and the lists stay small.
constexpr qsizetype kMaxIdentity = 64;

// What the log shows of a client's message. Whatever follows a "PWD:" may be a password, in any
// request; an unknown message may be the tail of a request split in transit, password and all,
// so only its size is shown. A long message is cut.
QString forLog(const QString &message, Kind kind)
{
    if (kind == Kind::Unknown)
        return QStringLiteral("(%1 characters, not shown)").arg(QString::number(message.size()));
    const QString text = ClientRequests::masked(message);
    constexpr qsizetype kShown = 200;
    if (text.size() > kShown)
        return text.left(kShown) +
               QStringLiteral("... (%1 characters)").arg(QString::number(text.size()));
    return text;
}

// Names for one line of the log: the first few and how many more, however many were named.
QString someOf(const QStringList &names)
{
    constexpr qsizetype kNamed = 5;
    QStringList shown;
    for (const QString &name : names.mid(0, kNamed))
        shown.append(forLog(name, Kind::UserMessage));
    QString text = shown.join(QStringLiteral(", "));
    if (names.size() > kNamed)
        text += QStringLiteral(" and %1 more").arg(QString::number(names.size() - kNamed));
    return text;
}

std::unique_ptr<LineBackend> makeBackend(const ServerConfig &config)
{
    if (config.backend == BackendKind::Command)
        return std::make_unique<CommandBackend>(config.command);
    if (config.backend == BackendKind::NetworkManager)
        return std::make_unique<NetworkManagerBackend>(QDBusConnection::systemBus());
    return std::make_unique<SimulatedBackend>(config.simulated);
}

} // namespace

VelmoraServer::VelmoraServer(const ServerConfig &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_line(makeBackend(config))
{
    applySettings();
    connect(&m_line, &Line::status, this, &VelmoraServer::onLineStatus);
    connect(&m_line, &Line::stateChanged, this, &VelmoraServer::onLineState);
    connect(&m_vote, &HangUpVote::settled, this, &VelmoraServer::onVoteSettled);
    connect(&m_vote, &HangUpVote::limitReached, this, &VelmoraServer::onOnlineLimit);
    connect(&m_idleWatch, &IdleWatch::idle, this, &VelmoraServer::onIdle);
    m_refusalTimer.setSingleShot(true);
    connect(&m_refusalTimer, &QTimer::timeout, this, [this] {
        const QString summary = m_admission.summary(m_clock.nowMs());
        if (!summary.isEmpty())
            Log::warning(summary);
    });
    m_stopTimer.setSingleShot(true);
    connect(&m_stopTimer, &QTimer::timeout, this, [this] {
        Log::warning(QStringLiteral("%1 client(s) did not leave in time")
                         .arg(QString::number(m_links.size())));
        Q_EMIT stopped();
    });
}

VelmoraServer::~VelmoraServer()
{
    for (ClientLink *link : std::as_const(m_links))
        link->disconnect(this);
}

ClientLink::Limits VelmoraServer::limits() const
{
    ClientLink::Limits limits;
    limits.ackTimeoutMs = m_config.ackTimeoutMs;
    limits.sendGapMs = m_config.sendGapMs;
    limits.maxMessageBytes = m_config.maxMessageBytes;
    limits.maxMessagesPerSecond = m_config.maxMessagesPerSecond;
    limits.maxBytesPerSecond = 4 * qsizetype(m_config.maxMessageBytes);
    limits.maxQueued = m_config.maxQueuedMessages;
    limits.maxQueuedBytes = m_config.maxQueuedBytes;
    limits.maxMissedAcks = m_config.maxMissedAcks;
    limits.identifyTimeoutMs = m_config.identifyTimeoutMs;
    return limits;
}

void VelmoraServer::onReceived(ClientLink *link, const QString &message)
{
    // The client is told its message arrived before anything is done about it.
    link->acknowledge();
    const ClientRequests::Request request = ClientRequests::parse(message);
    if (Log::enabled(Log::Level::Debug))
        Log::debug(QStringLiteral("%1 R: %2").arg(link->peer(), forLog(message, request.kind)));
    if (m_stopping) {
        if (request.kind == Kind::End)
            link->end();
        return;
    }
    switch (request.kind) {
    case Kind::Identity:
        handleIdentity(link, request.argument);
        break;
    case Kind::Connections:
        send(link, Protocol::PhonebookPrefix + Protocol::buildList(m_config.entryNames()));
        break;
    case Kind::ConfigureConnections:
        send(link, Protocol::ConnectionsPrefix + Protocol::buildList(m_config.entryNames()));
        break;
    case Kind::Users:
        handleUsers(link);
        break;
    case Kind::Connect:
        handleConnect(link, request);
        break;
    case Kind::Disconnect:
        handleDisconnect(link);
        break;
    case Kind::Ok:
    case Kind::Cancel:
    case Kind::Locked:
        handleAnswer(link, request.kind);
        break;
    case Kind::UserMessage:
        handleUserMessage(link, request.argument);
        break;
    case Kind::End:
        Log::info(QStringLiteral("%1 ends its link").arg(link->name()));
        link->end();
        break;
    case Kind::Ack:
    case Kind::Unknown:
        report(link, Log::Level::Warning,
               QStringLiteral("%1 sent an unknown message %2")
                   .arg(link->name(), forLog(message, Kind::Unknown)));
        break;
    }
}

void VelmoraServer::report(ClientLink *link, Log::Level level, const QString &text)
{
    if (!Log::enabled(level))
        return;
    const ClientLink::Warning warning = link->warning();
    if (warning == ClientLink::Warning::Quiet)
        return;
    const QString line = warning == ClientLink::Warning::Log
                             ? text
                             : text + QStringLiteral("; more from it within a minute are not "
                                                     "logged");
    if (level == Log::Level::Info)
        Log::info(line);
    else
        Log::warning(line);
}

bool VelmoraServer::allowed(ClientLink *link, bool right, const QString &what)
{
    if (right)
        return true;
    report(link, Log::Level::Warning,
           QStringLiteral("%1 (%2): %3 is not allowed from its address")
               .arg(link->name(), link->peerAddress().toString(), what));
    send(link, QStringLiteral("%1 is not allowed from this desk").arg(what));
    return false;
}

void VelmoraServer::handleIdentity(ClientLink *link, const QString &identity)
{
    if (link->hasIdentified()) {
        report(link, Log::Level::Warning,
               QStringLiteral("%1 reported an identity again; it keeps the first")
                   .arg(link->describe()));
        return;
    }
    // A garbled request could carry a password into the name that every desk sees.
    if (identity.contains(Protocol::PasswordSeparator)) {
        Log::warning(QStringLiteral("%1 reported an identity holding \"PWD:\"; it is taken as no "
                                    "identity")
                         .arg(link->peer()));
        link->setIdentity(QString());
        return;
    }
    // A name holding "#" or the list terminator could not be listed or addressed intact.
    QString clean = identity;
    clean.remove(Protocol::NameTerminator).remove(Protocol::ListTerminator);
    if (clean.size() > kMaxIdentity)
        clean.truncate(kMaxIdentity);
    if (clean != identity)
        Log::warning(QStringLiteral("%1 reported the identity %2; using %3")
                         .arg(link->peer(), forLog(identity, Kind::Identity), clean));
    link->setIdentity(clean);
    if (!clean.isEmpty())
        m_byIdentity.insert(clean, link);
    if (clean.isEmpty())
        Log::warning(QStringLiteral("%1 reported no identity; it is not offered as a recipient")
                         .arg(link->peer()));
    else
        Log::info(QStringLiteral("%1 is %2").arg(link->peer(), clean));
}

void VelmoraServer::handleUsers(ClientLink *link)
{
    // Names in the order the desks linked, each once; the set keeps a large office's list from
    // costing the square of its size.
    QStringList names;
    QSet<QString> listed;
    for (const ClientLink *other : std::as_const(m_links)) {
        const QString identity = other->identity();
        if (other == link || identity.isEmpty() || listed.contains(identity))
            continue;
        listed.insert(identity);
        names.append(identity);
    }
    link->setOffered(names);
    send(link, Protocol::UsersPrefix + Protocol::buildList(names));
}

void VelmoraServer::handleConnect(ClientLink *link, const ClientRequests::Request &request)
{
    const PhonebookEntry *entry = m_config.findEntry(request.argument);
    if (!entry) {
        report(link, Log::Level::Warning,
               QStringLiteral("%1 asked to dial %2, which is not in the phonebook")
                   .arg(link->name(), forLog(request.argument, Kind::Connect)));
        send(link, QStringLiteral("Cannot dial %1: no such phonebook entry").arg(request.argument));
        return;
    }
    if (!allowed(link, m_config.rightsFor(link->peerAddress()).dial, QStringLiteral("Dialling")))
        return;
    if (m_line.state() != Line::State::Down) {
        Log::info(QStringLiteral("%1 asked to dial %2 while the line is busy (%3)")
                      .arg(link->name(), entry->name, m_line.statusLine()));
        return;
    }
    // A line break or another control character could add lines or options to what a dial
    // command writes the password into; such a password never reaches the line.
    if (entry->check != PasswordCheck::None && request.password &&
        !passwordFault(*request.password).isEmpty()) {
        Log::warning(QStringLiteral("%1 (%2) gave a password for %3 holding a control character "
                                    "(not shown); it is not accepted")
                         .arg(link->name(), link->peerAddress().toString(), entry->name));
        send(link, QStringLiteral("The password for %1 was not accepted: it holds a control "
                                  "character")
                       .arg(entry->name));
        return;
    }
    if (entry->check != PasswordCheck::None && request.password) {
        const qint64 wait = m_throttle.remainingMs(link->peerAddress(), m_clock.nowMs());
        if (wait > 0) {
            const QString seconds = QString::number((wait + 999) / 1000);
            report(link, Log::Level::Warning,
                   QStringLiteral("%1 (%2) tried a password for %3 too soon after a wrong "
                                  "one; %4 s to wait")
                       .arg(link->name(), link->peerAddress().toString(), entry->name, seconds));
            send(link, QStringLiteral("Wrong password; try again in %1 s").arg(seconds));
            return;
        }
    }
    // A password the line judges goes to the line as it came; one the server knows must match.
    const bool refused = entry->check != PasswordCheck::None &&
                         (!request.password || (entry->check == PasswordCheck::Server &&
                                                *request.password != entry->password));
    if (refused) {
        if (request.password) {
            Log::warning(QStringLiteral("%1 (%2) gave a wrong password for %3")
                             .arg(link->name(), link->peerAddress().toString(), entry->name));
            m_throttle.failed(link->peerAddress(), m_clock.nowMs());
        }
        send(link, Protocol::MsgPassword);
        return;
    }
    Log::info(QStringLiteral("%1 asks to dial %2").arg(link->name(), entry->name));
    m_caller = {link->identity(), link->peerAddress(), entry->check == PasswordCheck::Line};
    if (entry->check == PasswordCheck::Server)
        m_throttle.succeeded(link->peerAddress());
    m_accounting.record(QStringLiteral("dial"), link->identity(), link->peerAddress().toString(),
                        entry->name);
    m_line.dial(*entry, request.password.value_or(QString()));
}

void VelmoraServer::handleUserMessage(ClientLink *link, const QString &body)
{
    if (!allowed(link, m_config.rightsFor(link->peerAddress()).message,
                 QStringLiteral("Sending messages")))
        return;
    ClientRequests::UserMessage message = ClientRequests::splitUserMessage(
        body, [this, link](const QString &name) { return isKnownName(link, name); });
    if (message.recipients.isEmpty()) {
        report(link, Log::Level::Warning,
               QStringLiteral("%1 sent a message without a recipient").arg(link->name()));
        return;
    }
    // Each recipient gets one copy, however often it was named; the copy is encoded once for
    // them all, and a text that holds a request glued to it carries no password on.
    message.recipients.removeDuplicates();
    const QByteArray delivered =
        Cp1252::encode(Protocol::UserMessagePrefix + link->name() + Protocol::NameTerminator +
                       ClientRequests::masked(message.text));
    QStringList reached;
    QStringList absent;
    QStringList full;
    for (const QString &recipient : std::as_const(message.recipients)) {
        bool linked = false;
        bool refused = false;
        for (auto it = m_byIdentity.constFind(recipient);
             it != m_byIdentity.cend() && it.key() == recipient; ++it) {
            if (it.value() == link)
                continue;
            linked = true;
            refused = !it.value()->sendFrom(link, delivered) || refused;
        }
        (!linked ? absent : refused ? full : reached).append(recipient);
    }
    if (!reached.isEmpty())
        Log::info(QStringLiteral("Message from %1 to %2").arg(link->name(), someOf(reached)));
    if (!absent.isEmpty())
        report(link, Log::Level::Warning,
               QStringLiteral("%1 sent a message to %2, not linked; skipped")
                   .arg(link->name(), someOf(absent)));
    if (!full.isEmpty()) {
        report(link, Log::Level::Warning,
               QStringLiteral("%1 sent a message to %2, who has too many messages waiting; "
                              "not delivered")
                   .arg(link->name(), someOf(full)));
        // One such line waits at most, however fast the sender goes on.
        link->withdraw(ClientLink::Tag::Notice);
        const QString notice =
            full.size() == 1 ? QStringLiteral("Message not delivered to %1: too many messages "
                                              "are waiting for it")
                                   .arg(full.first())
                             : QStringLiteral("Message not delivered to %1 desks: too many "
                                              "messages are waiting for them")
                                   .arg(QString::number(full.size()));
        send(link, notice, ClientLink::Tag::Notice);
    }
}

bool VelmoraServer::isKnownName(const ClientLink *link, const QString &name) const
{
    return link->wasOffered(name) || (!name.isEmpty() && m_byIdentity.contains(name));
}

void VelmoraServer::onLineStatus(const QString &line)
{
    const QByteArray bytes = Cp1252::encode(line);
    for (ClientLink *link : std::as_const(m_links))
        link->send(bytes);
}

void VelmoraServer::send(ClientLink *link, const QString &message, ClientLink::Tag tag)
{
    link->send(Cp1252::encode(message), tag);
}
