#include "Artwork.h"
#include "Clock.h"
#include "FakeServer.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "LinkedClient.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "TcpClientSocket.h"
#include "TestHome.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// A port on 127.0.0.1 where nothing listens.
quint16 deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool linkCommandsEnabled(const frmMain &w)
{
    return w.cmdAction[0]->isEnabled() && w.cmdAction[3]->isEnabled() &&
           w.mnuSysTray[6]->isEnabled() && w.mnuSysTray[7]->isEnabled();
}

bool linkCommandsDisabled(const frmMain &w)
{
    return !w.cmdAction[0]->isEnabled() && !w.cmdAction[3]->isEnabled() &&
           !w.mnuSysTray[6]->isEnabled() && !w.mnuSysTray[7]->isEnabled();
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linksByAddressAndOpensNothing()
    {
        LinkedClient c;
        QVERIFY(c.start());
        const QString port = QString::number(c.server.port());
        QCOMPARE(c.window->lblLink->text(),
                 QStringLiteral("Linked to server on 127.0.0.1 port ") + port);
        QVERIFY(linkCommandsEnabled(*c.window));
        QCOMPARE(c.window->lblConnection->text(), QStringLiteral("Unknown"));
        QTest::qWait(100);
        QVERIFY(c.server.received().isEmpty()); // the server opens the conversation
    }

    void linksByNameShowingThePeerAddress()
    {
        TestHome home;
        FakeServer server;
        TestHome::seed(QStringLiteral("ServerName"), QStringLiteral("localhost"));
        TestHome::seed(QStringLiteral("ServerIPAddress"), QStringLiteral("192.0.2.1"));
        TestHome::seed(QStringLiteral("ServerPort"), QString::number(server.port()));
        frmMain w;
        QVERIFY(w.Form_Load());
        QTRY_COMPARE(w.lblLink->text(), QStringLiteral("Linked to server on 127.0.0.1 port ") +
                                            QString::number(server.port()));
        QCOMPARE(w.iState, qint16(1));
    }

    void failureTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expectedPrefix");
        QTest::newRow("by address")
            << QString() << QStringLiteral("Cannot link to server on 127.0.0.1 port ");
        QTest::newRow("by name") << QStringLiteral("localhost")
                                 << QStringLiteral("Cannot link to server localhost port ");
    }
    void failureTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, expectedPrefix);
        TestHome home;
        const QString port = QString::number(deadPort());
        TestHome::seed(QStringLiteral("ServerName"), name);
        TestHome::seed(QStringLiteral("ServerIPAddress"), QStringLiteral("127.0.0.1"));
        TestHome::seed(QStringLiteral("ServerPort"), port);
        frmMain w;
        QVERIFY(w.Form_Load());
        QCOMPARE(w.lblLink->text(), expectedPrefix + port);
        QVERIFY(linkCommandsDisabled(w));
        QCOMPARE(w.iState, qint16(0));
        QVERIFY(w.timConnect->isActive());
        QCOMPARE(w.timConnect->interval(), 10000);
    }

    void relinksAtOnceWhenTheServerCloses()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QCOMPARE(c.window->iState, qint16(3));
        c.server.closeClient();
        QVERIFY(c.server.waitForConnections(2));
        QTRY_COMPARE(c.window->iState, qint16(1));
        QCOMPARE(c.window->lblConnection->text(), QStringLiteral("Unknown"));
        QVERIFY(linkCommandsEnabled(*c.window));
    }

    void lostLinkShowsUnknownEverywhere()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        c.server.stopListening();
        c.server.closeClient();
        QTRY_VERIFY(c.window->lblLink->text().startsWith(QLatin1String("Cannot link")));
        QCOMPARE(c.window->lblConnection->text(), QStringLiteral("Unknown"));
        QCOMPARE(gNotifyIconData.szTip, QStringLiteral("Unknown"));
        QCOMPARE(gNotifyIconData.hIcon, Artwork::stateIcon(0).toImage());
        QVERIFY(linkCommandsDisabled(*c.window));
        // The duration display leaves "Unknown" alone while the link is down.
        c.window->timOnline_Timer();
        QCOMPARE(c.window->lblConnection->text(), QStringLiteral("Unknown"));
    }

    void tickWhileLinkedChangesNothing()
    {
        LinkedClient c;
        QVERIFY(c.start());
        c.window->lblLink->setText(QStringLiteral("marker"));
        c.window->timConnect_Timer();
        QCOMPARE(c.window->lblLink->text(), QStringLiteral("marker"));
        QTest::qWait(50);
        QCOMPARE(c.server.connectionsAccepted(), 1);
    }

    void acknowledgementEndsTheWait()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QElapsedTimer t;
        t.start();
        c.window->fSendMessage(QStringLiteral("CMD_USERS"));
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_USERS")});
        const QString log = TestHome::readFile(MainModule::activityLogPath());
        QVERIFY(log.contains(QLatin1String("\tSendData\tCMD_USERS\r\n")));
        QVERIFY(log.contains(QLatin1String("\tDataArrival\tMSG_ACK\r\n")));
    }

    void nestedSendInsideAWait()
    {
        LinkedClient c;
        QVERIFY(c.start());
        c.server.setAutoAck(false);
        // While the client waits for the acknowledgement of its request, the server asks for
        // its identity; the answer is acknowledged, and that acknowledgement ends both waits.
        c.server.setResponder([&](const QString &message) {
            if (message.startsWith(QLatin1String("ID:")))
                c.server.send(QStringLiteral("MSG_ACK"));
        });
        QTimer::singleShot(50, [&] { c.server.send(QStringLiteral("CMD_SEND_ID")); });
        QElapsedTimer t;
        t.start();
        c.window->fSendMessage(QStringLiteral("CMD_CONNECTIONS"));
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        const QStringList got = c.server.received();
        QCOMPARE(got.size(), 3);
        QCOMPARE(got[0], QStringLiteral("CMD_CONNECTIONS"));
        QCOMPARE(got[1], QStringLiteral("MSG_ACK"));
        QVERIFY(got[2].startsWith(QLatin1String("ID:")));
    }

    void silentServerEndsTheWaitAfterTenSeconds()
    {
        LinkedClient c;
        QVERIFY(c.start());
        c.server.setAutoAck(false);
        QElapsedTimer t;
        t.start();
        c.window->fSendMessage(QStringLiteral("CMD_USERS"));
        // Ten seconds on a clock of one-second resolution: more than nine, at most ten.
        QVERIFY2(t.elapsed() > 8900 && t.elapsed() < 10500,
                 qPrintable(QString::number(t.elapsed())));
    }

    void shutDownSendsEndOnlyWhileLinked()
    {
        {
            LinkedClient c;
            QVERIFY(c.start());
            c.window->closeFromCode();
            QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_END")});
            QCOMPARE(c.window->wskClient->State(), int(TcpClientSocket::StateClosed));
        }
        {
            TestHome home;
            TestHome::seedServer(deadPort());
            frmMain w;
            QVERIFY(w.Form_Load());
            w.closeFromCode();
            QVERIFY(!TestHome::readFile(MainModule::activityLogPath())
                         .contains(QLatin1String("CMD_END")));
        }
    }

    void tickErrorIsLoggedAndNoticed()
    {
        TestHome home;
        TestHome::seed(QStringLiteral("ServerIPAddress"), QStringLiteral("127.0.0.1"));
        TestHome::seed(QStringLiteral("ServerPort"), QStringLiteral("port"));
        frmMain w;
        QVERIFY(w.Form_Load());
        const QString errors = TestHome::readFile(MainModule::errorLogPath());
        QVERIFY2(errors.contains(QLatin1String("\tfrmMain.timConnect_Timer\t")),
                 qPrintable(errors));
        QVERIFY(frmMsg::loaded());
        QVERIFY2(frmMsg::loaded()->caption().startsWith(
                     QLatin1String("frmMain.timConnect_Timer error 40020 : ")),
                 qPrintable(frmMsg::loaded()->caption()));
        QCOMPARE(home.beeps(), 1);
        frmMsg::unload();
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
