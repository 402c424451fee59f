// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WebServer.h"

#include "AccountingSummary.h"
#include "Log.h"
#include "Protocol.h"
#include "VelmoraServer.h"
#include "WebDesk.h"
#include "WebListener.h"
#include "WebResponse.h"

#include <QDateTime>
#include <QFile>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>

using WebRules::Route;

namespace {

// What one address may hold open: a few tabs, each with its stream and a request or two.
constexpr int kConnectionsPerAddress = 16;
constexpr int kConnectionsInAll = 512;
constexpr qsizetype kMaxDesks = 256;
// What one connection may send in ten seconds; a page's requests are a few hundred bytes.
constexpr qsizetype kBytesPerWindow = 64 * 1024;
constexpr qint64 kWindowMs = 10000;
// The tail of the accounting log read for the month's view.
constexpr qint64 kAccountingTail = 8 * 1024 * 1024;
constexpr qsizetype kMaxPassword = 256;
constexpr qsizetype kMaxRecipients = 50;
constexpr qsizetype kMaxMessage = 2000;

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Post:
        return "POST";
    default:
        return "OTHER";
    }
}

QString randomSession()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(words), sizeof(words)).toHex());
}

QJsonObject rightsJson(const Rights &rights)
{
    return {{QStringLiteral("dial"), rights.dial},
            {QStringLiteral("hangUp"), rights.hangUp},
            {QStringLiteral("refuse"), rights.refuse},
            {QStringLiteral("message"), rights.message},
            {QStringLiteral("admin"), rights.admin}};
}

QString hostPort(const QHostAddress &address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return host + QLatin1Char(':') + QString::number(port);
}

} // namespace

// The page's files live in this static library; the linker keeps them only when asked for.
static void initResources()
{
    Q_INIT_RESOURCE(web);
}

WebServer::WebServer(VelmoraServer &server, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_server(server)
{
    initResources();
    m_clock.start();
    // The page speaks plain HTTP and its event stream; Qt's server would take WebSocket
    // upgrades on its own and hold them until asked for, so each is closed at once.
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, [this] {
        while (hasPendingWebSocketConnections())
            nextPendingWebSocketConnection()->abort();
    });
}

WebServer::~WebServer()
{
    qDeleteAll(m_desks);
}

bool WebServer::start(const WebSettings &settings, QString *error)
{
    QSslConfiguration tls;
    m_tls = !settings.certificate.isEmpty();
    if (m_tls) {
        const QList<QSslCertificate> chain = QSslCertificate::fromPath(settings.certificate);
        QFile keyFile(settings.key);
        if (chain.isEmpty() || !keyFile.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("Cannot read the web page's certificate %1 or key %2")
                         .arg(settings.certificate, settings.key);
            return false;
        }
        const QByteArray pem = keyFile.readAll();
        const QSslKey rsaKey(pem, QSsl::Rsa);
        const QSslKey ecKey = rsaKey.isNull() ? QSslKey(pem, QSsl::Ec) : rsaKey;
        if (ecKey.isNull()) {
            *error = QStringLiteral("The web page's key %1 is not a PEM RSA or EC key")
                         .arg(settings.key);
            return false;
        }
        tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificateChain(chain);
        tls.setPrivateKey(ecKey);
    }
    const auto guard = [this](QTcpSocket *socket) { return admit(socket); };
    quint16 port = settings.port;
    QStringList endpoints;
    for (const QHostAddress &address : settings.addresses) {
        std::unique_ptr<QTcpServer> listener;
        if (m_tls) {
            auto secure = std::make_unique<TlsWebListener>(guard);
            secure->setSslConfiguration(tls);
            listener = std::move(secure);
        } else {
            listener = std::make_unique<WebListener>(guard);
        }
        if (!listener->listen(address, port)) {
            *error = QStringLiteral("Cannot serve the web page on %1 port %2: %3")
                         .arg(address.toString(), QString::number(port), listener->errorString());
            m_listeners.clear();
            return false;
        }
        port = listener->serverPort();
        endpoints.append(hostPort(listener->serverAddress(), port));
        bind(listener.get());
        m_listeners.push_back(std::move(listener));
    }
    const QString scheme = m_tls ? QStringLiteral("https") : QStringLiteral("http");
    for (QString &endpoint : endpoints)
        endpoint = scheme + QStringLiteral("://") + endpoint + QLatin1Char('/');
    Log::notice(QStringLiteral("Web page on %1").arg(endpoints.join(QStringLiteral(", "))));
    return true;
}

