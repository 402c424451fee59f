#include "Protocol.h"
#include "RawClient.h"
#include "ServerTestSupport.h"

#include <QTest>

namespace {

const QString kFs(Protocol::ListTerminator);

QString str(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

// Every request a client can make, with what it and the others hear.
class TestServerRequests : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entryLists()
    {
        auto server = startServer();
        RawClient client(server->port(), str("alpha"));
        QVERIFY(client.link());
        const QString entries = str("Office") + kFs + str("Branch") + kFs + str("Night") + kFs;
        QVERIFY(client.request(Protocol::CmdConnections));
        QCOMPARE(client.next(), Protocol::PhonebookPrefix + entries);
        QVERIFY(client.request(Protocol::CmdConfigureConnections));
        QCOMPARE(client.next(), Protocol::ConnectionsPrefix + entries);
    }

    void usersAreTheOtherIdentifiedClients()
    {
        auto server = startServer();
        RawClient alpha(server->port(), str("alpha"));
        QVERIFY(alpha.link());
        RawClient beta(server->port(), str("beta"));
        QVERIFY(beta.link());
        RawClient betaAgain(server->port(), str("beta"));
        QVERIFY(betaAgain.link());
        RawClient unnamed(server->port());
        QVERIFY(unnamed.link());
        QVERIFY(alpha.request(Protocol::CmdUsers));
        QCOMPARE(alpha.next(), Protocol::UsersPrefix + str("beta") + kFs);
        QVERIFY(unnamed.request(Protocol::CmdUsers));
        QCOMPARE(unnamed.next(), Protocol::UsersPrefix + str("alpha") + kFs + str("beta") + kFs);
        // A "#" or a list terminator in an identity would break the lists and the routing.
        RawClient odd(server->port(), str("od#d\x1c"));
        QVERIFY(odd.link());
        QVERIFY(alpha.request(Protocol::CmdUsers));
        QCOMPARE(alpha.next(), Protocol::UsersPrefix + str("beta") + kFs + str("odd") + kFs);
    }

    void dial_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QStringList>("requesterHears");
        QTest::addColumn<QStringList>("othersHear");
        const QStringList none;
        const QString connectDevice = Protocol::StatusConnectDevice;
        const QString disconnected = Protocol::StatusDisconnected;
        const QString password = Protocol::MsgPassword;
        QTest::newRow("no password needed")
            << str("CMD_CONNECT:Office") << QStringList{connectDevice, str("Connected to Office")}
            << QStringList{connectDevice, str("Connected to Office")};
        QTest::newRow("server password missing")
            << str("CMD_CONNECT:Branch") << QStringList{password} << none;
        QTest::newRow("server password wrong")
            << str("CMD_CONNECT:BranchPWD:guess") << QStringList{password} << none;
        QTest::newRow("server password empty")
            << str("CMD_CONNECT:BranchPWD:") << QStringList{password} << none;
        QTest::newRow("server password right")
            << str("CMD_CONNECT:BranchPWD:secret")
            << QStringList{connectDevice, str("Connected to Branch")}
            << QStringList{connectDevice, str("Connected to Branch")};
        QTest::newRow("line password missing")
            << str("CMD_CONNECT:Night") << QStringList{password} << none;
        const QStringList failed{connectDevice, str("Dialling Night failed: wrong password"),
                                 disconnected};
        QTest::newRow("line password wrong") << str("CMD_CONNECT:NightPWD:sun") << failed << failed;
        QTest::newRow("line password right")
            << str("CMD_CONNECT:NightPWD:moon")
            << QStringList{connectDevice, str("Connected to Night")}
            << QStringList{connectDevice, str("Connected to Night")};
        QTest::newRow("unknown entry")
            << str("CMD_CONNECT:Nowhere")
            << QStringList{str("Cannot dial Nowhere: no such phonebook entry")} << none;
    }
    void dial()
    {
        QFETCH(QString, request);
        QFETCH(QStringList, requesterHears);
        QFETCH(QStringList, othersHear);
        auto server = startServer();
        RawClient requester(server->port(), str("alpha"));
        QVERIFY(requester.link());
        RawClient other(server->port(), str("beta"));
        QVERIFY(other.link());
        other.skipAll();
        QVERIFY(requester.request(request));
        for (const QString &expected : requesterHears)
            QCOMPARE(requester.next(), expected);
        for (const QString &expected : othersHear)
            QCOMPARE(other.next(), expected);
        // A round trip on each link shows that nothing else was said in between.
        QVERIFY(requester.request(Protocol::CmdUsers));
        QVERIFY(requester.next().startsWith(Protocol::UsersPrefix));
        QVERIFY(other.request(Protocol::CmdUsers));
        QVERIFY(other.next().startsWith(Protocol::UsersPrefix));
    }

