#include "Artwork.h"
#include "Clock.h"
#include "frmAlert.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "LinkedClient.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "Settings.h"

#include <QAction>
#include <QCheckBox>
#include <QHostInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QChar fs(28);

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

    void everyMessageIsAcknowledgedFirst_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("replies");
        const QString id = QStringLiteral("ID:") + QHostInfo::localHostName();
        QTest::newRow("identity") << QStringLiteral("CMD_SEND_ID") << QStringList{id};
        QTest::newRow("status") << QStringLiteral("Disconnected") << QStringList();
        QTest::newRow("unknown text") << QStringLiteral("Modem warming up") << QStringList();
        QTest::newRow("locked notice") << QStringLiteral("MSG_LOCKED") << QStringList();
        QTest::newRow("users") << QStringLiteral("USERS:a") + fs << QStringList();
        QTest::newRow("connections") << QStringLiteral("CONNECTIONS:a") + fs << QStringList();
        QTest::newRow("user message") << QStringLiteral("CMD_MSG:bob#hi") << QStringList();
        QTest::newRow("lock answer")
            << QStringLiteral("MSG_DISCONNECT+30") << QStringList{QStringLiteral("CMD_LOCKED")};
    }
    void everyMessageIsAcknowledgedFirst()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, replies);
        LinkedClient c;
        QVERIFY(c.start());
        c.window->chkLock->setChecked(true);
        QVERIFY(c.serverSays(message));
        QVERIFY(c.server.waitForReceived(1 + int(replies.size())));
        QTest::qWait(50);
        QCOMPARE(c.server.received(), QStringList{QStringLiteral("MSG_ACK")} + replies);
        QVERIFY(TestHome::readFile(MainModule::activityLogPath())
                    .contains(QStringLiteral("\tDataArrival\t") + message + QLatin1String("\r\n")));
    }

    void strayAcknowledgementSendsNothing()
    {
        LinkedClient c;
        QVERIFY(c.start());
        c.server.send(QStringLiteral("MSG_ACK"));
        QTRY_VERIFY(c.window->bAckReceived);
        QTest::qWait(100);
        QVERIFY(c.server.received().isEmpty());
    }

    void receivedPasswordIsLoggedUnchanged()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QVERIFY(c.serverSays(QStringLiteral("Dialling OfficePWD:x")));
        QVERIFY(TestHome::readFile(MainModule::activityLogPath())
                    .contains(QLatin1String("\tDataArrival\tDialling OfficePWD:x\r\n")));
    }

    void disconnectRequestAnswers()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        // Not wanting to be asked about this entry: agreed at once, no window.
        TestHome::seed(QStringLiteral("ConfirmIfIncludes"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("ConfirmDisconnections"), QStringLiteral("Home") + fs);
        QVERIFY(c.serverSays(QStringLiteral("MSG_DISCONNECT+30")));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_OK")));
        QVERIFY(!frmAlert::loaded());
        // Locked wins over the filter.
        c.server.clearReceived();
        c.window->mnuSysTray_Click(2);
        QVERIFY(c.window->chkLock->isChecked());
        QVERIFY(c.serverSays(QStringLiteral("MSG_DISCONNECT+30")));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_LOCKED")));
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_LOCKED")});
    }

    void cancellationAtTheRequesterAndElsewhere()
    {
        LinkedClient c;
        QVERIFY(c.start());
        c.window->bIRequestedDisconnect = true;
        QVERIFY(c.serverSays(QStringLiteral("MSG_CANCELLED")));
        QVERIFY(noticeCaption().startsWith(QLatin1String("Message received at ")));
        QVERIFY(noticeCaption().endsWith(
            QLatin1String("\r\rAnother user has cancelled the disconnection.")));
        QCOMPARE(c.home.beeps(), 1);
        QVERIFY(!c.window->bIRequestedDisconnect);
        QVERIFY(!c.window->bCancelled);
        // The request forgotten, a second one only marks a countdown as cancelled.
        QVERIFY(c.serverSays(QStringLiteral("MSG_CANCELLED")));
        QVERIFY(c.window->bCancelled);
        QVERIFY(c.serverSays(QStringLiteral("MSG_LOCKED")));
        QVERIFY(
            noticeCaption().endsWith(QLatin1String("\r\rAnother user has the connection locked.")));
    }

    void shutdownEndsTheClient()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QSignalSpy ended(c.window.get(), &frmMain::programEnded);
        c.server.send(QStringLiteral("MSG_SHUTDOWN"));
        QTRY_COMPARE(ended.size(), 1);
        QCOMPARE(c.server.received(),
                 (QStringList{QStringLiteral("MSG_ACK"), QStringLiteral("CMD_END")}));
        QVERIFY(MessageBox::shownBoxes().isEmpty()); // no exit question
    }

    void userMessagesAreQueued()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QVERIFY(c.serverSays(QStringLiteral("CMD_MSG:bob#a # b")));
        QCOMPARE(c.window->colMsgs, QStringList{QStringLiteral("bob#a # b")});
        // Every message changes the hidden trigger's caption, starting from its design text.
        QCOMPARE(c.window->lblMsg->text(), QString());
        QVERIFY(c.serverSays(QStringLiteral("CMD_MSG:ann#")));
        QCOMPARE(c.window->lblMsg->text(), QStringLiteral("+"));
        QCOMPARE(c.window->colMsgs.size(), 2);
    }

    void badInputIsReportedAndTheHandlerGoesOn()
    {
        LinkedClient c;
        QVERIFY(c.start());
        MessageBox::setNextAnswer(MessageBox::AnswerOk);
        QVERIFY(c.serverSays(QStringLiteral("CMD_MSG:nohash")));
        QCOMPARE(c.window->colMsgs, QStringList{QStringLiteral("nohash#CMD_MSG:nohash")});
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes()[0].style, 48);

        // A count beyond 16 bits: reported, then taken as 0: the countdown opens and closes
        // at once, nothing is answered and the window is usable again.
        MessageBox::setNextAnswer(MessageBox::AnswerOk);
        c.server.clearReceived();
        QVERIFY(c.serverSays(QStringLiteral("MSG_DISCONNECT+99999")));
        QTRY_VERIFY(!frmAlert::loaded());
        QVERIFY(c.window->isEnabled());
        QTest::qWait(50);
        QCOMPARE(c.server.received(), QStringList{QStringLiteral("MSG_ACK")});
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        const QString errors = TestHome::readFile(MainModule::errorLogPath());
        QCOMPARE(errors.count(QLatin1String("\tfrmMain.wskClient_DataArrival\t")), 2);
    }

    void statusSequence()
    {
        LinkedClient c;
        QVERIFY(c.start());
        frmMain &w = *c.window;
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        QCOMPARE(w.iState, qint16(1));
        QCOMPARE(w.cmdAction[0]->text(), QStringLiteral("&Connect"));
        QVERIFY(c.serverSays(QStringLiteral("Connect device")));
        QCOMPARE(w.iState, qint16(2));
        QCOMPARE(w.cmdAction[0]->text(), QStringLiteral("&Disconnect"));
        QCOMPARE(w.mnuSysTray[6]->text(), QStringLiteral("&Disconnect"));
        QCOMPARE(gNotifyIconData.szTip, QStringLiteral("Connect device"));
        QCOMPARE(gNotifyIconData.hIcon, Artwork::stateIcon(2).toImage());

        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QCOMPARE(w.iState, qint16(3));
        QCOMPARE(w.sConnection, QStringLiteral("Office"));
        QVERIFY(w.timOnline->isActive());
        QCOMPARE(w.lblConnection->text(), QStringLiteral("Connected to Office"));
        Clock::advance(3723'000);
        w.timOnline_Timer();
        QCOMPARE(w.lblConnection->text(), QStringLiteral("Connected to Office for 01:02:03"));

        // Another entry's line shows once; the duration stays with the first entry.
        QVERIFY(c.serverSays(QStringLiteral("Connected to Home")));
        QCOMPARE(w.lblConnection->text(), QStringLiteral("Connected to Home"));
        w.timOnline_Timer();
        QCOMPARE(w.lblConnection->text(), QStringLiteral("Connected to Office for 00:00:00"));

        // Hanging up that comes back: paused, then resumed from the old start.
        Clock::advance(360'000'000);
        QVERIFY(c.serverSays(QStringLiteral("Disconnecting")));
        w.timOnline_Timer();
        QCOMPARE(w.lblConnection->text(), QStringLiteral("Disconnecting"));
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        w.timOnline_Timer();
        QCOMPARE(w.lblConnection->text(), QStringLiteral("Connected to Office for 100:00:00"));

        QVERIFY(c.serverSays(QStringLiteral("Something odd")));
        QCOMPARE(w.lblConnection->text(), QStringLiteral("Something odd"));
        QCOMPARE(w.iState, qint16(3));
        QCOMPARE(gNotifyIconData.szTip, QStringLiteral("Something odd"));

        w.bIRequestedDisconnect = true;
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        QCOMPARE(w.iState, qint16(1));
        QVERIFY(!w.timOnline->isActive());
        QVERIFY(!w.bIRequestedDisconnect);
        QCOMPARE(w.cmdAction[0]->text(), QStringLiteral("&Connect"));
        QVERIFY(!frmMsg::loaded()); // alerts are off
        QVERIFY(c.home.sounds().isEmpty());
    }

    void connectAndDisconnectAlerts()
    {
        LinkedClient c;
        TestHome::seed(QStringLiteral("Alert"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("PopUpOnConnect"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("WaveOnConnect"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("ConnectWave"), QStringLiteral("/sounds/up.wav"));
        TestHome::seed(QStringLiteral("PopUpOnDisconnect"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("WaveOnDisconnect"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("DisconnectWave"), QStringLiteral("/sounds/down.wav"));
        QVERIFY(c.start());
        // No alert for a line that was never up.
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        QVERIFY(!frmMsg::loaded());
        QVERIFY(c.home.sounds().isEmpty());

        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QCOMPARE(noticeCaption(), QStringLiteral("The Velmora Server is connected to Office"));
        QCOMPARE(c.home.sounds(), QStringList{QStringLiteral("/sounds/up.wav")}); // no beep
        // The same line again restarts the duration without a second alert.
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QCOMPARE(c.home.sounds().size(), 1);

        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        QCOMPARE(noticeCaption(),
                 QStringLiteral("The Velmora Server has disconnected from Office"));
        QCOMPARE(c.home.sounds(), (QStringList{QStringLiteral("/sounds/up.wav"),
                                               QStringLiteral("/sounds/down.wav")}));
    }

    void alertDefaultsAndFilters()
    {
        LinkedClient c;
        TestHome::seed(QStringLiteral("Alert"), QStringLiteral("1"));
        QVERIFY(c.start());
        // With nothing stored the status display gives no pop-up: its default is off.
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QVERIFY(!frmMsg::loaded());
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));

        TestHome::seed(QStringLiteral("PopUpOnConnect"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("WaveOnConnect"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("AlertCIfIncludes"), QStringLiteral("True"));
        TestHome::seed(QStringLiteral("AlertConnections"), QStringLiteral(" office ") + fs);
        QVERIFY(c.serverSays(QStringLiteral("Connected to Home")));
        QVERIFY(!frmMsg::loaded());
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        QVERIFY(c.serverSays(QStringLiteral("Connected to OFFICE")));
        QCOMPARE(noticeCaption(), QStringLiteral("The Velmora Server is connected to OFFICE"));
        // The wave switch is on but no file is named: no sound and no error.
        QVERIFY(c.home.sounds().isEmpty());

        // Alerts switched off from the menu: states change, nothing is said.
        frmMsg::unload();
        QVERIFY(c.serverSays(QStringLiteral("Disconnected")));
        c.window->mnuSysTray_Click(3);
        QVERIFY(!c.window->chkAlert->isChecked());
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QVERIFY(!frmMsg::loaded());
        QCOMPARE(c.window->iState, qint16(3));
    }
};

QTEST_MAIN(TestDispatcher)
#include "tst_dispatcher.moc"