bool WebServer::admit(QTcpSocket *socket)
{
    const QHostAddress plain = AddressRange::plain(socket->peerAddress());
    // Counted per host, an IPv6 one by its /64, which one machine may fill with addresses.
    const QHostAddress address = AddressRange::host(plain);
    int total = 0;
    for (const int open : std::as_const(m_connections))
        total += open;
    if (!anyContains(m_server.config().allowFrom, plain) ||
        m_connections.value(address) >= kConnectionsPerAddress || total >= kConnectionsInAll)
        return false;
    ++m_connections[address];
    connect(socket, &QObject::destroyed, this, [this, address] {
        if (--m_connections[address] <= 0)
            m_connections.remove(address);
    });
    // Runs before the HTTP server reads: a connection that sends more than any page would is
    // closed before it can make the server hold it.
    auto window = std::make_shared<std::pair<qint64, qsizetype>>(m_clock.elapsed(), 0);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, window] {
        if (m_clock.elapsed() - window->first >= kWindowMs)
            *window = {m_clock.elapsed(), 0};
        window->second += socket->bytesAvailable();
        if (window->second > kBytesPerWindow) {
            Log::warning(QStringLiteral("Web: closing a connection from %1: more than %2 bytes "
                                        "in %3 s")
                             .arg(socket->peerAddress().toString(),
                                  QString::number(kBytesPerWindow),
                                  QString::number(kWindowMs / 1000)));
            socket->abort();
        }
    });
    return true;
}

WebDesk *WebServer::deskFor(const QHttpServerRequest &request, const QHostAddress &address) const
{
    QString session = QString::fromLatin1(request.value("X-Velmora-Session"));
    if (session.isEmpty())
        session = request.query().queryItemValue(QStringLiteral("session"));
    WebDesk *desk = m_desks.value(session);
    return desk && desk->address() == address ? desk : nullptr;
}

bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const QHostAddress address = AddressRange::plain(socket->peerAddress());
    // AllowFrom may have narrowed since the connection was made.
    if (!anyContains(m_server.config().allowFrom, address)) {
        socket->abort();
        return true;
    }
    if (!m_rate.take(AddressRange::host(address), m_clock.elapsed())) {
        WebResponse::error(socket, 429, QStringLiteral("Too many requests; wait a moment"), m_tls);
        return true;
    }
    WebDesk *desk = deskFor(request, address);
    WebRules::Request facts;
    facts.method = methodName(request.method());
    facts.path = request.url().path();
    facts.bodyBytes = request.body().size();
    facts.host = request.value("Host");
    facts.hostNames = m_server.config().web.hostNames;
    facts.origin = request.value("Origin");
    facts.fetchSite = request.value("Sec-Fetch-Site");
    facts.contentType = request.value("Content-Type");
    facts.sessionKnown = desk != nullptr;
    const WebRules::Verdict verdict = WebRules::judge(facts, m_server.config().rightsFor(address));
    if (verdict.status != 200) {
        if (facts.method == "POST")
            Log::warning(QStringLiteral("Web: refused %1 %2 from %3: %4")
                             .arg(QString::fromLatin1(facts.method), facts.path, address.toString(),
                                  verdict.why));
        WebResponse::error(socket, verdict.status, verdict.why, m_tls);
        return true;
    }
    serve(verdict.route, request, socket, address, desk);
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest &, QTcpSocket *socket)
{
    WebResponse::error(socket, 404, QStringLiteral("no such page"), m_tls);
}

void WebServer::serve(Route route, const QHttpServerRequest &request, QTcpSocket *socket,
                      const QHostAddress &address, WebDesk *desk)
{
    const auto resource = [&](const char *path, const QByteArray &type) {
        QFile file(QString::fromLatin1(path));
        file.open(QIODevice::ReadOnly);
        WebResponse::send(socket, 200, type, file.readAll(), m_tls);
    };
    const QJsonObject body = QJsonDocument::fromJson(request.body()).object();
    switch (route) {
    case Route::Page:
        resource(":/web/index.html", "text/html; charset=utf-8");
        return;
    case Route::Script:
        resource(":/web/app.js", "text/javascript; charset=utf-8");
        return;
    case Route::Style:
        resource(":/web/style.css", "text/css; charset=utf-8");
        return;
    case Route::Events:
        openStream(socket, desk);
        return;
    case Route::Accounting:
        accounting(socket);
        return;
    case Route::Session:
        openSession(body, socket, address);
        return;
    case Route::Dial:
        dial(body, socket, desk);
        return;
    case Route::HangUp:
        desk->request(Protocol::CmdDisconnect);
        WebResponse::json(socket, 202, {}, m_tls);
        return;
    case Route::Answer:
        desk->request(body.value(QStringLiteral("agree")).toBool() ? QString(Protocol::CmdOk)
                                                                   : QString(Protocol::CmdCancel));
        WebResponse::json(socket, 202, {}, m_tls);
        return;
    case Route::Users:
        desk->request(Protocol::CmdUsers);
        WebResponse::json(socket, 202, {}, m_tls);
        return;
    case Route::Message:
        message(body, socket, desk);
        return;
    case Route::Unknown:
        break;
    }
    WebResponse::error(socket, 404, QStringLiteral("no such page"), m_tls);
}

