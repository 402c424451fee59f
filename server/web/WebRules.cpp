// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WebRules.h"

#include "Protocol.h"

#include <algorithm>

namespace WebRules {

namespace {

struct Known
{
    const char *method;
    const char *path;
    Route route;
};

constexpr Known kRoutes[] = {
    {"GET", "/", Route::Page},
    {"GET", "/app.js", Route::Script},
    {"GET", "/style.css", Route::Style},
    {"GET", "/events", Route::Events},
    {"GET", "/accounting", Route::Accounting},
    {"POST", "/session", Route::Session},
    {"POST", "/dial", Route::Dial},
    {"POST", "/hangup", Route::HangUp},
    {"POST", "/answer", Route::Answer},
    {"POST", "/users", Route::Users},
    {"POST", "/message", Route::Message},
};

bool changesState(Route route)
{
    // Asking who is linked changes nothing, but goes through the desk's link like the others.
    return route == Route::Session || route == Route::Dial || route == Route::HangUp ||
           route == Route::Answer || route == Route::Users || route == Route::Message;
}

Verdict refuse(Route route, int status, const QString &why)
{
    return {route, status, why};
}

} // namespace

Route routeOf(const QByteArray &method, const QString &path)
{
    for (const Known &known : kRoutes) {
        if (method == known.method && path == QLatin1String(known.path))
            return known.route;
    }
    return Route::Unknown;
}

bool hostAllowed(const QByteArray &host, const QStringList &names)
{
    QString name = QString::fromLatin1(host);
    // "[::1]:8080", "192.0.2.1:8080", "office-router:8080": the port goes, brackets too.
    if (name.startsWith(QLatin1Char('[')))
        name = name.mid(1, name.indexOf(QLatin1Char(']')) - 1);
    else if (name.count(QLatin1Char(':')) == 1)
        name = name.section(QLatin1Char(':'), 0, 0);
    if (name.isEmpty())
        return false;
    return !QHostAddress(name).isNull() || names.contains(name, Qt::CaseInsensitive);
}

bool sameOrigin(const Request &request)
{
    if (!request.fetchSite.isEmpty() && request.fetchSite != "same-origin")
        return false;
    if (request.origin.isEmpty() || request.host.isEmpty())
        return false;
    // The page is served over http or https; its origin is the scheme and the very Host the
    // browser asked for.
    return request.origin == "http://" + request.host ||
           request.origin == "https://" + request.host;
}

Verdict judge(const Request &request, const Rights &rights)
{
    const Route route = routeOf(request.method, request.path);
    if (route == Route::Unknown) {
        const bool pathKnown = std::any_of(std::begin(kRoutes), std::end(kRoutes), [&](auto &k) {
            return request.path == QLatin1String(k.path);
        });
        return pathKnown ? refuse(route, 405, QStringLiteral("method not allowed"))
                         : refuse(route, 404, QStringLiteral("no such page"));
    }
    if (!hostAllowed(request.host, request.hostNames))
        return refuse(route, 421,
                      QStringLiteral("this server is reached by its address, or by "
                                     "a name in [Web] HostNames"));
    if (request.bodyBytes > MaxBodyBytes)
        return refuse(route, 413, QStringLiteral("request too large"));
    if (!changesState(route)) {
        if (request.bodyBytes > 0)
            return refuse(route, 400, QStringLiteral("a GET carries no body"));
        if (route == Route::Events && !request.sessionKnown)
            return refuse(route, 403, QStringLiteral("no such session"));
        if (route == Route::Accounting && !rights.admin)
            return refuse(route, 403,
                          QStringLiteral("the accounting log is not shown to this "
                                         "address"));
        return {route, 200, QString()};
    }
    if (!sameOrigin(request))
        return refuse(route, 403, QStringLiteral("not from this page"));
    if (!request.contentType.startsWith("application/json"))
        return refuse(route, 415, QStringLiteral("expected JSON"));
    if (route != Route::Session && !request.sessionKnown)
        return refuse(route, 403, QStringLiteral("no such session"));
    if (route == Route::Dial && !rights.dial)
        return refuse(route, 403, QStringLiteral("Dialling is not allowed from this address"));
    if (route == Route::HangUp && !rights.hangUp)
        return refuse(route, 403, QStringLiteral("Hanging up is not allowed from this address"));
    if (route == Route::Message && !rights.message)
        return refuse(route, 403,
                      QStringLiteral("Sending messages is not allowed from this address"));
    return {route, 200, QString()};
}

QString cleanName(const QString &name)
{
    QString clean;
    for (const QChar c : name) {
        if (c.category() != QChar::Other_Control && c != Protocol::NameTerminator &&
            c != Protocol::ListTerminator)
            clean.append(c);
    }
    clean.remove(Protocol::PasswordSeparator);
    return clean.trimmed().left(32).trimmed();
}

bool RateLimit::take(const QHostAddress &address, qint64 nowMs)
{
    auto it = m_buckets.find(address);
    if (it == m_buckets.end())
        it = m_buckets.insert(address, {double(m_burst), nowMs});
    Bucket &bucket = *it;
    bucket.tokens =
        std::min<double>(m_burst, bucket.tokens + (nowMs - bucket.lastMs) * m_rate / 1000.0);
    bucket.lastMs = nowMs;
    if (bucket.tokens < 1)
        return false;
    bucket.tokens -= 1;
    // A full bucket says nothing a new one would not: the table stays as small as the
    // addresses that are busy now.
    if (m_buckets.size() > 4096) {
        m_buckets.removeIf([&](QHash<QHostAddress, Bucket>::iterator b) {
            return b->tokens + (nowMs - b->lastMs) * m_rate / 1000.0 >= m_burst;
        });
    }
    return true;
}

} // namespace WebRules
