// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmAlert.h"
#include "frmDUNPassword.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmPhonebook.h"
#include "LinkedClient.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "WhenShown.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

// The server's list message for entries written with "|" between them.
QString phonebook(const char *entries)
{
    QString message = QLatin1String("PHONEBOOK:") + QLatin1String(entries) + QLatin1Char('|');
    return message.replace(QLatin1Char('|'), QChar(28));
}

void clickItem(QListWidget *list, const QString &text, bool twice = false)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    const QPoint at = list->visualItemRect(found.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
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
        auto watch = whenShown<frmPhonebook>([&](frmPhonebook *chooser) {
            for (int i = 0; i < chooser->lstPhonebook->count(); ++i)
                shownOrder << chooser->lstPhonebook->item(i)->text();
            clickItem(chooser->lstPhonebook, QStringLiteral("Mid"));
            QTest::mouseClick(chooser->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(phonebook("Zeta|alpha|Mid|Delta|beta"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_CONNECT:Mid")));
        QCOMPARE(shownOrder.join(QLatin1Char(' ')), QLatin1String("alpha beta Delta Mid Zeta"));

        watch = whenShown<frmDUNPassword>([](frmDUNPassword *prompt) {
            QTest::keyClicks(prompt->txtPassword, QStringLiteral("s3cr#t"));
            QCOMPARE(prompt->txtPassword->echoMode(), QLineEdit::Password);
            QTest::keyClick(prompt->txtPassword, Qt::Key_Return);
        });
        c.server.send(QStringLiteral("MSG_PASSWORD"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_CONNECT:MidPWD:s3cr#t")));
        const QString log = TestHome::readFile(MainModule::activityLogPath());
        QVERIFY(log.contains(QLatin1String("\tSendData\tCMD_CONNECT:Mid (Password Supplied)\r\n")));
        QVERIFY(!log.contains(QLatin1String("s3cr#t")));

        // A single entry is chosen without the window; an empty password is still an answer.
        bool chooserShown = false;
        watch = whenShown<frmPhonebook>([&](frmPhonebook *) { chooserShown = true; });
        c.server.send(phonebook("Only"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_CONNECT:Only")));
        QVERIFY(c.server.roundTrip());
        QVERIFY(!chooserShown);
        QVERIFY(!frmPhonebook::loaded());
        watch = whenShown<frmDUNPassword>([](frmDUNPassword *prompt) {
            QTest::mouseClick(prompt->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(QStringLiteral("MSG_PASSWORD"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_CONNECT:OnlyPWD:")));
    }

    void secondListIsRefusedAndGivingUpSendsNothing_data()
    {
        QTest::addColumn<int>("how"); // 0 Cancel, 1 Escape, 2 close box
        QTest::newRow("cancel") << 0;
        QTest::newRow("escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void secondListIsRefusedAndGivingUpSendsNothing()
    {
        QFETCH(int, how);
        LinkedClient c;
        QVERIFY(c.start());
        auto watch = whenShown<frmPhonebook>([&](frmPhonebook *chooser) {
            // The nested list is acknowledged and dropped; the open chooser stays usable.
            QVERIFY(c.server.sendAndWaitForAck(phonebook("X|Y")));
            QCOMPARE(frmPhonebook::loaded(), chooser);
            QCOMPARE(chooser->lstPhonebook->count(), 2);
            clickItem(chooser->lstPhonebook, QStringLiteral("B"), true);
        });
        c.server.send(phonebook("A|B"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_CONNECT:B")));
        QTRY_VERIFY(!frmPhonebook::loaded());

        const auto giveUp = [how](QDialog *dialog, QPushButton *cancel) {
            if (how == 0)
                QTest::mouseClick(cancel, Qt::LeftButton);
            else if (how == 1)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
        };
        watch = whenShown<frmDUNPassword>([&](frmDUNPassword *f) { giveUp(f, f->cmdAction[1]); });
        QVERIFY(c.serverSays(QStringLiteral("MSG_PASSWORD")));
        QTRY_VERIFY(!frmDUNPassword::loaded());
        watch = whenShown<frmPhonebook>([&](frmPhonebook *f) { giveUp(f, f->cmdAction[1]); });
        QVERIFY(c.serverSays(phonebook("A|B")));
        QTRY_VERIFY(!frmPhonebook::loaded());
        QVERIFY(c.server.roundTrip());
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_CONNECT:B")});
    }

    void countdownAnswers_data()
    {
        // 0 OK, 1 Cancel, 2 time runs out, 3 cancelled elsewhere, 4 OK after a second request
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("answer");
        QTest::newRow("ok") << 0 << QStringLiteral("CMD_OK");
        QTest::newRow("cancel") << 1 << QStringLiteral("CMD_CANCEL");
        QTest::newRow("time runs out") << 2 << QString();
        QTest::newRow("cancelled by another user") << 3 << QString();
        QTest::newRow("second request ignored") << 4 << QStringLiteral("CMD_OK");
    }
    void countdownAnswers()
    {
        QFETCH(int, how);
        QFETCH(QString, answer);
        LinkedClient c;
        QVERIFY(c.start());
        bool disabledWhileOpen = false, noticeGone = false, sawCount = false;
        gShowInfo(QStringLiteral("Old news"), true, true);
        const auto watch = whenShown<frmAlert>([&](frmAlert *alert) {
            disabledWhileOpen = !c.window->isEnabled();
            noticeGone = !frmMsg::loaded();
            // A second request while counting is acknowledged and changes nothing.
            if (how == 4)
                QVERIFY(c.server.sendAndWaitForAck(QStringLiteral("MSG_DISCONNECT+5")));
            sawCount = frmAlert::loaded() == alert &&
                       alert->lblCountdown->text() == QLatin1String(how == 2 ? "1" : "30");
            if (how == 0 || how == 4)
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
        QVERIFY(c.server.roundTrip());
        QCOMPARE(c.server.requests(), answer.isEmpty() ? QStringList() : QStringList{answer});
    }

    void connectButtonCommands()
    {
        LinkedClient c;
        TestHome::seed(QStringLiteral("Minimize"), QStringLiteral("1"));
        QVERIFY(c.start());
        frmMain &w = *c.window;
        w.mnuSysTray_Click(7);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_USERS")});
        c.server.clearReceived();
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QTest::mouseClick(w.cmdAction[0], Qt::LeftButton);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_DISCONNECT")});
        QVERIFY(w.bIRequestedDisconnect);
        QTRY_VERIFY(!w.isVisible());

        // Over a dropped link nothing is sent and the request is not remembered again; a bad
        // setting is reported by the button, which then leaves the window as it is.
        w.bIRequestedDisconnect = false;
        c.server.stopListening();
        c.server.closeClient();
        QTRY_VERIFY(w.lblLink->text().startsWith(QLatin1String("Cannot link")));
        w.mnuSysTray_Click(0);
        QTRY_VERIFY(w.isVisible());
        TestHome::seed(QStringLiteral("Minimize"), QStringLiteral("soon"));
        w.cmdAction_Click(0);
        QVERIFY(!w.bIRequestedDisconnect);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_DISCONNECT")});
        QVERIFY(frmMsg::loaded() && frmMsg::loaded()->caption().startsWith(
                                        QLatin1String("frmMain.cmdAction_Click : Type mismatch")));
        QVERIFY(TestHome::readFile(MainModule::errorLogPath())
                    .contains(QLatin1String("\tfrmMain.cmdAction_Click\t")));
        QTest::qWait(50);
        QVERIFY(w.isVisible() && !w.isMinimized());
    }

    void aboutAndExitCommands()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QTest::mouseClick(c.window->imgBrindor, Qt::LeftButton);
        QVERIFY(frmMsg::loaded() && frmMsg::loaded()->caption() == frmMain::aboutText());
        QVERIFY(frmMain::aboutText().startsWith(QStringLiteral("Velmora Utility (Client) V%1.%2\r")
                                                    .arg(VELMORA_VERSION_MAJOR)
                                                    .arg(VELMORA_VERSION_MINOR)));
        QCOMPARE(c.home.beeps(), 0); // no heading, no beep

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
};

QTEST_MAIN(TestDial)
#include "tst_dial.moc"
