// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Artwork.h"
#include "Clock.h"
#include "frmAlert.h"
#include "frmConfigure.h"
#include "frmFlexiBox.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "NotifyIcon.h"
#include "RuntimeError.h"
#include "Settings.h"
#include "TestHome.h"
#include "WhenShown.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {

enum Answer { CancelButton, CloseBox, OkWithServer };

} // namespace

// The windows on their own: the main window's start and close, and the dialogs it opens
// without the server: the countdown, the general box and the notice.
class TestWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { SharedForms::unloadAll(); }

    // An unconfigured client first offers the configuration dialog, with the link timer
    // stopped; each way of declining it ends the program without saving what was typed, as a
    // stored value that does not convert does.
    void firstStart()
    {
        const char *unconfigured = "Velmora Client|16|You cannot use the Velmora Client unless you "
                                   "specify an IP Address and a port number for the server.";
        // The store; how the dialog is answered; the box shown, as "title|style|text", or none,
        // and then the program runs.
        const std::tuple<const char *, Answer, const char *> rows[] = {
            {"", CloseBox, unconfigured},
            {"", OkWithServer, ""},
            {"ServerIPAddress=127.0.0.1;ServerName=modem", CancelButton, unconfigured}, // no port
            {"ServerIPAddress=127.0.0.1;ServerPort=1;Alert=often", CancelButton,
             "Velmora Client|48|Type mismatch: the setting Alert holds \"often\", which is not a "
             "whole number"},
        };
        for (const auto &[settings, how, box] : rows) {
            TestHome home;
            TestHome::seed(settings);
            frmMain w;
            bool offered = false;
            auto watch = whenShown<frmConfigure>([&, answer = how](frmConfigure *d) {
                offered = !w.timConnect->isActive();
                QTest::keyClicks(d->txtServerName, QStringLiteral("typed"));
                if (answer == OkWithServer) {
                    QTest::keyClicks(d->txtIPAddress, QStringLiteral("127.0.0.1"));
                    QTest::keyClick(d->txtIPAddress, Qt::Key_Return);
                } else if (answer == CancelButton) {
                    QTest::mouseClick(d->cmdAction[1], Qt::LeftButton);
                } else {
                    d->close();
                }
            });
            MessageBox::setNextAnswer(MessageBox::AnswerOk); // for the box, if one is shown
            const bool runs = w.Form_Load();
            QStringList shown;
            for (const MessageBox::Shown &b : MessageBox::shownBoxes())
                shown << QStringLiteral("%1|%2|%3").arg(b.title).arg(b.style).arg(b.text);
            QCOMPARE(shown.join(QLatin1Char('\n')), QLatin1String(box));
            const bool typeMismatch =
                shown.join(QString()).contains(QLatin1String("Type mismatch"));
            QCOMPARE(std::pair(runs, offered), std::pair(shown.isEmpty(), !typeMismatch));
            QVERIFY(!frmConfigure::loaded());
            // Ended at once: no unload, so nothing saved but what OK saved.
            const bool address = how == OkWithServer || qstrlen(settings) > 0;
            QCOMPARE(Settings::text(Settings::ServerIPAddress, QStringLiteral("absent")),
                     QLatin1String(address ? "127.0.0.1" : "absent"));
            cleanup();
        }
    }

    void shownWindowFollowsTheSettingsAndAsksBeforeClosing()
    {
        TestHome home;
        TestHome::seed("ServerName=modem;ServerPort=1000;Alert=1;MainScreenExit=1");
        gWriteLog(QStringLiteral("Out"), QStringLiteral("previous run"));
        frmMain w;
        QVERIFY(w.Form_Load());
        QVERIFY(!QFile::exists(MainModule::activityLogPath()));
        QVERIFY(w.chkAlert->isChecked() && w.mnuSysTray[3]->isChecked());
        QCOMPARE(w.cmdAction[1]->text(), QLatin1String("Mi&nimize"));
        // Centred by its outer size, frame included, not half a frame off.
        const QPoint offCentre = w.frameGeometry().center() - w.screen()->geometry().center();
        QVERIFY2(w.frameGeometry().size() != w.size(), "the platform draws no frame");
        QVERIFY(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1);
        QCOMPARE(gNotifyIconData.hIcon, Artwork::stateIcon(0).toImage());
        // One picture: the installed icon is the window's icon and the logo.
        const QPixmap installed(QStringLiteral(VELMORA_DATA "/icons/32x32/velmora-client.png"));
        QVERIFY(!installed.isNull());
        QCOMPARE(w.windowIcon().pixmap(QSize(32, 32)).toImage(), installed.toImage());
        QCOMPARE(w.imgBrindor->pixmap().toImage(), w.windowIcon().pixmap(QSize(45, 45)).toImage());

        QSignalSpy ended(&w, &frmMain::programEnded);
        MessageBox::setNextAnswer(MessageBox::AnswerNo);
        QVERIFY(!w.close() && ended.isEmpty());
        QCOMPARE(MessageBox::shownBoxes().last().text,
                 QStringLiteral("Are you SURE you want to shut down the Velmora Client?\rYou will "
                                "not be able to disconnect the server modem!"));
        QCOMPARE(MessageBox::shownBoxes().last().style, 308);
        w.chkAlert->setChecked(false);
        MessageBox::setNextAnswer(MessageBox::AnswerYes);
        QVERIFY(w.close());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(Settings::text(Settings::Alert), QLatin1String("0"));
    }

    // Minimised, the window lives on in the notification area. Configuring from there, unlinked,
    // is modal over the shown window, with the link timer stopped, and minimises it again. A
    // second start activates the first and leaves its log alone. Without a notification area,
    // minimising keeps the window on the taskbar.
    void minimisedToTheNotificationArea()
    {
        TestHome home;
        TestHome::seedServer(1);
        frmMain first;
        QVERIFY(first.Form_Load());
        first.showMinimized();
        QTRY_VERIFY(!first.isVisible());
        std::tuple<bool, bool, bool> seen;
        auto watch = whenShown<frmConfigure>([&](frmConfigure *d) {
            seen = {d->isModal(), first.timConnect->isActive(), first.isVisible()};
            QTest::mouseClick(d->cmdAction[1], Qt::LeftButton);
        });
        first.mnuSysTray_Click(5);
        QCOMPARE(seen, std::tuple(true, false, true)); // modal, the timer stopped, shown
        QVERIFY(!frmConfigure::loaded() && first.timConnect->isActive());
        QTRY_VERIFY(!first.isVisible());
        gWriteLog(QStringLiteral("Out"), QStringLiteral("first run"));
        const QString log = TestHome::readFile(MainModule::activityLogPath());

        frmMain second;
        QVERIFY(!second.Form_Load() && second.windowTitle().isEmpty());
        QTRY_VERIFY(first.isVisible());
        QVERIFY(!first.isMinimized());
        QCOMPARE(TestHome::readFile(MainModule::activityLogPath()), log);

        NotifyIcon::setAvailableForTests(false);
        first.showMinimized();
        // The hiding, when there is one, is queued behind the state change.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(first.isVisible() && first.isMinimized());
    }

    // The focus starts on a button that lies out of sight and does nothing, and another program
    // coming to the front is no tab: the focus stays where it was. The keys are the keyboard
    // test's. The count's arithmetic is the unit table's; here, what the window does with each
    // tick, to the stop at 0.
    void countdown()
    {
        TestHome home;
        TestHome::seed(QStringLiteral("Beep"), QStringLiteral("1"));
        frmAlert *w = frmAlert::instance();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QVERIFY(w->cmdDummy->geometry().right() < 0);
        QTest::keyClick(w->cmdDummy, Qt::Key_Space);
        w->cmdAction[1]->setFocus(Qt::TabFocusReason);
        QWidget elsewhere;
        elsewhere.show();
        QApplication::setActiveWindow(&elsewhere);
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        QCOMPARE(w->focusWidget(), w->cmdAction[1]);
        QVERIFY(!w->close() && w->Tag.isEmpty());

        const auto colour = [w] { return w->lblCountdown->palette().color(QPalette::WindowText); };
        QVERIFY(colour() != QColor(Qt::red));
        w->lblCountdown->setText(QStringLiteral("11"));
        w->timCountdown_Timer();
        // Beeps as it shows, and at 10.
        QCOMPARE(std::tuple(w->lblCountdown->text(), colour(), w->isVisible(),
                            w->timCountdown->isActive(), home.beeps()),
                 std::tuple(QStringLiteral("10"), QColor(Qt::red), true, true, 2));
        w->lblCountdown->setText(QStringLiteral("1"));
        w->timCountdown_Timer();
        QVERIFY(!w->isVisible() && !w->timCountdown->isActive());
    }

    // The layout's arithmetic is the unit table's; here, that the box places its children as
    // it says, with the symbol and title asked for, and answers with the button's index. The
    // figures are the table's "one line" row in pixels of 15 twips: a 5835 x 1200 client area,
    // buttons at 1762 and 2977 below a 495-high label.
    void generalBoxPlacesItsChildren()
    {
        TestHome home;
        QString named;
        QList<QRect> placed;
        auto watch = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
            named = f->windowTitle() + QLatin1Char(' ') + f->imgIcon->accessibleName();
            placed = {f->rect(), f->imgIcon->geometry(), f->lblMsg->geometry(),
                      f->cmdAction[0]->geometry(), f->cmdAction[1]->geometry()};
            QTest::mouseClick(f->cmdAction[1], Qt::LeftButton);
        });
        const QStringList captions{QStringLiteral("&Yes"), QStringLiteral("&No")};
        QCOMPARE(giFlexiBox(QStringLiteral("Go on?"), 32, captions), qint16(1));
        QCOMPARE(named, QLatin1String("Velmora Client Question"));
        const QList<QRect> expected{{0, 0, 389, 80},
                                    {8, 8, 32, 32},
                                    {44, 8, 337, 33},
                                    {117, 49, 73, 25},
                                    {198, 49, 73, 25}};
        QCOMPARE(placed, expected);
        QCOMPARE(home.beeps(), 1);

        // A lone caption only names the one button, which keeps its width; a title
        // replaces the program's; a long text and line breaks make the label taller, to fit the
        // text; the close box answers 1.
        QString seen;
        watch = whenShown<frmFlexiBox>([&seen](frmFlexiBox *f) {
            const QLabel *label = f->lblMsg;
            seen = QStringLiteral("%1 %2 %3 %4 %5")
                       .arg(f->windowTitle(), f->imgIcon->accessibleName())
                       .arg(f->cmdAction.size())
                       .arg(f->cmdAction[0]->width())
                       .arg(label->heightForWidth(label->width()) <= label->height());
            f->close();
        });
        QCOMPARE(giFlexiBox(QStringLiteral("The printer is out of paper again. ").repeated(8) +
                                QStringLiteral("\r\n\r\nAnn"),
                            16, QStringLiteral("A caption far wider than any button"),
                            QStringLiteral("Halt")),
                 qint16(1));
        QCOMPARE(seen, QLatin1String("Halt Stop 1 73 1"));

        // Errors reach the caller and leave no box behind; a style has a symbol or none.
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 giFlexiBox(QStringLiteral("x"), 99, QStringLiteral("OK")));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, giFlexiBox(QStringLiteral("x"), 48, QStringList()));
        QVERIFY(!frmFlexiBox::loaded());
        QCOMPARE(home.beeps(), 2);
        QVERIFY(Artwork::messageSymbol(99).isNull());
    }

    // The first notice starts the dismissal, a second one restarts it, and the notice goes once
    // the time since the second has passed. A "DismissTime" that does not convert stops it, and
    // neither fails the caller, often an error report itself, nor keeps the user from closing the
    // notice.
    void noticeDismissal()
    {
        TestHome home;
        TestHome::seed("Dismiss=1;DismissTime=60");
        gShowInfo(QStringLiteral("first"), true);
        QTimer *timer = frmMsg::loaded()->timDismiss;
        Clock::advance(40000);
        gShowInfo(QStringLiteral("second"), true);
        Clock::advance(40000); // 80 s after the first call, 40 s after the second
        // The timer's tick runs at once, rather than a second later.
        QVERIFY(timer->isActive() && QMetaObject::invokeMethod(timer, "timeout"));
        QVERIFY(frmMsg::loaded());
        Clock::advance(20000);
        QVERIFY(timer->isActive() && QMetaObject::invokeMethod(timer, "timeout"));
        QVERIFY(!frmMsg::loaded());

        TestHome::seed("Dismiss=1;DismissTime=60");
        gShowInfo(QStringLiteral("fourth"), true);
        const QPointer<frmMsg> form = frmMsg::loaded();
        QVERIFY(form->timDismiss->isActive());
        TestHome::seed("Dismiss=1;DismissTime=");
        QVERIFY_THROWS_NO_EXCEPTION(gShowInfo(QStringLiteral("fifth"), true));
        QVERIFY(frmMsg::loaded() == form && !form->timDismiss->isActive());
        QVERIFY(!QFile::exists(MainModule::errorLogPath())); // the test home fails on any box
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QVERIFY(form->windowHandle()->close());
        QVERIFY(form.isNull());
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
