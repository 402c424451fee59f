#include "frmAlert.h"
#include "frmDUNPassword.h"
#include "frmPhonebook.h"
#include "TestHome.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

const QColor red(255, 0, 0);

// How the user ends an answering dialog without its first button.
enum class Dismissal { CancelButton, Escape, CloseBox };

void dismiss(QDialog *window, QPushButton *cancel, Dismissal how)
{
    switch (how) {
    case Dismissal::CancelButton:
        QTest::mouseClick(cancel, Qt::LeftButton);
        break;
    case Dismissal::Escape:
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        break;
    case Dismissal::CloseBox:
        QVERIFY(!window->close());
        break;
    }
}

// The frame every dialog shares: a fixed client area, no minimise or maximise button, the
// program's icon, centred on the screen, shown without blocking its opener.
void checkFrame(QDialog *window, QSize clientPixels)
{
    QCOMPARE(window->size(), clientPixels);
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(!(window->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!window->windowIcon().isNull());
    QVERIFY(!window->isModal());
    const QRect screen = window->screen()->geometry();
    QVERIFY(qAbs(window->frameGeometry().center().x() - screen.center().x()) <= 2);
    QVERIFY(qAbs(window->frameGeometry().center().y() - screen.center().y()) <= 2);
}

void showAndActivate(QDialog *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// The focus starts on the first widget and Tab visits the others in turn.
void checkTabOrder(std::initializer_list<QWidget *> order)
{
    QCOMPARE(QApplication::focusWidget(), *order.begin());
    for (auto next = order.begin() + 1; next != order.end(); ++next) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), *next);
    }
}

void fill(QListWidget *list, const QStringList &entries)
{
    list->clear();
    for (const QString &entry : entries)
        list->addItem(entry);
}

