// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Cp1252.h"
#include "ServerTestSupport.h"

#include <QRegularExpression>
#include <QTest>

using Mode = RawClient::Mode;

// The rules of a server left running for a real office, over real TCP from loopback addresses:
// who may link, one misbehaving desk hurting only itself, rights, the accounting log.
class TestServerOffice : public LoggedServerTest
{
    Q_OBJECT

private:
    QStringList accountingLines() const
    {
        QFile file(f.dir.filePath(QStringLiteral("accounting.csv")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        // The time stamp comes first; the rest is compared.
        for (qsizetype i = 1; i < lines.size(); ++i)
            lines[i] = lines[i].section(u',', 1);
        return lines;
    }

private Q_SLOTS:

    void addressRanges_data()
    {
        QTest::addColumn<QString>("ranges");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("held");
        const auto row = [](const char *ranges, const char *address, bool held) {
            QTest::addRow("%s holds %s: %d", ranges, address, held)
                << str(ranges) << str(address) << held;
        };
        row("192.168.0.0/16", "192.168.5.4", true);
        row("192.168.0.0/16", "192.169.0.1", false);
        row("10.0.0.0/8, fd00::/8", "fd12::1", true);
        row("10.0.0.0/8 fd00::/8", "::ffff:10.1.2.3", true);
        row("10.0.0.0/8", "::1", false);
        row("any", "8.8.8.8", true);
        row("any", "2001:db8::1", true);
        row("local", "172.31.255.255", true);
        row("local", "172.32.0.1", false);
        row("local", "100.64.0.1", false);
        row("local", "fe80::1", true);
        row("local", "2001:db8::1", false);
    }
    void addressRanges()
    {
        QFETCH(QString, ranges);
        QFETCH(QString, address);
        QFETCH(bool, held);
        QString error;
        const QList<AddressRange> list = ranges == str("local")
                                             ? AddressRange::local()
                                             : AddressRange::parseList(ranges, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(anyContains(list, QHostAddress(address)), held);
    }

    void whoMayLinkAndStay()
    {
        ServerConfig config = fastConfig();
        QString error;
        config.allowFrom = AddressRange::parseList(str("127.0.0.1/32 127.0.0.3 127.0.0.4"), &error);
        config.maxLinks = 3;
        config.maxLinksPerAddress = 2;
        config.ackTimeoutMs = 200;
        config.maxMissedAcks = 2;
        QVERIFY(f.start({str("a1"), str("a2")}, config));
        // A desk that never acknowledges is dropped.
        RawClient deaf(f.server->port(), QString(), Mode::Silent, str("127.0.0.3"));
        QVERIFY(deaf.waitClosed());
        QCOMPARE(logged(str("it left 2 messages in a row unacknowledged")), 1);
        QTRY_COMPARE(f.server->linkCount(), 2);
        // Closed unanswered, and logged once for the minute.
        QVERIFY(f.closedUnanswered(str("127.0.0.2")) && f.closedUnanswered(str("127.0.0.2")));
        QCOMPARE(logged(str("Refused a link from 127.0.0.2: not in AllowFrom")), 1);
        QVERIFY(saidNothingMore(c(0)));
        QVERIFY(f.closedUnanswered(str("127.0.0.1")));
        QCOMPARE(logged(str("Refused a link from 127.0.0.1: 2 links from that address")), 1);
        QVERIFY(f.link(str("b"), str("127.0.0.3")));
        QVERIFY(f.closedUnanswered(str("127.0.0.4")));
        QCOMPARE(logged(str("Refused a link from 127.0.0.4: 3 links already")), 1);
        // A link that ends makes room.
        c(0).close();
        QTRY_COMPARE(f.server->linkCount(), 2);
        QVERIFY(f.link(str("e"), str("127.0.0.4")));
    }

    void aDeskIsNamedOnce()
    {
        const QString longName = QString(100, u'x');
        QVERIFY(f.start({str("alpha"), str("beta"), longName}));
        QVERIFY(c(1).request(str("ID:alpha")));
        QCOMPARE(logged(str("reported an identity again; it keeps the first")), 1);
        QCOMPARE(answer(c(0), Protocol::CmdUsers),
                 Protocol::UsersPrefix + str("beta") + kFs + QString(64, u'x') + kFs);
        // A name cannot forge a line of the log.
        QVERIFY(f.link(str("evil\n2024-01-01 info    root logged in")));
        QTRY_COMPARE(logged(str("is evil\\x0a2024-01-01 info")), 1);
        QCOMPARE(logged(str("%2")), 0);
    }

    void aMisbehavingDeskIsDroppedAlone_data()
    {
        QTest::addColumn<int>("perSecond");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<QByteArray>("request");
        const QByteArray users = Cp1252::encode(Protocol::CmdUsers);
        // Requests read one by one, faster than the limit allows.
        QTest::newRow("too many a second") << 20 << 15 << users;
        // Requests sent without waiting for their acknowledgements, which pile up.
        QTest::newRow("acknowledgements owed") << 100000 << 400 << users;
        QTest::newRow("oversized message") << 100000 << 15 << QByteArray(300 * 1024, 'x');
    }
    void aMisbehavingDeskIsDroppedAlone()
    {
        QFETCH(int, perSecond);
        QFETCH(int, gapMs);
        QFETCH(QByteArray, request);
        ServerConfig config = fastConfig();
        config.maxMessagesPerSecond = perSecond;
        config.sendGapMs = gapMs;
        QVERIFY(f.start({str("bystander")}, config));
        RawClient client(f.server->port(), QString(), Mode::Silent);
        QTRY_COMPARE(f.server->linkCount(), 2);
        // The server reads between two writes, so that most of them are messages of their own.
        for (int i = 0; i < 5000 && !client.isClosed(); ++i) {
            client.sendRaw(request);
            QCoreApplication::processEvents();
        }
        QVERIFY(client.waitClosed());
        QTRY_COMPARE(f.server->linkCount(), 1);
        QVERIFY(saidNothingMore(c(0)));
    }

    void theLineFallingEndsTheVote()
    {
        const QString flag = f.dir.filePath(str("up"));
        ServerConfig config = fastConfig();
        config.disconnectSeconds = 30;
        config.backend = BackendKind::Command;
        config.command = flagCommands(flag);
        QVERIFY(f.start({str("c0"), str("c1")}, config));
        QCOMPARE(play(str("up|0>CMD_DISCONNECT|1<MSG_DISCONNECT+30")), QString());
        QVERIFY(QFile::remove(flag));
        QCOMPARE(play(str("1<MSG_CANCELLED|1<Disconnected|1<Connection to Office lost|"
                          "0~Connection to Office lost")),
                 QString());
    }

    void refusedRights()
    {
        ServerConfig config = fastConfig();
        config.rights = {{*AddressRange::parse(str("127.0.0.0/8")), Rights()},
                         {*AddressRange::parse(str("127.0.0.2")), {false, false, false, false}}};
        QVERIFY(f.start({str("alpha")}, config) && f.link(str("denied"), str("127.0.0.2")));
        // Asked all the same, its refusal counts as consent.
        QCOMPARE(play(str("1>CMD_CONNECT:Office|1<Dialling is not allowed from this desk|"
                          "1>CMD_MSG:alpha#hi|1<Sending messages is not allowed from this desk|0.|"
                          "up|1>CMD_DISCONNECT|1<Hanging up is not allowed from this desk|"
                          "0>CMD_DISCONNECT|1<MSG_DISCONNECT+1|1>CMD_LOCKED|"
                          "1<Refusing a hang-up is not allowed from this desk|"
                          "0~Disconnecting|0~Disconnected|0.")),
                 QString());
        QCOMPARE(logged(str("is not allowed from its address")), 4);
    }

    void theAccountingLogTellsTheWholeCall()
    {
        ServerConfig config = fastConfig();
        config.accountingFile = f.dir.filePath(str("accounting.csv"));
        config.phonebook[0].maxOnlineMs = 60000;
        QVERIFY(f.start({str("=SUM(A1)"), str("b\"x")}, config));
        // At its time limit, counted again from the refusal, the server asks everybody, and
        // nobody objects.
        QCOMPARE(play(str("up|1>CMD_DISCONNECT|0<MSG_DISCONNECT+1|0>CMD_CANCEL|1<MSG_CANCELLED|"
                          "+59000|0.|+1000|0<MSG_DISCONNECT+1|1<MSG_DISCONNECT+1|0>CMD_OK|1>CMD_OK|"
                          "0~Disconnected")),
                 QString());
        const QStringList lines = accountingLines();
        QCOMPARE(lines.value(0), str("time,event,identity,address,entry,seconds,received,sent"));
        QCOMPARE(lines.mid(1, 6),
                 (QStringList{str("dial,\"'=SUM(A1)\",127.0.0.1,\"Office\",,,"),
                              str("up,\"'=SUM(A1)\",127.0.0.1,\"Office\",,,"),
                              str("hang-up request,\"b\"\"x\",127.0.0.1,\"Office\",,,"),
                              str("refused,\"'=SUM(A1)\",127.0.0.1,\"Office\",,,"),
                              str("time limit,,,\"Office\",,,"), str("down,,,\"Office\",60,0,0")}));
    }

    void aReloadedTimeLimitAppliesToTheCall_data()
    {
        QTest::addColumn<qint64>("before");
        QTest::addColumn<qint64>("after");
        QTest::addColumn<bool>("asked");
        QTest::newRow("lowered") << qint64(600000) << qint64(30000) << true;
        QTest::newRow("set") << qint64(0) << qint64(30000) << true;
        QTest::newRow("raised") << qint64(30000) << qint64(600000) << false;
        QTest::newRow("removed") << qint64(30000) << qint64(0) << false;
    }
    void aReloadedTimeLimitAppliesToTheCall()
    {
        QFETCH(qint64, before);
        QFETCH(qint64, after);
        QFETCH(bool, asked);
        ServerConfig config = fastConfig();
        config.phonebook[0].maxOnlineMs = before;
        QVERIFY(f.start({str("c0"), str("c1")}, config) && f.lineUp());
        config.phonebook[0].maxOnlineMs = after;
        f.server->reload(config);
        // A minute on: past the new limit when asked, past the old one when not.
        QCOMPARE(
            play(asked ? str("+60000|0<MSG_DISCONNECT+1|1<MSG_DISCONNECT+1") : str("+60000|0.|1.")),
            QString());
    }

    void idleWindow_data()
    {
        QTest::addColumn<qint64>("nowMs");
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<IdleWindow>("next");
        // A stretch begun at 1000 ms with 5000 bytes; 1024 bytes end it.
        QTest::newRow("too few") << qint64(9000) << quint64(6023) << IdleWindow{1000, 5000};
        QTest::newRow("just enough") << qint64(9000) << quint64(6024) << IdleWindow{9000, 6024};
        QTest::newRow("counter went back") << qint64(9000) << quint64(10) << IdleWindow{9000, 10};
    }
    void idleWindow()
    {
        QFETCH(qint64, nowMs);
        QFETCH(quint64, bytes);
        QFETCH(IdleWindow, next);
        QCOMPARE(nextWindow(IdleWindow{1000, 5000}, nowMs, bytes, 1024), next);
    }

    // The simulated line carries nothing, so its calls are idle from the start.
    void anIdleCallEndsUnlessLocked_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("kept");
        QTest::newRow("no answer") << QString() << false;
        QTest::newRow("agreed") << QString(Protocol::CmdOk) << false;
        // No countdown was shown, so there was nothing a user could cancel.
        QTest::newRow("cancelled") << QString(Protocol::CmdCancel) << false;
        QTest::newRow("locked") << QString(Protocol::CmdLocked) << true;
    }
    void anIdleCallEndsUnlessLocked()
    {
        QFETCH(QString, answer);
        QFETCH(bool, kept);
        ServerConfig config = fastConfig();
        config.accountingFile = f.dir.filePath(str("accounting.csv"));
        QFile::remove(config.accountingFile); // the rows share the folder
        config.idleMinutes = 1;
        QVERIFY(f.start({str("c0"), str("c1")}, config));
        QCOMPARE(play(str("up|+59000|0.|+1000|0<MSG_DISCONNECT+0|1<MSG_DISCONNECT+0")), QString());
        if (!answer.isEmpty())
            QVERIFY(c(1).request(answer));
        // The answer's grace passes; still idle, a kept call is asked again after another idle
        // time.
        QCOMPARE(play(kept ? str("+1000|0<MSG_CANCELLED|0.|1.|+60000|0<MSG_DISCONNECT+0")
                           : str("+1000|0~Disconnecting|1~Disconnected")),
                 QString());
        const QStringList lines = accountingLines().filter(str(",,,\"Office\""));
        QCOMPARE(lines.value(0), str("idle,,,\"Office\",,,"));
        if (kept)
            QCOMPARE(accountingLines().filter(str("locked,")).size(), 1);
        else
            QCOMPARE(lines.value(1), str("down,,,\"Office\",61,0,0"));
    }

    void idleTimes_data()
    {
        QTest::addColumn<int>("lineMinutes");
        QTest::addColumn<qint64>("entryMs");
        QTest::addColumn<int>("askedAfter"); // minutes; 0: never
        QTest::addColumn<bool>("counted");   // the line's traffic is known
        QTest::newRow("the line's") << 2 << qint64(-1) << 2 << true;
        QTest::newRow("the entry's over the line's") << 5 << qint64(60000) << 1 << true;
        QTest::newRow("the entry never idle") << 1 << qint64(0) << 0 << true;
        QTest::newRow("none") << 0 << qint64(-1) << 0 << true;
        // A command line without Interface=: nobody knows whether it is idle.
        QTest::newRow("traffic unknown") << 1 << qint64(-1) << 0 << false;
    }
    void idleTimes()
    {
        QFETCH(int, lineMinutes);
        QFETCH(qint64, entryMs);
        QFETCH(int, askedAfter);
        QFETCH(bool, counted);
        ServerConfig config = fastConfig();
        config.idleMinutes = lineMinutes;
        config.phonebook[0].idleMs = entryMs;
        if (!counted) {
            config.backend = BackendKind::Command;
            config.command = flagCommands(f.dir.filePath(str("up")));
        }
        QVERIFY(f.start({str("c0"), str("c1")}, config) && f.lineUp());
        if (askedAfter == 0)
            QCOMPARE(play(str("+36000000|0.")), QString());
        else
            QCOMPARE(play(str("+%1|0.|+1000|0<MSG_DISCONNECT+0").arg(askedAfter * 60000 - 1000)),
                     QString());
    }

    void aReloadedIdleTimeAppliesToTheCall()
    {
        ServerConfig config = fastConfig();
        config.idleMinutes = 10;
        QVERIFY(f.start({str("c0")}, config) && f.lineUp());
        f.server->clock().advance(30000);
        config.idleMinutes = 1;
        f.server->reload(config);
        // Over the stretch begun with the call: a minute after it came up, not after the reload.
        QCOMPARE(play(str("0.|+30000|0~Disconnecting")), QString());
    }

    void wrongPasswordsAreThrottledPerAddress()
    {
        ServerConfig config = fastConfig();
        config.wrongPasswordDelayMs = 800;
        QVERIFY(f.start({str("alpha")}, config) && f.link(str("beta"), str("127.0.0.3")));
        // The next wrong one doubles the wait; another address is not held up.
        QCOMPARE(play(str("0>CMD_CONNECT:BranchPWD:guess|0<MSG_PASSWORD|"
                          "0>CMD_CONNECT:BranchPWD:secPWD:ret|0<Wrong password; try again in 1 s|"
                          "0.|+900|0>CMD_CONNECT:BranchPWD:guess|0<MSG_PASSWORD|"
                          "0>CMD_CONNECT:BranchPWD:guess|0<Wrong password; try again in 2 s|"
                          "1>CMD_CONNECT:BranchPWD:secPWD:ret|1<Connect device")),
                 QString());
    }
};

QTEST_GUILESS_MAIN(TestServerOffice)
#include "tst_serveroffice.moc"
