#include "Protocol.h"
#include "RawClient.h"
#include "ServerTestSupport.h"

#include <memory>
#include <QTest>

namespace {

QString str(const char *text)
{
    return QString::fromUtf8(text);
}

const QString kQuestion = Protocol::MsgDisconnectPrefix + QStringLiteral("1");

} // namespace

// A request to hang up, with the other clients agreeing, refusing, keeping silent or leaving.
class TestServerExchange : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<VelmoraServer> m_server;
    std::vector<std::unique_ptr<RawClient>> m_clients;

    // Links the requester and `others` more clients and brings the line up.
    RawClient &setUp(int others)
    {
        m_server = startServer();
        m_clients.clear();
        for (int i = 0; i <= others; ++i) {
            m_clients.push_back(
                std::make_unique<RawClient>(m_server->port(), QStringLiteral("c%1").arg(i)));
            if (!m_clients.back()->link())
                qFatal("client %d did not link", i);
        }
        RawClient &requester = *m_clients.front();
        requester.request(str("CMD_CONNECT:Office"));
        for (const auto &client : m_clients) {
            if (!client->expect(str("Connected to Office")))
                qFatal("the line did not come up");
            client->skipAll();
        }
        return requester;
    }
    // The same, then the requester asks to hang up.
    RawClient &ask(int others)
    {
        RawClient &requester = setUp(others);
        requester.request(Protocol::CmdDisconnect);
        return requester;
    }
    RawClient &client(int i) { return *m_clients[std::size_t(i)]; }

    // Every client but the requester hears the line go down.
    bool allHearHangUp()
    {
        for (const auto &c : m_clients) {
            if (!c->expect(Protocol::StatusDisconnecting) ||
                !c->expect(Protocol::StatusDisconnected))
                return false;
        }
        return true;
    }

