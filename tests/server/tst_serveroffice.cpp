// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Admission.h"
#include "Cp1252.h"
#include "PasswordThrottle.h"
#include "ServerTestSupport.h"

#include <cstring>
#include <QRegularExpression>
#include <QTest>
#include <tuple>

// The rules of a server left running for a real office, over real TCP from loopback addresses:
// who may link, one misbehaving desk hurting only itself, rights that fail closed, hosts counted
// as hosts, a reload that re-checks every link, the call's time limit and idle time, the
// accounting log. One desk's traffic costs the others nothing: passwords stay out of
// what is logged and relayed, a full queue costs its senders, a silent link goes, and no desk or
// scan fills the log.
class TestServerOffice : public LoggedServerTest
{
    Q_OBJECT

private Q_SLOTS:

    void addressRanges()
    {
        const std::tuple<const char *, const char *, bool> rows[] = {
            {"192.168.0.0/16", "192.168.5.4", true},
            {"192.168.0.0/16", "192.169.0.1", false},
            {"10.0.0.0/8, fd00::/8", "fd12::1", true},
            {"10.0.0.0/8 fd00::/8", "::ffff:10.1.2.3", true},
            {"any", "8.8.8.8", true},
            {"any", "2001:db8::1", true},
            {"local", "172.31.255.255", true},
            {"local", "172.32.0.1", false},
            {"local", "100.64.0.1", false},
            {"local", "fe80::1", true}};
        for (const auto &[ranges, address, held] : rows) {
            QString error;
            const QList<AddressRange> list = strcmp(ranges, "local") == 0
                                                 ? AddressRange::local()
                                                 : AddressRange::parseList(str(ranges), &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QVERIFY2(anyContains(list, QHostAddress(str(address))) == held, address);
        }
    }

    // No rule: everything; else the most specific range's, or those of * outside every range.
    void rightsFailClosed()
    {
        const std::tuple<const char *, const char *, QList<bool>> rows[] = {
            {"", "::1", {true, true, true, true}},
            {"127.0.0.1=message", "127.0.0.1", {false, false, false, true}},
            // The same machine over IPv6 does not escape the rule.
            {"127.0.0.1=message", "::1", {false, false, false, true}},
            {"127.0.0.1=message\n*=dial hangup", "::1", {true, true, false, false}},
            {"192.168.0.0/16=dial refuse message\n192.168.1.200=message",
             "192.168.1.20",
             {true, false, true, true}},
            {"192.168.0.0/16=dial refuse message\n192.168.1.200=none",
             "192.168.1.200",
             {false, false, false, false}}};
        for (const auto &[rules, address, rights] : rows) {
            const ConfigResult result = configFromText(str("[Rights]\n") + str(rules));
            QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
            const Rights r = result.config.rightsFor(QHostAddress(str(address)));
            QVERIFY2((QList<bool>{r.dial, r.hangUp, r.refuse, r.message}) == rights, rules);
        }
    }

    void hostsAreCountedByTheirSlash64()
    {
        // Two links from the first address, then one from the second; a wrong password from
        // the first holds up the second when both are the same host.
        const std::tuple<const char *, const char *, bool> rows[] = {
            {"2001:db8::1", "2001:db8::ffff:1", true},
            {"2001:db8::1", "2001:db8:0:1::1", false},
            {"192.0.2.1", "192.0.2.2", false},
            {"::ffff:192.0.2.1", "192.0.2.1", true}};
        for (const auto &[first, second, sameHost] : rows) {
            Admission admission;
            admission.setSettings({{{QHostAddress(QHostAddress::AnyIPv4), 0},
                                    {QHostAddress(QHostAddress::AnyIPv6), 0}},
                                   100,
                                   2});
            admission.linked(QHostAddress(str(first)));
            admission.linked(QHostAddress(str(first)));
            QVERIFY2(admission.refusal(QHostAddress(str(second))).isEmpty() != sameHost, second);
            PasswordThrottle throttle;
            throttle.failed(QHostAddress(str(first)), 0);
            QVERIFY2((throttle.remainingMs(QHostAddress(str(second)), 1) > 0) == sameHost, second);
        }
    }

    void whoMayLinkAndStay()
    {
        ServerConfig config = fastConfig();
        QString error;
        config.allowFrom = AddressRange::parseList(str("127.0.0.1/32 127.0.0.3 127.0.0.4"), &error);
        config.maxLinks = 3;
        config.maxLinksPerAddress = 2;
        config.ackTimeoutMs = 600000;
        config.identifyTimeoutMs = 3600000;
        config.maxMissedAcks = 2;
        QVERIFY(start({str("a1"), str("a2")}, config));
        // A desk that never acknowledges is dropped.
        RawClient deaf(m_server->port(), QString(), RawClient::Mode::Silent, str("127.0.0.3"));
        QVERIFY(deaf.expect(Protocol::CmdSendId));
        m_server->clock().advance(config.ackTimeoutMs);
        QVERIFY(deaf.expect(Protocol::StatusDisconnected));
        m_server->clock().advance(config.ackTimeoutMs);
        QVERIFY(deaf.waitClosed());
        QCOMPARE(logged(str("it left 2 messages in a row unacknowledged")), 1);
        QTRY_COMPARE(m_server->linkCount(), 2);
        // Closed unanswered, and logged once for the minute.
        QVERIFY(closedUnanswered(str("127.0.0.2")) && closedUnanswered(str("127.0.0.2")));
        QCOMPARE(logged(str("Refused a link from 127.0.0.2: not in AllowFrom")), 1);
        QVERIFY(saidNothingMore(c(0)));
        QVERIFY(closedUnanswered(str("127.0.0.1")));
        QCOMPARE(logged(str("Refused a link from 127.0.0.1: 2 links from that address")), 1);
        QVERIFY(link(str("b"), str("127.0.0.3")));
        QVERIFY(closedUnanswered(str("127.0.0.4")));
        QCOMPARE(logged(str("Refused a link from 127.0.0.4: 3 links already")), 1);
        // A link that ends makes room.
        c(0).close();
        QTRY_COMPARE(m_server->linkCount(), 2);
        QVERIFY(link(str("e"), str("127.0.0.4")));
    }

    void aMisbehavingDeskIsDroppedAlone()
    {
        const QByteArray users = Cp1252::encode(Protocol::CmdUsers);
        // Requests read one by one, faster than the limit allows; requests sent without waiting
        // for their acknowledgements, which pile up behind the server's wait between two
        // messages; one too long.
        const std::tuple<int, int, QByteArray, const char *> rows[] = {
            {20, 15, users, "more than 20 messages"},
            {100000, 400, users, "without waiting for their acknowledgements"},
            {100000, 15, QByteArray(300 * 1024, 'x'), "a message of more than"}};
        for (const auto &[perSecond, gapMs, request, reason] : rows) {
            m_clients.clear();
            m_log.clear();
            ServerConfig config = fastConfig();
            config.maxMessagesPerSecond = perSecond;
            config.sendGapMs = gapMs;
            QVERIFY(start({str("bystander")}, config));
            RawClient client(m_server->port(), QString(), RawClient::Mode::Silent);
            QTRY_COMPARE(m_server->linkCount(), 2);
            // The server reads between two writes, so that most of them are messages of their
            // own.
            for (int i = 0; i < 5000 && !client.isClosed(); ++i) {
                client.sendRaw(request);
                QCoreApplication::processEvents();
            }
            QVERIFY(client.waitClosed());
            QVERIFY2(logged(str(reason)) == 1, reason);
            QTRY_COMPARE(m_server->linkCount(), 1);
            QVERIFY(saidNothingMore(c(0)));
        }
    }

    // The line falling ends the vote; a line that comes up elsewhere is told.
    void theLineChangingOutsideTheServer()
    {
        const QString flag = m_dir.filePath(str("up"));
        ServerConfig config = fastConfig();
        config.disconnectSeconds = 30;
        config.backend = BackendKind::Command;
        config.command = flagCommands(flag);
        QVERIFY(start({str("c0"), str("c1")}, config));
        QCOMPARE(play(str("up|0>CMD_DISCONNECT|1<MSG_DISCONNECT+30")), QString());
        QVERIFY(QFile::remove(flag));
        QCOMPARE(play(str("1<MSG_CANCELLED|1<Disconnected|1<Connection to Office lost|"
                          "0~Connection to Office lost")),
                 QString());
        // The status command names a line brought up elsewhere.
        QFile file(flag);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("Backup\n") > 0);
        file.close();
        QCOMPARE(play(str("0~Connected to Backup|1~Connected to Backup")), QString());
    }

