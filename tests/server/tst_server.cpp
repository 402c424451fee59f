// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerTestSupport.h"

#include <QTest>
#include <utility>

// The server: its configuration, then over real TCP the discipline of a link and its defence,
// every request and the hang-up exchange.
class TestServer : public LoggedServerTest
{
    Q_OBJECT

private Q_SLOTS:
    // Every fault names its line and holds the part of the error given.
    void configErrors()
    {
        const std::pair<const char *, const char *> rows[] = {
            {"Port=1", "line 1: \"Port\" comes before any [section]"},
            {"[Server]\nPort 1000", "line 2: expected key=value"},
            {"[Server", "line 1: a section header reads [Name]"},
            {"[Server]\nPort=1\n\nPort=2",
             "line 4: \"Port\" appears twice in [Server]; first on line 2"},
            {"[Server]\nPrt=1", "line 2: Prt: unknown setting in [Server]; did you mean Port?"},
            {"[Server]\nDial=pon", "Dial: unknown setting in [Server]; it belongs in [Command]"},
            {"[Line]\nModemDevice=x",
             "ModemDevice: unknown setting in [Line]; the settings are Backend"},
            {"[Server]\nPort=abc", "line 2: Port=\"abc\": expected a port number from 1 to 65535"},
            {"[Server]\nPort=0", "Port=\"0\": expected a port number from 1"},
            {"[Server]\nAddress=127.0.0.1, 127.0.0.1", "line 2: Address="},
            {"[Server]\nAddress=127.0.0.1 localhost",
             "\"localhost\" is a host name, and names are not"},
            {"[Server]\nAllowFrom=10.0.0.0/8 office.example", "\"office.example\" is a host name"},
            {"[Rights]\nprinter=message", "or *, before \"=\"; \"printer\" is a host name"},
            {"[Server]\nPort=1000 ; the port", "65535; a comment stands on a line of its own"},
            {"[Server] # main", "line 1: a section header reads [Name]; a comment stands"},
            {"[Server]\nAllowFrom=10.0.0.0/8 10.0.0.0/33", "\"10.0.0.0/33\" is not an address"},
            {"[Server]\nAllowFrom=", "line 2: AllowFrom=\"\": expected one"},
            {"[Server]\nDisconnectSeconds=40000", "expected a whole number from 0 to 32767"},
            {"[Line]\nBackend=modem", "expected simulated, command or networkmanager"},
            {"[Server]\n[Phonebok]\n",
             "line 2: unknown section [Phonebok]; did you mean [Phonebook]?"},
            {"[server]\nPort=1000", "unknown section [server]; did you mean [Server]?"},
            {"[Modem]", "line 1: unknown section [Modem]; the sections are [Server], [Line]"},
            {"[Phonebook]\nTokyo \u6771\u4eac=",
             "line 2: Tokyo \u6771\u4eac: an entry name may hold only characters of Windows-1252 "
             "(Western European), which the clients can show and send back; \"\u6771\" (U+6771), "
             "\"\u4eac\" (U+4EAC) are not"},
            {"[Rights]\n10.0.0.0/8=dial,fly", "=\"dial,fly\": expected \"none\" or any of"},
            {"[Phonebook]\nA=\n[MaxOnlineMinutes]\nB=5", "line 4: B: no such entry in [Phonebook]"},
            {"[Phonebook]\nA=\n[MaxOnlineMinutes]\nA=0", "A=\"0\": expected a whole number from 1"},
            {"[Phonebook]\nA=\n[NetworkManager]\nA=",
             "A: expected a NetworkManager connection's id"},
            {"[Phonebook]\nAPWD:B=", "line 2: APWD:B: an entry name may not"},
            {"[Phonebook]\nA=x\ty", "line 2: A: a password may not hold control characters"},
            {"[Phonebook]\nA\x1c=", "line 2: A\x1c: an entry name may not"},
            {"[Line]\nBackend=command\n[Command]\nHangUp=poff",
             "Backend: the command line backend needs"},
            {"[Web]\nEnabled=true", "line 2: Enabled=\"true\": expected yes or no"},
            {"[Web]\nPort=70000", "Port=\"70000\": expected a port number from 0"},
            {"[Web]\nEnabled=yes\nCertificate=/a.crt",
             "line 3: Certificate: TLS needs both Certificate"},
            {"[Web]\nKey=web.key", "Key=\"web.key\": expected an absolute path"}};
        for (const auto &[text, error] : rows) {
            const QString found = configFromText(str(text)).error;
            QVERIFY2(found.startsWith(str("line ")) && found.contains(str(error)),
                     qPrintable(found));
        }
    }

