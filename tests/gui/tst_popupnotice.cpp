// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"
#include "frmMsg.h"
#include "GeneralDate.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "TestHome.h"

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {

QString headed(const QDateTime &when, const QString &text)
{
    return QStringLiteral("Message received at ") + generalDate(when) + QStringLiteral("\r\r") +
           text;
}

bool isCentred(const QWidget *w)
{
    const QPoint screen = w->screen()->geometry().center();
    const QPoint window = w->frameGeometry().center();
    return qAbs(window.x() - screen.x()) <= 1 && qAbs(window.y() - screen.y()) <= 1;
}

void seedDismissal(const QString &dismiss, const QString &dismissTime)
{
    TestHome::seed(QStringLiteral("Dismiss"), dismiss);
    TestHome::seed(QStringLiteral("DismissTime"), dismissTime);
}

// Waits for one tick of a timer that the tick leaves running.
bool nextTick(QTimer *timer)
{
    return QSignalSpy(timer, &QTimer::timeout).wait(3000);
}

enum Closing { OkClicked, ReturnOnWindow, EnterOnKeypad, CloseBox };

} // namespace

class TestPopUpNotice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { frmMsg::unload(); }

    void laterNoticesReuseTheWindow()
    {
        TestHome home;
        const QString text = QStringLiteral("Line locked");
        const QDateTime before = Clock::now();
        gShowInfo(text);
        const QPointer<frmMsg> form = frmMsg::loaded();
        QVERIFY(form && form->isVisible());
        // The clock may cross a second boundary during the call.
        const QString caption = form->caption();
        QVERIFY2(caption == headed(before, text) || caption == headed(Clock::now(), text),
                 qPrintable(caption));
        QVERIFY(form->lblMsg->text().endsWith(QStringLiteral("\n\n") + text));
        QCOMPARE(home.beeps(), 1);

        form->move(0, 0);
        gShowInfo(QStringLiteral("second"), true, false);
        QCOMPARE(frmMsg::loaded(), form.data());
        QCOMPARE(form->lblMsg->text(), QStringLiteral("second"));
        QVERIFY(isCentred(form));
        QCOMPARE(home.beeps(), 1);
        gShowInfo(QStringLiteral("third"), true);
        QCOMPARE(home.beeps(), 2);
    }

    // The first notice starts the dismissal, a second one restarts it, and one shown with
    // dismissal switched off leaves the running dismissal as it is.
    void dismissal()
    {
        TestHome home;
        seedDismissal(QStringLiteral("1"), QStringLiteral("60"));
        gShowInfo(QStringLiteral("first"), true);
        frmMsg *form = frmMsg::loaded();
        QVERIFY(form);
        QVERIFY(form->timDismiss->isActive());
        Clock::advance(40000);
        gShowInfo(QStringLiteral("second"), true);
        Clock::advance(40000); // 80 s after the first call, 40 s after the second
        QVERIFY(nextTick(form->timDismiss));
        TestHome::seed(QStringLiteral("Dismiss"), QStringLiteral("0"));
        gShowInfo(QStringLiteral("third"), true);
        Clock::advance(20000);
        QTRY_VERIFY_WITH_TIMEOUT(!frmMsg::loaded(), 3000);
    }

    // A "DismissTime" that does not convert neither fails the caller, often an error report
    // itself, nor keeps the user from closing the notice.
    void unreadableDismissTimeLeavesItToTheUser_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("OK") << int(OkClicked);
        QTest::newRow("Return on the window") << int(ReturnOnWindow);
        QTest::newRow("keypad Enter on the window") << int(EnterOnKeypad);
        QTest::newRow("close box") << int(CloseBox);
    }
    void unreadableDismissTimeLeavesItToTheUser()
    {
        QFETCH(int, how);
        TestHome home;
        seedDismissal(QStringLiteral("1"), QStringLiteral("60"));
        gShowInfo(QStringLiteral("first"), true);
        const QPointer<frmMsg> form = frmMsg::loaded();
        QVERIFY(form);
        QVERIFY(form->timDismiss->isActive());
        seedDismissal(QStringLiteral("1"), QStringLiteral(""));
        QVERIFY_THROWS_NO_EXCEPTION(gShowInfo(QStringLiteral("second"), true));
        QCOMPARE(frmMsg::loaded(), form.data());
        QVERIFY(!form->timDismiss->isActive());
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QVERIFY(!QFile::exists(MainModule::errorLogPath()));
        QVERIFY(QTest::qWaitForWindowExposed(form));
        switch (how) {
        case OkClicked:
            QTest::mouseClick(form->cmdOK, Qt::LeftButton);
            break;
        case ReturnOnWindow:
            QTest::keyClick(form, Qt::Key_Return);
            break;
        case EnterOnKeypad:
            QTest::keyClick(form, Qt::Key_Enter, Qt::KeypadModifier);
            break;
        case CloseBox:
            QVERIFY(form->windowHandle()->close());
            break;
        }
        QVERIFY(form.isNull());
        QVERIFY(!frmMsg::loaded());
    }
};

QTEST_MAIN(TestPopUpNotice)
#include "tst_popupnotice.moc"