private Q_SLOTS:
    void cleanup()
    {
        m_clients.clear();
        m_server.reset();
    }

    void everyoneAgrees()
    {
        RawClient &requester = ask(2);
        QCOMPARE(client(1).next(), kQuestion);
        QCOMPARE(client(2).next(), kQuestion);
        QVERIFY(client(1).request(Protocol::CmdOk));
        QCOMPARE(m_server->lineState(), Line::State::Up);
        QVERIFY(client(2).request(Protocol::CmdOk));
        QVERIFY(allHearHangUp());
        QVERIFY(!requester.reads().contains(kQuestion));
    }

    void oneCancels()
    {
        RawClient &requester = ask(3);
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(client(i).next(), kQuestion);
        QVERIFY(client(1).request(Protocol::CmdOk));
        QVERIFY(client(2).request(Protocol::CmdCancel));
        QCOMPARE(requester.next(), QString(Protocol::MsgCancelled));
        // Only the client still counting is told, so that its countdown closes.
        QCOMPARE(client(3).next(), QString(Protocol::MsgCancelled));
        for (int i = 1; i <= 2; ++i) {
            QVERIFY(client(i).request(Protocol::CmdUsers));
            QVERIFY(client(i).next().startsWith(Protocol::UsersPrefix));
        }
        QCOMPARE(m_server->lineState(), Line::State::Up);
    }

    void oneHasTheLineLocked()
    {
        RawClient &requester = ask(2);
        QCOMPARE(client(1).next(), kQuestion);
        QCOMPARE(client(2).next(), kQuestion);
        QVERIFY(client(1).request(Protocol::CmdLocked));
        QCOMPARE(requester.next(), QString(Protocol::MsgLocked));
        QCOMPARE(client(2).next(), QString(Protocol::MsgCancelled));
        QVERIFY(client(1).request(Protocol::CmdUsers));
        QVERIFY(client(1).next().startsWith(Protocol::UsersPrefix));
        // A late answer to the dropped request changes nothing.
        QVERIFY(client(2).request(Protocol::CmdOk));
        QVERIFY(requester.request(Protocol::CmdUsers));
        QVERIFY(requester.next().startsWith(Protocol::UsersPrefix));
        QCOMPARE(m_server->lineState(), Line::State::Up);
    }

    void silenceMeansHangUpAfterTheCountdown()
    {
        ask(2);
        QCOMPARE(client(1).next(), kQuestion);
        QCOMPARE(client(2).next(), kQuestion);
        QVERIFY(client(1).request(Protocol::CmdOk));
        QCOMPARE(m_server->lineState(), Line::State::Up);
        QVERIFY(allHearHangUp());
    }

    void aRequesterAloneHangsUpAtOnce()
    {
        RawClient &requester = ask(0);
        QCOMPARE(requester.next(), QString(Protocol::StatusDisconnecting));
        QCOMPARE(requester.next(), QString(Protocol::StatusDisconnected));
    }

    void aClientThatLeavesDoesNotObject()
    {
        RawClient &requester = ask(2);
        QCOMPARE(client(1).next(), kQuestion);
        QCOMPARE(client(2).next(), kQuestion);
        QVERIFY(client(1).request(Protocol::CmdOk));
        client(2).close();
        QCOMPARE(requester.next(), QString(Protocol::StatusDisconnecting));
        QCOMPARE(requester.next(), QString(Protocol::StatusDisconnected));
    }

    void aSecondRequestJoinsTheFirst()
    {
        RawClient &requester = ask(2);
        QCOMPARE(client(1).next(), kQuestion);
        QVERIFY(client(1).request(Protocol::CmdDisconnect));
        QCOMPARE(client(2).next(), kQuestion);
        QVERIFY(client(2).request(Protocol::CmdCancel));
        QCOMPARE(requester.next(), QString(Protocol::MsgCancelled));
        QCOMPARE(client(1).next(), QString(Protocol::MsgCancelled));
    }

    void aQueuedQuestionIsWithdrawn()
    {
        RawClient &requester = setUp(2);
        // Client 2 leaves a message unacknowledged, which keeps anything after it queued.
        client(2).setMode(RawClient::Mode::Silent);
        QVERIFY(requester.request(str("CMD_MSG:c2#first")));
        QCOMPARE(client(2).next(), str("CMD_MSG:c0#first"));
        QVERIFY(requester.request(Protocol::CmdDisconnect));
        QCOMPARE(client(1).next(), kQuestion);
        QVERIFY(client(1).request(Protocol::CmdCancel));
        QCOMPARE(requester.next(), QString(Protocol::MsgCancelled));
        // Client 2 never heard the question, so it hears neither it nor its cancellation.
        client(2).setMode(RawClient::Mode::Disciplined);
        client(2).send(Protocol::MsgAck);
        QVERIFY(client(2).request(Protocol::CmdUsers));
        QVERIFY(client(2).next().startsWith(Protocol::UsersPrefix));
    }

    void hangUpWhileTheLineIsDownResendsTheState()
    {
        m_server = startServer();
        RawClient alpha(m_server->port(), str("alpha"));
        QVERIFY(alpha.link());
        QVERIFY(alpha.request(Protocol::CmdDisconnect));
        QCOMPARE(alpha.next(), QString(Protocol::StatusDisconnected));
    }

    void hangUpWhileDialling()
    {
        ServerConfig config = fastConfig();
        config.simulated.dialMs = 5000;
        m_server = startServer(config);
        RawClient alpha(m_server->port(), str("alpha"));
        QVERIFY(alpha.link());
        QVERIFY(alpha.request(str("CMD_CONNECT:Office")));
        QCOMPARE(alpha.next(), QString(Protocol::StatusConnectDevice));
        QVERIFY(alpha.request(Protocol::CmdDisconnect));
        QCOMPARE(alpha.next(), QString(Protocol::StatusDisconnecting));
        QCOMPARE(alpha.next(), QString(Protocol::StatusDisconnected));
    }
};

QTEST_GUILESS_MAIN(TestServerExchange)
#include "tst_serverexchange.moc"
