#include "Protocol.h"
#include "RawClient.h"
#include "ServerTestSupport.h"

#include <QSignalSpy>
#include <QTest>

using Mode = RawClient::Mode;

// The discipline of one link and its defence: acknowledgements, one message in flight, reads
// that hold more than one message, and clients that misbehave.
class TestServerLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setUpAsksForIdentityThenTellsTheLine()
    {
        auto server = startServer();
        RawClient client(server->port(), QStringLiteral("alpha"));
        QVERIFY(client.link());
        QCOMPARE(client.reads().first(), QString(Protocol::CmdSendId));
        // The identity answer was acknowledged before the status line left.
        const qsizetype ack = client.reads().indexOf(Protocol::MsgAck);
        const qsizetype status = client.reads().indexOf(Protocol::StatusDisconnected);
        QVERIFY(ack > 0);
        QVERIFY(status > ack);
        RawClient other(server->port(), QStringLiteral("beta"));
        QVERIFY(other.link());
        QVERIFY(other.request(Protocol::CmdUsers));
        QCOMPARE(other.next(), QString(Protocol::UsersPrefix + QStringLiteral("alpha\x1c")));
    }

    void everyRequestIsAcknowledgedBeforeItsAnswer()
    {
        auto server = startServer();
        RawClient client(server->port(), QStringLiteral("alpha"));
        QVERIFY(client.link());
        client.skipAll();
        client.send(Protocol::CmdConnections);
        QVERIFY(client.expect(Protocol::MsgAck));
        QVERIFY(client.next().startsWith(Protocol::PhonebookPrefix));
        QCOMPARE(client.mergedReads(), 0);
    }

    void oneMessageInFlightUntilAcknowledged()
    {
        auto server = startServer();
        RawClient client(server->port(), QString(), Mode::Silent);
        QVERIFY(client.expect(Protocol::CmdSendId));
        // The status line is due, but the server holds it while "CMD_SEND_ID" is unanswered.
        QTest::qWait(300);
        QCOMPARE(client.reads(), QStringList{Protocol::CmdSendId});
        client.send(Protocol::MsgAck);
        QCOMPARE(client.next(), QString(Protocol::StatusDisconnected));
    }

    void sendsOnAfterTheAckTimeout()
    {
        ServerConfig config = fastConfig();
        config.ackTimeoutMs = 300;
        auto server = startServer(config);
        RawClient client(server->port(), QString(), Mode::Silent);
        QVERIFY(client.expect(Protocol::CmdSendId));
        QCOMPARE(client.next(), QString(Protocol::StatusDisconnected));
        QCOMPARE(client.reads().size(), 2);
        QVERIFY2(client.readTimes()[1] - client.readTimes()[0] >= 250,
                 qPrintable(QString::number(client.readTimes()[1] - client.readTimes()[0])));
    }

    void acknowledgementMergedWithTheReply()
    {
        auto server = startServer();
        RawClient client(server->port(), QString(), Mode::Silent);
        QVERIFY(client.expect(Protocol::CmdSendId));
        client.sendRaw("MSG_ACKID:merged-host");
        QCOMPARE(client.next(), QString(Protocol::StatusDisconnected));
        QVERIFY(client.reads().contains(Protocol::MsgAck));
        client.send(Protocol::MsgAck);
        RawClient other(server->port(), QStringLiteral("other"));
        QVERIFY(other.link());
        QVERIFY(other.request(Protocol::CmdUsers));
        QCOMPARE(other.next(), QString(Protocol::UsersPrefix + QStringLiteral("merged-host\x1c")));
    }

    void acknowledgementAndNextMessageArriveApart()
    {
        auto server = startServer();
        RawClient client(server->port(), QStringLiteral("alpha"));
        QVERIFY(client.link());
        for (int i = 0; i < 5; ++i) {
            QVERIFY(client.request(Protocol::CmdConfigureConnections));
            QVERIFY(client.next().startsWith(Protocol::ConnectionsPrefix));
        }
        QVERIFY(client.request(Protocol::connectRequest(QStringLiteral("Office"))));
        QVERIFY(client.expect(Protocol::StatusConnectedTo + QStringLiteral("Office")));
        QCOMPARE(client.mergedReads(), 0);
    }

    void garbageCostsOnlyAnAcknowledgement_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTest::newRow("unknown keyword") << QByteArray("CMD_REBOOT");
        QTest::newRow("lower case") << QByteArray("cmd_users");
        QTest::newRow("binary") << QByteArray("\x00\xff\x1c\r\n#", 6);
        QTest::newRow("line end") << QByteArray("CMD_USERS\r\n");
        QTest::newRow("answer without a request") << QByteArray("CMD_CANCEL");
    }
    void garbageCostsOnlyAnAcknowledgement()
    {
        QFETCH(QByteArray, garbage);
        auto server = startServer();
        RawClient client(server->port(), QStringLiteral("alpha"));
        QVERIFY(client.link());
        client.skipAll();
        client.sendRaw(garbage);
        QVERIFY(client.expect(Protocol::MsgAck));
        QVERIFY(client.request(Protocol::CmdConnections));
        QVERIFY(client.next().startsWith(Protocol::PhonebookPrefix));
        QVERIFY(client.pending().isEmpty());
    }

    void oversizedMessageDropsOnlyThatLink()
    {
        auto server = startServer();
        RawClient bystander(server->port(), QStringLiteral("bystander"));
        QVERIFY(bystander.link());
        RawClient client(server->port(), QStringLiteral("big"));
        QVERIFY(client.link());
        client.sendRaw(QByteArray(300 * 1024, 'x'));
        QVERIFY(client.waitClosed());
        QTRY_COMPARE(server->linkCount(), 1);
        QVERIFY(bystander.request(Protocol::CmdConnections));
        QVERIFY(bystander.next().startsWith(Protocol::PhonebookPrefix));
    }

    void floodDropsOnlyThatLink_data()
    {
        QTest::addColumn<int>("perSecond");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<int>("pauseMs");
        // Requests read one by one, faster than the limit allows.
        QTest::newRow("too many a second") << 20 << 15 << 0;
        // Requests sent without waiting for their acknowledgements, which pile up.
        QTest::newRow("acknowledgements owed") << 100000 << 2000 << 5;
    }
    void floodDropsOnlyThatLink()
    {
        QFETCH(int, perSecond);
        QFETCH(int, gapMs);
        QFETCH(int, pauseMs);
        ServerConfig config = fastConfig();
        config.maxMessagesPerSecond = perSecond;
        config.sendGapMs = gapMs;
        auto server = startServer(config);
        RawClient bystander(server->port(), QStringLiteral("bystander"));
        RawClient client(server->port(), QString(), Mode::Silent);
        QTRY_COMPARE(server->linkCount(), 2);
        QElapsedTimer sending;
        sending.start();
        while (!client.isClosed() && sending.elapsed() < 3000) {
            client.send(Protocol::CmdUsers);
            if (pauseMs > 0)
                QTest::qWait(pauseMs);
            else
                QCoreApplication::processEvents();
        }
        QVERIFY(client.waitClosed());
        QTRY_COMPARE(server->linkCount(), 1);
        QVERIFY(!bystander.isClosed());
    }

    void endClosesTheLinkAfterItsAcknowledgement()
    {
        auto server = startServer();
        RawClient client(server->port(), QStringLiteral("alpha"));
        QVERIFY(client.link());
        client.skipAll();
        client.send(Protocol::CmdEnd);
        QVERIFY(client.waitClosed());
        QCOMPARE(client.pending(), QStringList());
        QVERIFY(client.reads().endsWith(Protocol::MsgAck));
        QTRY_COMPARE(server->linkCount(), 0);
    }

    void shutdownTellsEveryClientAndWaitsForThem()
    {
        auto server = startServer();
        RawClient polite(server->port(), QStringLiteral("polite"));
        QVERIFY(polite.link());
        RawClient deaf(server->port(), QStringLiteral("deaf"));
        QVERIFY(deaf.link());
        deaf.setMode(Mode::Silent);
        QSignalSpy stopped(server.get(), &VelmoraServer::stopped);
        server->shutDown();
        QVERIFY(polite.expect(Protocol::MsgShutdown));
        QVERIFY(deaf.expect(Protocol::MsgShutdown));
        polite.send(Protocol::CmdEnd);
        QVERIFY(polite.waitClosed());
        // The deaf client never ends: the server stops after its wait all the same.
        QVERIFY(stopped.wait(3000));
        QCOMPARE(stopped.size(), 1);
    }

    void shutdownWithoutClientsStopsAtOnce()
    {
        auto server = startServer();
        QSignalSpy stopped(server.get(), &VelmoraServer::stopped);
        server->shutDown();
        QVERIFY(stopped.wait(1000));
    }
};

QTEST_GUILESS_MAIN(TestServerLink)
#include "tst_serverlink.moc"
