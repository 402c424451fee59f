// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Artwork.h"
#include "Clock.h"
#include "frmAlert.h"
#include "frmDUNPassword.h"
#include "frmFlexiBox.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmPhonebook.h"
#include "frmUsers.h"
#include "LinkedClient.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "TcpClientSocket.h"
#include "WhenShown.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHostInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

namespace {

// Seeds the store from "Key=value" pairs separated by ";"; "|" in a value stands for the list
// separator character.
void seed(const char *settings)
{
    const QString all = QString::fromLatin1(settings).replace(QLatin1Char('|'), QChar(28));
    for (const QString &pair : all.split(QLatin1Char(';')))
        TestHome::seed(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
}

// What the notification area itself shows: the tip and whether the picture is that of the
// given state.
bool trayShows(const frmMain &w, const QString &tip, int state)
{
    const QSystemTrayIcon *tray = w.findChild<QSystemTrayIcon *>();
    if (!tray || tray->toolTip() != tip)
        return false;
    const QImage expected =
        Artwork::stateIcon(state).toImage().convertToFormat(QImage::Format_ARGB32);
    return tray->icon().pixmap(expected.size()).toImage().convertToFormat(QImage::Format_ARGB32) ==
           expected;
}

// The state as the window's button, its menu and the notification area show it.
void checkState(const frmMain &w, int state, const QString &tip)
{
    QCOMPARE(w.iState, qint16(state));
    QCOMPARE(w.cmdAction[0]->text(), QLatin1String(state == 1 ? "&Connect" : "&Disconnect"));
    QCOMPARE(w.mnuSysTray[6]->text(), w.cmdAction[0]->text());
    QVERIFY(trayShows(w, tip, state));
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
            QTest::newRow(name) << QString::fromLatin1(message).replace(QLatin1Char('|'), QChar(28))
                                << QStringList{ack} + replies;
        };
        row("identity", "CMD_SEND_ID", {QStringLiteral("ID:") + QHostInfo::localHostName()});
        row("status", "Disconnected", {});
        row("locked notice", "MSG_LOCKED", {});
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
        c.window->chkLock->setChecked(true);
        const auto composer = whenEachShown<frmUsers>([](frmUsers *f) { f->cmdAction_Click(1); });
        const auto box = whenEachShown<frmFlexiBox>([](frmFlexiBox *f) { f->cmdAction_Click(1); });
        c.server.send(message);
        QTRY_VERIFY(
            TestHome::readFile(MainModule::activityLogPath())
                .contains(QLatin1String("\tDataArrival\t") + message + QLatin1String("\r\n")));
        QVERIFY(c.server.roundTrip());
        QCOMPARE(c.server.received(), received);
    }

    void hangUpOutcomesAndShutdown()
    {
        LinkedClient c;
        QVERIFY(c.start());
        frmMain &w = *c.window;
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        // Not wanting to be asked about this entry: agreed at once, no countdown.
        seed("ConfirmIfIncludes=1;ConfirmDisconnections=Home|");
        QVERIFY(c.serverSays(QStringLiteral("MSG_DISCONNECT+30")));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_OK")));
        // Locked wins over the filter.
        c.server.clearReceived();
        w.mnuSysTray_Click(2);
        QVERIFY(w.chkLock->isChecked() && w.mnuSysTray[2]->isChecked());
        QVERIFY(c.serverSays(QStringLiteral("MSG_DISCONNECT+30")));
        QTRY_COMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_LOCKED")});

        // A cancellation tells the requester; anywhere else it only marks a countdown.
        w.bIRequestedDisconnect = true;
        QVERIFY(c.serverSays(QStringLiteral("MSG_CANCELLED")));
        QVERIFY(noticeCaption().endsWith(
            QLatin1String("\r\rAnother user has cancelled the disconnection.")));
        QCOMPARE(c.home.beeps(), 1);
        QVERIFY(!w.bIRequestedDisconnect);
        QVERIFY(!w.bCancelled);
        QVERIFY(c.serverSays(QStringLiteral("MSG_CANCELLED")));
        QVERIFY(w.bCancelled);
        QVERIFY(c.serverSays(QStringLiteral("MSG_LOCKED")));
        QVERIFY(
            noticeCaption().endsWith(QLatin1String("\r\rAnother user has the connection locked.")));

        // The server ends the client without the exit question.
        QSignalSpy ended(&w, &frmMain::programEnded);
        c.server.clearReceived();
        c.server.send(QStringLiteral("MSG_SHUTDOWN"));
        QTRY_COMPARE(ended.size(), 1);
        QCOMPARE(c.server.received(),
                 (QStringList{QStringLiteral("MSG_ACK"), QStringLiteral("CMD_END")}));
        QVERIFY(MessageBox::shownBoxes().isEmpty());
    }

