// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"
#include "FakeServer.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "LinkedClient.h"
#include "MainModule.h"
#include "TcpClientSocket.h"
#include "TestHome.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// A port on the loopback address where nothing listens.
quint16 deadPort(const QHostAddress &loopback)
{
    QTcpServer probe;
    probe.listen(loopback, 0);
    return probe.serverPort();
}

// Whether the commands that need the link (Connect, Message and their menu items) are all on,
// or all off.
bool linkCommandsAre(const frmMain &w, bool enabled)
{
    return w.cmdAction[0]->isEnabled() == enabled && w.cmdAction[3]->isEnabled() == enabled &&
           w.mnuSysTray[6]->isEnabled() == enabled && w.mnuSysTray[7]->isEnabled() == enabled;
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linkAttempts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *tag, const char *name, const char *address,
                            const char *shown) {
            QTest::newRow(tag) << QString::fromLatin1(name) << QString::fromLatin1(address)
                               << QString::fromLatin1(shown);
        };
        const char *linked = "Linked to server on 127.0.0.1 port ";
        row("by address", "", "127.0.0.1", linked);
        // By name, the address shown is the peer's, not the stored one.
        row("by name", "localhost", "192.0.2.1", linked);
        row("by address, refused", "", "127.0.0.1", "Cannot link to server on 127.0.0.1 port ");
        row("by name, refused", "localhost", "127.0.0.1", "Cannot link to server localhost port ");
        // A server given by its IPv6 address shows that address as it is usually written.
        row("by IPv6 address", "", "::1", "Linked to server on ::1 port ");
        row("by IPv6 address as name", "::1", "127.0.0.1", "Linked to server on ::1 port ");
        row("by IPv6 address, refused", "", "::1", "Cannot link to server on ::1 port ");
    }
    void linkAttempts()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(QString, shown);
        const bool overIPv6 = shown.contains(QLatin1String("::1"));
        if (overIPv6 && !FakeServer::hasIPv6Loopback())
            QSKIP("This machine has no IPv6 loopback");
        const bool listening = shown.startsWith(QLatin1String("Linked"));
        const QHostAddress loopback(overIPv6 ? QHostAddress::LocalHostIPv6
                                             : QHostAddress::LocalHost);
        TestHome home;
        FakeServer server(FakeServer::Port::Any, loopback);
        const QString port = QString::number(listening ? server.port() : deadPort(loopback));
        TestHome::seed(QStringLiteral("ServerName"), name);
        TestHome::seed(QStringLiteral("ServerIPAddress"), address);
        TestHome::seed(QStringLiteral("ServerPort"), port);
        frmMain w;
        QVERIFY(w.Form_Load());
        QTRY_COMPARE(w.lblLink->text(), shown + port);
        QCOMPARE(w.iState, qint16(listening ? 1 : 0));
        QVERIFY(linkCommandsAre(w, listening));
        QVERIFY(w.timConnect->isActive());
        if (listening) {
            // A tick while linked changes nothing; the server opens the conversation.
            w.lblLink->setText(QStringLiteral("marker"));
            w.timConnect_Timer();
            QCOMPARE(w.lblLink->text(), QLatin1String("marker"));
            QTest::qWait(100);
            QCOMPARE(server.connectionsAccepted(), 1);
            QVERIFY(server.received().isEmpty());
        }
        // Shutting down says goodbye only over a link.
        w.closeFromCode();
        QCOMPARE(TestHome::readFile(MainModule::activityLogPath())
                     .contains(QLatin1String("\tSendData\tCMD_END")),
                 listening);
        QCOMPARE(w.wskClient->State(), int(TcpClientSocket::StateClosed));
    }

    // A name with addresses of both kinds links over IPv4, whose dotted address the window
    // shows; IPv6 addresses remain for a name without IPv4 or a server not listening on it.
    void addressesOfANameInLinkOrder_data()
    {
        QTest::addColumn<QStringList>("resolved");
        QTest::addColumn<QStringList>("tried");
        const auto row = [](const char *tag, const char *resolved, const char *tried) {
            QTest::newRow(tag) << QString::fromLatin1(resolved).split(QLatin1Char(' '))
                               << QString::fromLatin1(tried).split(QLatin1Char(' '));
        };
        row("both kinds", "::1 127.0.0.1 2001:db8::1 192.0.2.1",
            "127.0.0.1 192.0.2.1 ::1 2001:db8::1");
        row("IPv6 only", "2001:db8::2 ::1", "2001:db8::2 ::1");
        row("IPv4 only", "192.0.2.9 127.0.0.1", "192.0.2.9 127.0.0.1");
    }
    void addressesOfANameInLinkOrder()
    {
        QFETCH(QStringList, resolved);
        QFETCH(QStringList, tried);
        QList<QHostAddress> addresses;
        for (const QString &text : resolved)
            addresses.append(QHostAddress(text));
        QStringList order;
        for (const QHostAddress &address : TcpClientSocket::linkOrder(addresses))
            order.append(address.toString());
        QCOMPARE(order, tried);
    }

    void lostLinkIsRetriedAndShowsUnknown()
    {
        LinkedClient c;
        QVERIFY(c.start());
        frmMain &w = *c.window;
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QCOMPARE(w.iState, qint16(3));
        // Closed by the server: linked again at once, not at the next tick.
        c.server.closeClient();
        QVERIFY(c.server.waitForConnections(2));
        QTRY_COMPARE(w.iState, qint16(1));
        QCOMPARE(w.lblConnection->text(), QLatin1String("Unknown"));
        QVERIFY(linkCommandsAre(w, true));

        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        c.server.stopListening();
        c.server.closeClient();
        QTRY_VERIFY(w.lblLink->text().startsWith(QLatin1String("Cannot link")));
        QCOMPARE(w.iState, qint16(0));
        QCOMPARE(w.lblConnection->text(), QLatin1String("Unknown"));
        QCOMPARE(gNotifyIconData.szTip, QLatin1String("Unknown"));
        QVERIFY(linkCommandsAre(w, false));
        // The duration display leaves "Unknown" alone while the link is down.
        w.timOnline_Timer();
        QCOMPARE(w.lblConnection->text(), QLatin1String("Unknown"));
    }

    void acknowledgementWaits()
    {
        LinkedClient c;
        QVERIFY(c.start());
        // Timers still pending when a check fails go with the test, not into the next one.
        const QObject scope;
        QElapsedTimer t;
        t.start();
        c.window->fSendMessage(QStringLiteral("CMD_USERS"));
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_USERS")});

        // While the client waits for the acknowledgement of its request, the server asks for
        // its identity; the answer is acknowledged, and that acknowledgement ends both waits.
        c.server.clearReceived();
        c.server.setAutoAck(false);
        c.server.setResponder([&](const QString &message) {
            if (message.startsWith(QLatin1String("ID:")))
                c.server.send(QStringLiteral("MSG_ACK"));
        });
        QTimer::singleShot(50, &scope, [&] { c.server.send(QStringLiteral("CMD_SEND_ID")); });
        t.restart();
        c.window->fSendMessage(QStringLiteral("CMD_CONNECTIONS"));
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        const QStringList got = c.server.received();
        QCOMPARE(got.size(), 3);
        QCOMPARE(got[0], QLatin1String("CMD_CONNECTIONS"));
        QCOMPARE(got[1], QLatin1String("MSG_ACK"));
        QVERIFY(got[2].startsWith(QLatin1String("ID:")));

        // A silent server: the wait lasts ten seconds of the clock, which the test moves on
        // rather than sleeping through them.
        c.server.setResponder(nullptr);
        bool returned = false;
        bool waitingAfterEight = false;
        QTimer::singleShot(20, &scope, [&] {
            Clock::advance(8'000);
            QTimer::singleShot(20, &scope, [&] {
                waitingAfterEight = !returned;
                Clock::advance(3'000);
            });
        });
        c.window->fSendMessage(QStringLiteral("CMD_USERS"));
        returned = true;
        QVERIFY(waitingAfterEight);
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
