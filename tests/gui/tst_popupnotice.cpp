#include "Clock.h"
#include "frmMsg.h"
#include "LogLine.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "TestHome.h"

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

QString expectedHeading(const QDateTime &when)
{
    return QStringLiteral("Message received at ") + LogLine::generalDate(when) +
           QStringLiteral("\r\r");
}

bool isCentred(const QWidget *w)
{
    const QPoint screen = w->screen()->geometry().center();
    const QPoint window = w->frameGeometry().center();
    return qAbs(window.x() - screen.x()) <= 2 && qAbs(window.y() - screen.y()) <= 2;
}

void seedDismissal(const QString &dismiss, const QString &dismissTime)
{
    TestHome::seed(QStringLiteral("Dismiss"), dismiss);
    TestHome::seed(QStringLiteral("DismissTime"), dismissTime);
}

// Counts a timer's ticks, the last one included: an event filter sees each tick before the
// timer's own handler, which may unload the window and the timer with it.
class TickCounter : public QObject
{
public:
    explicit TickCounter(QTimer *timer) { timer->installEventFilter(this); }

    int ticks = 0;

    // Waits for the next tick.
    bool next()
    {
        const int before = ticks;
        return QTest::qWaitFor([&] { return ticks > before; }, 3000);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            ++ticks;
        return false;
    }
};

enum Closing { OkClicked, EnterOnButton, ReturnOnWindow, EnterOnKeypad, CloseFromCode, CloseBox };

} // namespace