    void dialWhileTheLineIsBusyIsIgnored()
    {
        auto server = startServer();
        RawClient alpha(server->port(), str("alpha"));
        QVERIFY(alpha.link());
        QVERIFY(alpha.request(str("CMD_CONNECT:Office")));
        QVERIFY(alpha.expect(str("Connected to Office")));
        QVERIFY(alpha.request(str("CMD_CONNECT:Office")));
        QVERIFY(alpha.request(str("CMD_CONNECT:BranchPWD:secret")));
        QVERIFY(alpha.request(Protocol::CmdUsers));
        QCOMPARE(alpha.next(), QString(Protocol::UsersPrefix));
        QCOMPARE(server->lineState(), Line::State::Up);
    }

    void aNewClientHearsTheCurrentState()
    {
        auto server = startServer();
        RawClient alpha(server->port(), str("alpha"));
        QVERIFY(alpha.link());
        QVERIFY(alpha.request(str("CMD_CONNECT:Office")));
        QVERIFY(alpha.expect(str("Connected to Office")));
        RawClient late(server->port(), str("late"));
        QVERIFY(late.expect(Protocol::CmdSendId));
        QCOMPARE(late.next(), str("Connected to Office"));
    }

    void userMessagesReachTheirRecipients()
    {
        auto server = startServer();
        RawClient alpha(server->port(), str("alpha"));
        QVERIFY(alpha.link());
        RawClient beta(server->port(), str("beta"));
        QVERIFY(beta.link());
        RawClient gamma(server->port(), str("gamma"));
        QVERIFY(gamma.link());
        beta.skipAll();
        gamma.skipAll();
        QVERIFY(alpha.request(str("CMD_MSG:beta#gamma#gamma is #1")));
        QCOMPARE(beta.next(), str("CMD_MSG:alpha#gamma is #1"));
        QCOMPARE(gamma.next(), str("CMD_MSG:alpha#gamma is #1"));
        // A reply goes back the same way.
        QVERIFY(beta.request(str("CMD_MSG:alpha#got it")));
        QCOMPARE(alpha.next(), str("CMD_MSG:beta#got it"));
        // An unknown recipient is skipped; the known one still gets the message.
        QVERIFY(alpha.request(str("CMD_MSG:nobody#hello")));
        QVERIFY(alpha.request(str("CMD_MSG:beta#\u00e9t\u00e9 \u20ac")));
        QCOMPARE(beta.next(), str("CMD_MSG:alpha#\u00e9t\u00e9 \u20ac"));
        QVERIFY(alpha.pending().isEmpty());
        QVERIFY(gamma.pending().isEmpty());
    }

    void aRecipientWhoLeftIsStillARecipient()
    {
        auto server = startServer();
        RawClient alpha(server->port(), str("alpha"));
        QVERIFY(alpha.link());
        RawClient beta(server->port(), str("beta"));
        QVERIFY(beta.link());
        auto gamma = std::make_unique<RawClient>(server->port(), str("gamma"));
        QVERIFY(gamma->link());
        QVERIFY(alpha.request(Protocol::CmdUsers));
        QCOMPARE(alpha.next(), Protocol::UsersPrefix + str("beta") + kFs + str("gamma") + kFs);
        gamma.reset();
        QTRY_COMPARE(server->linkCount(), 2);
        beta.skipAll();
        QVERIFY(alpha.request(str("CMD_MSG:beta#gamma#see you")));
        QCOMPARE(beta.next(), str("CMD_MSG:alpha#see you"));
    }

    void aClientWithoutIdentitySendsUnderItsAddress()
    {
        auto server = startServer();
        RawClient anonymous(server->port());
        QVERIFY(anonymous.link());
        RawClient beta(server->port(), str("beta"));
        QVERIFY(beta.link());
        beta.skipAll();
        QVERIFY(anonymous.request(str("CMD_MSG:beta#hi")));
        QCOMPARE(beta.next(), str("CMD_MSG:127.0.0.1#hi"));
    }
};

QTEST_GUILESS_MAIN(TestServerRequests)
#include "tst_serverrequests.moc"
