// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerTestSupport.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using Mode = RawClient::Mode;

// The server: its configuration, then over real TCP the discipline of a link and its defence,
// every request, the hang-up exchange, and the line driven by commands.
class TestServer : public QObject
{
    Q_OBJECT

private:
    ServerFixture f;

    RawClient &c(int i) { return f.c(i); }
    QString flag() const { return f.dir.filePath(QStringLiteral("up")); }
    QString pidFile() const { return f.dir.filePath(QStringLiteral("pid")); }

private Q_SLOTS:
    // Qt warns of misuse, such as two watches on one socket: a warning is a fault.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void initTestCase() { Log::setLevel(Log::Level::Warning); }
    void cleanup()
    {
        f.reset();
        QFile::remove(flag());
    }

    void configErrors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const auto row = [](const char *name, const char *text, const char *error) {
            QTest::newRow(name) << str(text) << str(error);
        };
        row("key before section", "Port=1", "line 1: \"Port\" comes before any [section]");
        row("no equals", "[Server]\nPort 1000", "line 2: expected key=value");
        row("bad header", "[Server", "line 1: a section header reads [Name]");
        row("repeated key", "[Server]\nPort=1\n\nPort=2",
            "line 4: \"Port\" appears twice in [Server]; first on line 2");
        row("misspelt key", "[Server]\nPrt=1",
            "line 2: Prt: unknown setting in [Server]; did you mean Port?");
        row("key in the wrong case", "[Server]\nsendgapms=1", "did you mean SendGapMs?");
        row("key of another section", "[Server]\nDial=pon",
            "line 2: Dial: unknown setting in [Server]; it belongs in [Command]");
        row("key like none", "[Line]\nModemDevice=/dev/ttyS0",
            "line 2: ModemDevice: unknown setting in [Line]; the settings are Backend");
        row("port not a number", "[Server]\nPort=abc",
            "line 2: Port=\"abc\": expected a port number from 1 to 65535");
        row("port 0", "[Server]\nPort=0", "line 2: Port=\"0\": expected a port number from 1");
        row("bad address", "[Server]\nAddress=10.0.0.300",
            "line 2: Address=\"10.0.0.300\": expected");
        row("host name as address", "[Server]\nAddress=127.0.0.1 localhost",
            "expected \"any\", or one or more different IP addresses; \"localhost\" is a host "
            "name, "
            "and names are not taken");
        row("host name in the allow-list", "[Server]\nAllowFrom=10.0.0.0/8 office.example",
            "\"office.example\" is a host name, and names are not taken");
        row("host name for rights", "[Rights]\nprinter=message",
            "line 2: printer: expected an address range such as 192.168.0.0/16, or *, before "
            "\"=\"; "
            "\"printer\" is a host name");
        row("comment after a value", "[Server]\nPort=1000 ; the clients' port",
            "line 2: Port=\"1000 ; the clients' port\": expected a port number from 1 to 65535; a "
            "comment stands on a line of its own");
        row("comment after a header", "[Server] # main",
            "line 1: a section header reads [Name]; "
            "a comment stands on a line of its own");
        row("address twice", "[Server]\nAddress=127.0.0.1, 127.0.0.1", "line 2: Address=");
        row("bad range", "[Server]\nAllowFrom=10.0.0.0/8 10.0.0.0/33",
            "line 2: AllowFrom=\"10.0.0.0/8 10.0.0.0/33\": \"10.0.0.0/33\" is not an address");
        row("empty allow-list", "[Server]\nAllowFrom=", "line 2: AllowFrom=\"\": expected one");
        row("countdown too long", "[Server]\nDisconnectSeconds=40000",
            "line 2: DisconnectSeconds=\"40000\": expected a whole number from 0 to 32767");
        row("bad backend", "[Line]\nBackend=modem",
            "line 2: Backend=\"modem\": expected simulated, command or networkmanager");
        row("empty misspelt section", "[Server]\n[Phonebok]\n",
            "line 2: unknown section [Phonebok]; did you mean [Phonebook]?");
        row("case of a section", "[server]\nPort=1000",
            "line 1: unknown section [server]; did you mean [Server]?");
        row("section like none", "[Modem]",
            "line 1: unknown section [Modem]; the sections are "
            "[Server], [Line]");
        row("name outside Windows-1252", "[Phonebook]\nTokyo \u6771\u4eac=",
            "line 2: Tokyo \u6771\u4eac: an entry name may hold only characters of Windows-1252 "
            "(Western European), which the clients can show and send back; \"\u6771\" (U+6771), "
            "\"\u4eac\" (U+4EAC) are not");
        row("bad rights range", "[Rights]\n10.0.0.0/40=dial", "line 2: 10.0.0.0/40: expected");
        row("bad right", "[Rights]\n10.0.0.0/8=dial,fly",
            "line 2: 10.0.0.0/8=\"dial,fly\": expected \"none\" or any of");
        row("limit of no entry", "[Phonebook]\nA=\n[MaxOnlineMinutes]\nB=5",
            "line 4: B: no such entry in [Phonebook]");
        row("limit of zero", "[Phonebook]\nA=\n[MaxOnlineMinutes]\nA=0",
            "line 4: A=\"0\": expected a whole number from 1");
        row("idle time of no entry", "[Phonebook]\nA=\n[IdleMinutes]\nB=5",
            "line 4: B: no such entry in [Phonebook]");
        row("idle time negative", "[Phonebook]\nA=\n[IdleMinutes]\nA=-1",
            "line 4: A=\"-1\": expected a whole number from 0 to 100000");
        row("idle minutes too many", "[Line]\nIdleMinutes=100001",
            "line 2: IdleMinutes=\"100001\": expected a whole number from 0 to 100000");
        row("idle bytes none", "[Line]\nIdleBytes=0",
            "line 2: IdleBytes=\"0\": expected a whole number from 1 to 1000000000");
        row("connection of no entry", "[Phonebook]\nA=\n[NetworkManager]\nB=Mobile",
            "line 4: B: no such entry in [Phonebook]");
        row("empty connection", "[Phonebook]\nA=\n[NetworkManager]\nA=",
            "line 4: A: expected a NetworkManager connection's id or UUID");
        row("entry with PWD:", "[Phonebook]\nAPWD:B=", "line 2: APWD:B: an entry name may not");
        row("password with a tab", "[Phonebook]\nA=x\ty",
            "line 2: A: a password may not hold control characters");
        row("entry with terminator", "[Phonebook]\nA\x1c=", "line 2: A\x1c: an entry name may not");
        row("command without dial", "[Line]\nBackend=command\n[Command]\nHangUp=poff",
            "line 2: Backend: the command line backend needs Dial and HangUp");
        row("web not yes or no", "[Web]\nEnabled=true",
            "line 2: Enabled=\"true\": expected yes or no");
        row("web port too large", "[Web]\nPort=70000",
            "line 2: Port=\"70000\": expected a port number from 0");
        row("web certificate without key", "[Web]\nEnabled=yes\nCertificate=/etc/velmora/web.crt",
            "line 3: Certificate: TLS needs both Certificate and Key in [Web]");
        row("web key not absolute", "[Web]\nKey=web.key",
            "line 2: Key=\"web.key\": expected an absolute path");
    }
    void configErrors()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        const ConfigResult result = configFromText(text);
        // Every fault names its line.
        QVERIFY2(result.error.startsWith(str("line ")), qPrintable(result.error));
        QVERIFY2(result.error.contains(error), qPrintable(result.error));
    }

    void configValues()
    {
        // Values are taken literally, and the phonebook keeps the order written.
        const ConfigResult result = configFromText(
            str("; comment\n[Server]\nAddress=127.0.0.1\nDisconnectSeconds=5\n[Line]\n"
                "Backend=command\n[Command]\nDial = pon \"$E\" \r\nHangUp=poff\n[Phonebook]\n"
                "Office=\nBranch=a=b;c\nNight=*\n[IdleMinutes]\nNight=0\nBranch=15\n"));
        QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
        const ServerConfig &c = result.config;
        QCOMPARE(c.addresses, QList<QHostAddress>{QHostAddress(QHostAddress::LocalHost)});
        QCOMPARE(c.disconnectSeconds, 5);
        QCOMPARE(c.command.dial, str("pon \"$E\""));
        QCOMPARE(c.entryNames(), (QStringList{str("Office"), str("Branch"), str("Night")}));
        QCOMPARE(c.findEntry(str("Branch"))->password, str("a=b;c"));
        // The web page is off unless enabled, and admin is a right only a rule gives.
        QVERIFY(!c.web.enabled);
        QVERIFY(!c.rightsFor(QHostAddress(QHostAddress::LocalHost)).admin);
        const ConfigResult web =
            configFromText(str("[Web]\nEnabled=yes\nAddress=127.0.0.1 ::1\nPort=0\n[Rights]\n"
                               "10.0.0.0/8=dial admin\n"));
        QVERIFY2(web.error.isEmpty(), qPrintable(web.error));
        QVERIFY(web.config.web.enabled);
        QCOMPARE(web.config.web.port, 0);
        QCOMPARE(web.config.web.addresses.size(), 2);
        const Rights admin = web.config.rightsFor(QHostAddress(str("10.1.2.3")));
        QVERIFY(admin.admin && admin.dial && !admin.hangUp);
        QCOMPARE(c.findEntry(str("Branch"))->check, PasswordCheck::Server);
        QCOMPARE(c.findEntry(str("Night"))->check, PasswordCheck::Line);
        // An entry without an idle time of its own takes the [Line] one; 0 is never.
        QCOMPARE(c.findEntry(str("Office"))->idleMs, -1);
        QCOMPARE(c.findEntry(str("Night"))->idleMs, 0);
        QCOMPARE(c.findEntry(str("Branch"))->idleMs, 15 * 60000);
        // The example shipped to administrators must itself be sound.
        QVERIFY(loadConfig(QStringLiteral(VELMORA_SERVER_EXAMPLE)).error.isEmpty());
    }

    void oneMessageInFlight()
    {
        ServerConfig config = fastConfig();
        config.ackTimeoutMs = 1000;
        QVERIFY(f.start({str("alpha")}, config));
        // The status line waits for the acknowledgement of "CMD_SEND_ID", or for the time-out.
        RawClient acking(f.server->port(), QString(), Mode::Silent);
        RawClient deaf(f.server->port(), QString(), Mode::Silent);
        QVERIFY(acking.expect(Protocol::CmdSendId) && deaf.expect(Protocol::CmdSendId));
        QTest::qWait(200);
        QCOMPARE(acking.reads().size(), 1);
        // The acknowledgement may come in one read with the reply.
        acking.sendRaw("MSG_ACKID:merged-host");
        QCOMPARE(acking.next(), QString(Protocol::StatusDisconnected));
        QCOMPARE(deaf.next(), QString(Protocol::StatusDisconnected));
        QVERIFY(acking.readTimes().last() - acking.readTimes().first() < 900);
        // Counted from before the link began, so that a late read of the question cannot shorten
        // it; a coarse timer may fire up to 5 % early.
        QVERIFY(deaf.readTimes().last() >= 950);
        // Each answer follows its acknowledgement, in a read of its own.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(answer(c(0), Protocol::CmdUsers),
                     Protocol::UsersPrefix + str("merged-host") + kFs);
        QVERIFY(f.lineUp());
        QCOMPARE(c(0).mergedReads(), 0);
    }

    void garbageCostsOnlyAnAcknowledgement_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTest::newRow("lower case") << QByteArray("cmd_users");
        QTest::newRow("binary") << QByteArray("\x00\xff\x1c\r\n#", 6);
        QTest::newRow("line end") << QByteArray("CMD_USERS\r\n");
        QTest::newRow("message without a recipient") << QByteArray("CMD_MSG:beta");
    }
    void garbageCostsOnlyAnAcknowledgement()
    {
        QFETCH(QByteArray, garbage);
        QVERIFY(f.start({str("alpha"), str("beta")}));
        c(0).sendRaw(garbage);
        QVERIFY(c(0).expect(Protocol::MsgAck));
        QVERIFY(saidNothingMore(c(0)) && saidNothingMore(c(1)));
    }

    void listsAndEnd()
    {
        QVERIFY(f.start({str("alpha"), str("beta"), str("beta"), QString(), str("od#d\x1c")}));
        const QString entries = str("Office") + kFs + str("Branch") + kFs + str("Night") + kFs;
        QCOMPARE(answer(c(0), Protocol::CmdConnections), Protocol::PhonebookPrefix + entries);
        QCOMPARE(answer(c(0), Protocol::CmdConfigureConnections),
                 Protocol::ConnectionsPrefix + entries);
        // The other identified clients, each once; a "#" or terminator would break the list.
        QCOMPARE(answer(c(0), Protocol::CmdUsers),
                 Protocol::UsersPrefix + str("beta") + kFs + str("odd") + kFs);
        // "CMD_END" closes the link once acknowledged.
        c(0).send(Protocol::CmdEnd);
        QVERIFY(c(0).waitClosed());
        QCOMPARE(c(0).reads().last(), QString(Protocol::MsgAck));
        QTRY_COMPARE(f.server->linkCount(), 4);
    }

    void dial_data()
    {
        // What the requester hears, each message ended by "|", and whether the other client
        // hears the same.
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("hears");
        QTest::addColumn<bool>("shared");
        const auto row = [](const char *name, const char *request, const char *hears, bool shared) {
            QTest::newRow(name) << str(request) << str(hears) << shared;
        };
        row("no password", "CMD_CONNECT:Office", "Connect device|Connected to Office", true);
        row("server's missing", "CMD_CONNECT:Branch", "MSG_PASSWORD", false);
        row("server's right", "CMD_CONNECT:BranchPWD:secPWD:ret",
            "Connect device|Connected to Branch", true);
        row("line's wrong", "CMD_CONNECT:NightPWD:sun",
            "Connect device|Disconnected|Dialling Night failed: wrong password", true);
        row("line's right", "CMD_CONNECT:NightPWD:moon", "Connect device|Connected to Night", true);
        row("unknown entry", "CMD_CONNECT:Nowhere", "Cannot dial Nowhere: no such phonebook entry",
            false);
        row("line break in a password", "CMD_CONNECT:NightPWD:moon\nplugin evil.so",
            "The password for Night was not accepted: it holds a control character", false);
        row("tab in a password", "CMD_CONNECT:BranchPWD:sec\tret",
            "The password for Branch was not accepted: it holds a control character", false);
        // An entry that asks no password ignores what comes along.
        row("no password asked", "CMD_CONNECT:OfficePWD:x\ny", "Connect device|Connected to Office",
            true);
    }
    void dial()
    {
        QFETCH(QString, request);
        QFETCH(QString, hears);
        QFETCH(bool, shared);
        QVERIFY(f.start({str("alpha"), str("beta")}));
        QVERIFY(c(0).request(request));
        for (const QString &expected : hears.split(u'|')) {
            QCOMPARE(c(0).next(), expected);
            if (shared)
                QCOMPARE(c(1).next(), expected);
        }
        QVERIFY(saidNothingMore(c(0)) && saidNothingMore(c(1)));
    }

    void userMessagesReachTheirRecipients()
    {
        QVERIFY(f.start({str("alpha"), str("beta"), str("gamma"), QString()}));
        QVERIFY(c(0).request(str("CMD_MSG:beta#gamma#gamma is #1")));
        QCOMPARE(c(1).next(), str("CMD_MSG:alpha#gamma is #1"));
        QCOMPARE(c(2).next(), str("CMD_MSG:alpha#gamma is #1"));
        // An unknown first recipient is skipped; the text survives the 8-bit code page.
        QVERIFY(c(1).request(str("CMD_MSG:nobody#alpha#\u00e9t\u00e9 \u20ac")));
        QCOMPARE(c(0).next(), str("CMD_MSG:beta#\u00e9t\u00e9 \u20ac"));
        // A client without identity sends under its address.
        QVERIFY(c(3).request(str("CMD_MSG:beta#hi")));
        QCOMPARE(c(1).next(), str("CMD_MSG:127.0.0.1#hi"));
        QVERIFY(saidNothingMore(c(0)) && saidNothingMore(c(2)));
    }

    void hangUpWithoutObjection_data()
    {
        QTest::addColumn<QString>("lastOne");
        QTest::newRow("all agree") << QString(Protocol::CmdOk);
        QTest::newRow("one keeps silent") << str("silence");
        QTest::newRow("one leaves") << str("leave");
    }
    void hangUpWithoutObjection()
    {
        QFETCH(QString, lastOne);
        QVERIFY(f.start({str("c0"), str("c1"), str("c2")}) && f.lineUp());
        QVERIFY(c(0).request(Protocol::CmdDisconnect));
        QCOMPARE(c(1).next(), kQuestion);
        QCOMPARE(c(2).next(), kQuestion);
        QVERIFY(c(1).request(Protocol::CmdOk));
        QCOMPARE(f.server->lineState(), Line::State::Up);
        if (lastOne == str("leave"))
            c(2).close();
        else if (lastOne != str("silence"))
            QVERIFY(c(2).request(lastOne));
        // Silence lasts the countdown (1 s) and a grace of 1 s.
        if (lastOne == str("silence")) {
            f.server->clock().advance(1900);
            QVERIFY(saidNothingMore(c(0)));
            f.server->clock().advance(100);
        }
        QVERIFY(c(0).expect(Protocol::StatusDisconnecting, 900));
        QVERIFY(c(0).expect(Protocol::StatusDisconnected));
        QVERIFY(c(1).expect(Protocol::StatusDisconnecting) &&
                c(1).expect(Protocol::StatusDisconnected));
        QVERIFY(!c(0).reads().contains(kQuestion));
    }

    void aVoteWithADeskStuckOnAMessage_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("cancel") << QString(Protocol::CmdCancel) << QString(Protocol::MsgCancelled);
        QTest::newRow("locked") << QString(Protocol::CmdLocked) << QString(Protocol::MsgLocked);
        QTest::newRow("consent") << QString(Protocol::CmdOk)
                                 << QString(Protocol::StatusDisconnecting);
    }
    void aVoteWithADeskStuckOnAMessage()
    {
        QFETCH(QString, answer);
        QFETCH(QString, outcome);
        ServerConfig config = fastConfig();
        config.ackTimeoutMs = 20000;
        QVERIFY(f.start({str("c0"), str("c1"), str("c2"), str("c3"), str("c4")}, config) &&
                f.lineUp());
        // c4 holds a message unacknowledged, which keeps its question queued.
        c(4).setMode(Mode::Silent);
        QVERIFY(c(0).request(str("CMD_MSG:c4#first")));
        QCOMPARE(c(4).next(), str("CMD_MSG:c0#first"));
        QVERIFY(c(0).request(Protocol::CmdDisconnect));
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(c(i).next(), kQuestion);
        // A second request joins the first: both requesters hear the outcome.
        QVERIFY(c(1).request(Protocol::CmdDisconnect));
        QVERIFY(c(2).request(answer));
        if (answer == QString(Protocol::CmdOk)) {
            // The vote ends by its own time (1 s and its grace), far from the acknowledgement
            // time-out, and the stuck desk is never asked.
            QVERIFY(c(3).request(Protocol::CmdOk));
            QVERIFY(c(0).expect(outcome, 10000) && c(1).expect(outcome));
            // Hanging up, or already down after the quick simulated hang-up: not held up.
            QVERIFY(f.server->lineState() != Line::State::Up);
            c(4).setMode(Mode::Disciplined);
            c(4).send(Protocol::MsgAck);
            QVERIFY(c(4).expect(Protocol::StatusDisconnected));
            QVERIFY(!c(4).reads().contains(kQuestion));
            return;
        }
        QCOMPARE(c(0).next(), outcome);
        QCOMPARE(c(1).next(), outcome);
        // Only the one still counting down is told, so that its countdown closes.
        QCOMPARE(c(3).next(), QString(Protocol::MsgCancelled));
        QVERIFY(c(3).request(Protocol::CmdOk));
        c(4).setMode(Mode::Disciplined);
        c(4).send(Protocol::MsgAck);
        for (int i = 0; i <= 4; ++i)
            QVERIFY2(saidNothingMore(c(i)), qPrintable(c(i).pending().join(u'|')));
        QCOMPARE(f.server->lineState(), Line::State::Up);
    }

    void aRequesterAloneHangsUpAtOnce()
    {
        ServerConfig config = fastConfig();
        config.simulated.dialMs = 5000;
        QVERIFY(f.start({str("alpha")}, config));
        // While the line is down the request only repeats the state.
        QCOMPARE(answer(c(0), Protocol::CmdDisconnect), QString(Protocol::StatusDisconnected));
        QCOMPARE(answer(c(0), str("CMD_CONNECT:Office")), QString(Protocol::StatusConnectDevice));
        QCOMPARE(answer(c(0), Protocol::CmdDisconnect), QString(Protocol::StatusDisconnecting));
        QCOMPARE(c(0).next(), QString(Protocol::StatusDisconnected));
    }

    void commandOutcomes_data()
    {
        QTest::addColumn<QString>("dial");
        QTest::addColumn<bool>("withStatus");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, const QString &dial, bool status, const char *why) {
            QTest::newRow(name) << dial << status << str(why);
        };
        row("success", str("exit 0"), false, "");
        // The output stays in the log: it may echo the password.
        row("failure with output", str("echo dialling; echo 'NO CARRIER' >&2; exit 3"), false,
            "Dialling Office failed: the command ended with code 3");
        row("failure without output", str("exit 4"), false,
            "Dialling Office failed: the command ended with code 4");
        // The child left in the background must end with the command's group.
        row("too slow", str("sleep 30 & echo $! > '%1'; wait").arg(pidFile()), false,
            "Dialling Office failed: no outcome within 0.3 s");
        row("never up", str("true"), true, "Dialling Office failed: no connection within 0.3 s");
    }
    void commandOutcomes()
    {
        QFETCH(QString, dial);
        QFETCH(bool, withStatus);
        QFETCH(QString, reason);
        CommandSettings settings = flagCommands(flag());
        settings.dial = dial;
        if (!withStatus)
            settings.status.clear();
        CommandBackend backend(settings);
        QSignalSpy ups(&backend, &LineBackend::lineUp);
        QSignalSpy downs(&backend, &LineBackend::lineDown);
        backend.start();
        backend.dial({str("Office"), QString(), PasswordCheck::None}, QString());
        QVERIFY(ups.isEmpty() && downs.isEmpty());
        QTRY_COMPARE(ups.size() + downs.size(), 1);
        if (reason.isEmpty())
            QCOMPARE(ups.value(0).value(0).toString(), str("Office"));
        else
            QCOMPARE(downs.value(0).value(0).toString(), reason);
        if (!dial.contains(pidFile()))
            return;
        QFile file(pidFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString pid = QString::fromLatin1(file.readAll()).trimmed();
        QVERIFY(pid.toInt() > 0);
        // Gone, or a zombie waiting for whoever inherited it.
        const auto ended = [&pid] {
            QFile stat(str("/proc/%1/stat").arg(pid));
            return !stat.open(QIODevice::ReadOnly) ||
                   QString::fromLatin1(stat.readAll()).section(u')', 1).trimmed().startsWith(u'Z');
        };
        QTRY_VERIFY(ended());
    }

    void theStatusCommandTellsTheState()
    {
        // The dial command sees the entry and the password, however quoted.
        CommandSettings settings = flagCommands(flag());
        settings.dial =
            QStringLiteral("printf '%s|%s' \"$VELMORA_ENTRY\" \"$VELMORA_PASSWORD\" > '%1'")
                .arg(flag());
        CommandBackend backend(settings);
        QSignalSpy ups(&backend, &LineBackend::lineUp);
        QSignalSpy downs(&backend, &LineBackend::lineDown);
        backend.start();
        backend.dial({str("Night line"), QString(), PasswordCheck::Line}, str("it's \"$x\""));
        QTRY_COMPARE(ups.size(), 1);
        QCOMPARE(ups.first().first().toString(), str("Night line"));
        QFile file(flag());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), str("Night line|it's \"$x\""));
        file.close();
        backend.hangUp();
        QTRY_COMPARE(downs.size(), 1);
        QCOMPARE(downs.takeFirst().constFirst().toString(), QString());
        QVERIFY(!file.exists());
        // Brought up outside the server, the line is named by the status command; then it falls.
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("Backup\n") > 0);
        file.close();
        QTRY_COMPARE(ups.size(), 2);
        QCOMPARE(ups.last().first().toString(), str("Backup"));
        QVERIFY(file.remove());
        QTRY_COMPARE(downs.size(), 1);
        QCOMPARE(downs.first().first().toString(), str("Connection to Backup lost"));
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
