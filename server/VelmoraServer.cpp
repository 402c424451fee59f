#include "VelmoraServer.h"

#include "CommandBackend.h"
#include "Cp1252.h"
#include "Log.h"
#include "Protocol.h"
#include "SimulatedBackend.h"

#include <QTcpSocket>

using ClientRequests::Kind;

namespace {

// A client answers a hang-up request within its countdown, counted from the moment it got the
// question; the answer itself still has to travel.
constexpr int kAnswerGraceMs = 1000;

std::unique_ptr<LineBackend> makeBackend(const ServerConfig &config)
{
    if (config.backend == BackendKind::Command)
        return std::make_unique<CommandBackend>(config.command);
    return std::make_unique<SimulatedBackend>(config.simulated);
}

// A message as the log shows it: a password is hidden, control characters are made visible and
// a long message is cut.
QString forLog(const QString &message)
{
    QString text = message;
    const ClientRequests::Request request = ClientRequests::parse(message);
    if (request.kind == Kind::Connect && request.password)
        text = Protocol::connectRequest(request.argument, QStringLiteral("***"));
    constexpr qsizetype kShown = 200;
    QString shown;
    for (const QChar c : QStringView(text).left(kShown)) {
        if (c.unicode() < 32 || c.unicode() == 127)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    if (text.size() > kShown)
        shown += QStringLiteral("... (%1 characters)").arg(text.size());
    return shown;
}

} // namespace

VelmoraServer::VelmoraServer(const ServerConfig &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_line(makeBackend(config))
{
    m_clock.start();
    // Every client of an office relinks at once when the server restarts.
    m_listener.setListenBacklogSize(1024);
    connect(&m_listener, &QTcpServer::newConnection, this, &VelmoraServer::onNewConnection);
    connect(&m_line, &Line::status, this, &VelmoraServer::onLineStatus);
    connect(&m_line, &Line::stateChanged, this, &VelmoraServer::onLineState);
    m_exchangeTimer.setSingleShot(true);
    connect(&m_exchangeTimer, &QTimer::timeout, this, &VelmoraServer::reviewExchange);
    m_stopTimer.setSingleShot(true);
    connect(&m_stopTimer, &QTimer::timeout, this, [this] {
        Log::warning(QStringLiteral("%1 client(s) did not leave in time").arg(m_links.size()));
        Q_EMIT stopped();
    });
}

VelmoraServer::~VelmoraServer()
{
    for (ClientLink *link : std::as_const(m_links))
        link->disconnect(this);
}

bool VelmoraServer::start(QString *error)
{
    if (!m_listener.listen(m_config.address, m_config.port)) {
        QString why = m_listener.errorString();
        if (m_listener.serverError() == QAbstractSocket::SocketAccessError && m_config.port < 1024)
            why += QStringLiteral(" (ports below 1024 need privileges: run as root, grant "
                                  "CAP_NET_BIND_SERVICE, or choose a port of 1024 or more)");
        *error = QStringLiteral("Cannot listen on %1 port %2: %3")
                     .arg(m_config.address.toString())
                     .arg(m_config.port)
                     .arg(why);
        return false;
    }
    Log::notice(QStringLiteral("Listening on %1").arg(endpoint()));
    m_line.start();
    return true;
}

QString VelmoraServer::endpoint() const
{
    const QHostAddress address = m_listener.serverAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return host + QLatin1Char(':') + QString::number(m_listener.serverPort());
}

ClientLink::Limits VelmoraServer::limits() const
{
    ClientLink::Limits limits;
    limits.ackTimeoutMs = m_config.ackTimeoutMs;
    limits.sendGapMs = m_config.sendGapMs;
    limits.maxMessageBytes = m_config.maxMessageBytes;
    limits.maxMessagesPerSecond = m_config.maxMessagesPerSecond;
    limits.maxBytesPerSecond = 4 * qsizetype(m_config.maxMessageBytes);
    return limits;
}

void VelmoraServer::shutDown()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_listener.close();
    m_exchangeTimer.stop();
    m_exchange.clear();
    Log::info(QStringLiteral("Stopping: telling %1 client(s) to end").arg(m_links.size()));
    if (m_links.isEmpty()) {
        QMetaObject::invokeMethod(this, &VelmoraServer::stopped, Qt::QueuedConnection);
        return;
    }
    const QByteArray shutdown = Cp1252::encode(Protocol::MsgShutdown);
    for (ClientLink *link : std::as_const(m_links))
        link->sendFinal(shutdown);
    m_stopTimer.start(m_config.shutdownWaitMs);
}

void VelmoraServer::onNewConnection()
{
    while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
        auto *link = new ClientLink(socket, limits(), this);
        connect(link, &ClientLink::received, this, &VelmoraServer::onReceived);
        connect(link, &ClientLink::closed, this, &VelmoraServer::onClosed);
        connect(link, &ClientLink::delivered, this, &VelmoraServer::onDelivered);
        m_links.append(link);
        Log::info(QStringLiteral("%1 linked (%2 linked)").arg(link->peer()).arg(m_links.size()));
        send(link, Protocol::CmdSendId);
        send(link, m_line.statusLine());
    }
}