    // The server may end the program while any dialog waits: the wait ends with it, and nothing
    // is sent for the dialog nor for a message that arrived meanwhile (queued behind the message
    // box, or shown beside the composer).
    void shutDownWhileADialogWaits_data()
    {
        QTest::addColumn<QString>("opening");
        QTest::addColumn<bool>("heldBack"); // a user message arrives while the dialog waits
        const auto row = [](const char *name, const char *opening, bool heldBack) {
            QTest::newRow(name) << QString::fromLatin1(opening).replace(QLatin1Char('|'), QChar(28))
                                << heldBack;
        };
        row("entry chooser", "PHONEBOOK:a|b|", false);
        row("password prompt", "MSG_PASSWORD", false);
        row("countdown", "MSG_DISCONNECT+30", false);
        row("error report", "CMD_MSG:no sender", false);
        row("message box", "CMD_MSG:bo#one", true);
        row("composer", "USERS:ann|", true);
    }
    void shutDownWhileADialogWaits()
    {
        QFETCH(QString, opening);
        QFETCH(bool, heldBack);
        LinkedClient c;
        TestHome::allowShownMessageBoxes();
        QVERIFY(c.start());
        frmMain &w = *c.window;
        // Connected after the window's own handler: counts the handler runs that have ended.
        int handled = 0;
        connect(w.wskClient, &TcpClientSocket::DataArrival, this, [&handled] { ++handled; });
        QSignalSpy ended(&w, &frmMain::programEnded);
        // The dialog's wait runs inside this test's own event processing, so the server's
        // messages go out from a timer once the dialog is open.
        QTimer whenOpen;
        whenOpen.setInterval(5);
        // A message shown beside the composer waits in its own box, inside the acknowledgement's
        // wait: the shut-down goes out from a later tick, once that message is acknowledged.
        bool heldBackSent = false;
        connect(&whenOpen, &QTimer::timeout, this, [&] {
            if (!QApplication::activeModalWidget() && !frmPhonebook::loaded() &&
                !frmDUNPassword::loaded() && !frmAlert::loaded() && !frmFlexiBox::loaded() &&
                !frmUsers::loaded())
                return;
            if (heldBack && !heldBackSent) {
                heldBackSent = true;
                c.server.send(QStringLiteral("CMD_MSG:cy#held back"));
                return;
            }
            if (c.server.received().count(QStringLiteral("MSG_ACK")) < 1 + int(heldBack))
                return;
            whenOpen.stop();
            c.server.send(QStringLiteral("MSG_SHUTDOWN"));
        });
        whenOpen.start();
        c.server.send(opening);
        // The opening and held-back messages, the shut-down and the acknowledgement of "CMD_END".
        QTRY_COMPARE(handled, 3 + int(heldBack));
        QCOMPARE(ended.size(), 1);
        QTRY_VERIFY(!c.server.hasClient());
        QTest::qWait(50);
        QVERIFY(!QApplication::activeModalWidget());
        for (const QPointer<QWidget> &form : SharedForms::loadedForms())
            QVERIFY(form.isNull());
        QCOMPARE(c.server.received(), QStringList(2 + int(heldBack), QStringLiteral("MSG_ACK"))
                                          << QStringLiteral("CMD_END"));
    }

