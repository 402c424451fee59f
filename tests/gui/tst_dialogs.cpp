// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Artwork.h"
#include "Clock.h"
#include "frmAlert.h"
#include "frmFlexiBox.h"
#include "frmMsg.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "RuntimeError.h"
#include "TestHome.h"
#include "WhenShown.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {

QColor countColour(const frmAlert *w)
{
    return w->lblCountdown->palette().color(QPalette::WindowText);
}

void seedDismissal(const char *dismiss, const char *dismissTime)
{
    TestHome::seed(QStringLiteral("Dismiss"), QString::fromLatin1(dismiss));
    TestHome::seed(QStringLiteral("DismissTime"), QString::fromLatin1(dismissTime));
}

// One tick of the notice's dismissal timer, run at once rather than a second later, after the
// clock was moved on.
void tick(QTimer *timer)
{
    QVERIFY(timer->isActive());
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
}

QString geometries(const QWidgetList &widgets)
{
    QStringList rects;
    for (const QWidget *w : widgets)
        rects << QStringLiteral("%1,%2 %3x%4")
                     .arg(w->x())
                     .arg(w->y())
                     .arg(w->width())
                     .arg(w->height());
    return rects.join(QLatin1Char(' '));
}

} // namespace

// The dialogs on their own: the entry chooser, the countdown, the general box and the notice.
class TestDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { SharedForms::unloadAll(); }

    // The focus starts on a button that lies out of sight and does nothing, and another program
    // coming to the front is no tab: the focus stays where it was. The keys are the keyboard
    // test's.
    void countdownKeepsItsFocus()
    {
        TestHome home;
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
        QVERIFY(!w->close());
        QVERIFY(w->isVisible() && w->Tag.isEmpty());
    }

    // The count's arithmetic is the unit test's; here, what the window does with each tick. The
    // timer running the ticks on its own is the dial test's "time runs out".
    void countdownTurnsRedAndStops()
    {
        TestHome home;
        TestHome::seed(QStringLiteral("Beep"), QStringLiteral("1"));
        frmAlert *w = frmAlert::instance();
        QVERIFY(countColour(w) != QColor(Qt::red));
        w->lblCountdown->setText(QStringLiteral("11"));
        w->timCountdown_Timer();
        QCOMPARE(w->lblCountdown->text(), QLatin1String("10"));
        QCOMPARE(countColour(w), QColor(Qt::red));
        QVERIFY(w->isVisible() && w->timCountdown->isActive());
        w->lblCountdown->setText(QStringLiteral("1"));
        w->timCountdown_Timer();
        QVERIFY(!w->isVisible() && !w->timCountdown->isActive() && w->Tag.isEmpty());
        QCOMPARE(home.beeps(), 3); // as it shows, and at 10 and 0
    }

    // The layout's arithmetic is the unit table's; here, that the box places its children as
    // it says, with the symbol and title asked for, and answers with the button's index. The
    // figures are the table's "one line" row in pixels of 15 twips: a 5835 x 1200 client area,
    // buttons at 1762 and 2977 below a 495-high label.
    void generalBoxPlacesItsChildren()
    {
        TestHome home;
        auto watch = whenShown<frmFlexiBox>([](frmFlexiBox *f) {
            [&] {
                QCOMPARE(f->windowTitle(), QLatin1String("Velmora Client"));
                QCOMPARE(f->imgIcon->accessibleName(), QLatin1String("Question"));
                QCOMPARE(f->size(), QSize(389, 80));
                QCOMPARE(geometries({f->imgIcon, f->lblMsg, f->cmdAction[0], f->cmdAction[1]}),
                         QLatin1String("8,8 32x32 44,8 337x33 117,49 73x25 198,49 73x25"));
            }();
            QTest::mouseClick(f->cmdAction[1], Qt::LeftButton);
        });
        const QStringList captions{QStringLiteral("&Yes"), QStringLiteral("&No")};
        QCOMPARE(giFlexiBox(QStringLiteral("Go on?"), 32, captions), qint16(1));
        QCOMPARE(home.beeps(), 1);

        // A lone caption only names the one button; a long text and line breaks make the box
        // taller; the close box answers 1.
        watch = whenShown<frmFlexiBox>([](frmFlexiBox *f) {
            [&] {
                QCOMPARE(f->cmdAction.size(), 1);
                QCOMPARE(f->windowTitle(), QLatin1String("Halt"));
                QCOMPARE(f->imgIcon->accessibleName(), QLatin1String("Stop"));
                QCOMPARE(f->cmdAction[0]->x(), 158);
                QCOMPARE(f->cmdAction[0]->width(), 73);
                QVERIFY(f->cmdAction[0]->y() > f->lblMsg->geometry().bottom());
                QVERIFY(f->lblMsg->heightForWidth(f->lblMsg->width()) <= f->lblMsg->height());
            }();
            f->close();
        });
        QCOMPARE(giFlexiBox(QStringLiteral("The printer is out of paper again. ").repeated(8) +
                                QStringLiteral("\r\n\r\nAnn"),
                            16, QStringLiteral("A caption far wider than any button"),
                            QStringLiteral("Halt")),
                 qint16(1));

        // Errors reach the caller and leave no box behind.
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 giFlexiBox(QStringLiteral("x"), 99, QStringLiteral("OK")));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, giFlexiBox(QStringLiteral("x"), 48, QStringList()));
        QVERIFY(!frmFlexiBox::loaded());
        QCOMPARE(home.beeps(), 2);
    }

    // Drawn, not scaled up: a large symbol fills its square as a small one does.
    void symbolsAreDrawnAtEverySize()
    {
        const auto opaque = [](const QIcon &icon, int side, qreal ratio) {
            const QImage image = icon.pixmap(QSize(side, side), ratio).toImage();
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += qAlpha(image.pixel(x, y)) > 128;
            return double(count) / (image.width() * image.height());
        };
        for (const int style : {16, 32, 48, 64}) {
            const QIcon icon = Artwork::messageSymbol(style);
            QVERIFY(opaque(icon, 32, 1.0) > 0.3);
            QVERIFY(qAbs(opaque(icon, 32, 1.0) - opaque(icon, 64, 4.0)) < 0.08);
        }
        QVERIFY(Artwork::messageSymbol(0).isNull());
    }

    // The notice says when the message came, and a later one reuses the window, centred again.
    void laterNoticesReuseTheWindow()
    {
        TestHome home;
        gShowInfo(QStringLiteral("Line locked"));
        const QPointer<frmMsg> form = frmMsg::loaded();
        QVERIFY(form->caption().startsWith(QLatin1String("Message received at ")));
        QVERIFY(form->lblMsg->text().endsWith(QLatin1String("\n\nLine locked")));
        form->move(0, 0);
        gShowInfo(QStringLiteral("second"), true, false);
        QCOMPARE(frmMsg::loaded(), form.data());
        QCOMPARE(form->lblMsg->text(), QStringLiteral("second"));
        const QPoint offCentre =
            form->frameGeometry().center() - form->screen()->geometry().center();
        QVERIFY(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1);
        QCOMPARE(home.beeps(), 1);
    }

    // The first notice starts the dismissal, a second one restarts it, and one shown with
    // dismissal switched off leaves the running dismissal as it is.
    void noticeDismissal()
    {
        TestHome home;
        seedDismissal("1", "60");
        gShowInfo(QStringLiteral("first"), true);
        QTimer *timer = frmMsg::loaded()->timDismiss;
        Clock::advance(40000);
        gShowInfo(QStringLiteral("second"), true);
        Clock::advance(40000); // 80 s after the first call, 40 s after the second
        tick(timer);
        QVERIFY(frmMsg::loaded());
        TestHome::seed(QStringLiteral("Dismiss"), QStringLiteral("0"));
        gShowInfo(QStringLiteral("third"), true);
        Clock::advance(20000);
        tick(timer);
        QVERIFY(!frmMsg::loaded());
    }

    // A "DismissTime" that does not convert neither fails the caller, often an error report
    // itself, nor keeps the user from closing the notice.
    void unreadableDismissTimeLeavesItToTheUser()
    {
        TestHome home;
        seedDismissal("1", "60");
        gShowInfo(QStringLiteral("first"), true);
        const QPointer<frmMsg> form = frmMsg::loaded();
        QVERIFY(form->timDismiss->isActive());
        seedDismissal("1", "");
        QVERIFY_THROWS_NO_EXCEPTION(gShowInfo(QStringLiteral("second"), true));
        QCOMPARE(frmMsg::loaded(), form.data());
        QVERIFY(!form->timDismiss->isActive());
        QVERIFY(MessageBox::shownBoxes().isEmpty() && !QFile::exists(MainModule::errorLogPath()));
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QVERIFY(form->windowHandle()->close());
        QVERIFY(form.isNull());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
