// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ServerConfig.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QString>
#include <QStringList>

// What the web page's requests may be, judged before anything is done about them: the routes,
// the methods, the sizes, the origin and the rights. Widget-free and clock-free, so that a table
// test covers every case.
namespace WebRules {

enum class Route {
    Page,       // GET /
    Script,     // GET /app.js
    Style,      // GET /style.css
    Events,     // GET /events: the live stream of one session
    Accounting, // GET /accounting: the month's calls, for admin addresses only
    Session,    // POST /session: a name, answered with a session
    Dial,       // POST /dial
    HangUp,     // POST /hangup
    Answer,     // POST /answer: agree to or refuse another desk's hang-up
    Users,      // POST /users: asks who is linked; the list comes on the stream
    Message,    // POST /message: a message to other users
    Unknown,
};

// The largest request body taken; a name, an entry and a password fit many times over.
inline constexpr qsizetype MaxBodyBytes = 4096;

struct Request
{
    QByteArray method;
    QString path;
    qsizetype bodyBytes = 0;
    QByteArray host;           // the Host header
    QStringList hostNames;     // the names the page may be reached by, besides its addresses
    QByteArray origin;         // the Origin header, empty when absent
    QByteArray fetchSite;      // the Sec-Fetch-Site header, empty when absent
    QByteArray contentType;    // of the body
    bool sessionKnown = false; // the request names a live session of its own address
};

struct Verdict
{
    Route route = Route::Unknown;
    int status = 200; // anything but 200: refused with that status
    QString why;      // for the log and the page
};

Route routeOf(const QByteArray &method, const QString &path);
// Whether the Host header names this server: an IP address, or one of the names it is given. A
// page of another site whose name was pointed at this server's address (DNS rebinding) would
// otherwise be of the same origin as the requests it sends.
bool hostAllowed(const QByteArray &host, const QStringList &names);
// Whether a state-changing request comes from the page itself: a browser sends Origin on every
// POST, and Sec-Fetch-Site on every request; another site's page shows its own origin.
bool sameOrigin(const Request &request);
Verdict judge(const Request &request, const Rights &rights);

// A name for the vote and the accounting log: trimmed, without what a desk's identity may not
// hold ("#", control characters, "PWD:"), at most 32 characters. Empty when nothing is left.
QString cleanName(const QString &name);

// Requests per address, a bucket that fills at ratePerSecond up to burst: a page asks a handful
// at load and one per click, a script that floods is told to wait.
class RateLimit
{
public:
    RateLimit(int burst, int ratePerSecond)
        : m_burst(burst)
        , m_rate(ratePerSecond)
    {}
    // Takes one request from address at nowMs; false when its bucket is empty.
    bool take(const QHostAddress &address, qint64 nowMs);

private:
    struct Bucket
    {
        double tokens = 0;
        qint64 lastMs = 0;
    };
    int m_burst;
    int m_rate;
    QHash<QHostAddress, Bucket> m_buckets;
};

} // namespace WebRules
