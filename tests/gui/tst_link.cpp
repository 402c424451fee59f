// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "LinkedClient.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "TcpClientSocket.h"

#include <QAction>
#include <QCheckBox>
#include <QHostInfo>
#include <QLabel>
#include <QProperty>
#include <QPushButton>
#include <QSystemTrayIcon>
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

// The state as the window's button, its menu and the notification area's tip show it.
void checkState(const frmMain &w, int state, const QString &tip)
{
    QCOMPARE(w.iState, qint16(state));
    QCOMPARE(w.cmdAction[0]->text(), QLatin1String(state == 1 ? "&Connect" : "&Disconnect"));
    QCOMPARE(w.mnuSysTray[6]->text(), w.cmdAction[0]->text());
    const QSystemTrayIcon *tray = w.findChild<QSystemTrayIcon *>();
    QVERIFY(tray);
    QCOMPARE(tray->toolTip(), tip);
}

QString noticeCaption()
{
    return frmMsg::loaded() ? frmMsg::loaded()->caption() : QString();
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { SharedForms::unloadAll(); }

    // An empty "shown" is a port setting that is no number: reported as an error of the tick.
    void linkAttempts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *tag, const char *name, const char *address,
                            const char *shown) {
            QTest::newRow(tag) << str(name) << str(address) << str(shown);
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
        row("port not a number", "", "127.0.0.1", "");
    }
    void linkAttempts()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(QString, shown);
        const bool overIPv6 = shown.contains(QLatin1String("::1"));
        if (overIPv6 && !QTcpServer().listen(QHostAddress::LocalHostIPv6, 0))
            QSKIP("This machine has no IPv6 loopback");
        const bool listening = shown.startsWith(QLatin1String("Linked"));
        TestHome home;
        FakeServer server(overIPv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost);
        QString port = QString::number(server.port());
        if (!listening)
            server.stopListening();
        if (shown.isEmpty())
            port = QStringLiteral("port");
        TestHome::seed(qPrintable(QStringLiteral("ServerName=%1;ServerIPAddress=%2;ServerPort=%3")
                                      .arg(name, address, port)));
        frmMain w;
        QVERIFY(w.Form_Load());
        if (shown.isEmpty()) {
            QVERIFY(TestHome::readFile(MainModule::errorLogPath())
                        .contains(QLatin1String("\tfrmMain.timConnect_Timer\t")));
            QVERIFY(frmMsg::loaded() && frmMsg::loaded()->caption().startsWith(QLatin1String(
                                            "frmMain.timConnect_Timer error 40020 : ")));
            QCOMPARE(home.beeps(), 1);
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
        QCOMPARE(std::tuple(w.iState, gNotifyIconData.szTip, linkCommandsAre(w, false)),
                 std::tuple(qint16(0), QStringLiteral("Unknown"), true));
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
        // While the client waits for the acknowledgement of its request, the server asks for
        // its identity; the answer is acknowledged, and that acknowledgement ends both waits.
        c.server.setAutoAck(false);
        c.server.setResponder([&](const QString &message) {
            c.server.send(message.startsWith(QLatin1String("ID:")) ? QStringLiteral("MSG_ACK")
                                                                   : QStringLiteral("CMD_SEND_ID"));
        });
        c.window->fSendMessage(QStringLiteral("CMD_CONNECTIONS"));
        QCOMPARE(c.server.received().join(u' '),
                 QLatin1String("CMD_CONNECTIONS MSG_ACK ID:") + QHostInfo::localHostName());

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

    void everyMessageIsLoggedAndAcknowledgedFirst_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("received");
        const QString ack = QStringLiteral("MSG_ACK");
        const auto row = [&](const char *name, const char *message, const QStringList &replies) {
            QTest::newRow(name) << str(message) << QStringList{ack} + replies;
        };
        row("identity", "CMD_SEND_ID", {QStringLiteral("ID:") + QHostInfo::localHostName()});
        row("status", "Disconnected", {});
        row("locked notice", "MSG_LOCKED", {});
        row("cancellation", "MSG_CANCELLED", {});
        row("connections", "CONNECTIONS:a|", {});
        row("lock answer", "MSG_DISCONNECT+30", {QStringLiteral("CMD_LOCKED")});
        QTest::newRow("stray acknowledgement") << ack << QStringList();
    }
    void everyMessageIsLoggedAndAcknowledgedFirst()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, received);
        LinkedClient c;
        QVERIFY(c.start());
        c.window->mnuSysTray_Click(2);
        QVERIFY(c.window->chkLock->isChecked() && c.window->mnuSysTray[2]->isChecked());
        c.server.send(message);
        QTRY_VERIFY(
            TestHome::readFile(MainModule::activityLogPath())
                .contains(QLatin1String("\tDataArrival\t") + message + QLatin1String("\r\n")));
        QVERIFY(c.server.roundTrip());
        QCOMPARE(c.server.received(), received);
    }

    void statusSequence()
    {
        LinkedClient c;
        QVERIFY(c.start());
        frmMain &w = *c.window;
        const auto tick = [&w] {
            w.timOnline_Timer();
            return w.lblConnection->text();
        };
        Clock::freeze();
        QVERIFY(c.serverSays(QStringLiteral("Connect device")));
        checkState(w, 2, QStringLiteral("Connect device"));
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QVERIFY(w.timOnline->isActive());
        QCOMPARE(w.lblConnection->text(), QLatin1String("Connected to Office"));
        Clock::advance(3723'000);
        QCOMPARE(tick(), QLatin1String("Connected to Office for 01:02:03"));
        // Another entry's line shows once; the duration stays with the first entry, and the
        // display keeps its rhythm: the timer runs on rather than starting over.
        int timerChanges = 0;
        const auto notifier = w.timOnline->bindableActive().addNotifier([&] { ++timerChanges; });
        QVERIFY(c.serverSays(QStringLiteral("Connected to Home")));
        QCOMPARE(timerChanges, 0);
        QCOMPARE(w.lblConnection->text(), QLatin1String("Connected to Home"));
        QCOMPARE(tick(), QLatin1String("Connected to Office for 00:00:00"));
        // Hanging up that comes back: paused, then resumed from the old start.
        Clock::advance(360'000'000);
        QVERIFY(c.serverSays(QStringLiteral("Disconnecting")));
        QCOMPARE(tick(), QLatin1String("Disconnecting"));
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QCOMPARE(tick(), QLatin1String("Connected to Office for 100:00:00"));
        // An unknown line is shown and changes no state.
        QVERIFY(c.serverSays(QStringLiteral("Something odd")));
        QCOMPARE(w.lblConnection->text(), QLatin1String("Something odd"));
        checkState(w, 3, QStringLiteral("Something odd"));

        w.bIRequestedDisconnect = true;
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        checkState(w, 1, QStringLiteral("Disconnected"));
        // Alerts are off: no notice, no sound.
        QCOMPARE(std::tuple(timerChanges, w.bIRequestedDisconnect, bool(frmMsg::loaded()),
                            c.home.sounds()),
                 std::tuple(1, false, false, QStringList()));
    }

    void alertsFollowTheSettings()
    {
        LinkedClient c;
        TestHome::seed("Alert=1");
        QVERIFY(c.start());
        const auto say = [&c](std::initializer_list<const char *> lines) {
            for (const char *line : lines)
                QVERIFY(c.serverSays(QLatin1String(line)));
        };
        // With nothing stored but the switch, no pop-ups: their default is off.
        say({"Connected to Office", "Disconnected"});
        QVERIFY(!frmMsg::loaded());
        TestHome::seed(
            "PopUpOnConnect=1;WaveOnConnect=1;ConnectWave=/sounds/up.wav;PopUpOnDisconnect=1;"
            "WaveOnDisconnect=1;DisconnectWave=/sounds/down.wav");
        // No alert for a line that was not up, nor for the same line again.
        say({"Disconnected", "Connected to Office"});
        QCOMPARE(noticeCaption(), QLatin1String("The Velmora Server is connected to Office"));
        say({"Connected to Office", "Disconnected"});
        QCOMPARE(noticeCaption(), QLatin1String("The Velmora Server has disconnected from Office"));
        QCOMPARE(c.home.sounds(), (QStringList{QStringLiteral("/sounds/up.wav"),
                                               QStringLiteral("/sounds/down.wav")}));

        // Only for the listed entries; a wave switched on without a file plays nothing.
        frmMsg::unload();
        TestHome::seed("AlertCIfIncludes=True;AlertConnections= office |;ConnectWave=");
        say({"Connected to Home"});
        QVERIFY(!frmMsg::loaded());
        say({"Connect device", "Connected to OFFICE"});
        QCOMPARE(noticeCaption(), QLatin1String("The Velmora Server is connected to OFFICE"));
        QCOMPARE(c.home.sounds().size(), 2);
        // A bad stored filter fails the alert alone: the state still changes.
        frmMsg::unload();
        TestHome::seed("AlertCIfIncludes=perhaps");
        MessageBox::setNextAnswer(MessageBox::AnswerOk);
        say({"Connect device", "Connected to Office"});
        QVERIFY(!frmMsg::loaded());
        checkState(*c.window, 3, QStringLiteral("Connected to Office"));
        QCOMPARE(MessageBox::shownBoxes().size(), 1);

        // Alerts switched off from the menu: nothing is said.
        frmMsg::unload();
        c.window->mnuSysTray_Click(3);
        QVERIFY(!c.window->chkAlert->isChecked() && !c.window->mnuSysTray[3]->isChecked());
        say({"Connect device", "Connected to Office"});
        QVERIFY(!frmMsg::loaded());
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