void clickEntry(QListWidget *list, int row, bool twice)
{
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

Q_DECLARE_METATYPE(Dismissal)

class TestDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        frmPhonebook::unload();
        frmDUNPassword::unload();
        frmAlert::unload();
    }

    // ---- Entry chooser -------------------------------------------------------------------

    void chooserLaysOutSortedEntries()
    {
        frmPhonebook *w = frmPhonebook::instance();
        QVERIFY(!w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral(" Select Connection"));
        checkFrame(w, QSize(270, 186)); // 4050 x 2790 twips at 96 dpi
        QCOMPARE(w->cmdAction[0]->text(), QStringLiteral("Connect"));
        QCOMPARE(w->cmdAction[1]->text(), QStringLiteral("Cancel"));

        fill(w->lstPhonebook, {QStringLiteral("Office ISP"), QStringLiteral("Backup line"),
                               QStringLiteral("Mobile"), QStringLiteral("Dial-in")});
        QStringList shown;
        for (int i = 0; i < w->lstPhonebook->count(); ++i)
            shown << w->lstPhonebook->item(i)->text();
        QCOMPARE(shown, QStringList({QStringLiteral("Backup line"), QStringLiteral("Dial-in"),
                                     QStringLiteral("Mobile"), QStringLiteral("Office ISP")}));

        showAndActivate(w);
        checkTabOrder({w->lstPhonebook, w->cmdAction[0], w->cmdAction[1], w->lstPhonebook});
        QVERIFY(w->Tag.isEmpty());
    }

    void connectNeedsASelection()
    {
        frmPhonebook *w = frmPhonebook::instance();
        fill(w->lstPhonebook, {QStringLiteral("Office ISP"), QStringLiteral("Backup line")});
        showAndActivate(w);
        // The focused list has a current row, yet nothing is selected: no answer.
        QTest::keyClick(w->lstPhonebook, Qt::Key_Return);
        QTest::mouseClick(w->cmdAction[0], Qt::LeftButton);
        QVERIFY(w->Tag.isEmpty());
        QVERIFY(w->isVisible());

        clickEntry(w->lstPhonebook, 1, false);
        w->lstPhonebook->setFocus();
        QTest::keyClick(w->lstPhonebook, Qt::Key_Return);
        QCOMPARE(w->Tag, QStringLiteral("0"));
        QVERIFY(!w->isVisible());
        QCOMPARE(w->lstPhonebook->selectedItems().size(), 1);
        QCOMPARE(w->lstPhonebook->selectedItems().first()->text(), QStringLiteral("Office ISP"));
    }

    void doubleClickAnswersWithThatEntry()
    {
        frmPhonebook *w = frmPhonebook::instance();
        fill(w->lstPhonebook,
             {QStringLiteral("Zeta"), QStringLiteral("Alpha"), QStringLiteral("Mu")});
        showAndActivate(w);
        clickEntry(w->lstPhonebook, 2, true);
        QCOMPARE(w->Tag, QStringLiteral("0"));
        QVERIFY(!w->isVisible());
        QCOMPARE(w->lstPhonebook->selectedItems().first()->text(), QStringLiteral("Zeta"));
    }

    void everyOtherEndAnswersCancel_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<Dismissal>("how");
        const QStringList two{QStringLiteral("Office ISP"), QStringLiteral("Backup line")};
        QTest::newRow("empty list, Cancel") << QStringList() << Dismissal::CancelButton;
        QTest::newRow("empty list, Escape") << QStringList() << Dismissal::Escape;
        QTest::newRow("empty list, close box") << QStringList() << Dismissal::CloseBox;
        QTest::newRow("selected, Cancel") << two << Dismissal::CancelButton;
        QTest::newRow("selected, Escape") << two << Dismissal::Escape;
        QTest::newRow("selected, close box") << two << Dismissal::CloseBox;
    }
    void everyOtherEndAnswersCancel()
    {
        QFETCH(QStringList, entries);
        QFETCH(Dismissal, how);
        frmPhonebook *w = frmPhonebook::instance();
        fill(w->lstPhonebook, entries);
        showAndActivate(w);
        if (entries.isEmpty()) {
            QTest::keyClick(w->lstPhonebook, Qt::Key_Return);
            QTest::mouseClick(w->cmdAction[0], Qt::LeftButton);
            QTest::mouseDClick(w->lstPhonebook->viewport(), Qt::LeftButton);
            QVERIFY(w->Tag.isEmpty());
            QVERIFY(w->isVisible());
        } else {
            clickEntry(w->lstPhonebook, 0, false);
        }
        dismiss(w, w->cmdAction[1], how);
        QCOMPARE(w->Tag, QStringLiteral("1"));
        QVERIFY(!w->isVisible());
        QCOMPARE(frmPhonebook::loaded(), w);
    }

    void answeredChooserKeepsItsAnswer()
    {
        frmPhonebook *w = frmPhonebook::instance();
        fill(w->lstPhonebook, {QStringLiteral("Office ISP"), QStringLiteral("Backup line")});
        showAndActivate(w);
        clickEntry(w->lstPhonebook, 0, true);
        QCOMPARE(w->Tag, QStringLiteral("0"));
        w->close();
        QCOMPARE(w->Tag, QStringLiteral("0"));
    }

    void unloadedChooserStartsEmpty()
    {
        frmPhonebook *w = frmPhonebook::instance();
        fill(w->lstPhonebook, {QStringLiteral("Office ISP")});
        w->cmdAction_Click(1);
        frmPhonebook::unload();
        QCOMPARE(frmPhonebook::loaded(), nullptr);
        w = frmPhonebook::instance();
        QCOMPARE(w->lstPhonebook->count(), 0);
        QVERIFY(w->Tag.isEmpty());
    }

    // ---- Password prompt -----------------------------------------------------------------

    void passwordIsMaskedAndAnswersOk()
    {
        frmDUNPassword *w = frmDUNPassword::instance();
        QCOMPARE(w->windowTitle(), QStringLiteral("Velmora Client"));
        checkFrame(w, QSize(285, 93)); // 4275 x 1395 twips
        QCOMPARE(w->lblLegend->text(),
                 QStringLiteral("The connection that you have selected needs a password:"));
        QCOMPARE(w->txtPassword->echoMode(), QLineEdit::Password);
        showAndActivate(w);
        checkTabOrder({w->txtPassword, w->cmdAction[0], w->cmdAction[1], w->txtPassword});

        QTest::keyClicks(w->txtPassword, QStringLiteral("s3cret#"));
        QVERIFY(!w->txtPassword->displayText().contains(QLatin1String("s3cret")));
        QTest::keyClick(w->txtPassword, Qt::Key_Return);
        QCOMPARE(w->Tag, QStringLiteral("0"));
        QVERIFY(!w->isVisible());
        QCOMPARE(w->txtPassword->text(), QStringLiteral("s3cret#"));
    }

    void emptyPasswordIsAnAnswer()
    {
        frmDUNPassword *w = frmDUNPassword::instance();
        showAndActivate(w);
        QTest::mouseClick(w->cmdAction[0], Qt::LeftButton);
        QCOMPARE(w->Tag, QStringLiteral("0"));
        QVERIFY(w->txtPassword->text().isEmpty());
    }

    void passwordCancelled_data()
    {
        QTest::addColumn<Dismissal>("how");
        QTest::newRow("Cancel") << Dismissal::CancelButton;
        QTest::newRow("Escape") << Dismissal::Escape;
        QTest::newRow("close box") << Dismissal::CloseBox;
    }
    void passwordCancelled()
    {
        QFETCH(Dismissal, how);
        frmDUNPassword *w = frmDUNPassword::instance();
        showAndActivate(w);
        QTest::keyClicks(w->txtPassword, QStringLiteral("typed"));
        dismiss(w, w->cmdAction[1], how);
        QCOMPARE(w->Tag, QStringLiteral("1"));
        QVERIFY(!w->isVisible());
        frmDUNPassword::unload();
        QVERIFY(frmDUNPassword::instance()->txtPassword->text().isEmpty());
        QVERIFY(frmDUNPassword::instance()->Tag.isEmpty());
    }

    // ---- Countdown -----------------------------------------------------------------------

    void countdownPopsUpAtLoad()
    {
        TestHome home;
        frmAlert *w = frmAlert::instance();
        QVERIFY(w->isVisible());
        QCOMPARE(home.beeps(), 1);
        QCOMPARE(w->windowTitle(), QStringLiteral("Velmora"));
        QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
        checkFrame(w, QSize(298, 167)); // 4470 x 2505 twips
        QCOMPARE(w->lblCountdown->parentWidget(), w->fraContainer);
        QCOMPARE(w->fraContainer->title(), QStringLiteral("Disconnect in"));
        QCOMPARE(w->lblCountdown->text(), QStringLiteral("30"));
        QCOMPARE(w->lblCountdown->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(w->lblCountdown->font().pointSize(), 24);
        QVERIFY(w->lblCountdown->font().bold());
        QCOMPARE(w->cmdAction[0]->text(), QStringLiteral("&OK"));
        QCOMPARE(w->cmdAction[1]->text(), QStringLiteral("&Cancel"));
        QVERIFY(w->timCountdown->isActive());
        QCOMPARE(w->timCountdown->interval(), 1000);
        QVERIFY(w->Tag.isEmpty());

        // The hidden button lies wholly left of the client area and has the first focus.
        QVERIFY(w->cmdDummy->geometry().right() < 0);
        QCOMPARE(w->cmdDummy->geometry().left(), -80);
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(QApplication::focusWidget(), w->cmdDummy);
        QTest::keyClick(w->cmdDummy, Qt::Key_Space);
        QVERIFY(w->Tag.isEmpty());
        QVERIFY(w->isVisible());
    }

    void enterAndEscapeDoNotAnswer_data()
    {
        QTest::addColumn<int>("focus"); // -1: the hidden button, else the answer button's index
        QTest::newRow("hidden button") << -1;
        QTest::newRow("OK") << 0;
        QTest::newRow("Cancel") << 1;
    }
    void enterAndEscapeDoNotAnswer()
    {
        QFETCH(int, focus);
        TestHome home;
        frmAlert *w = frmAlert::instance();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QPushButton *target = focus < 0 ? w->cmdDummy : w->cmdAction[focus];
        target->setFocus();
        QCOMPARE(QApplication::focusWidget(), target);
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(target, key);
        QVERIFY(w->Tag.isEmpty());
        QVERIFY(w->isVisible());
        QVERIFY(!w->cmdAction[0]->isDefault());
        QVERIFY(!w->cmdAction[1]->isDefault());
    }

    void closeBoxIsRefused()
    {
        TestHome home;
        frmAlert *w = frmAlert::instance();
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QVERIFY(w->Tag.isEmpty());
        QCOMPARE(frmAlert::loaded(), w);
    }

    void tabbingSkipsTheHiddenButton()
    {
        TestHome home;
        frmAlert *w = frmAlert::instance();
        QVERIFY(QTest::qWaitForWindowActive(w));
        // "Cancel" hands the focus back to "OK" rather than to the hidden button.
        checkTabOrder({w->cmdDummy, w->cmdAction[0], w->cmdAction[1], w->cmdAction[0],
                       w->cmdAction[1], w->cmdAction[0]});
        QVERIFY(w->Tag.isEmpty());
    }

    void buttonsAnswerAndHide_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("answer");
        QTest::newRow("OK") << 0 << QStringLiteral("OK");
        QTest::newRow("Cancel") << 1 << QStringLiteral("CANCEL");
    }
    void buttonsAnswerAndHide()
    {
        QFETCH(int, index);
        QFETCH(QString, answer);
        TestHome home;
        frmAlert *w = frmAlert::instance();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->lblCountdown->setText(QStringLiteral("20"));
        QTest::mouseClick(w->cmdAction[index], Qt::LeftButton);
        QCOMPARE(w->Tag, answer);
        QVERIFY(!w->isVisible());
        QCOMPARE(frmAlert::loaded(), w);
    }

    void countsDownTurnsRedAndStops_data()
    {
        QTest::addColumn<QString>("beepSetting"); // null: not stored
        QTest::addColumn<int>("countdownBeeps");
        QTest::newRow("on") << QStringLiteral("1") << 11;
        QTest::newRow("off") << QStringLiteral("0") << 0;
        QTest::newRow("missing") << QString() << 0;
        QTest::newRow("not exactly 1") << QStringLiteral("1 ") << 0;
        QTest::newRow("true is not 1") << QStringLiteral("True") << 0;
    }
    void countsDownTurnsRedAndStops()
    {
        QFETCH(QString, beepSetting);
        QFETCH(int, countdownBeeps);
        TestHome home;
        if (!beepSetting.isNull())
            TestHome::seed(QStringLiteral("Beep"), beepSetting);
        frmAlert *w = frmAlert::instance();
        QCOMPARE(home.beeps(), 1);
        const QColor design = w->lblCountdown->palette().color(QPalette::WindowText);
        QVERIFY(design != red);
        w->lblCountdown->setText(QStringLiteral("12"));
        for (int count = 11; count >= 0; --count) {
            w->timCountdown_Timer();
            QCOMPARE(w->lblCountdown->text(), QString::number(count));
            const QColor colour = w->lblCountdown->palette().color(QPalette::WindowText);
            QCOMPARE(colour, count > 10 ? design : red);
            QCOMPARE(w->isVisible(), count != 0);
            QCOMPARE(w->timCountdown->isActive(), count != 0);
        }
        QVERIFY(w->Tag.isEmpty());
        QCOMPARE(home.beeps(), 1 + countdownBeeps);
    }

    void timerRunsTheCountOnItsOwn()
    {
        TestHome home;
        frmAlert *w = frmAlert::instance();
        w->lblCountdown->setText(QStringLiteral("2"));
        QTRY_COMPARE_WITH_TIMEOUT(w->lblCountdown->text(), QStringLiteral("1"), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 3000);
        QCOMPARE(w->lblCountdown->text(), QStringLiteral("0"));
        QVERIFY(!w->timCountdown->isActive());
        QVERIFY(w->Tag.isEmpty());
    }

    void unloadStartsTheNextRequestAfresh()
    {
        TestHome home;
        frmAlert *w = frmAlert::instance();
        const QColor design = w->lblCountdown->palette().color(QPalette::WindowText);
        w->lblCountdown->setText(QStringLiteral("11"));
        w->timCountdown_Timer();
        QCOMPARE(w->lblCountdown->palette().color(QPalette::WindowText), red);
        w->cmdAction_Click(1);
        frmAlert::unload();
        QCOMPARE(frmAlert::loaded(), nullptr);

        w = frmAlert::instance();
        QVERIFY(w->isVisible());
        QCOMPARE(w->lblCountdown->text(), QStringLiteral("30"));
        QCOMPARE(w->lblCountdown->palette().color(QPalette::WindowText), design);
        QVERIFY(w->Tag.isEmpty());
        QVERIFY(w->timCountdown->isActive());
        QCOMPARE(home.beeps(), 2);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
