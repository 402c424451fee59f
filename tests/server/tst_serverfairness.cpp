// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Acceptor.h"
#include "Admission.h"
#include "ServerTestSupport.h"

#include <QTcpServer>
#include <QTest>

using Mode = RawClient::Mode;

// One desk's traffic costs the others nothing: passwords stay out of what is logged and
// relayed, a full queue costs its senders, a silent link goes, and no desk or scan fills the
// log.
class TestServerFairness : public LoggedServerTest
{
    Q_OBJECT

private Q_SLOTS:
    void aGluedPasswordIsNeitherLoggedNorRelayed()
    {
        Log::setLevel(Log::Level::Debug);
        QVERIFY(f.start({str("alpha"), str("beta")}));
        QVERIFY(c(0).request(str("CMD_MSG:beta#look CMD_CONNECT:BranchPWD:Sesame-1138")));
        QCOMPARE(c(1).next(), str("CMD_MSG:alpha#look CMD_CONNECT:BranchPWD:***"));
        QCOMPARE(logged(str(" S: CMD_MSG:alpha#look CMD_CONNECT:BranchPWD:***")), 1);
        QCOMPARE(logged(str("Sesame")), 0);
    }

    void aFullQueueCostsItsSenders()
    {
        // The recipient holds a message unacknowledged, so that its queue fills; three desks
        // write to it, each message a round trip of its own.
        ServerConfig config = fastConfig();
        config.maxQueuedMessages = 5;
        QVERIFY(f.start({str("quiet"), str("s1"), str("s2"), str("s3")}, config));
        c(0).setMode(Mode::Silent);
        for (int round = 0; round < 3; ++round) {
            for (int sender = 1; sender <= 3; ++sender)
                QVERIFY(c(sender).request(str("CMD_MSG:quiet#%1").arg(round)));
        }
        QVERIFY(c(3).expect(str("Message not delivered to quiet: too many messages are waiting "
                                "for it")));
        // The recipient keeps its link and hears every sender.
        c(0).setMode(Mode::Disciplined);
        c(0).send(Protocol::MsgAck);
        QCOMPARE(play(str("0~CMD_MSG:s1#0|0~CMD_MSG:s2#0|0~CMD_MSG:s3#0")), QString());
        QCOMPARE(f.server->linkCount(), 4);
        QCOMPARE(logged(str("Dropping the link")), 0);
    }

    void aLinkThatNeverIdentifiesIsClosed()
    {
        ServerConfig config = fastConfig();
        config.identifyTimeoutMs = 300;
        QVERIFY(f.start({str("named")}, config));
        RawClient silent(f.server->port(), QString(), Mode::Silent);
        QVERIFY(silent.waitClosed());
        QCOMPARE(logged(str("it did not identify within 300 ms")), 1);
        QVERIFY(saidNothingMore(c(0)));
        QCOMPARE(f.server->linkCount(), 1);
        // The default is there, so that a link answering nothing never holds a place for good.
        QCOMPARE(ServerConfig().identifyTimeoutMs, 15000);
    }

    void refusalsAreSummarised()
    {
        ServerConfig config = fastConfig();
        QString error;
        config.allowFrom = AddressRange::parseList(str("127.0.0.1"), &error);
        QVERIFY(f.start({str("alpha")}, config));
        for (int i = 2; i < 14; ++i)
            QVERIFY(f.closedUnanswered(str("127.0.0.%1").arg(i)));
        QCOMPARE(logged(str("Refused a link from")), Admission::LoggedPerWindow);
        // The rest of the minute is counted, then told in one line.
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

    void oneAcceptTurnIsBounded()
    {
        // Links waiting in the backlog are taken a bounded number a turn of the event loop.
        QTcpServer listener;
        listener.setListenBacklogSize(256);
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        Acceptor acceptor(&listener);
        std::vector<std::unique_ptr<QTcpSocket>> waiting;
        std::vector<std::unique_ptr<QTcpSocket>> accepted;
        QObject::connect(&acceptor, &Acceptor::accepted, &acceptor,
                         [&accepted](QTcpSocket *socket) { accepted.emplace_back(socket); });
        for (int i = 0; i < 2 * Acceptor::PerTurn; ++i) {
            waiting.push_back(std::make_unique<QTcpSocket>());
            waiting.back()->connectToHost(QHostAddress::LocalHost, acceptor.port());
            QVERIFY(waiting.back()->waitForConnected(5000));
        }
        QCoreApplication::processEvents();
        QVERIFY(!accepted.empty());
        QVERIFY(accepted.size() <= std::size_t(Acceptor::PerTurn));
        QTRY_COMPARE(accepted.size(), std::size_t(2 * Acceptor::PerTurn));
    }

    void repeatsAreLoggedSparingly_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("dialOnly");
        QTest::newRow("second identity") << str("ID:other") << false;
        QTest::newRow("unknown message") << str("NOISE") << false;
        QTest::newRow("consent outside a vote") << QString(Protocol::CmdOk) << false;
        QTest::newRow("unknown entry") << str("CMD_CONNECT:Nowhere") << false;
        QTest::newRow("refused right") << str("CMD_MSG:alpha#hi") << true;
        QTest::newRow("throttled password") << str("CMD_CONNECT:BranchPWD:guess") << false;
    }
    void repeatsAreLoggedSparingly()
    {
        QFETCH(QString, request);
        QFETCH(bool, dialOnly);
        ServerConfig config = fastConfig();
        config.wrongPasswordDelayMs = 60000;
        if (dialOnly)
            config.rights = {{*AddressRange::parse(str("127.0.0.1")), {true, true, true, false}}};
        QVERIFY(f.start({str("alpha")}, config));
        m_log.clear();
        for (int i = 0; i < 8; ++i)
            QVERIFY(c(0).request(request));
        // Five a minute, the last of them saying so; a wrong password's own line comes first.
        QVERIFY2(m_log.size() <= 6, qPrintable(m_log.join(QString())));
        QCOMPARE(logged(str("more from it within a minute are not logged")), 1);
    }
};

QTEST_GUILESS_MAIN(TestServerFairness)
#include "tst_serverfairness.moc"
