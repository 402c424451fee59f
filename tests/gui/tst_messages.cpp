// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmFlexiBox.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmUsers.h"
#include "LinkedClient.h"
#include "MainModule.h"
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

void clickItem(QListWidget *list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}

} // namespace

// Writing to other users and the queue of their messages; the answers of each dialog are the
// dialling test's table.
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
    // recipients go out in list order whatever the order of choosing. A lone user arrives
    // chosen, with the caret in the text box.
    void composeToSeveralUsers()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QTest::mouseClick(c.window->cmdAction[3], Qt::LeftButton);
        QCOMPARE(c.server.requests(), QStringList{QStringLiteral("CMD_USERS")});
        auto watch = whenShown<frmUsers>([&](frmUsers *f) {
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
        c.server.send(users("zed|ann||"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_MSG:zed#ann#Lunch #1?\r\nAt one")));
        QTRY_VERIFY(!frmUsers::loaded());

        watch = whenShown<frmUsers>([](frmUsers *f) {
            QCOMPARE(f->lstUsers->selectedItems().size(), 1);
            QCOMPARE(f->focusWidget(), f->txtMsg);
            QTest::keyClicks(f->txtMsg, QStringLiteral("ok"));
            QTest::mouseClick(f->cmdAction[0], Qt::LeftButton);
        });
        c.server.send(users("ann|"));
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_MSG:ann#ok")));
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

    // A message that arrives while the user writes a new one is shown at once, beside the
    // composer. "&Reply" cannot take the composer from the new message: the reply opens when
    // that message is sent, and the messages after the replied one wait behind it.
    void aReplyWaitsForTheComposer()
    {
        LinkedClient c;
        QVERIFY(c.start());
        QStringList shown;
        const auto box = whenEachShown<frmFlexiBox>([&](frmFlexiBox *f) {
            shown << f->message();
            f->cmdAction_Click(shown.size() == 1 ? 0 : 1);
        });
        std::unique_ptr<QTimer> replyComposer;
        const auto composer = whenShown<frmUsers>([&](frmUsers *f) {
            QVERIFY(c.serverSays(QStringLiteral("CMD_MSG:bob#while writing")));
            QVERIFY(c.serverSays(QStringLiteral("CMD_MSG:cy#behind")));
            QCOMPARE(shown, QStringList{QStringLiteral("while writing")});
            QVERIFY(c.serverSays(users("zed|")));
            QCOMPARE(frmUsers::loaded(), f); // the second list is refused
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
        QTRY_COMPARE(shown,
                     (QStringList{QStringLiteral("while writing"), QStringLiteral("behind")}));
        QTRY_VERIFY(c.window->colMsgs.isEmpty() && !frmFlexiBox::loaded());
        QVERIFY(c.server.roundTrip());
        QCOMPARE(c.server.requests(), (QStringList{QStringLiteral("CMD_MSG:ann#first"),
                                                   QStringLiteral("CMD_MSG:bob#back")}));
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
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