void VelmoraServer::onClosed(ClientLink *link)
{
    m_links.removeOne(link);
    Log::info(QStringLiteral("%1 unlinked (%2 linked)").arg(link->describe()).arg(m_links.size()));
    link->deleteLater();
    if (m_exchange.active()) {
        m_exchange.forget(link);
        reviewExchange();
    }
    if (m_stopping && m_links.isEmpty() && m_stopTimer.isActive()) {
        m_stopTimer.stop();
        Q_EMIT stopped();
    }
}

void VelmoraServer::onReceived(ClientLink *link, const QString &message)
{
    // The client is told its message arrived before anything is done about it.
    link->acknowledge();
    if (Log::enabled(Log::Level::Debug))
        Log::debug(QStringLiteral("%1 R: %2").arg(link->peer(), forLog(message)));
    const ClientRequests::Request request = ClientRequests::parse(message);
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
        Log::warning(
            QStringLiteral("%1 sent an unknown message: %2").arg(link->name(), forLog(message)));
        break;
    }
}

void VelmoraServer::handleIdentity(ClientLink *link, const QString &identity)
{
    // A name holding "#" or the list terminator could not be listed or addressed intact.
    QString clean = identity;
    clean.remove(Protocol::NameTerminator).remove(Protocol::ListTerminator);
    if (clean != identity)
        Log::warning(QStringLiteral("%1 reported the identity %2; using %3")
                         .arg(link->peer(), forLog(identity), clean));
    link->setIdentity(clean);
    if (clean.isEmpty())
        Log::warning(QStringLiteral("%1 reported no identity; it is not offered as a recipient")
                         .arg(link->peer()));
    else
        Log::info(QStringLiteral("%1 is %2").arg(link->peer(), clean));
}

void VelmoraServer::handleUsers(ClientLink *link)
{
    QStringList names;
    for (const ClientLink *other : std::as_const(m_links)) {
        if (other != link && !other->identity().isEmpty() && !names.contains(other->identity()))
            names.append(other->identity());
    }
    link->setOffered(names);
    send(link, Protocol::UsersPrefix + Protocol::buildList(names));
}

void VelmoraServer::handleConnect(ClientLink *link, const ClientRequests::Request &request)
{
    const PhonebookEntry *entry = m_config.findEntry(request.argument);
    if (!entry) {
        Log::warning(QStringLiteral("%1 asked to dial %2, which is not in the phonebook")
                         .arg(link->name(), forLog(request.argument)));
        send(link, QStringLiteral("Cannot dial %1: no such phonebook entry").arg(request.argument));
        return;
    }
    if (m_line.state() != Line::State::Down) {
        Log::info(QStringLiteral("%1 asked to dial %2 while the line is busy (%3)")
                      .arg(link->name(), entry->name, m_line.statusLine()));
        return;
    }
    // A password the line judges goes to the line as it came; one the server knows must match.
    const bool refused = entry->check != PasswordCheck::None &&
                         (!request.password || (entry->check == PasswordCheck::Server &&
                                                *request.password != entry->password));
    if (refused) {
        if (request.password)
            Log::warning(
                QStringLiteral("%1 gave a wrong password for %2").arg(link->name(), entry->name));
        send(link, Protocol::MsgPassword);
        return;
    }
    Log::info(QStringLiteral("%1 asks to dial %2").arg(link->name(), entry->name));
    m_line.dial(*entry, request.password.value_or(QString()));
}

void VelmoraServer::handleDisconnect(ClientLink *link)
{
    switch (m_line.state()) {
    case Line::State::Down:
        // The client missed a change; the current state puts it right.
        send(link, m_line.statusLine());
        return;
    case Line::State::HangingUp:
        return;
    case Line::State::Dialling:
    case Line::State::Up:
        break;
    }
    if (m_exchange.active()) {
        Log::info(QStringLiteral("%1 also asks to hang up").arg(link->name()));
        m_exchange.addRequester(link);
        reviewExchange();
        return;
    }
    QList<ClientLink *> others = m_links;
    others.removeOne(link);
    if (others.isEmpty()) {
        Log::info(QStringLiteral("%1 asks to hang up; nobody else is linked").arg(link->name()));
        m_line.hangUp();
        return;
    }
    Log::info(QStringLiteral("%1 asks to hang up; asking %2 other client(s)")
                  .arg(link->name())
                  .arg(others.size()));
    m_exchange.start(link, others);
    const QString question =
        Protocol::MsgDisconnectPrefix + QString::number(m_config.disconnectSeconds);
    for (ClientLink *other : std::as_const(others))
        send(other, question, ClientLink::Tag::DisconnectRequest);
}