    // A count beyond 16 bits is reported, then taken as 0 like the others.
    void countsOfZeroOrLessRunNoPass_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("reported");
        QTest::newRow("zero") << QStringLiteral("MSG_DISCONNECT+0") << false;
        QTest::newRow("negative") << QStringLiteral("MSG_DISCONNECT+-5") << false;
        QTest::newRow("beyond 16 bits") << QStringLiteral("MSG_DISCONNECT+99999") << true;
    }
    void countsOfZeroOrLessRunNoPass()
    {
        QFETCH(QString, message);
        QFETCH(bool, reported);
        LinkedClient c;
        QVERIFY(c.start());
        if (reported)
            MessageBox::setNextAnswer(MessageBox::AnswerOk);
        QVERIFY(c.serverSays(message));
        QVERIFY(c.server.roundTrip());
        // The countdown opened and closed again at once, without an answer.
        QVERIFY(!frmAlert::loaded());
        QVERIFY(c.window->isEnabled());
        QCOMPARE(c.server.received(), QStringList{QStringLiteral("MSG_ACK")});
        QCOMPARE(c.home.beeps(), 1);
        QCOMPARE(MessageBox::shownBoxes().size(), int(reported));
        QCOMPARE(TestHome::readFile(MainModule::errorLogPath())
                     .count(QLatin1String("\tfrmMain.wskClient_DataArrival\t")),
                 int(reported));
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
        QVERIFY(c.serverSays(QStringLiteral("Connect device")));
        checkState(w, 2, QStringLiteral("Connect device"));

        // Durations count the clock's second boundaries crossed: start just after one, so that
        // the few milliseconds the steps below take cross none.
        QTRY_VERIFY_WITH_TIMEOUT(QTime::currentTime().msec() < 300, 2000);
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QCOMPARE(w.iState, qint16(3));
        QVERIFY(w.timOnline->isActive());
        QCOMPARE(w.lblConnection->text(), QLatin1String("Connected to Office"));
        Clock::advance(3723'000);
        QCOMPARE(tick(), QLatin1String("Connected to Office for 01:02:03"));
        // Another entry's line shows once; the duration stays with the first entry, and the
        // display keeps its rhythm: the timer runs on rather than starting over.
        QSignalSpy ticks(w.timOnline, &QTimer::timeout);
        QTest::qWait(100);
        const int remaining = w.timOnline->remainingTime();
        const auto ticked = ticks.size();
        QVERIFY(c.serverSays(QStringLiteral("Connected to Home")));
        QVERIFY(w.timOnline->remainingTime() <= remaining || ticks.size() > ticked);
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
        QVERIFY(!w.timOnline->isActive());
        QVERIFY(!w.bIRequestedDisconnect);
        QVERIFY(!frmMsg::loaded()); // alerts are off
        QVERIFY(c.home.sounds().isEmpty());
    }

    void aBadStoredFilterFailsTheAlertAlone()
    {
        LinkedClient c;
        seed("Alert=1;AlertCIfIncludes=perhaps;AlertDIfIncludes=perhaps");
        QVERIFY(c.start());
        frmMain &w = *c.window;
        MessageBox::setNextAnswer(MessageBox::AnswerOk);
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QVERIFY(c.server.roundTrip());
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        checkState(w, 3, QStringLiteral("Connected to Office"));

        MessageBox::setNextAnswer(MessageBox::AnswerOk);
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        QVERIFY(c.server.roundTrip());
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        checkState(w, 1, QStringLiteral("Disconnected"));
        const QString errors = TestHome::readFile(MainModule::errorLogPath());
        QCOMPARE(errors.count(QLatin1String("\tfrmMain.wskClient_DataArrival\t")), 2);
    }

    void alertsFollowTheSettings()
    {
        LinkedClient c;
        seed("Alert=1");
        QVERIFY(c.start());
        // With nothing stored but the switch, no pop-ups: their default is off.
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QVERIFY(!frmMsg::loaded());
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        QVERIFY(!frmMsg::loaded());

        seed("PopUpOnConnect=1;WaveOnConnect=1;ConnectWave=/sounds/up.wav;PopUpOnDisconnect=1;"
             "WaveOnDisconnect=1;DisconnectWave=/sounds/down.wav");
        // No alert for a line that is not up.
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        QVERIFY(!frmMsg::loaded());
        QVERIFY(c.home.sounds().isEmpty());
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QCOMPARE(noticeCaption(), QLatin1String("The Velmora Server is connected to Office"));
        QCOMPARE(c.home.sounds(), QStringList{QStringLiteral("/sounds/up.wav")}); // no beep
        // The same line again restarts the duration without a second alert.
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QCOMPARE(c.home.sounds().size(), 1);
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        QCOMPARE(noticeCaption(), QLatin1String("The Velmora Server has disconnected from Office"));
        QCOMPARE(c.home.sounds().last(), QLatin1String("/sounds/down.wav"));

        // Only for the listed entries; a wave switched on without a file plays nothing.
        frmMsg::unload();
        seed("AlertCIfIncludes=True;AlertConnections= office |;ConnectWave=");
        QVERIFY(c.serverSays(QStringLiteral("Connected to Home")));
        QVERIFY(!frmMsg::loaded());
        QVERIFY(c.serverSays(QStringLiteral("Connect device")));
        QVERIFY(c.serverSays(QStringLiteral("Connected to OFFICE")));
        QCOMPARE(noticeCaption(), QLatin1String("The Velmora Server is connected to OFFICE"));
        QCOMPARE(c.home.sounds().size(), 2);

        // Alerts switched off from the menu: states change, nothing is said.
        frmMsg::unload();
        QVERIFY(c.serverSays(QStringLiteral("Connect device")));
        c.window->mnuSysTray_Click(3);
        QVERIFY(!c.window->chkAlert->isChecked() && !c.window->mnuSysTray[3]->isChecked());
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QVERIFY(!frmMsg::loaded());
        QCOMPARE(c.window->iState, qint16(3));
    }
};

QTEST_MAIN(TestDispatcher)
#include "tst_dispatcher.moc"
