// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmAlert.h"
#include "frmDUNPassword.h"
#include "frmPhonebook.h"
#include "TestHome.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QColor red(255, 0, 0);

void showAndActivate(QWidget *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

QColor countColour(const frmAlert *w)
{
    return w->lblCountdown->palette().color(QPalette::WindowText);
}

} // namespace

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

    // A focused list has a current row, yet only a selected entry can be dialled.
    void connectNeedsASelection_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("empty list") << QStringList();
        QTest::newRow("nothing selected") << QStringList{QStringLiteral("A"), QStringLiteral("B")};
    }
    void connectNeedsASelection()
    {
        QFETCH(QStringList, entries);
        frmPhonebook *w = frmPhonebook::instance();
        w->lstPhonebook->addItems(entries);
        showAndActivate(w);
        QCOMPARE(QApplication::focusWidget(), w->lstPhonebook);
        QCOMPARE(w->lstPhonebook->currentItem() != nullptr, !entries.isEmpty());
        QTest::keyClick(w->lstPhonebook, Qt::Key_Return);
        QTest::mouseClick(w->cmdAction[0], Qt::LeftButton);
        QTest::mouseDClick(w->lstPhonebook->viewport(), Qt::LeftButton);
        QVERIFY(w->Tag.isEmpty());
        QVERIFY(w->isVisible());
    }

    // Closing a window that has already answered and hidden must not change its answer.
    void answeredWindowsKeepTheirAnswer()
    {
        frmPhonebook *chooser = frmPhonebook::instance();
        chooser->lstPhonebook->addItems({QStringLiteral("Office ISP"), QStringLiteral("Backup")});
        showAndActivate(chooser);
        // Centred before its first show, by its outer size once the frame is known.
        const QPoint offCentre =
            chooser->frameGeometry().center() - chooser->screen()->geometry().center();
        QVERIFY(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1);
        QListWidgetItem *second = chooser->lstPhonebook->item(1);
        QTest::mouseClick(chooser->lstPhonebook->viewport(), Qt::LeftButton, {},
                          chooser->lstPhonebook->visualItemRect(second).center());
        QTest::keyClick(chooser->lstPhonebook, Qt::Key_Return);
        QCOMPARE(chooser->Tag, QStringLiteral("0"));
        QVERIFY(!chooser->isVisible());
        QCOMPARE(chooser->lstPhonebook->selectedItems(), QList<QListWidgetItem *>{second});
        chooser->close();
        QCOMPARE(chooser->Tag, QStringLiteral("0"));

        frmDUNPassword *prompt = frmDUNPassword::instance();
        showAndActivate(prompt);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("pw"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(prompt->txtPassword->text(), QStringLiteral("pw"));
        QCOMPARE(prompt->Tag, QStringLiteral("0"));
        prompt->close();
        QCOMPARE(prompt->Tag, QStringLiteral("0"));
    }

    // A key typed as the countdown pops up must not decide whether the line drops: the focus
    // starts on a button that lies out of sight and does nothing, Enter and Escape answer
    // nowhere, and tabbing on from "Cancel" goes back to "OK", never to that button.
    void onlyTheAnswerButtonsAnswer()
    {
        TestHome home;
        frmAlert *w = frmAlert::instance();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QVERIFY(w->cmdDummy->geometry().right() < 0);
        QCOMPARE(QApplication::focusWidget(), w->cmdDummy);
        QTest::keyClick(w->cmdDummy, Qt::Key_Space);
        for (QWidget *expected : {w->cmdDummy, w->cmdAction[0], w->cmdAction[1], w->cmdAction[0],
                                  w->cmdAction[1], w->cmdAction[0]}) {
            QCOMPARE(QApplication::focusWidget(), expected);
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(expected, key);
            QTest::keyClick(expected, Qt::Key_Tab);
        }
        // Another program coming to the front is no tab: the focus stays on "&Cancel".
        QCOMPARE(QApplication::focusWidget(), w->cmdAction[1]);
        QWidget elsewhere;
        showAndActivate(&elsewhere);
        QCOMPARE(w->focusWidget(), w->cmdAction[1]);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QVERIFY(w->Tag.isEmpty());
    }

    // The count's arithmetic is the unit test's; here, what the window does with each tick. The
    // timer running the ticks on its own is the dial test's "time runs out".
    void countsDownTurnsRedAndStops_data()
    {
        QTest::addColumn<QString>("beepSetting"); // null: not stored
        QTest::addColumn<int>("countdownBeeps");  // of the two ticks below, at 10 and at 0
        QTest::newRow("on") << QStringLiteral("1") << 2;
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
        const QColor design = countColour(w);
        QVERIFY(design != red);
        w->lblCountdown->setText(QStringLiteral("11"));
        w->timCountdown_Timer();
        QCOMPARE(w->lblCountdown->text(), QLatin1String("10"));
        QCOMPARE(countColour(w), red);
        QVERIFY(w->isVisible() && w->timCountdown->isActive());
        w->lblCountdown->setText(QStringLiteral("1"));
        w->timCountdown_Timer();
        QCOMPARE(w->lblCountdown->text(), QLatin1String("0"));
        QCOMPARE(countColour(w), red);
        QVERIFY(!w->isVisible());
        QVERIFY(!w->timCountdown->isActive());
        QVERIFY(w->Tag.isEmpty());
        QCOMPARE(home.beeps(), 1 + countdownBeeps);

        // Unloading releases the red count and the answer: the next request starts afresh.
        w->cmdAction_Click(1);
        frmAlert::unload();
        w = frmAlert::instance();
        QVERIFY(w->isVisible());
        QCOMPARE(w->lblCountdown->text(), QStringLiteral("30"));
        QCOMPARE(countColour(w), design);
        QVERIFY(w->Tag.isEmpty());
        QVERIFY(w->timCountdown->isActive());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
