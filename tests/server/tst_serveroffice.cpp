// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Cp1252.h"
#include "ServerTestSupport.h"

#include <QElapsedTimer>
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
            QTest::addRow("%s holds %s", ranges, address) << str(ranges) << str(address) << held;
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
        // Unknown messages are logged sparingly.
        for (int i = 0; i < 12; ++i)
            QVERIFY(c(0).request(str("NOISE %1 %2").arg(i)));
        QCOMPARE(logged(str("alpha sent an unknown message")), 5);
        QCOMPARE(logged(str("more from it within a minute are not logged")), 1);
    }

    void aMisbehavingDeskIsDroppedAlone_data()
    {
        QTest::addColumn<int>("perSecond");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<QByteArray>("request");
        const QByteArray users = Cp1252::encode(Protocol::CmdUsers);
        // Requests read one by one, faster than the limit allows.
        QTest::newRow("too many a second") << 20 << 15 << 0 << users;
        // Requests sent without waiting for their acknowledgements, which pile up.
        QTest::newRow("acknowledgements owed") << 100000 << 2000 << 5 << users;
        QTest::newRow("oversized message") << 100000 << 15 << 5 << QByteArray(300 * 1024, 'x');
    }
    void aMisbehavingDeskIsDroppedAlone()
    {
        QFETCH(int, perSecond);
        QFETCH(int, gapMs);
        QFETCH(int, pauseMs);
        QFETCH(QByteArray, request);
        ServerConfig config = fastConfig();
        config.maxMessagesPerSecond = perSecond;
        config.sendGapMs = gapMs;
        QVERIFY(f.start({str("bystander")}, config));
        RawClient client(f.server->port(), QString(), Mode::Silent);
        QTRY_COMPARE(f.server->linkCount(), 2);
        QElapsedTimer sending;
        sending.start();
        while (!client.isClosed() && sending.elapsed() < 5000) {
            client.sendRaw(request);
            if (pauseMs > 0)
                QTest::qWait(pauseMs);
            else
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
        QVERIFY(f.start({str("c0"), str("c1")}, config) && f.lineUp());
        QVERIFY(c(0).request(Protocol::CmdDisconnect));
        QCOMPARE(c(1).next(), Protocol::MsgDisconnectPrefix + str("30"));
        QVERIFY(QFile::remove(flag));
        QCOMPARE(c(1).next(), QString(Protocol::MsgCancelled));
        QCOMPARE(c(1).next(), QString(Protocol::StatusDisconnected));
        QCOMPARE(c(1).next(), str("Connection to Office lost"));
        QVERIFY(c(0).expect(str("Connection to Office lost")));
    }

    void refusedRights()
    {
        ServerConfig config = fastConfig();
        config.rights = {{*AddressRange::parse(str("127.0.0.0/8")), Rights()},
                         {*AddressRange::parse(str("127.0.0.2")), {false, false, false, false}}};
        QVERIFY(f.start({str("alpha")}, config) && f.link(str("denied"), str("127.0.0.2")));
        RawClient &denied = c(1);
        QCOMPARE(answer(denied, str("CMD_CONNECT:Office")),
                 str("Dialling is not allowed from this desk"));
        QCOMPARE(answer(denied, str("CMD_MSG:alpha#hi")),
                 str("Sending messages is not allowed from this desk"));
        QCOMPARE(f.server->lineState(), Line::State::Down);
        QVERIFY(f.lineUp());
        QCOMPARE(answer(denied, Protocol::CmdDisconnect),
                 str("Hanging up is not allowed from this desk"));
        // Asked all the same, its refusal counts as consent.
        QVERIFY(c(0).request(Protocol::CmdDisconnect));
        QCOMPARE(denied.next(), kQuestion);
        QCOMPARE(answer(denied, Protocol::CmdLocked),
                 str("Refusing a hang-up is not allowed from this desk"));
        QVERIFY(c(0).expect(Protocol::StatusDisconnecting));
        QVERIFY(c(0).expect(Protocol::StatusDisconnected));
        QCOMPARE(logged(str("is not allowed from its address")), 4);
        QVERIFY(saidNothingMore(c(0)));
    }

    void theAccountingLogTellsTheWholeCall()
    {
        ServerConfig config = fastConfig();
        config.accountingFile = f.dir.filePath(str("accounting.csv"));
        config.phonebook[0].maxOnlineMs = 60000;
        QVERIFY(f.start({str("=SUM(A1)"), str("b\"x")}, config) && f.lineUp());
        QVERIFY(c(1).request(Protocol::CmdDisconnect));
        QCOMPARE(c(0).next(), kQuestion);
        QVERIFY(c(0).request(Protocol::CmdCancel));
        QCOMPARE(c(1).next(), QString(Protocol::MsgCancelled));
        // At its time limit, counted again from the refusal, the server asks everybody, and
        // nobody objects.
        f.server->clock().advance(59000);
        QVERIFY(saidNothingMore(c(0)));
        f.server->clock().advance(1000);
        QCOMPARE(c(0).next(), kQuestion);
        QCOMPARE(c(1).next(), kQuestion);
        QVERIFY(c(0).request(Protocol::CmdOk) && c(1).request(Protocol::CmdOk));
        QVERIFY(c(0).expect(Protocol::StatusDisconnected));
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
        f.server->clock().advance(60000);
        if (asked) {
            QCOMPARE(c(0).next(), kQuestion);
            QCOMPARE(c(1).next(), kQuestion);
        } else {
            QVERIFY(saidNothingMore(c(0)) && saidNothingMore(c(1)));
        }
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
        QVERIFY(f.start({str("c0"), str("c1")}, config) && f.lineUp());
        f.server->clock().advance(59000);
        QVERIFY(saidNothingMore(c(0)));
        f.server->clock().advance(1000);
        const QString question = Protocol::MsgDisconnectPrefix + str("0");
        QCOMPARE(c(0).next(), question);
        QCOMPARE(c(1).next(), question);
        if (!answer.isEmpty())
            QVERIFY(c(1).request(answer));
        // The answer's grace passes.
        f.server->clock().advance(1000);
        if (kept) {
            QCOMPARE(c(0).next(), QString(Protocol::MsgCancelled));
            QVERIFY(saidNothingMore(c(0)) && saidNothingMore(c(1)));
            QCOMPARE(f.server->lineState(), Line::State::Up);
            // Still idle: asked again after another idle time.
            f.server->clock().advance(60000);
            QCOMPARE(c(0).next(), question);
        } else {
            QVERIFY(c(0).expect(Protocol::StatusDisconnecting));
            QVERIFY(c(1).expect(Protocol::StatusDisconnected));
        }
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
        if (askedAfter == 0) {
            f.server->clock().advance(600 * 60000LL);
            QVERIFY(saidNothingMore(c(0)));
            return;
        }
        f.server->clock().advance(askedAfter * 60000LL - 1000);
        QVERIFY(saidNothingMore(c(0)));
        f.server->clock().advance(1000);
        QCOMPARE(c(0).next(), Protocol::MsgDisconnectPrefix + str("0"));
    }

    void aReloadedIdleTimeAppliesToTheCall()
    {
        ServerConfig config = fastConfig();
        config.idleMinutes = 10;
        QVERIFY(f.start({str("c0")}, config) && f.lineUp());
        f.server->clock().advance(30000);
        config.idleMinutes = 1;
        f.server->reload(config);
        QVERIFY(saidNothingMore(c(0)));
        // Over the stretch begun with the call: a minute after it came up, not after the reload.
        f.server->clock().advance(30000);
        QVERIFY(c(0).expect(Protocol::StatusDisconnecting));
    }

    void wrongPasswordsAreThrottledPerAddress()
    {
        ServerConfig config = fastConfig();
        config.wrongPasswordDelayMs = 800;
        QVERIFY(f.start({str("alpha")}, config) && f.link(str("beta"), str("127.0.0.3")));
        QCOMPARE(answer(c(0), str("CMD_CONNECT:BranchPWD:guess")), str("MSG_PASSWORD"));
        QCOMPARE(answer(c(0), str("CMD_CONNECT:BranchPWD:secPWD:ret")),
                 str("Wrong password; try again in 1 s"));
        QCOMPARE(f.server->lineState(), Line::State::Down);
        // The next wrong one doubles the wait; another address is not held up.
        f.server->clock().advance(900);
        QCOMPARE(answer(c(0), str("CMD_CONNECT:BranchPWD:guess")), str("MSG_PASSWORD"));
        QCOMPARE(answer(c(0), str("CMD_CONNECT:BranchPWD:guess")),
                 str("Wrong password; try again in 2 s"));
        QCOMPARE(answer(c(1), str("CMD_CONNECT:BranchPWD:secPWD:ret")),
                 QString(Protocol::StatusConnectDevice));
    }
};

QTEST_GUILESS_MAIN(TestServerOffice)
#include "tst_serveroffice.moc"