void VelmoraServer::onDelivered(ClientLink *link, ClientLink::Tag tag)
{
    if (tag != ClientLink::Tag::DisconnectRequest || !m_exchange.active())
        return;
    m_exchange.questionSent(link, m_clock.elapsed() + m_config.disconnectSeconds * 1000LL +
                                      kAnswerGraceMs);
    reviewExchange();
}

void VelmoraServer::handleAnswer(ClientLink *link, Kind kind)
{
    if (!m_exchange.active() || !m_exchange.answer(link)) {
        Log::info(
            QStringLiteral("%1 answered a hang-up request that is not pending").arg(link->name()));
        return;
    }
    switch (kind) {
    case Kind::Cancel:
        Log::info(QStringLiteral("%1 refuses the hang-up").arg(link->name()));
        refuseExchange(Protocol::MsgCancelled);
        break;
    case Kind::Locked:
        Log::info(QStringLiteral("%1 has the line locked").arg(link->name()));
        refuseExchange(Protocol::MsgLocked);
        break;
    default:
        reviewExchange();
        break;
    }
}

void VelmoraServer::reviewExchange()
{
    if (!m_exchange.active())
        return;
    if (m_exchange.settled()) {
        Log::info(QStringLiteral("No objection to the hang-up"));
        hangUpNow();
        return;
    }
    const std::optional<qint64> last = m_exchange.lastDeadline();
    if (!last)
        return;
    const qint64 remaining = *last - m_clock.elapsed();
    if (remaining > 0) {
        m_exchangeTimer.start(int(remaining));
        return;
    }
    Log::info(QStringLiteral("%1 client(s) did not answer in time; hanging up")
                  .arg(m_exchange.counting().size()));
    hangUpNow();
}

void VelmoraServer::hangUpNow()
{
    m_exchangeTimer.stop();
    m_exchange.clear();
    m_line.hangUp();
}

void VelmoraServer::refuseExchange(const QString &toRequesters)
{
    for (ClientLink *link : m_exchange.queued())
        link->withdraw(ClientLink::Tag::DisconnectRequest);
    for (ClientLink *link : m_exchange.requesters())
        send(link, toRequesters);
    for (ClientLink *link : m_exchange.counting())
        send(link, Protocol::MsgCancelled);
    m_exchangeTimer.stop();
    m_exchange.clear();
}

void VelmoraServer::abandonExchange()
{
    for (ClientLink *link : m_exchange.queued())
        link->withdraw(ClientLink::Tag::DisconnectRequest);
    for (ClientLink *link : m_exchange.counting())
        send(link, Protocol::MsgCancelled);
    m_exchangeTimer.stop();
    m_exchange.clear();
}

void VelmoraServer::handleUserMessage(ClientLink *link, const QString &body)
{
    const ClientRequests::UserMessage message = ClientRequests::splitUserMessage(
        body, [this, link](const QString &name) { return isKnownName(link, name); });
    if (message.recipients.isEmpty()) {
        Log::warning(QStringLiteral("%1 sent a message without a recipient").arg(link->name()));
        return;
    }
    const QString delivered =
        Protocol::UserMessagePrefix + link->name() + Protocol::NameTerminator + message.text;
    for (const QString &recipient : message.recipients) {
        int count = 0;
        for (ClientLink *other : std::as_const(m_links)) {
            if (other != link && other->identity() == recipient) {
                send(other, delivered);
                ++count;
            }
        }
        if (count == 0)
            Log::warning(QStringLiteral("%1 sent a message to %2, who is not linked; skipped")
                             .arg(link->name(), forLog(recipient)));
        else
            Log::info(QStringLiteral("Message from %1 to %2").arg(link->name(), recipient));
    }
}

bool VelmoraServer::isKnownName(const ClientLink *link, const QString &name) const
{
    if (link->offered().contains(name))
        return true;
    return std::any_of(m_links.cbegin(), m_links.cend(), [&name](const ClientLink *other) {
        return !other->identity().isEmpty() && other->identity() == name;
    });
}

void VelmoraServer::onLineStatus(const QString &line)
{
    const QByteArray bytes = Cp1252::encode(line);
    for (ClientLink *link : std::as_const(m_links))
        link->send(bytes);
}

void VelmoraServer::onLineState(Line::State state)
{
    if (state == Line::State::Down && m_exchange.active()) {
        Log::info(QStringLiteral("The line went down during a hang-up request"));
        abandonExchange();
    }
}

void VelmoraServer::send(ClientLink *link, const QString &message, ClientLink::Tag tag)
{
    link->send(Cp1252::encode(message), tag);
}
