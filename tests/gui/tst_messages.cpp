// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmFlexiBox.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmUsers.h"
#include "LinkedClient.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "TcpClientSocket.h"
#include "WhenShown.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// The server's list of users, written with "|" after each name.
QString users(const char *names)
{
    return QString(QLatin1String("USERS:") + QLatin1String(names)).replace(u'|', QChar(28));
}

QStringList items(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void clickItem(QListWidget *list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}

// The ways a user can give up on a dialog without its buttons' help.
enum class GiveUp { Button, Escape, CloseBox };

void giveUp(QDialog *dialog, QPushButton *cancel, GiveUp how)
{
    switch (how) {
    case GiveUp::Button:
        QTest::mouseClick(cancel, Qt::LeftButton);
        break;
    case GiveUp::Escape:
        QTest::keyClick(dialog, Qt::Key_Escape);
        break;
    case GiveUp::CloseBox:
        dialog->close();
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(GiveUp)

class TestMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        frmMsg::unload();
        frmUsers::unload();
        frmFlexiBox::unload();
    }

    // Several users: nothing is chosen for the user, "&OK" wants a text and a name, and the
    // recipients go out in list order whatever the order of choosing.
    void composeToSeveralUsers()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QTest::mouseClick(c.window->cmdAction[3], Qt::LeftButton);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_USERS")});
        c.server.clearReceived();

        bool checked = false;
        auto watch = whenShown<frmUsers>([&](frmUsers *f) {
            QCOMPARE(f->windowTitle(), QLatin1String("Send Message to Another User"));
            QCOMPARE(items(f->lstUsers),
                     (QStringList{QStringLiteral("zed"), QStringLiteral("ann"), QString()}));
            QVERIFY(f->lstUsers->selectedItems().isEmpty());
            QCOMPARE(f->focusWidget(), f->lstUsers);
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton); // no text, no name
            clickItem(f->lstUsers, 1);
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton); // a name, no text
            QVERIFY(f->Tag.isEmpty());
            f->lstUsers->clearSelection();
            QTest::keyClicks(f->txtMsg, QStringLiteral("Lunch #1?"));
            QTest::keyClick(f->txtMsg, Qt::Key_Return); // a new line, not an answer
            QTest::keyClicks(f->txtMsg, QStringLiteral("At one"));
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton); // a text, no name
            QVERIFY(f->Tag.isEmpty() && f->isVisible());
            clickItem(f->lstUsers, 1);
            clickItem(f->lstUsers, 0, Qt::ControlModifier);
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton);
            checked = true;
        });
        c.server.send(users("zed|ann||"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_MSG:zed#ann#Lunch #1?\r\nAt one")));
        QVERIFY(checked);
        QTRY_VERIFY(!frmUsers::loaded());

        // "&Select All" takes every name, the empty one included.
        watch = whenShown<frmUsers>([](frmUsers *f) {
            QTest::mouseClick(f->cmdSelect, Qt::LeftButton);
            QTest::keyClicks(f->txtMsg, QStringLiteral("hi"));
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(users("zed|ann||"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_MSG:zed#ann##hi")));
        QTRY_VERIFY(!frmUsers::loaded());

        // A lone user arrives chosen, and the text box has the focus.
        watch = whenShown<frmUsers>([](frmUsers *f) {
            QCOMPARE(f->lstUsers->selectedItems().size(), 1);
            QCOMPARE(f->focusWidget(), f->txtMsg);
            QTest::keyClicks(f->txtMsg, QStringLiteral("ok"));
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(users("ann|"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_MSG:ann#ok")));
    }

    void givingUpSendsNothing_data()
    {
        QTest::addColumn<GiveUp>("how");
        QTest::addColumn<QString>("list");
        QTest::newRow("cancel") << GiveUp::Button << QStringLiteral("ann|bob|");
        QTest::newRow("escape") << GiveUp::Escape << QStringLiteral("ann|bob|");
        QTest::newRow("close box") << GiveUp::CloseBox << QStringLiteral("ann|");
        QTest::newRow("empty list, cancel") << GiveUp::Button << QString();
        QTest::newRow("empty list, close box") << GiveUp::CloseBox << QString();
    }
    void givingUpSendsNothing()
    {
        QFETCH(GiveUp, how);
        QFETCH(QString, list);
        LinkedClient c;
        QVERIFY(c.start());
        bool shown = false;
        const auto watch = whenShown<frmUsers>([&](frmUsers *f) {
            shown = true;
            QTest::mouseClick(f->cmdSelect, Qt::LeftButton);
            QTest::keyClicks(f->txtMsg, QStringLiteral("never sent"));
            if (f->lstUsers->count() == 0) {
                // Nobody to send to: only giving up ends the window.
                QTest::mouseClick(f->cmdAction[0], Qt::LeftButton);
                QVERIFY(f->Tag.isEmpty() && f->isVisible());
            }
            giveUp(f, f->cmdAction[1], how);
            QCOMPARE(f->Tag, QLatin1String("1"));
        });
        QVERIFY(c.serverSays(users(list.toLatin1().constData())));
        QTRY_VERIFY(!frmUsers::loaded());
        QVERIFY(shown);
        QTest::qWait(50);
        QVERIFY(c.server.requests().isEmpty());
    }

    // 250 characters as sent, a line break counting as its two; more is refused with a beep.
    void theMessageHoldsAtMost250Characters()
    {
        TestHome home;
        frmUsers *f = frmUsers::instance();
        f->show();
        QTest::keyClicks(f->txtMsg, QString(248, u'x'));
        QTest::keyClick(f->txtMsg, Qt::Key_Return);
        QCOMPARE(f->messageText().size(), 250);
        QCOMPARE(home.beeps(), 0);
        QTest::keyClicks(f->txtMsg, QStringLiteral("yz"));
        QTest::keyClick(f->txtMsg, Qt::Key_Return);
        QCOMPARE(f->messageText(), QString(248, u'x') + QLatin1String("\r\n"));
        QCOMPARE(home.beeps(), 3);

        // Over a selection the room it frees counts; a paste is cut to what fits.
        f->txtMsg->selectAll();
        QApplication::clipboard()->setText(QString(300, u'p'));
        f->txtMsg->paste();
        QCOMPARE(f->messageText(), QString(250, u'p'));
        QCOMPARE(home.beeps(), 4);
        QTest::keyClick(f->txtMsg, Qt::Key_Backspace);
        QTest::keyClick(f->txtMsg, Qt::Key_Return); // two characters where one is free
        QTest::keyClicks(f->txtMsg, QStringLiteral("q"));
        QCOMPARE(f->messageText(), QString(249, u'p') + QLatin1Char('q'));
    }

    void receivedMessageAnswers_data()
    {
        // 0 Reply then OK, 1 Reply then Cancel (the composer's other ways out are the test
        // above's), 2 Cancel, 3 the box's close box, 4 Escape in the box, then Cancel
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("sent");
        QTest::newRow("reply, ok") << 0 << QStringLiteral("CMD_MSG:bob#Sure # why not");
        QTest::newRow("reply, cancel") << 1 << QString();
        QTest::newRow("cancel") << 2 << QString();
        QTest::newRow("close box") << 3 << QString();
        QTest::newRow("escape, then cancel") << 4 << QString();
    }
    void receivedMessageAnswers()
    {
        QFETCH(int, how);
        QFETCH(QString, sent);
        LinkedClient c;
        QVERIFY(c.start());
        bool boxSeen = false, composerSeen = false;
        auto box = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
            boxSeen = true;
            QCOMPARE(f->windowTitle(), QLatin1String("bob has sent you a message"));
            QCOMPARE(f->lblMsg->text(), QLatin1String("Free at 2? # room 4"));
            QCOMPARE(f->cmdAction.size(), 2);
            QCOMPARE(f->cmdAction[0]->text(), QLatin1String("&Reply"));
            QCOMPARE(f->cmdAction[1]->text(), QLatin1String("&Cancel"));
            QCOMPARE(f->imgIcon->accessibleName(), QLatin1String("Information"));
            QCOMPARE(f->focusWidget(), f->cmdAction[0]);
            QVERIFY(!f->isModal());
            QCOMPARE(c.home.beeps(), 1);
            // The link goes on while the box waits.
            QVERIFY(c.serverSays(QStringLiteral("Connected to Office")));
            QCOMPARE(c.window->lblConnection->text(), QLatin1String("Connected to Office"));
            if (how <= 1)
                QTest::mouseClick(f->cmdAction[0], Qt::LeftButton);
            else if (how == 4) {
                // The box has no cancel button: Escape leaves it waiting for a button.
                QTest::keyClick(f, Qt::Key_Escape);
                QVERIFY(f->Tag.isEmpty());
                QTest::mouseClick(f->cmdAction[1], Qt::LeftButton);
            } else
                giveUp(f, f->cmdAction[1], how == 2 ? GiveUp::Button : GiveUp::CloseBox);
            // An answer alone does not close the box; the waiting call does.
            QVERIFY(f->isVisible());
        });
        auto composer = whenShown<frmUsers>([&](frmUsers *f) {
            composerSeen = true;
            QCOMPARE(f->windowTitle(), QLatin1String("Reply to message from bob"));
            QCOMPARE(items(f->lstUsers), QStringList{QStringLiteral("bob")});
            QVERIFY(!f->lstUsers->isEnabled());
            QVERIFY(f->lstUsers->selectedItems().isEmpty());
            QCOMPARE(f->lstUsers->currentRow(), 0);
            QCOMPARE(f->focusWidget(), f->txtMsg);
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton); // no text yet
            QVERIFY(f->Tag.isEmpty());
            QTest::keyClicks(f->txtMsg, QStringLiteral("Sure # why not"));
            QTest::mouseClick(f->cmdAction[how], Qt::LeftButton);
        });
        c.server.send(QStringLiteral("CMD_MSG:bob#Free at 2? # room 4"));
        QTRY_VERIFY(boxSeen);
        QTRY_VERIFY(c.window->colMsgs.isEmpty());
        QVERIFY(!frmFlexiBox::loaded());
        QVERIFY(!frmUsers::loaded());
        QCOMPARE(composerSeen, how <= 1);
        QTest::qWait(50);
        QCOMPARE(c.server.requests(), sent.isEmpty() ? QStringList() : QStringList{sent});
    }

    // Messages that arrive while one is shown wait, and come one at a time in arrival order,
    // each titled with its sender. One without "#" is reported, and queued all the same.
    void messagesQueueWhileOneIsShown()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QStringList shown;
        const auto box = whenEachShown<frmFlexiBox>([&](frmFlexiBox *f) {
            shown << f->windowTitle() + QLatin1Char('|') + f->message();
            if (shown.size() == 1) {
                MessageBox::setNextAnswer(MessageBox::AnswerOk);
                for (const char *m : {"CMD_MSG:cy#a # b", "CMD_MSG:di#", "CMD_MSG:nohash"})
                    QVERIFY(c.serverSays(QLatin1String(m)));
                QCOMPARE(c.window->colMsgs.size(), 4);
                QCOMPARE(frmFlexiBox::loaded(), f);
            }
            QTest::mouseClick(f->cmdAction[1], Qt::LeftButton);
        });
        c.server.send(QStringLiteral("CMD_MSG:bo#one"));
        QTRY_COMPARE(shown.size(), 4);
        QCOMPARE(shown,
                 (QStringList{QStringLiteral("bo has sent you a message|one"),
                              QStringLiteral("cy has sent you a message|a # b"),
                              QStringLiteral("di has sent you a message|"),
                              QStringLiteral("nohash has sent you a message|CMD_MSG:nohash")}));
        QTRY_VERIFY(c.window->colMsgs.isEmpty());
        QVERIFY(!c.window->bShowingMsgs);
        QCOMPARE(c.home.beeps(), 4);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes()[0].style, 48);
        QCOMPARE(TestHome::readFile(MainModule::errorLogPath())
                     .count(QLatin1String("\tfrmMain.wskClient_DataArrival\t")),
                 1);
    }

    // A message that arrives while the user writes a new one is shown at once, beside the
    // composer. "&Reply" cannot take the composer from the new message: the reply opens when
    // that message is sent, and the messages after the replied one wait behind it.
    void messagesAppearBesideTheComposer_data()
    {
        QTest::addColumn<bool>("reply");
        QTest::newRow("cancel") << false;
        QTest::newRow("reply") << true;
    }
    void messagesAppearBesideTheComposer()
    {
        QFETCH(bool, reply);
        LinkedClient c;
        QVERIFY(c.start());
        QStringList shown;
        const auto box = whenEachShown<frmFlexiBox>([&](frmFlexiBox *f) {
            shown << f->message();
            const bool first = f->message() == QLatin1String("while writing");
            QCOMPARE(frmUsers::loaded() != nullptr, first || !reply);
            f->cmdAction_Click(reply && first ? 0 : 1);
        });
        std::unique_ptr<QTimer> replyComposer;
        const auto composer = whenShown<frmUsers>([&](frmUsers *f) {
            QVERIFY(c.serverSays(QStringLiteral("CMD_MSG:bob#while writing")));
            QCOMPARE(shown, QStringList{QStringLiteral("while writing")});
            QVERIFY(!frmFlexiBox::loaded());
            QVERIFY(c.serverSays(QStringLiteral("CMD_MSG:cy#behind")));
            QCOMPARE(shown.size(), reply ? 1 : 2);
            QVERIFY(c.serverSays(users("zed|")));
            QCOMPARE(frmUsers::loaded(), f); // the second list is refused
            QCOMPARE(f->windowTitle(), QLatin1String("Send Message to Another User"));
            QTest::keyClicks(f->txtMsg, QStringLiteral("first"));
            replyComposer = whenShown<frmUsers>([&](frmUsers *r) {
                QCOMPARE(r->windowTitle(), QLatin1String("Reply to message from bob"));
                QCOMPARE(shown.size(), 1);
                QTest::keyClicks(r->txtMsg, QStringLiteral("back"));
                QTest::mouseClick(r->cmdAction[0], Qt::LeftButton);
            });
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(users("ann|"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_MSG:ann#first")));
        QTRY_COMPARE(shown,
                     (QStringList{QStringLiteral("while writing"), QStringLiteral("behind")}));
        QTRY_VERIFY(c.window->colMsgs.isEmpty() && !frmFlexiBox::loaded());
        QStringList sent{QStringLiteral("CMD_MSG:ann#first")};
        if (reply)
            sent << QStringLiteral("CMD_MSG:bob#back");
        QCOMPARE(c.server.requests(), sent);
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
        QVERIFY(!c.window->bShowingMsgs);
        QVERIFY(!frmUsers::loaded());

        c.window->timConnect_Timer();
        QTRY_VERIFY(c.server.hasClient() && c.window->iState == 1);
        c.server.send(QStringLiteral("CMD_MSG:ann#second"));
        QTRY_COMPARE(shown, (QStringList{QStringLiteral("first"), QStringLiteral("first"),
                                         QStringLiteral("second")}));
        QTRY_VERIFY(c.window->colMsgs.isEmpty());
    }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