    void configValues()
    {
        // Values are taken literally.
        const ConfigResult result = configFromText(
            str("; comment\n[Server]\nAddress=127.0.0.1\nDisconnectSeconds=5\n[Line]\n"
                "Backend=command\n[Command]\nDial = pon \"$E\" \r\nHangUp=poff\n[Phonebook]\n"
                "Office=\nBranch=a=b;c\nNight=*\n[IdleMinutes]\nNight=0\nBranch=15\n"));
        QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
        const ServerConfig &c = result.config;
        QCOMPARE(c.addresses, QList<QHostAddress>{QHostAddress(QHostAddress::LocalHost)});
        QCOMPARE(c.disconnectSeconds, 5);
        QCOMPARE(c.command.dial, str("pon \"$E\""));
        QCOMPARE(c.findEntry(str("Branch"))->password, str("a=b;c"));
        QCOMPARE(c.findEntry(str("Branch"))->check, PasswordCheck::Server);
        QCOMPARE(c.findEntry(str("Night"))->check, PasswordCheck::Line);
        // An entry's idle time of 0 is never.
        QCOMPARE(c.findEntry(str("Night"))->idleMs, 0);
        QCOMPARE(c.findEntry(str("Branch"))->idleMs, 15 * 60000);
        // The web page is off unless enabled, and admin is a right only a rule gives (the web
        // page's own test gives it).
        QVERIFY(!c.web.enabled);
        QVERIFY(!c.rightsFor(QHostAddress(QHostAddress::LocalHost)).admin);
        // The example shipped to administrators must itself be sound.
        QVERIFY(loadConfig(QStringLiteral(VELMORA_SERVER_EXAMPLE)).error.isEmpty());
    }