void WebServer::openStream(QTcpSocket *socket, WebDesk *desk)
{
    constexpr qsizetype kStreamsPerDesk = 4;
    if (desk->streams() >= kStreamsPerDesk) {
        WebResponse::error(socket, 429, QStringLiteral("too many pages of this session"), m_tls);
        return;
    }
    WebResponse::startStream(socket, m_tls);
    desk->attach(socket);
}

void WebServer::openSession(const QJsonObject &body, QTcpSocket *socket,
                            const QHostAddress &address)
{
    const QString name = WebRules::cleanName(body.value(QStringLiteral("name")).toString());
    if (name.isEmpty()) {
        WebResponse::error(socket, 400, QStringLiteral("Give a name that others will see"), m_tls);
        return;
    }
    if (m_desks.size() >= kMaxDesks) {
        WebResponse::error(socket, 503, QStringLiteral("Too many web users at once"), m_tls);
        return;
    }
    const QString identity = QStringLiteral("%1 (web, %2)").arg(name, address.toString());
    auto *desk = new WebDesk(identity, address, this);
    QString refusal;
    if (!desk->link(m_server, &refusal)) {
        delete desk;
        Log::warning(QStringLiteral("Web: %1 may not link: %2").arg(address.toString(), refusal));
        WebResponse::error(socket, 403,
                           QStringLiteral("This address may not link: %1").arg(refusal), m_tls);
        return;
    }
    const QString session = randomSession();
    m_desks.insert(session, desk);
    connect(desk, &WebDesk::finished, this, [this, session](WebDesk *gone) {
        m_desks.remove(session);
        gone->deleteLater();
    });
    const ServerConfig &config = m_server.config();
    QJsonArray phonebook;
    for (const PhonebookEntry &entry : config.phonebook)
        phonebook.append(
            QJsonObject{{QStringLiteral("name"), entry.name},
                        {QStringLiteral("password"), entry.check != PasswordCheck::None}});
    WebResponse::json(socket, 200,
                      {{QStringLiteral("session"), session},
                       {QStringLiteral("identity"), identity},
                       {QStringLiteral("rights"), rightsJson(config.rightsFor(address))},
                       {QStringLiteral("phonebook"), phonebook}},
                      m_tls);
}

void WebServer::dial(const QJsonObject &body, QTcpSocket *socket, WebDesk *desk)
{
    const PhonebookEntry *entry =
        m_server.config().findEntry(body.value(QStringLiteral("entry")).toString());
    const QString password = body.value(QStringLiteral("password")).toString();
    if (!entry || password.size() > kMaxPassword) {
        WebResponse::error(socket, 400, QStringLiteral("No such phonebook entry"), m_tls);
        return;
    }
    desk->request(entry->check == PasswordCheck::None || password.isEmpty()
                      ? Protocol::connectRequest(entry->name)
                      : Protocol::connectRequest(entry->name, password));
    WebResponse::json(socket, 202, {}, m_tls);
}

void WebServer::message(const QJsonObject &body, QTcpSocket *socket, WebDesk *desk)
{
    const QJsonArray to = body.value(QStringLiteral("to")).toArray();
    const QString text = body.value(QStringLiteral("text")).toString();
    QStringList recipients;
    for (const QJsonValue &name : to) {
        const QString clean = name.toString();
        if (!clean.isEmpty() && !clean.contains(Protocol::NameTerminator))
            recipients.append(clean);
    }
    if (recipients.isEmpty() || recipients.size() > kMaxRecipients || text.trimmed().isEmpty() ||
        text.size() > kMaxMessage) {
        WebResponse::error(socket, 400,
                           QStringLiteral("Choose who gets the message, and write one"), m_tls);
        return;
    }
    desk->request(Protocol::userMessageRequest(recipients, text));
    WebResponse::json(socket, 202, {}, m_tls);
}

void WebServer::accounting(QTcpSocket *socket)
{
    const QString path = m_server.config().accountingFile;
    QFile file(path);
    QByteArray text;
    if (!path.isEmpty() && file.open(QIODevice::ReadOnly)) {
        file.seek(std::max<qint64>(0, file.size() - kAccountingTail));
        text = file.readAll();
    }
    const QString month = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM"));
    QJsonObject summary =
        AccountingSummary::toJson(AccountingSummary::summarise(QString::fromUtf8(text), month));
    summary.insert(QStringLiteral("month"), month);
    summary.insert(QStringLiteral("logged"), !path.isEmpty());
    WebResponse::json(socket, 200, summary, m_tls);
}
