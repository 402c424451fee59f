// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AccountingSummary.h"
#include "WebRules.h"

#include <QTest>

using WebRules::Route;

Q_DECLARE_METATYPE(WebRules::Request)

class TestWebRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void judge_data()
    {
        QTest::addColumn<WebRules::Request>("request");
        QTest::addColumn<QString>("rights"); // letters: d dial, h hang up, m message, a admin
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("route");
        // line: "METHOD /path", and the Host header where it is not the page's own name; then the
        // body's size, the Origin and Sec-Fetch-Site headers, the body's type, a live session.
        const auto row = [](const char *name, const char *line, int bytes, const char *origin,
                            const char *site, const char *type, bool session, const char *rights,
                            int status, Route route) {
            const QList<QByteArray> words = QByteArray(line).split(' ');
            const QStringList names{QStringLiteral("web.example")};
            const WebRules::Request request{words[0], QString::fromLatin1(words[1]),
                                            bytes,    words.value(2, "web.example:8080"),
                                            names,    origin,
                                            site,     type,
                                            session};
            QTest::newRow(name) << request << QString::fromLatin1(rights) << status << int(route);
        };
        const char *self = "http://web.example:8080";
        const char *json = "application/json";
        row("unknown path", "GET /etc/passwd", 0, "", "", "", false, "dha", 404, Route::Unknown);
        row("dial by GET", "GET /dial", 0, "", "", "", true, "dha", 405, Route::Unknown);
        row("GET with a body", "GET /", 10, "", "", "", false, "", 400, Route::Page);
        row("stream without session", "GET /events", 0, "", "", "", false, "dha", 403,
            Route::Events);
        row("stream", "GET /events", 0, "", "", "", true, "", 200, Route::Events);
        row("accounting, admin", "GET /accounting", 0, "", "", "", false, "a", 200,
            Route::Accounting);
        row("accounting, no admin", "GET /accounting", 0, "", "", "", false, "", 403,
            Route::Accounting);
        row("dial", "POST /dial", 40, self, "same-origin", json, true, "d", 200, Route::Dial);
        row("dial, no right", "POST /dial", 40, self, "", json, true, "ha", 403, Route::Dial);
        row("dial, other site", "POST /dial", 40, "http://evil.example", "cross-site", json, true,
            "d", 403, Route::Dial);
        row("dial, other port", "POST /dial", 40, "http://web.example:9090", "", json, true, "d",
            403, Route::Dial);
        row("dial, no origin", "POST /dial", 40, "", "", json, true, "d", 403, Route::Dial);
        row("dial, form post", "POST /dial", 40, self, "", "application/x-www-form-urlencoded",
            true, "d", 415, Route::Dial);
        row("dial, no session", "POST /dial", 40, self, "", json, false, "d", 403, Route::Dial);
        row("dial, too large", "POST /dial", int(WebRules::MaxBodyBytes + 1), self, "", json, true,
            "d", 413, Route::Dial);
        row("hang up, no right", "POST /hangup", 2, self, "", json, true, "d", 403, Route::HangUp);
        row("hang up", "POST /hangup", 2, self, "", json, true, "h", 200, Route::HangUp);
        row("answer without rights", "POST /answer", 14, self, "", json, true, "", 200,
            Route::Answer);
        row("message, no right", "POST /message", 30, self, "", json, true, "dha", 403,
            Route::Message);
        row("message", "POST /message", 30, self, "", json, true, "m", 200, Route::Message);
        // A page of another site whose name was pointed at this server's address.
        row("rebound host", "GET / rebound.example:8080", 0, "", "", "", false, "", 421,
            Route::Page);
        row("session over https", "POST /session", 14, "https://web.example:8080", "", json, false,
            "", 200, Route::Session);
    }

    void judge()
    {
        QFETCH(WebRules::Request, request);
        QFETCH(QString, rights);
        QFETCH(int, status);
        QFETCH(int, route);
        const Rights granted{rights.contains(u'd'), rights.contains(u'h'), false,
                             rights.contains(u'm'), rights.contains(u'a')};
        const WebRules::Verdict verdict = WebRules::judge(request, granted);
        QCOMPARE(verdict.status, status);
        QCOMPARE(int(verdict.route), route);
        QCOMPARE(verdict.why.isEmpty(), status == 200);
    }

    void hostAllowed()
    {
        const QStringList names{QStringLiteral("office-router")};
        // An address, with or without a port; a given name in any case.
        for (const char *host :
             {"192.0.2.1:8080", "192.0.2.1", "[::1]:8080", "office-router:8080", "Office-Router"})
            QVERIFY2(WebRules::hostAllowed(host, names), host);
        // A rebound name, a name that starts like a given one, none, a port alone.
        for (const char *host : {"evil.example:8080", "office-router.evil", "", ":8080"})
            QVERIFY2(!WebRules::hostAllowed(host, names), host);
    }

    void cleanName()
    {
        // The name given, "|", the name kept: no controls, list or name terminators, password
        // markers, outer blanks, nor more than 32 characters.
        for (const char *row : {"Ann|Ann", "  Ann  |Ann", "Ann#Bob|AnnBob", "Ann\nBob|AnnBob",
                                "Ann\x1c|Ann", "AnnPWD:secret|Annsecret", "   |"}) {
            const QStringList names = QString::fromLatin1(row).split(u'|');
            QCOMPARE(WebRules::cleanName(names[0]), names[1]);
        }
        QCOMPARE(WebRules::cleanName(QString(40, u'x')), QString(32, u'x'));
    }

    void rateLimit()
    {
        // Three at once, then two a second; a long pause fills the bucket, never past its size.
        // Each step: when an address takes, and whether it is let through.
        WebRules::RateLimit limit(3, 2);
        const QHostAddress a(QStringLiteral("192.0.2.1"));
        const std::pair<qint64, bool> steps[] = {
            {0, true},    {0, true},      {0, true},      {0, false},     {500, true},
            {500, false}, {100000, true}, {100000, true}, {100000, true}, {100000, false}};
        for (const auto &[ms, allowed] : steps)
            QVERIFY2(limit.take(a, ms) == allowed, qPrintable(QString::number(ms)));
        // Another address has a bucket of its own.
        QVERIFY(limit.take(QHostAddress(QStringLiteral("192.0.2.2")), 100000));
    }

    void summary()
    {
        const QString log = QStringLiteral(
            "time,event,identity,address,entry,seconds\n"
            "2024-04-30 23:00:00,up,\"old\",192.0.2.9,\"Office ISP\",\n"
            "2024-04-30 23:50:00,down,,,\"Office ISP\",3000\n"
            "2024-05-02 09:15:10,dial,\"ann\",192.0.2.17,\"Office ISP\",\n"
            "2024-05-02 09:15:13,up,\"ann\",192.0.2.17,\"Office ISP\",\n"
            "2024-05-02 09:25:13,down,,,\"Office ISP\",600\n"
            "2024-05-03 10:00:00,up,\"'=bob, \"\"the\"\" desk\",192.0.2.18,\"Night line\",\n"
            "2024-05-03 10:00:30,down,,,\"Night line\",30\n"
            "garbage\n"
            "time,event,identity,address,entry,seconds,received,sent\n"
            "2024-05-04 08:00:00,up,,192.0.2.19,\"Office ISP\",,,\n"
            "2024-05-04 08:01:00,down,,,\"Office ISP\",60,5000,250\n"
            "2024-05-05 08:00:00,up,\"ann\",192.0.2.17,\"Office ISP\",,,\n");
        // Per entry and per desk: name, calls, seconds, bytes where the log has them, both
        // directions (a line of the older form counts none); then the last calls, the latest
        // finished first, the call still up not counted.
        const AccountingSummary::Month month =
            AccountingSummary::summarise(log, QStringLiteral("2024-05"));
        QStringList read;
        for (const AccountingSummary::Total &total : month.perEntry + month.perDesk)
            read << QString::asprintf("%s %d %lld %lld", qPrintable(total.name), total.calls,
                                      total.seconds, total.bytes);
        for (const AccountingSummary::Call &call : month.last)
            read << call.start + u' ' + QString::number(call.seconds);
        QCOMPARE(read.join(u'|'), QStringLiteral("Office ISP 2 660 5250|Night line 1 30 0|"
                                                 "ann (192.0.2.17) 1 600 0|192.0.2.19 1 60 5250|"
                                                 "=bob, \"the\" desk (192.0.2.18) 1 30 0|"
                                                 "2024-05-04 08:00:00 60|2024-05-03 10:00:00 30|"
                                                 "2024-05-02 09:15:13 600"));
        QCOMPARE(AccountingSummary::summarise(log, QStringLiteral("2024-05"), 1).last.size(), 1);
    }
};

QTEST_APPLESS_MAIN(TestWebRules)
#include "tst_webrules.moc"