    // A link's time-outs run on the server's clock: an acknowledgement's and the wait for "ID:".
    void oneMessageInFlight()
    {
        ServerConfig config = fastConfig();
        config.ackTimeoutMs = 600000;
        config.identifyTimeoutMs = 1200000;
        QVERIFY(start({str("alpha")}, config));
        RawClient acking(m_server->port(), QString(), RawClient::Mode::Silent);
        RawClient deaf(m_server->port(), QString(), RawClient::Mode::Silent);
        QVERIFY(acking.expect(Protocol::CmdSendId) && deaf.expect(Protocol::CmdSendId));
        // The status line waits for the acknowledgement of "CMD_SEND_ID", which may come in one
        // read with the reply, or for the time-out. The clock also runs on its own, which the
        // test's steps leave 10 s for.
        acking.setMode(RawClient::Mode::Disciplined);
        acking.sendRaw("MSG_ACKID:merged-host");
        QCOMPARE(acking.next(), QString(Protocol::StatusDisconnected));
        QCOMPARE(play(str("+590000|0.|#0:did not acknowledge|+10000|0.|#1:did not acknowledge "
                          "within 600000 ms|+590000|0.|#0:did not identify|+10000|0.|#1:it did "
                          "not identify within 1200000 ms")),
                 QString());
        QCOMPARE(deaf.next(), QString(Protocol::StatusDisconnected));
        QVERIFY(deaf.waitClosed());
        // Each answer follows its acknowledgement, in a read of its own.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(answer(c(0), Protocol::CmdUsers),
                     Protocol::UsersPrefix + str("merged-host") + kFs);
    }

    // Desks alpha, beta and gamma and what they hear, unless a row names others; at the end
    // desks 0 and 1 hear nothing more. A hang-up's countdown is 30 s, longer than any wait for
    // a message, unless a row says otherwise.
    void exchanges_data()
    {
        QTest::addColumn<Tweak>("tweak");
        QTest::addColumn<QString>("desks");
        QTest::addColumn<QString>("script");
        const Tweak thirty = [](ServerConfig &c, bool) { c.disconnectSeconds = 30; };
        const auto row = [thirty](const char *name, const QString &script, Tweak tweak = nullptr,
                                  const char *desks = "alpha beta gamma") {
            QTest::newRow(name) << (tweak ? tweak : thirty) << str(desks)
                                << script +
                                       (str(desks).contains(u' ') ? str("|0.|1.") : str("|0."));
        };
        row("no password",
            str("0>CMD_CONNECT:Office|0<Connect device|1<Connect device|0<Connected to Office|"
                "1<Connected to Office"));
        row("server's missing", str("0>CMD_CONNECT:Branch|0<MSG_PASSWORD|2."));
        row("line's wrong",
            str("0>CMD_CONNECT:NightPWD:sun|0<Connect device|0<Disconnected|"
                "0<Dialling Night failed: wrong password|1~Dialling Night failed: wrong password"));
        row("line's right",
            str("0>CMD_CONNECT:NightPWD:moon|0~Connected to Night|1~Connected to Night"));
        row("unknown entry",
            str("0>CMD_CONNECT:Nowhere|0<Cannot dial Nowhere: no such phonebook entry|2."));
        // An entry that asks no password ignores what comes along.
        row("no password asked",
            str("0>CMD_CONNECT:OfficePWD:x\ny|0~Connected to Office|1~Connected to Office"));
        // The other identified clients, each once; a "#" or terminator would break the list. A
        // client without identity sends under its address; "CMD_END" closes a link.
        row("lists and end",
            str("0>CMD_CONNECTIONS|0<PHONEBOOK:Office\x1c"
                "Branch\x1cNight\x1c|0>CMD_CONFIGURE_CONNECTIONS|0<CONNECTIONS:Office\x1c"
                "Branch\x1cNight\x1c|0>CMD_USERS|0<USERS:beta\x1codd\x1c|3>CMD_MSG:beta#hi|"
                "1<CMD_MSG:127.0.0.1#hi|4>CMD_END|4-"),
            nullptr, "alpha beta beta @127.0.0.1 od#d\x1c");
        row("down: a hang-up repeats the state", str("0>CMD_DISCONNECT|0<Disconnected|2."));
        // Garbage costs only an acknowledgement.
        row("binary", str("0>\u00ff\x1c\r\n#|1."));
        row("a message without a recipient", str("0>CMD_MSG:beta|2."));
        // While the line comes up, a requester alone hangs up at once.
        row(
            "dialling: a hang-up at once",
            str("0>CMD_CONNECT:Office|0<Connect device|0>CMD_DISCONNECT|0<Disconnecting|"
                "0<Disconnected"),
            [](ServerConfig &c, bool) { c.simulated.dialMs = 5000; }, "alpha");
        // An unknown first recipient is skipped; the text survives the 8-bit code page.
        row("messages",
            str("0>CMD_MSG:beta#gamma#gamma is #1|1<CMD_MSG:alpha#gamma is #1|"
                "2<CMD_MSG:alpha#gamma is #1|1>CMD_MSG:nobody#alpha#\u00e9t\u00e9 \u20ac|"
                "0<CMD_MSG:beta#\u00e9t\u00e9 \u20ac|2."));
        // The requester is not asked; the last consent hangs up at once.
        row("hang-up: all agree",
            str("up|0>CMD_DISCONNECT|1<MSG_DISCONNECT+30|2<MSG_DISCONNECT+30|1>CMD_OK|0.|"
                "2>CMD_OK|0<Disconnecting|1<Disconnecting|0<Disconnected|1<Disconnected"));
        // Silence lasts the countdown and a grace of 1 s.
        row("hang-up: one keeps silent",
            str("up|0>CMD_DISCONNECT|1<MSG_DISCONNECT+30|1>CMD_OK|+30000|0.|+1000|0<Disconnecting|"
                "0<Disconnected|1<Disconnecting|1<Disconnected"));
        row("hang-up: one leaves",
            str("up|0>CMD_DISCONNECT|1<MSG_DISCONNECT+30|1>CMD_OK|0.|2x|0<Disconnecting|"
                "0<Disconnected|1<Disconnecting|1<Disconnected"));
        // c4 holds a message unacknowledged, which keeps its question queued; a second request
        // joins the first, so that both requesters hear the outcome. Only the one still
        // counting down is told of a refusal, so that its countdown closes; a consent ends the
        // vote by its own time, far from the acknowledgement time-out, the stuck desk unasked.
        const Tweak patient = [](ServerConfig &c, bool) { c.ackTimeoutMs = 20000; };
        const char *five = "c0 c1 c2 c3 c4";
        const QString stuck =
            str("up|4s|0>CMD_MSG:c4#first|4<CMD_MSG:c0#first|0>CMD_DISCONNECT|1<MSG_DISCONNECT+1|"
                "2<MSG_DISCONNECT+1|3<MSG_DISCONNECT+1|1>CMD_DISCONNECT|");
        row("a desk stuck: one locks",
            stuck + str("2>CMD_LOCKED|0<MSG_LOCKED|1<MSG_LOCKED|3<MSG_CANCELLED|3>CMD_OK|4d|2.|"
                        "3.|4."),
            patient, five);
        row("a desk stuck: all agree",
            stuck + str("2>CMD_OK|3>CMD_OK|+2000|0<Disconnecting|1<Disconnecting|4d|"
                        "4<Disconnecting|4<Disconnected|0<Disconnected|1<Disconnected"),
            patient, five);
    }
    void exchanges() { scenario(); }
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
