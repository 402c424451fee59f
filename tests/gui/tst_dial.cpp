#include "frmAlert.h"
#include "frmDUNPassword.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmPhonebook.h"
#include "LinkedClient.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "WhenShown.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QChar fs(28);

QString phonebook(const QStringList &entries)
{
    QString payload = QStringLiteral("PHONEBOOK:");
    for (const QString &e : entries)
        payload += e + fs;
    return payload;
}

void clickItem(QListWidget *list, const QString &text)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    const QRect r = list->visualItemRect(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

} // namespace

class TestDial : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        frmMsg::unload();
        frmAlert::unload();
        frmPhonebook::unload();
        frmDUNPassword::unload();
    }

    void dialWithAChosenEntryAndPassword()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QTest::mouseClick(c.window->cmdAction[0], Qt::LeftButton);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_CONNECTIONS")});

        QStringList shownOrder;
        const auto watch1 = whenShown<frmPhonebook>([&](frmPhonebook *chooser) {
            for (int i = 0; i < chooser->lstPhonebook->count(); ++i)
                shownOrder << chooser->lstPhonebook->item(i)->text();
            clickItem(chooser->lstPhonebook, QStringLiteral("Mid"));
            QTest::mouseClick(chooser->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(
            phonebook({QStringLiteral("Zeta"), QStringLiteral("Alpha"), QStringLiteral("Mid")}));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_CONNECT:Mid")));
        QCOMPARE(shownOrder, (QStringList{QStringLiteral("Alpha"), QStringLiteral("Mid"),
                                          QStringLiteral("Zeta")}));
        QTRY_VERIFY(!frmPhonebook::loaded());

        const auto watch2 = whenShown<frmDUNPassword>([](frmDUNPassword *prompt) {
            QTest::keyClicks(prompt->txtPassword, QStringLiteral("s3cr#t"));
            QCOMPARE(prompt->txtPassword->echoMode(), QLineEdit::Password);
            QTest::keyClick(prompt->txtPassword, Qt::Key_Return);
        });
        c.server.send(QStringLiteral("MSG_PASSWORD"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_CONNECT:MidPWD:s3cr#t")));
        QTRY_VERIFY(!frmDUNPassword::loaded());
        const QString log = TestHome::readFile(MainModule::activityLogPath());
        QVERIFY(log.contains(QLatin1String("\tSendData\tCMD_CONNECT:Mid (Password Supplied)\r\n")));
        QVERIFY(!log.contains(QLatin1String("s3cr#t")));
    }

    void singleEntryNeedsNoWindowAndAnEmptyPasswordIsSent()
    {
        LinkedClient c;
        QVERIFY(c.start());
        bool chooserShown = false;
        const auto watch3 = whenShown<frmPhonebook>([&](frmPhonebook *) { chooserShown = true; });
        c.server.send(phonebook({QStringLiteral("Only")}));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_CONNECT:Only")));
        QTest::qWait(30);
        QVERIFY(!chooserShown);
        QVERIFY(!frmPhonebook::loaded());

        const auto watch4 = whenShown<frmDUNPassword>([](frmDUNPassword *prompt) {
            QTest::mouseClick(prompt->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(QStringLiteral("MSG_PASSWORD"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_CONNECT:OnlyPWD:")));
    }

    void givingUpSendsNothing_data()
    {
        QTest::addColumn<int>("how"); // 0 Cancel, 1 Escape, 2 close box
        QTest::newRow("cancel") << 0;
        QTest::newRow("escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void givingUpSendsNothing()
    {
        QFETCH(int, how);
        LinkedClient c;
        QVERIFY(c.start());
        const auto giveUp = [how](QDialog *dialog, QPushButton *cancel) {
            if (how == 0)
                QTest::mouseClick(cancel, Qt::LeftButton);
            else if (how == 1)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
        };
        const auto watch5 =
            whenShown<frmPhonebook>([&](frmPhonebook *f) { giveUp(f, f->cmdAction[1]); });
        QVERIFY(c.serverSays(phonebook({QStringLiteral("A"), QStringLiteral("B")})));
        QTRY_VERIFY(!frmPhonebook::loaded());
        const auto watch6 =
            whenShown<frmDUNPassword>([&](frmDUNPassword *f) { giveUp(f, f->cmdAction[1]); });
        QVERIFY(c.serverSays(QStringLiteral("MSG_PASSWORD")));
        QTRY_VERIFY(!frmDUNPassword::loaded());
        QTest::qWait(50);
        QVERIFY(c.server.requests().isEmpty());
    }

    void secondPhonebookWhileChoosingIsRefused()
    {
        LinkedClient c;
        QVERIFY(c.start());
        const auto watch7 = whenShown<frmPhonebook>([&](frmPhonebook *chooser) {
            // The nested list is acknowledged and dropped; the open chooser stays usable.
            QVERIFY(
                c.server.sendAndWaitForAck(phonebook({QStringLiteral("X"), QStringLiteral("Y")})));
            QCOMPARE(frmPhonebook::loaded(), chooser);
            QCOMPARE(chooser->lstPhonebook->count(), 2);
            clickItem(chooser->lstPhonebook, QStringLiteral("B"));
            QTest::mouseDClick(
                chooser->lstPhonebook->viewport(), Qt::LeftButton, {},
                chooser->lstPhonebook->visualItemRect(chooser->lstPhonebook->currentItem())
                    .center());
        });
        c.server.send(phonebook({QStringLiteral("A"), QStringLiteral("B")}));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_CONNECT:B")));
        QTest::qWait(50);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_CONNECT:B")});
    }

    void countdownAnswers_data()
    {
        QTest::addColumn<int>("how"); // 0 OK, 1 Cancel, 2 time runs out, 3 cancelled elsewhere
        QTest::addColumn<QString>("answer");
        QTest::newRow("ok") << 0 << QStringLiteral("CMD_OK");
        QTest::newRow("cancel") << 1 << QStringLiteral("CMD_CANCEL");
        QTest::newRow("time runs out") << 2 << QString();
        QTest::newRow("cancelled by another user") << 3 << QString();
    }
    void countdownAnswers()
    {
        QFETCH(int, how);
        QFETCH(QString, answer);
        LinkedClient c;
        QVERIFY(c.start());
        bool disabledWhileOpen = false;
        bool sawCount = false;
        bool noticeGone = false;
        gShowInfo(QStringLiteral("Old news"), true, true);
        const auto watch8 = whenShown<frmAlert>([&](frmAlert *alert) {
            disabledWhileOpen = !c.window->isEnabled();
            noticeGone = !frmMsg::loaded();
            sawCount = alert->lblCountdown->text() ==
                       (how == 2 ? QStringLiteral("1") : QStringLiteral("30"));
            if (how == 0)
                QTest::mouseClick(alert->cmdAction[0], Qt::LeftButton);
            else if (how == 1)
                QTest::mouseClick(alert->cmdAction[1], Qt::LeftButton);
            else if (how == 3)
                c.server.send(QStringLiteral("MSG_CANCELLED"));
        });
        c.server.send(how == 2 ? QStringLiteral("MSG_DISCONNECT+1")
                               : QStringLiteral("MSG_DISCONNECT+30"));
        QTRY_VERIFY(disabledWhileOpen);
        QTRY_VERIFY_WITH_TIMEOUT(!frmAlert::loaded(), 4000);
        QVERIFY(sawCount);
        QVERIFY(noticeGone); // no notice covers the countdown
        QVERIFY(c.window->isEnabled());
        QTest::qWait(50);
        QCOMPARE(c.server.requests(), answer.isEmpty() ? QStringList() : QStringList{answer});
        QVERIFY(c.home.beeps() >= 1); // the countdown beeps as it opens
    }

    void secondRequestDuringACountdownIsIgnored()
    {
        LinkedClient c;
        QVERIFY(c.start());
        const auto watch9 = whenShown<frmAlert>([&](frmAlert *alert) {
            QVERIFY(c.server.sendAndWaitForAck(QStringLiteral("MSG_DISCONNECT+5")));
            QCOMPARE(frmAlert::loaded(), alert);
            QCOMPARE(alert->lblCountdown->text(), QStringLiteral("30"));
            QTest::mouseClick(alert->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(QStringLiteral("MSG_DISCONNECT+30"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_OK")));
        QTest::qWait(50);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_OK")});
    }

    void disconnectButtonAndAutoMinimise()
    {
        LinkedClient c;
        TestHome::seed(QStringLiteral("Minimize"), QStringLiteral("1"));
        QVERIFY(c.start());
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QCOMPARE(c.window->cmdAction[0]->text(), QStringLiteral("&Disconnect"));
        QTest::mouseClick(c.window->cmdAction[0], Qt::LeftButton);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_DISCONNECT")});
        QVERIFY(c.window->bIRequestedDisconnect);
        QTRY_VERIFY(!c.window->isVisible());

        // Over a dropped link nothing is sent and the request is not remembered again.
        c.window->bIRequestedDisconnect = false;
        c.server.stopListening();
        c.server.closeClient();
        QTRY_VERIFY(c.window->lblLink->text().startsWith(QLatin1String("Cannot link")));
        c.window->cmdAction_Click(0);
        QVERIFY(!c.window->bIRequestedDisconnect);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_DISCONNECT")});
    }

    void messageButtonAsksForUsers()
    {
        LinkedClient c;
        QVERIFY(c.start());
        c.window->mnuSysTray_Click(7);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_USERS")});
    }

    void badMinimizeSettingIsReportedByTheButton()
    {
        LinkedClient c;
        TestHome::seed(QStringLiteral("Minimize"), QStringLiteral("soon"));
        QVERIFY(c.start());
        QTest::mouseClick(c.window->cmdAction[0], Qt::LeftButton);
        QVERIFY(frmMsg::loaded());
        QVERIFY(frmMsg::loaded()->caption().startsWith(
            QLatin1String("frmMain.cmdAction_Click : Type mismatch")));
        QVERIFY(TestHome::readFile(MainModule::errorLogPath())
                    .contains(QLatin1String("\tfrmMain.cmdAction_Click\t")));
        QVERIFY(c.window->isVisible());
    }

    void exitQuestionFromButtonAndMenu()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QSignalSpy ended(c.window.get(), &frmMain::programEnded);
        MessageBox::setNextAnswer(MessageBox::AnswerNo);
        QTest::mouseClick(c.window->cmdAction[1], Qt::LeftButton);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().last().style, 308);
        QCOMPARE(ended.size(), 0);

        // With the second button reading "Mi&nimize" the button minimises, the menu still asks.
        c.window->cmdAction[1]->setText(QStringLiteral("Mi&nimize"));
        QTest::mouseClick(c.window->cmdAction[1], Qt::LeftButton);
        QTRY_VERIFY(!c.window->isVisible());
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        MessageBox::setNextAnswer(MessageBox::AnswerYes);
        c.window->mnuSysTray_Click(11);
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        QCOMPARE(ended.size(), 1);
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_END")));
    }

    void aboutNotice()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QTest::mouseClick(c.window->imgBrindor, Qt::LeftButton);
        QVERIFY(frmMsg::loaded());
        const QStringList lines = frmMsg::loaded()->caption().split(QLatin1Char('\r'));
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QStringLiteral("Velmora Utility (Client) V%1.%2")
                               .arg(VELMORA_VERSION_MAJOR)
                               .arg(VELMORA_VERSION_MINOR));
        QCOMPARE(lines[2], QString());
        QCOMPARE(c.home.beeps(), 0);
    }
};

QTEST_MAIN(TestDial)
#include "tst_dial.moc"