class TestPopUpNotice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { frmMsg::unload(); }

    void heading_data()
    {
        QTest::addColumn<int>("pvNoTime"); // -1: missing
        QTest::addColumn<bool>("headed");
        QTest::newRow("missing") << -1 << true;
        QTest::newRow("false") << 0 << true;
        QTest::newRow("true") << 1 << false;
    }
    void heading()
    {
        QFETCH(int, pvNoTime);
        QFETCH(bool, headed);
        TestHome home;
        const QString text = QStringLiteral("Another user cancelled the disconnection");
        const QDateTime before = Clock::now();
        if (pvNoTime < 0)
            gShowInfo(text);
        else
            gShowInfo(text, pvNoTime == 1);
        const QDateTime after = Clock::now();
        frmMsg *form = frmMsg::loaded();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        if (headed) {
            QVERIFY2(form->caption() == expectedHeading(before) + text ||
                         form->caption() == expectedHeading(after) + text,
                     qPrintable(form->caption()));
            QVERIFY(form->lblMsg->text().endsWith(QStringLiteral("\n\n") + text));
            QVERIFY(!form->lblMsg->text().contains(QLatin1Char('\r')));
        } else {
            QCOMPARE(form->caption(), text);
            QCOMPARE(form->lblMsg->text(), text);
        }
        QCOMPARE(form->windowTitle(), QStringLiteral("Velmora Client"));
    }

    void beep_data()
    {
        QTest::addColumn<int>("pvNoBeep"); // -1: missing, 0: false, 2: a wave's empty text
        QTest::addColumn<int>("beeps");
        QTest::newRow("missing") << -1 << 1;
        QTest::newRow("false") << 0 << 0;
        QTest::newRow("wave setting") << 2 << 0;
    }
    void beep()
    {
        QFETCH(int, pvNoBeep);
        QFETCH(int, beeps);
        TestHome home;
        const QString text = QStringLiteral("Connected to Office");
        if (pvNoBeep < 0)
            gShowInfo(text, true);
        else if (pvNoBeep == 0)
            gShowInfo(text, true, QVariant(false));
        else
            gShowInfo(text, true, QVariant(QString()));
        QVERIFY(frmMsg::loaded());
        QCOMPARE(home.beeps(), beeps);
        QCOMPARE(home.sounds().size(), beeps);
    }

    void windowIsATopmostFixedNotice()
    {
        TestHome home;
        gShowInfo(QStringLiteral("About"), true, true);
        frmMsg *form = frmMsg::loaded();
        QVERIFY(form);
        const Qt::WindowFlags flags = form->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(form->minimumSize(), QSize(373, 121)); // 5595 x 1815 twips at 96 dpi
        QCOMPARE(form->maximumSize(), QSize(373, 121));
        QVERIFY(!form->isModal());
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(isCentred(form));
        QCOMPARE(form->cmdOK->text(), QStringLiteral("OK"));
        QVERIFY(form->cmdOK->isDefault());
        QVERIFY(!form->imgInfo->accessibleName().isEmpty());
        QVERIFY(!form->timDismiss->isActive());
    }

    void secondCallReusesTheWindow()
    {
        TestHome home;
        gShowInfo(QStringLiteral("first"), true);
        const QPointer<frmMsg> form = frmMsg::loaded();
        QVERIFY(form);
        form->move(0, 0);
        QVERIFY(!isCentred(form));
        gShowInfo(QStringLiteral("second"), true, false);
        QCOMPARE(frmMsg::loaded(), form.data());
        QCOMPARE(form->caption(), QStringLiteral("second"));
        QCOMPARE(form->lblMsg->text(), QStringLiteral("second"));
        QVERIFY(isCentred(form));
        QCOMPARE(home.beeps(), 1);
        gShowInfo(QStringLiteral("third"), true);
        QCOMPARE(home.beeps(), 2);
        QCOMPARE(form->caption(), QStringLiteral("third"));
    }

    void dismissesAfterDismissTime()
    {
        TestHome home;
        seedDismissal(QStringLiteral("1"), QStringLiteral("60"));
        gShowInfo(QStringLiteral("Connected to Office"), true, QString());
        frmMsg *form = frmMsg::loaded();
        QVERIFY(form);
        QVERIFY(form->timDismiss->isActive());
        TickCounter ticks(form->timDismiss);
        QVERIFY(ticks.next());
        QVERIFY(frmMsg::loaded());
        Clock::advance(30000);
        QVERIFY(ticks.next());
        QVERIFY(frmMsg::loaded());
        Clock::advance(30000);
        QVERIFY(ticks.next());
        QVERIFY(!frmMsg::loaded());
    }

    void dismissTimeZeroClosesAtTheFirstTick_data()
    {
        QTest::addColumn<QString>("dismissTime"); // null: not stored
        QTest::newRow("zero") << QStringLiteral("0");
        QTest::newRow("not stored") << QString();
    }
    void dismissTimeZeroClosesAtTheFirstTick()
    {
        QFETCH(QString, dismissTime);
        TestHome home;
        TestHome::seed(QStringLiteral("Dismiss"), QStringLiteral("1"));
        if (!dismissTime.isNull())
            TestHome::seed(QStringLiteral("DismissTime"), dismissTime);
        gShowInfo(QStringLiteral("Disconnected"), true, QString());
        frmMsg *form = frmMsg::loaded();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        TickCounter ticks(form->timDismiss);
        QVERIFY(ticks.next());
        QCOMPARE(ticks.ticks, 1);
        QVERIFY(!frmMsg::loaded());
    }

    void secondCallRestartsTheDismissal()
    {
        TestHome home;
        seedDismissal(QStringLiteral("1"), QStringLiteral("60"));
        gShowInfo(QStringLiteral("first"), true);
        frmMsg *form = frmMsg::loaded();
        QVERIFY(form);
        TickCounter ticks(form->timDismiss);
        Clock::advance(40000);
        gShowInfo(QStringLiteral("second"), true);
        Clock::advance(40000); // 80 s after the first call, 40 s after the second
        QVERIFY(ticks.next());
        QVERIFY(frmMsg::loaded());
        Clock::advance(20000);
        QVERIFY(ticks.next());
        QVERIFY(!frmMsg::loaded());
    }

    void dismissalOffLeavesItOpen_data()
    {
        QTest::addColumn<QString>("dismiss"); // null: not stored
        QTest::newRow("off") << QStringLiteral("0");
        QTest::newRow("not stored") << QString();
    }
    void dismissalOffLeavesItOpen()
    {
        QFETCH(QString, dismiss);
        TestHome home;
        TestHome::seed(QStringLiteral("DismissTime"), QStringLiteral("0"));
        if (!dismiss.isNull())
            TestHome::seed(QStringLiteral("Dismiss"), dismiss);
        gShowInfo(QStringLiteral("Restart the client"), true);
        Clock::advance(3600 * 1000);
        QCoreApplication::processEvents();
        frmMsg *form = frmMsg::loaded();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QVERIFY(!form->timDismiss->isActive());
    }

    void dismissalOffLeavesARunningDismissalAlone()
    {
        TestHome home;
        seedDismissal(QStringLiteral("1"), QStringLiteral("60"));
        gShowInfo(QStringLiteral("first"), true);
        frmMsg *form = frmMsg::loaded();
        QVERIFY(form);
        TestHome::seed(QStringLiteral("Dismiss"), QStringLiteral("0"));
        Clock::advance(30000);
        gShowInfo(QStringLiteral("second"), true);
        QVERIFY(form->timDismiss->isActive());
        TickCounter ticks(form->timDismiss);
        Clock::advance(30000);
        QVERIFY(ticks.next());
        QVERIFY(!frmMsg::loaded());
    }

    void unreadableSettingsLeaveItToTheUser_data()
    {
        QTest::addColumn<QString>("dismiss");
        QTest::addColumn<QString>("dismissTime");
        QTest::newRow("word time") << QStringLiteral("1") << QStringLiteral("soon");
        QTest::newRow("empty time") << QStringLiteral("1") << QStringLiteral("");
        QTest::newRow("time overflows") << QStringLiteral("1") << QStringLiteral("99999");
        QTest::newRow("word switch") << QStringLiteral("often") << QStringLiteral("5");
    }
    void unreadableSettingsLeaveItToTheUser()
    {
        QFETCH(QString, dismiss);
        QFETCH(QString, dismissTime);
        TestHome home;
        seedDismissal(QStringLiteral("1"), QStringLiteral("60"));
        gShowInfo(QStringLiteral("first"), true);
        frmMsg *form = frmMsg::loaded();
        QVERIFY(form);
        QVERIFY(form->timDismiss->isActive());

        seedDismissal(dismiss, dismissTime);
        QVERIFY_THROWS_NO_EXCEPTION(gShowInfo(QStringLiteral("second"), true));
        QCOMPARE(frmMsg::loaded(), form);
        QVERIFY(form->isVisible());
        QCOMPARE(form->caption(), QStringLiteral("second"));
        QVERIFY(!form->timDismiss->isActive());
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QVERIFY(!QFile::exists(MainModule::errorLogPath()));

        QTest::mouseClick(form->cmdOK, Qt::LeftButton);
        QVERIFY(!frmMsg::loaded());
    }

    void userCloses_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("OK") << int(OkClicked);
        QTest::newRow("Enter on OK") << int(EnterOnButton);
        QTest::newRow("Return on the window") << int(ReturnOnWindow);
        QTest::newRow("keypad Enter on the window") << int(EnterOnKeypad);
        QTest::newRow("close from code") << int(CloseFromCode);
        QTest::newRow("close box") << int(CloseBox);
    }
    void userCloses()
    {
        QFETCH(int, how);
        TestHome home;
        seedDismissal(QStringLiteral("1"), QStringLiteral("60"));
        gShowInfo(QStringLiteral("Line locked"));
        const QPointer<frmMsg> form = frmMsg::loaded();
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        switch (how) {
        case OkClicked:
            QTest::mouseClick(form->cmdOK, Qt::LeftButton);
            break;
        case EnterOnButton:
            QTest::keyClick(form->cmdOK, Qt::Key_Return);
            break;
        case ReturnOnWindow:
            QTest::keyClick(form, Qt::Key_Return);
            break;
        case EnterOnKeypad:
            QTest::keyClick(form, Qt::Key_Enter, Qt::KeypadModifier);
            break;
        case CloseFromCode:
            QVERIFY(form->close());
            break;
        case CloseBox:
            QVERIFY(form->windowHandle()->close());
            break;
        }
        QVERIFY(!frmMsg::loaded());
        QVERIFY(form.isNull());

        // The next notice starts from the design state: no dismissal left running.
        TestHome::seed(QStringLiteral("Dismiss"), QStringLiteral("0"));
        gShowInfo(QStringLiteral("next"), true);
        QVERIFY(frmMsg::loaded());
        QVERIFY(!frmMsg::loaded()->timDismiss->isActive());
    }
};

QTEST_MAIN(TestPopUpNotice)
#include "tst_popupnotice.moc"
