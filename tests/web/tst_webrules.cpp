// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AccountingSummary.h"
#include "WebRules.h"

#include <QTest>

using WebRules::Route;

class TestWebRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void judge_data();
    void judge();
    void hostAllowed_data();
    void hostAllowed();
    void cleanName_data();
    void cleanName();
    void rateLimit();
    void summary();
};

void TestWebRules::judge_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("bodyBytes");
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<QByteArray>("fetchSite");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<bool>("session");
    QTest::addColumn<QString>("rights"); // letters: d dial, h hang up, m message, a admin
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("route");

    const QByteArray self = "http://web.example:8080";
    const QByteArray json = "application/json";
    QTest::newRow("the page") << QByteArray("GET") << "/" << 0 << QByteArray() << QByteArray()
                              << QByteArray() << false << "" << 200 << int(Route::Page);
    QTest::newRow("unknown path") << QByteArray("GET") << "/etc/passwd" << 0 << QByteArray()
                                  << QByteArray() << QByteArray() << false << "dha" << 404
                                  << int(Route::Unknown);
    QTest::newRow("dial by GET") << QByteArray("GET") << "/dial" << 0 << QByteArray()
                                 << QByteArray() << QByteArray() << true << "dha" << 405
                                 << int(Route::Unknown);
    QTest::newRow("page by POST") << QByteArray("POST") << "/" << 0 << self << QByteArray() << json
                                  << true << "dha" << 405 << int(Route::Unknown);
    QTest::newRow("PUT") << QByteArray("OTHER") << "/hangup" << 0 << self << QByteArray() << json
                         << true << "dha" << 405 << int(Route::Unknown);
    QTest::newRow("GET with a body")
        << QByteArray("GET") << "/" << 10 << QByteArray() << QByteArray() << QByteArray() << false
        << "" << 400 << int(Route::Page);
    QTest::newRow("stream without session")
        << QByteArray("GET") << "/events" << 0 << QByteArray() << QByteArray() << QByteArray()
        << false << "dha" << 403 << int(Route::Events);
    QTest::newRow("stream") << QByteArray("GET") << "/events" << 0 << QByteArray() << QByteArray()
                            << QByteArray() << true << "" << 200 << int(Route::Events);
    QTest::newRow("accounting, admin")
        << QByteArray("GET") << "/accounting" << 0 << QByteArray() << QByteArray() << QByteArray()
        << false << "a" << 200 << int(Route::Accounting);
    QTest::newRow("accounting, no admin")
        << QByteArray("GET") << "/accounting" << 0 << QByteArray() << QByteArray() << QByteArray()
        << false << "dh" << 403 << int(Route::Accounting);
    QTest::newRow("dial") << QByteArray("POST") << "/dial" << 40 << self
                          << QByteArray("same-origin") << json << true << "d" << 200
                          << int(Route::Dial);
    QTest::newRow("dial, no right") << QByteArray("POST") << "/dial" << 40 << self << QByteArray()
                                    << json << true << "ha" << 403 << int(Route::Dial);
    QTest::newRow("dial, other site")
        << QByteArray("POST") << "/dial" << 40 << QByteArray("http://evil.example")
        << QByteArray("cross-site") << json << true << "d" << 403 << int(Route::Dial);
    QTest::newRow("dial, same site other port")
        << QByteArray("POST") << "/dial" << 40 << QByteArray("http://web.example:9090")
        << QByteArray("same-site") << json << true << "d" << 403 << int(Route::Dial);
    QTest::newRow("dial, no origin")
        << QByteArray("POST") << "/dial" << 40 << QByteArray() << QByteArray() << json << true
        << "d" << 403 << int(Route::Dial);
    QTest::newRow("dial, form post") << QByteArray("POST") << "/dial" << 40 << self << QByteArray()
                                     << QByteArray("application/x-www-form-urlencoded") << true
                                     << "d" << 415 << int(Route::Dial);
    QTest::newRow("dial, no session") << QByteArray("POST") << "/dial" << 40 << self << QByteArray()
                                      << json << false << "d" << 403 << int(Route::Dial);
    QTest::newRow("dial, too large")
        << QByteArray("POST") << "/dial" << int(WebRules::MaxBodyBytes + 1) << self << QByteArray()
        << json << true << "d" << 413 << int(Route::Dial);
    QTest::newRow("hang up, no right")
        << QByteArray("POST") << "/hangup" << 2 << self << QByteArray() << json << true << "d"
        << 403 << int(Route::HangUp);
    QTest::newRow("hang up") << QByteArray("POST") << "/hangup" << 2 << self << QByteArray() << json
                             << true << "h" << 200 << int(Route::HangUp);
    QTest::newRow("answer without rights")
        << QByteArray("POST") << "/answer" << 14 << self << QByteArray() << json << true << ""
        << 200 << int(Route::Answer);
    QTest::newRow("session, no session yet")
        << QByteArray("POST") << "/session" << 14 << self << QByteArray() << json << false << ""
        << 200 << int(Route::Session);
    QTest::newRow("message, no right")
        << QByteArray("POST") << "/message" << 30 << self << QByteArray() << json << true << "dha"
        << 403 << int(Route::Message);
    QTest::newRow("message") << QByteArray("POST") << "/message" << 30 << self << QByteArray()
                             << json << true << "m" << 200 << int(Route::Message);
    QTest::newRow("users by GET") << QByteArray("GET") << "/users" << 0 << QByteArray()
                                  << QByteArray() << QByteArray() << true << "m" << 405
                                  << int(Route::Unknown);
    QTest::newRow("rebound host") << QByteArray("GET") << "/" << 0 << QByteArray() << QByteArray()
                                  << QByteArray() << false << "" << 421 << int(Route::Page);
    QTest::newRow("session over https")
        << QByteArray("POST") << "/session" << 14 << QByteArray("https://web.example:8080")
        << QByteArray() << json << false << "" << 200 << int(Route::Session);
}

