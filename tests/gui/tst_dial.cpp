// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

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

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

bool aDialogIsOpen()
{
    return QApplication::activeModalWidget() || frmPhonebook::loaded() ||
           frmDUNPassword::loaded() || frmAlert::loaded() || frmFlexiBox::loaded() ||
           frmUsers::loaded();
}

void clickItem(QListWidget *list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}

enum Answer { First, Second, Nobody, ServerShutsDown };

} // namespace

// The dialogs the server's messages open, writing to other users, and the main window's own
// commands.
class TestDial : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { SharedForms::unloadAll(); }

    // The server's messages (one a line; those after ">" go out while the first dialog waits),
    // then each dialog is answered with its first button (Connect, OK, Reply), its second
    // (Cancel), not at all, or the server shuts the client down meanwhile. Message boxes are
    // answered OK.
    void serverDialogs_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<int>("boxes");
        const auto row = [](const char *tag, const char *messages, Answer answer, const char *sent,
                            int boxes = 0, const char *settings = "") {
            QTest::newRow(tag) << str(settings) << str(messages).split(QLatin1Char('\n'))
                               << int(answer)
                               << (*sent ? str(sent).split(QLatin1Char('\n')) : QStringList())
                               << boxes;
        };
        // Sorted, the chooser offers "alpha" first; a second list while it waits is dropped.
        row("chooser", "PHONEBOOK:beta|alpha|>PHONEBOOK:x|", First, "CMD_CONNECT:alpha");
        row("chooser cancelled", "PHONEBOOK:b|a|", Second, "");
        row("single entry, password", "PHONEBOOK:Only|\nMSG_PASSWORD>MSG_PASSWORD", First,
            "CMD_CONNECT:Only\nCMD_CONNECT:OnlyPWD:s3cr#t");
        row("password cancelled", "PHONEBOOK:Only|\nMSG_PASSWORD", Second, "CMD_CONNECT:Only");
        // A second request while counting is acknowledged and changes nothing.
        row("countdown", "MSG_DISCONNECT+30>MSG_DISCONNECT+5", First, "CMD_OK");
        row("countdown cancelled", "MSG_DISCONNECT+30", Second, "CMD_CANCEL");
        row("countdown runs out", "MSG_DISCONNECT+1", Nobody, "");
        row("cancelled by another user", "MSG_DISCONNECT+30>MSG_CANCELLED", Nobody, "");
        row("count of zero", "MSG_DISCONNECT+0", Nobody, "");
        row("count below zero", "MSG_DISCONNECT+-5", Nobody, "");
        // Reported, then taken as 0.
        row("count beyond 16 bits", "MSG_DISCONNECT+99999", Nobody, "", 1);
        // Not asked about this entry: agreed at once, no countdown.
        row("not asked about", "Connected to Office\nMSG_DISCONNECT+30", Nobody, "CMD_OK", 0,
            "ConfirmIfIncludes=1;ConfirmDisconnections=Home|");
        row("message replied to", "CMD_MSG:bob#Free?", First, "CMD_MSG:bob#s3cr#t");
        row("messages put aside", "CMD_MSG:bob#one>CMD_MSG:cy#two", Second, "");
        row("message without a sender", "CMD_MSG:nohash", Second, "", 1);
        row("users written to", "USERS:zed|ann|", First, "CMD_MSG:zed#ann#s3cr#t");
        // A message arriving while the user writes is shown beside the composer, and a second
        // list is refused; the reply cannot take the composer, and opens once its text is sent.
        row("reply waits for the composer", "USERS:ann|>USERS:zed|>CMD_MSG:bob#hi", First,
            "CMD_MSG:ann#s3cr#t\nCMD_MSG:bob#s3cr#t");
        row("users not written to", "USERS:zed|ann|", Second, "");
        row("no users, nothing sent", "USERS:", Second, "");
        for (const char *opening : {"PHONEBOOK:a|b|", "MSG_PASSWORD", "MSG_DISCONNECT+30",
                                    "CMD_MSG:no sender", "CMD_MSG:bo#one", "USERS:ann|"}) {
            row(qPrintable(QLatin1String("shut down in ") + QLatin1String(opening)), opening,
                ServerShutsDown, "CMD_END", QByteArray(opening).endsWith("sender"));
        }
    }
    void serverDialogs()
    {
        QFETCH(QString, settings);
        QFETCH(QStringList, messages);
        QFETCH(int, answer);
        QFETCH(QStringList, sent);
        QFETCH(int, boxes);
        LinkedClient c;
        TestHome::seed(qPrintable(settings));
        QVERIFY(c.start());
        QSignalSpy ended(c.window.get(), &frmMain::programEnded);
        QStringList during = messages.last().split(QLatin1Char('>'));
        messages.last() = during.takeFirst();
        const auto act = [&](const auto &buttons) {
            while (!during.isEmpty())
                QVERIFY(c.serverSays(during.takeFirst()));
            if (answer == First || answer == Second)
                QTest::mouseClick(buttons[answer], Qt::LeftButton);
        };
        const auto chooser = whenEachShown<frmPhonebook>([&](frmPhonebook *f) {
            clickItem(f->lstPhonebook, 0);
            act(f->cmdAction);
        });
        const auto prompt = whenEachShown<frmDUNPassword>([&](frmDUNPassword *f) {
            QCOMPARE(f->txtPassword->echoMode(), QLineEdit::Password);
            f->txtPassword->setText(QStringLiteral("s3cr#t"));
            act(f->cmdAction);
        });
        const auto alert = whenEachShown<frmAlert>([&](frmAlert *f) { act(f->cmdAction); });
        const auto box = whenEachShown<frmFlexiBox>([&](frmFlexiBox *f) { act(f->cmdAction); });
        const auto composer = whenEachShown<frmUsers>([&](frmUsers *f) {
            // A lone user arrives chosen, with the caret in the text box.
            QCOMPARE(f->focusWidget() == f->txtMsg, f->lstUsers->count() == 1);
            f->cmdSelect_Click();
            f->txtMsg->setPlainText(QStringLiteral("s3cr#t"));
            act(f->cmdAction);
        });
        // A dialog's wait runs inside this test's own event processing: the shut-down goes
        // out from a timer once a dialog is open.
        QTimer whenOpen;
        whenOpen.setInterval(5);
        connect(&whenOpen, &QTimer::timeout, this, [&] {
            if (aDialogIsOpen()) {
                whenOpen.stop();
                c.server.send(QStringLiteral("MSG_SHUTDOWN"));
            }
        });
        if (answer == ServerShutsDown) {
            TestHome::allowShownMessageBoxes();
            whenOpen.start();
        }
        for (int i = 0; i < boxes && answer != ServerShutsDown; ++i)
            MessageBox::setNextAnswer(MessageBox::AnswerOk);
        for (const QString &message : messages)
            QVERIFY(c.serverSays(message));
        if (answer == ServerShutsDown) {
            QTRY_COMPARE(ended.size(), 1);
            QTRY_VERIFY(!c.server.hasClient());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            for (const QPointer<QWidget> &form : SharedForms::loadedForms())
                QVERIFY(form.isNull());
        } else {
            QVERIFY(c.server.roundTrip());
            QVERIFY(c.window->isEnabled());
        }
        QVERIFY(!aDialogIsOpen());
        QCOMPARE(c.server.requests(), sent);
        QCOMPARE(MessageBox::shownBoxes().size(), boxes);
        QCOMPARE(TestHome::readFile(MainModule::errorLogPath())
                     .count(QLatin1String("\tfrmMain.wskClient_DataArrival\t")),
                 boxes);
        // The password is sent, but never written to the activity log.
        QVERIFY(
            !TestHome::readFile(MainModule::activityLogPath()).contains(QLatin1String("PWD:s3cr")));
    }

    // A reply that cannot be sent is reported; its message stays first and is shown again
    // with the next arrival, before it.
    void anErrorKeepsTheMessageQueued()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QStringList shown;
        const auto box = whenEachShown<frmFlexiBox>([&](frmFlexiBox *f) {
            shown << f->message();
            f->cmdAction_Click(shown.size() == 1 ? 0 : 1);
        });
        const auto composer = whenShown<frmUsers>([&](frmUsers *f) {
            QTest::keyClicks(f->txtMsg, QStringLiteral("too late"));
            c.window->wskClient->Close();
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(QStringLiteral("CMD_MSG:bob#first"));
        QTRY_VERIFY(frmMsg::loaded());
        QVERIFY(
            frmMsg::loaded()->caption().startsWith(QLatin1String("frmMain.lblMsg_Change error ")));
        QVERIFY(TestHome::readFile(MainModule::errorLogPath())
                    .contains(QLatin1String("\tfrmMain.lblMsg_Change\t")));
        QCOMPARE(c.window->colMsgs, QStringList{QStringLiteral("bob#first")});
        QVERIFY(!frmUsers::loaded());

        c.window->timConnect_Timer();
        QTRY_VERIFY(c.server.hasClient() && c.window->iState == 1);
        c.server.send(QStringLiteral("CMD_MSG:ann#second"));
        QTRY_COMPARE(shown, (QStringList{QStringLiteral("first"), QStringLiteral("first"),
                                         QStringLiteral("second")}));
        QTRY_VERIFY(c.window->colMsgs.isEmpty());
    }

    // Several users: nothing is chosen for the user, "&OK" wants a text and a name, and the
    // recipients go out in list order whatever the order of choosing.
    void composeToSeveralUsers()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QTest::mouseClick(c.window->cmdAction[3], Qt::LeftButton);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_USERS")});
        const auto watch = whenShown<frmUsers>([&](frmUsers *f) {
            QCOMPARE(f->windowTitle(), QLatin1String("Send Message to Another User"));
            QVERIFY(f->lstUsers->selectedItems().isEmpty());
            QCOMPARE(f->focusWidget(), f->lstUsers);
            clickItem(f->lstUsers, 1);
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton); // a name, no text
            f->lstUsers->clearSelection();
            QTest::keyClicks(f->txtMsg, QStringLiteral("Lunch #1?"));
            QTest::keyClick(f->txtMsg, Qt::Key_Return); // a new line, not an answer
            QTest::keyClicks(f->txtMsg, QStringLiteral("At one"));
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton); // a text, no name
            QVERIFY(f->Tag.isEmpty() && f->isVisible());
            clickItem(f->lstUsers, 1);
            clickItem(f->lstUsers, 0, Qt::ControlModifier);
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(str("USERS:zed|ann||"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_MSG:zed#ann#Lunch #1?\r\nAt one")));
    }

    // 250 characters as sent, a line break counting as its two; more is refused with a beep.
    void theMessageHoldsAtMost250Characters()
    {
        TestHome home;
        frmUsers *f = frmUsers::instance();
        f->show();
        QTest::keyClicks(f->txtMsg, QString(248, u'x'));
        QTest::keyClick(f->txtMsg, Qt::Key_Return);
        QCOMPARE(std::pair(f->messageText().size(), home.beeps()), std::pair(qsizetype(250), 0));
        QTest::keyClicks(f->txtMsg, QStringLiteral("yz"));
        QTest::keyClick(f->txtMsg, Qt::Key_Return);
        QCOMPARE(std::pair(f->messageText(), home.beeps()),
                 std::pair(QString(248, u'x') + QLatin1String("\r\n"), 3));

        // Over a selection the room it frees counts; a paste is cut to what fits.
        f->txtMsg->selectAll();
        QApplication::clipboard()->setText(QString(300, u'p'));
        f->txtMsg->paste();
        QCOMPARE(std::pair(f->messageText(), home.beeps()), std::pair(QString(250, u'p'), 4));
        QTest::keyClick(f->txtMsg, Qt::Key_Backspace);
        QTest::keyClick(f->txtMsg, Qt::Key_Return); // two characters where one is free
        QTest::keyClicks(f->txtMsg, QStringLiteral("q"));
        QCOMPARE(f->messageText(), QString(249, u'p') + QLatin1Char('q'));
    }

    void mainWindowCommands()
    {
        LinkedClient c;
        TestHome::seed(QStringLiteral("Minimize"), QStringLiteral("1"));
        QVERIFY(c.start());
        frmMain &w = *c.window;
        QTest::mouseClick(w.imgBrindor, Qt::LeftButton);
        QVERIFY(frmMsg::loaded() && frmMsg::loaded()->caption() == frmMain::aboutText());
        QVERIFY(frmMain::aboutText().startsWith(QStringLiteral("Velmora Utility (Client) V%1.%2\r")
                                                    .arg(VELMORA_VERSION_MAJOR)
                                                    .arg(VELMORA_VERSION_MINOR)));
        QCOMPARE(c.home.beeps(), 0); // no heading, no beep
        frmMsg::unload();

        w.mnuSysTray_Click(7);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_USERS")});
        c.server.clearReceived();
        QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
        QTest::mouseClick(w.cmdAction[0], Qt::LeftButton);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_DISCONNECT")});
        QTRY_VERIFY(!w.isVisible());
        // A cancellation tells the requester, once.
        QVERIFY(w.bIRequestedDisconnect);
        QVERIFY(c.serverSays(QStringLiteral("MSG_CANCELLED")));
        QVERIFY(frmMsg::loaded() && frmMsg::loaded()->caption().endsWith(QLatin1String(
                                        "\r\rAnother user has cancelled the disconnection.")));
        QVERIFY(!w.bIRequestedDisconnect && !w.bCancelled);
        frmMsg::unload();

        // Over a dropped link nothing is sent and the request is not remembered again; a bad
        // setting is reported by the button, which then leaves the window as it is.
        w.mnuSysTray_Click(0);
        QTRY_VERIFY(w.isVisible());
        c.server.stopListening();
        c.server.closeClient();
        QTRY_VERIFY(w.lblLink->text().startsWith(QLatin1String("Cannot link")));
        TestHome::seed(QStringLiteral("Minimize"), QStringLiteral("soon"));
        w.cmdAction_Click(0);
        QVERIFY(!w.bIRequestedDisconnect);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_DISCONNECT")});
        QVERIFY(frmMsg::loaded() && frmMsg::loaded()->caption().startsWith(
                                        QLatin1String("frmMain.cmdAction_Click : Type mismatch")));
        QVERIFY(TestHome::readFile(MainModule::errorLogPath())
                    .contains(QLatin1String("\tfrmMain.cmdAction_Click\t")));
        QVERIFY(w.isVisible() && !w.isMinimized());

        // Exit asks first; with the second button reading "Mi&nimize" the button minimises, the
        // menu still asks.
        QSignalSpy ended(&w, &frmMain::programEnded);
        MessageBox::setNextAnswer(MessageBox::AnswerNo);
        QTest::mouseClick(w.cmdAction[1], Qt::LeftButton);
        QCOMPARE(MessageBox::shownBoxes().last().style, 308);
        QCOMPARE(ended.size(), 0);
        w.cmdAction[1]->setText(QStringLiteral("Mi&nimize"));
        QTest::mouseClick(w.cmdAction[1], Qt::LeftButton);
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        MessageBox::setNextAnswer(MessageBox::AnswerYes);
        w.mnuSysTray_Click(11);
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        QCOMPARE(ended.size(), 1);
    }
};

QTEST_MAIN(TestDial)
#include "tst_dial.moc"