    void idleWindow()
    {
        // A stretch begun at 1000 ms with 5000 bytes; 1024 bytes end it, as does a counter that
        // went back.
        const IdleWindow begun{1000, 5000};
        QCOMPARE(nextWindow(begun, 9000, 6023, 1024), begun);
        QCOMPARE(nextWindow(begun, 9000, 6024, 1024), (IdleWindow{9000, 6024}));
        QCOMPARE(nextWindow(begun, 9000, 10, 1024), (IdleWindow{9000, 10}));
    }

    // Rights, password waits, the call's time limit and its idle time, over desks c0 and c1
    // unless a row names others. The simulated line carries nothing, so its calls are idle
    // from the start.
    void scenarios_data()
    {
        QTest::addColumn<Tweak>("tweak");
        QTest::addColumn<QString>("desks");
        QTest::addColumn<QString>("script");
        const auto row = [](const char *name, Tweak tweak, const char *script,
                            const char *desks = "c0 c1") {
            QTest::newRow(name) << tweak << str(desks) << str(script);
        };
        // Asked all the same, a desk without rights counts as consenting.
        row(
            "refused rights",
            [](ServerConfig &c, bool) {
                c.rights = {{*AddressRange::parse(str("127.0.0.0/8")), Rights()},
                            {*AddressRange::parse(str("127.0.0.2")), {false, false, false, false}}};
            },
            "1>CMD_CONNECT:Office|1<Dialling is not allowed from this desk|1>CMD_MSG:alpha#hi|"
            "1<Sending messages is not allowed from this desk|0.|up|1>CMD_DISCONNECT|"
            "1<Hanging up is not allowed from this desk|0>CMD_DISCONNECT|1<MSG_DISCONNECT+1|"
            "1>CMD_LOCKED|1<Refusing a hang-up is not allowed from this desk|0~Disconnecting|"
            "0~Disconnected|0.|#4:is not allowed from its address",
            "alpha denied@127.0.0.2");
        // The next wrong one doubles the wait; another address is not held up.
        row(
            "wrong passwords wait per address",
            [](ServerConfig &c, bool) { c.wrongPasswordDelayMs = 800; },
            "0>CMD_CONNECT:BranchPWD:guess|0<MSG_PASSWORD|0>CMD_CONNECT:BranchPWD:secPWD:ret|"
            "0<Wrong password; try again in 1 s|0.|+900|0>CMD_CONNECT:BranchPWD:guess|"
            "0<MSG_PASSWORD|0>CMD_CONNECT:BranchPWD:guess|0<Wrong password; try again in 2 s|"
            "1>CMD_CONNECT:BranchPWD:secPWD:ret|1<Connect device",
            "alpha beta@127.0.0.3");
        // At its time limit, counted again from a refusal, the server asks everybody; the
        // accounting log, which a spreadsheet may open, quotes what a desk calls itself.
        row(
            "the accounting log tells the whole call",
            [](ServerConfig &c, bool) { c.phonebook[0].maxOnlineMs = 60000; },
            "up|1>CMD_DISCONNECT|0<MSG_DISCONNECT+1|0>CMD_CANCEL|1<MSG_CANCELLED|+59000|0.|+1000|"
            "0<MSG_DISCONNECT+1|1<MSG_DISCONNECT+1|0>CMD_OK|1>CMD_OK|0~Disconnected|"
            "$time,event,identity,address,entry,seconds,received,sent/"
            "dial,\"'=SUM(A1)\",127.0.0.1,\"Office\",,,/up,\"'=SUM(A1)\",127.0.0.1,\"Office\",,,/"
            "hang-up request,\"b\"\"x\",127.0.0.1,\"Office\",,,/"
            "refused,\"'=SUM(A1)\",127.0.0.1,\"Office\",,,/time limit,,,\"Office\",,,/"
            "down,,,\"Office\",60,0,0",
            "=SUM(A1) b\"x");
        // A minute on: past a limit set on the call in progress, and past one removed from it.
        row(
            "time limit set",
            [](ServerConfig &c, bool r) { c.phonebook[0].maxOnlineMs = r ? 30000 : 0; },
            "up|reload|+60000|0<MSG_DISCONNECT+1|1<MSG_DISCONNECT+1");
        row(
            "time limit removed",
            [](ServerConfig &c, bool r) { c.phonebook[0].maxOnlineMs = r ? 0 : 30000; },
            "up|reload|+60000|0.|1.");
        // No countdown was shown, so there was nothing a user could cancel; a locked desk keeps
        // the call, which is asked again after another idle time.
        const Tweak idle = [](ServerConfig &c, bool) { c.idleMinutes = 1; };
        const char *ends = "+1000|0~Disconnecting|1~Disconnected|$idle,,,\"Office\",,,/|"
                           "$down,,,\"Office\",61,0,0";
        const QString idleAsked = str("up|+59000|0.|+1000|0<MSG_DISCONNECT+0|1<MSG_DISCONNECT+0|");
        QTest::newRow("idle: no answer") << idle << str("c0 c1") << idleAsked + str(ends);
        QTest::newRow("idle: cancelled")
            << idle << str("c0 c1") << idleAsked + str("1>CMD_CANCEL|") + str(ends);
        QTest::newRow("idle: locked")
            << idle << str("c0 c1")
            << idleAsked + str("1>CMD_LOCKED|+1000|0<MSG_CANCELLED|0.|1.|+60000|0<MSG_DISCONNECT+0|"
                               "$idle,,,\"Office\",,,/|$locked,");
        row(
            "idle: the entry's never",
            [](ServerConfig &c, bool) {
                c.idleMinutes = 1;
                c.phonebook[0].idleMs = 0;
            },
            "up|+36000000|0.");
        // A desk is named once, in at most 64 characters; a name cannot forge a line of the log.
        QTest::newRow("a desk is named once")
            << Tweak(nullptr) << str("alpha beta evil\n2024-01-01 ") + QString(100, u'x')
            << str("1>ID:alpha|#1:reported an identity again; it keeps the first|0>CMD_USERS|"
                   "0<USERS:beta\x1c"
                   "evil\n2024-01-01\x1c") +
                   QString(64, u'x') + str("\x1c|#1:is evil\\x0a2024-01-01|#0:%2");
        // The recipient holds a message unacknowledged, so that its queue fills; it keeps its
        // link and hears every sender.
        row(
            "a full queue costs its senders",
            [](ServerConfig &c, bool) { c.maxQueuedMessages = 5; },
            "0s|1>CMD_MSG:quiet#0|2>CMD_MSG:quiet#0|3>CMD_MSG:quiet#0|1>CMD_MSG:quiet#1|"
            "2>CMD_MSG:quiet#1|3>CMD_MSG:quiet#1|1>CMD_MSG:quiet#2|2>CMD_MSG:quiet#2|"
            "3>CMD_MSG:quiet#2|3~Message not delivered to quiet: too many messages are waiting for "
            "it|0d|0~CMD_MSG:s1#0|0~CMD_MSG:s2#0|0~CMD_MSG:s3#0|#0:Dropping the link",
            "quiet s1 s2 s3");
        row(
            "a rule holds over IPv6 too",
            [](ServerConfig &c, bool) {
                c.addresses.append(QHostAddress(QHostAddress::LocalHostIPv6));
                c.rights = {{*AddressRange::parse(str("127.0.0.1")), {false, false, false, true}}};
            },
            "1>CMD_CONNECT:Office|1<Dialling is not allowed from this desk|0.", "alpha six@::1");
        // The link from outside the new allow-list goes; the new rights apply to the others.
        row(
            "a reload re-checks every link",
            [](ServerConfig &c, bool reloaded) {
                QString error;
                if (reloaded) {
                    c.allowFrom = AddressRange::parseList(str("127.0.0.1 127.0.0.3"), &error);
                    c.rights = {{*AddressRange::parse(str("127.0.0.1")), Rights()}};
                }
            },
            "reload|1-|#1:Dropping the link of goes (127.0.0.2:|#1:its address is no longer in "
            "AllowFrom|2>CMD_CONNECT:Office|2<Dialling is not allowed from this desk|"
            "0>CMD_CONNECT:Office|0<Connect device",
            "stays goes@127.0.0.2 demoted@127.0.0.3");
        // c1 holds a message unacknowledged, which keeps its question queued; it asks too,
        // twice, and joins the vote once.
        row(
            "a requester is not asked its own question",
            [](ServerConfig &c, bool) {
                c.ackTimeoutMs = 20000;
                c.disconnectSeconds = 30;
            },
            "up|1s|0>CMD_MSG:c1#wait|1<CMD_MSG:c0#wait|0>CMD_DISCONNECT|2<MSG_DISCONNECT+30|"
            "1>CMD_DISCONNECT|1>CMD_DISCONNECT|2>CMD_CANCEL|0<MSG_CANCELLED|1d|1<MSG_CANCELLED|1.|"
            "$/hang-up request,\"c0\",127.0.0.1,\"Office\",,,/hang-up request,\"c1\",127.0.0.1,"
            "\"Office\",,,/refused,",
            "c0 c1 c2");
        // A command line without Interface=: nobody knows whether it is idle.
        row(
            "idle: traffic unknown",
            [](ServerConfig &c, bool) {
                c.idleMinutes = 1;
                c.backend = BackendKind::Command;
                c.command.dial = str("true");
                c.command.hangUp = str("true");
            },
            "up|+36000000|0.");
        // Over the stretch begun with the call: a minute after it came up, not after the reload.
        row(
            "idle time reloaded", [](ServerConfig &c, bool r) { c.idleMinutes = r ? 1 : 10; },
            "up|+30000|reload|0.|+30000|0<MSG_DISCONNECT+0|+1000|0~Disconnecting");
        // At the debug level, which logs every message.
        row(
            "a glued password is neither logged nor relayed",
            [](ServerConfig &, bool) { Log::setLevel(Log::Level::Debug); },
            "0>CMD_MSG:c1#look CMD_CONNECT:BranchPWD:Sesame-1138|"
            "1<CMD_MSG:c0#look CMD_CONNECT:BranchPWD:***|"
            "#1: S: CMD_MSG:c0#look CMD_CONNECT:BranchPWD:***|#0:Sesame");
        // Five a minute, the last of them saying so.
        row("repeats are logged sparingly", nullptr,
            "0>NOISE|0>NOISE|0>NOISE|0>NOISE|0>NOISE|0>NOISE|0>NOISE|0>NOISE|"
            "#5:sent an unknown message|#1:more from it within a minute are not logged");
    }
    void scenarios() { scenario(); }

    void refusalsAreSummarised()
    {
        // Five a minute one by one; the rest of the minute is counted, then told in one line.
        Admission admission;
        admission.setSettings({{}, 10, 10});
        qsizetype lines = 0;
        for (quint32 i = 0; i < 2000; ++i)
            lines +=
                admission.refused(QHostAddress(0x0a000000 + i), str("not in AllowFrom"), i).size();
        QCOMPARE(lines, Admission::LoggedPerWindow);
        QCOMPARE(admission.summaryDue(), Admission::LogWindowMs);
        QCOMPARE(admission.summary(Admission::LogWindowMs - 1), QString());
        QCOMPARE(admission.summary(Admission::LogWindowMs),
                 str("Refused 1995 more link(s) in the last minute, not logged one by one: 1995 "
                     "not in AllowFrom"));
        QCOMPARE(admission.summaryDue(), -1);
    }
};

QTEST_GUILESS_MAIN(TestServerOffice)
#include "tst_serveroffice.moc"