void TestWebRules::judge()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(int, bodyBytes);
    QFETCH(QByteArray, origin);
    QFETCH(QByteArray, fetchSite);
    QFETCH(QByteArray, contentType);
    QFETCH(bool, session);
    QFETCH(QString, rights);
    QFETCH(int, status);
    QFETCH(int, route);
    WebRules::Request request;
    request.method = method;
    request.path = path;
    request.bodyBytes = bodyBytes;
    request.host = "web.example:8080";
    request.hostNames = {QStringLiteral("web.example")};
    request.origin = origin;
    request.fetchSite = fetchSite;
    request.contentType = contentType;
    request.sessionKnown = session;
    // The rebound row's page came by a name this server was not given.
    if (QByteArray(QTest::currentDataTag()) == "rebound host")
        request.hostNames.clear();
    Rights granted{rights.contains(QLatin1Char('d')), rights.contains(QLatin1Char('h')), false,
                   rights.contains(QLatin1Char('m')), rights.contains(QLatin1Char('a'))};
    const WebRules::Verdict verdict = WebRules::judge(request, granted);
    QCOMPARE(verdict.status, status);
    QCOMPARE(int(verdict.route), route);
    QCOMPARE(verdict.why.isEmpty(), status == 200);
}

void TestWebRules::hostAllowed_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("IPv4 and port") << QByteArray("192.0.2.1:8080") << true;
    QTest::newRow("IPv4") << QByteArray("192.0.2.1") << true;
    QTest::newRow("IPv6 and port") << QByteArray("[::1]:8080") << true;
    QTest::newRow("given name") << QByteArray("office-router:8080") << true;
    QTest::newRow("given name, other case") << QByteArray("Office-Router") << true;
    QTest::newRow("rebound name") << QByteArray("evil.example:8080") << false;
    QTest::newRow("name that starts like a given one") << QByteArray("office-router.evil") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("port only") << QByteArray(":8080") << false;
}

void TestWebRules::hostAllowed()
{
    QFETCH(QByteArray, host);
    QFETCH(bool, allowed);
    QCOMPARE(WebRules::hostAllowed(host, {QStringLiteral("office-router")}), allowed);
}

void TestWebRules::cleanName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("clean");
    QTest::newRow("plain") << "Ann"
                           << "Ann";
    QTest::newRow("blanks") << "  Ann  "
                            << "Ann";
    QTest::newRow("hash") << "Ann#Bob"
                          << "AnnBob";
    QTest::newRow("line break") << "Ann\nBob"
                                << "AnnBob";
    QTest::newRow("list terminator") << QStringLiteral("Ann\x1c") << "Ann";
    QTest::newRow("password marker") << "AnnPWD:secret"
                                     << "Annsecret";
    QTest::newRow("only blanks") << "   "
                                 << "";
    QTest::newRow("long") << QString(40, QLatin1Char('x')) << QString(32, QLatin1Char('x'));
}

void TestWebRules::cleanName()
{
    QFETCH(QString, name);
    QFETCH(QString, clean);
    QCOMPARE(WebRules::cleanName(name), clean);
}

void TestWebRules::rateLimit()
{
    WebRules::RateLimit limit(3, 2);
    const QHostAddress a(QStringLiteral("192.0.2.1"));
    const QHostAddress b(QStringLiteral("192.0.2.2"));
    QVERIFY(limit.take(a, 0));
    QVERIFY(limit.take(a, 0));
    QVERIFY(limit.take(a, 0));
    QVERIFY(!limit.take(a, 0));
    // Another address has a bucket of its own.
    QVERIFY(limit.take(b, 0));
    // Two a second: after half a second one more.
    QVERIFY(limit.take(a, 500));
    QVERIFY(!limit.take(a, 500));
    // A long pause fills the bucket, never past its size.
    QVERIFY(limit.take(a, 100000));
    QVERIFY(limit.take(a, 100000));
    QVERIFY(limit.take(a, 100000));
    QVERIFY(!limit.take(a, 100000));
}

void TestWebRules::summary()
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
    const AccountingSummary::Month month =
        AccountingSummary::summarise(log, QStringLiteral("2024-05"));
    QCOMPARE(month.perEntry.size(), 2);
    QCOMPARE(month.perEntry[0].name, QStringLiteral("Office ISP"));
    QCOMPARE(month.perEntry[0].calls, 2);
    QCOMPARE(month.perEntry[0].seconds, 660);
    // Bytes where the log has them, both directions; a line of the older form counts none.
    QCOMPARE(month.perEntry[0].bytes, 5250);
    QCOMPARE(month.perEntry[1].bytes, 0);
    QCOMPARE(month.perEntry[1].name, QStringLiteral("Night line"));
    QCOMPARE(month.perDesk.size(), 3);
    QCOMPARE(month.perDesk[0].name, QStringLiteral("ann (192.0.2.17)"));
    QCOMPARE(month.perDesk[1].name, QStringLiteral("192.0.2.19"));
    QCOMPARE(month.perDesk[2].name, QStringLiteral("=bob, \"the\" desk (192.0.2.18)"));
    // The call still up is not counted; the latest finished one comes first.
    QCOMPARE(month.last.size(), 3);
    QCOMPARE(month.last[0].start, QStringLiteral("2024-05-04 08:00:00"));
    QCOMPARE(month.last[2].seconds, 600);
    QCOMPARE(AccountingSummary::summarise(log, QStringLiteral("2024-05"), 1).last.size(), 1);
}

QTEST_APPLESS_MAIN(TestWebRules)
#include "tst_webrules.moc"
