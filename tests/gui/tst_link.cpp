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
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

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
    // An empty "shown" is a port setting that is no number: reported as an error of the tick.
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
        row("port not a number", "", "127.0.0.1", "");
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
        TestHome home;
        FakeServer server(FakeServer::Port::Any, overIPv6
                                                     ? QHostAddress(QHostAddress::LocalHostIPv6)
                                                     : QHostAddress(QHostAddress::LocalHost));
        QString port = QString::number(server.port());
        if (!listening)
            server.stopListening();
        if (shown.isEmpty())
            port = QStringLiteral("port");
        TestHome::seed(QStringLiteral("ServerName"), name);
        TestHome::seed(QStringLiteral("ServerIPAddress"), address);
        TestHome::seed(QStringLiteral("ServerPort"), port);
        frmMain w;
        QVERIFY(w.Form_Load());
        if (shown.isEmpty()) {
            QVERIFY(TestHome::readFile(MainModule::errorLogPath())
                        .contains(QLatin1String("\tfrmMain.timConnect_Timer\t")));
            QVERIFY(frmMsg::loaded() && frmMsg::loaded()->caption().startsWith(QLatin1String(
                                            "frmMain.timConnect_Timer error 40020 : ")));
            QCOMPARE(home.beeps(), 1);
            frmMsg::unload();
            return;
        }
        QTRY_COMPARE(w.lblLink->text(), shown + port);
        QCOMPARE(w.iState, qint16(listening ? 1 : 0));
        QVERIFY(linkCommandsAre(w, listening));
        QVERIFY(w.timConnect->isActive());
        if (listening) {
            // A tick while linked changes nothing; the server opens the conversation.
            w.lblLink->setText(QStringLiteral("marker"));
            w.timConnect_Timer();
            QCOMPARE(w.lblLink->text(), QLatin1String("marker"));
            QVERIFY(server.roundTrip());
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
    void addressesOfANameInLinkOrder()
    {
        const auto order = [](const char *resolved) {
            QList<QHostAddress> addresses;
            for (const QString &text : QString::fromLatin1(resolved).split(QLatin1Char(' ')))
                addresses.append(QHostAddress(text));
            QStringList tried;
            for (const QHostAddress &address : TcpClientSocket::linkOrder(addresses))
                tried.append(address.toString());
            return tried.join(QLatin1Char(' '));
        };
        QCOMPARE(order("::1 127.0.0.1 2001:db8::1 192.0.2.1"),
                 QLatin1String("127.0.0.1 192.0.2.1 ::1 2001:db8::1"));
        QCOMPARE(order("2001:db8::2 ::1"), QLatin1String("2001:db8::2 ::1"));
    }

    void lostLinkIsRetriedAndShowsUnknown()
    {
        LinkedClient c;
        QVERIFY(c.start());
        frmMain &w = *c.window;
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        // Closed by the server: linked again at once, not at a tick of the stopped timer.
        w.timConnect->stop();
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
        QCOMPARE(gNotifyIconData.szTip, QLatin1String("Unknown"));
        QVERIFY(linkCommandsAre(w, false));
        // The duration display leaves "Unknown" alone while the link is down.
        w.timOnline_Timer();
        QCOMPARE(w.lblConnection->text(), QLatin1String("Unknown"));
    }

    // With the clock stopped, only an acknowledgement ends a wait, or the test moving the clock.
    void acknowledgementWaits()
    {
        LinkedClient c;
        QVERIFY(c.start());
        Clock::freeze();
        c.window->fSendMessage(QStringLiteral("CMD_USERS"));
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_USERS")});

        // While the client waits for the acknowledgement of its request, the server asks for
        // its identity; the answer is acknowledged, and that acknowledgement ends both waits.
        c.server.clearReceived();
        c.server.setAutoAck(false);
        c.server.setResponder([&](const QString &message) {
            c.server.send(message.startsWith(QLatin1String("ID:")) ? QStringLiteral("MSG_ACK")
                                                                   : QStringLiteral("CMD_SEND_ID"));
        });
        c.window->fSendMessage(QStringLiteral("CMD_CONNECTIONS"));
        const QStringList got = c.server.received();
        QCOMPARE(got.size(), 3);
        QCOMPARE(got[0], QLatin1String("CMD_CONNECTIONS"));
        QCOMPARE(got[1], QLatin1String("MSG_ACK"));
        QVERIFY(got[2].startsWith(QLatin1String("ID:")));

        // A silent server: the wait lasts ten seconds of the clock.
        const QObject scope;
        bool returned = false;
        bool waitingAfterNine = false;
        c.server.setResponder([&](const QString &) {
            Clock::advance(9'000);
            QTimer::singleShot(0, &scope, [&] {
                waitingAfterNine = !returned;
                Clock::advance(1'000);
            });
        });
        c.window->fSendMessage(QStringLiteral("CMD_USERS"));
        returned = true;
        QVERIFY(waitingAfterNine);
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
