// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Artwork.h"
#include "Clock.h"
#include "frmAlert.h"
#include "frmFlexiBox.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmUsers.h"
#include "LinkedClient.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "WhenShown.h"

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

// Seeds the store from "Key=value" pairs separated by ";"; "|" in a value or a message stands
// for the list separator character.
QString withSeparators(const char *text)
{
    return QString::fromLatin1(text).replace(QLatin1Char('|'), QChar(28));
}

void seed(const char *settings)
{
    for (const QString &pair : withSeparators(settings).split(QLatin1Char(';')))
        TestHome::seed(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
}

// The state as the window's button, its menu and the notification area (its tip and picture)
// show it.
void checkState(const frmMain &w, int state, const QString &tip)
{
    QCOMPARE(w.iState, qint16(state));
    QCOMPARE(w.cmdAction[0]->text(), QLatin1String(state == 1 ? "&Connect" : "&Disconnect"));
    QCOMPARE(w.mnuSysTray[6]->text(), w.cmdAction[0]->text());
    const QSystemTrayIcon *tray = w.findChild<QSystemTrayIcon *>();
    QVERIFY(tray);
    QCOMPARE(tray->toolTip(), tip);
    const QImage expected =
        Artwork::stateIcon(state).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(tray->icon().pixmap(expected.size()).toImage().convertToFormat(QImage::Format_ARGB32),
             expected);
}

QString noticeCaption()
{
    return frmMsg::loaded() ? frmMsg::loaded()->caption() : QString();
}

} // namespace

class TestDispatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        frmMsg::unload();
        frmAlert::unload();
    }

    void everyMessageIsLoggedAndAcknowledgedFirst_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("received");
        const QString ack = QStringLiteral("MSG_ACK");
        const auto row = [&](const char *name, const char *message, const QStringList &replies) {
            QTest::newRow(name) << withSeparators(message) << QStringList{ack} + replies;
        };
        row("identity", "CMD_SEND_ID", {QStringLiteral("ID:") + QHostInfo::localHostName()});
        row("status", "Disconnected", {});
        row("locked notice", "MSG_LOCKED", {});
        row("cancellation", "MSG_CANCELLED", {});
        row("users", "USERS:a|", {});
        row("connections", "CONNECTIONS:a|", {});
        row("user message", "CMD_MSG:bob#hi", {});
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
        const auto composer = whenEachShown<frmUsers>([](frmUsers *f) { f->cmdAction_Click(1); });
        const auto box = whenEachShown<frmFlexiBox>([](frmFlexiBox *f) { f->cmdAction_Click(1); });
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
        QCOMPARE(timerChanges, 1);
        QVERIFY(!w.bIRequestedDisconnect);
        QVERIFY(!frmMsg::loaded()); // alerts are off
        QVERIFY(c.home.sounds().isEmpty());
    }

    // A bad stored filter fails the alert alone: the state still changes.
    void aBadStoredFilterFailsTheAlertAlone()
    {
        LinkedClient c;
        seed("Alert=1;AlertCIfIncludes=perhaps;AlertDIfIncludes=perhaps");
        QVERIFY(c.start());
        for (const char *line : {"Connected to Office", "Disconnected"}) {
            MessageBox::setNextAnswer(MessageBox::AnswerOk);
            QVERIFY(c.serverSays(QLatin1String(line)));
            QVERIFY(c.server.roundTrip());
            checkState(*c.window, line[0] == 'C' ? 3 : 1, QLatin1String(line));
        }
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        QCOMPARE(TestHome::readFile(MainModule::errorLogPath())
                     .count(QLatin1String("\tfrmMain.wskClient_DataArrival\t")),
                 2);
    }

    void alertsFollowTheSettings()
    {
        LinkedClient c;
        seed("Alert=1");
        QVERIFY(c.start());
        const auto say = [&c](std::initializer_list<const char *> lines) {
            for (const char *line : lines)
                QVERIFY(c.serverSays(QLatin1String(line)));
        };
        // With nothing stored but the switch, no pop-ups: their default is off.
        say({"Connected to Office", "Disconnected"});
        QVERIFY(!frmMsg::loaded());
        seed("PopUpOnConnect=1;WaveOnConnect=1;ConnectWave=/sounds/up.wav;PopUpOnDisconnect=1;"
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
        seed("AlertCIfIncludes=True;AlertConnections= office |;ConnectWave=");
        say({"Connected to Home"});
        QVERIFY(!frmMsg::loaded());
        say({"Connect device", "Connected to OFFICE"});
        QCOMPARE(noticeCaption(), QLatin1String("The Velmora Server is connected to OFFICE"));
        QCOMPARE(c.home.sounds().size(), 2);

        // Alerts switched off from the menu: nothing is said.
        frmMsg::unload();
        c.window->mnuSysTray_Click(3);
        QVERIFY(!c.window->chkAlert->isChecked() && !c.window->mnuSysTray[3]->isChecked());
        say({"Connect device", "Connected to Office"});
        QVERIFY(!frmMsg::loaded());
    }
};

QTEST_MAIN(TestDispatcher)
#include "tst_dispatcher.moc"
