// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FolderList.h"
#include "frmAlert.h"
#include "frmConfigure.h"
#include "frmDUNPassword.h"
#include "frmFlexiBox.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmPhonebook.h"
#include "frmUsers.h"
#include "frmWav.h"
#include "LinkedClient.h"
#include "WhenShown.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

// One window walked by keyboard alone: its controls in their tab order from where the focus
// starts, where Enter and Escape are pressed when not on the first, and the one a Tab after the
// last returns to.
struct Walk
{
    QPointer<QWidget> window;
    QWidgetList order;
    QWidgetList keysAt = {};
    qsizetype loopsTo = 0;
};

void activate(QWidget *window)
{
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// Tab goes round the controls, back to loopsTo; Shift+Tab the other way, to the first.
void walkTabs(const Walk &w)
{
    activate(w.window);
    QCOMPARE(w.window->focusWidget(), w.order.first());
    const qsizetype count = w.order.size();
    for (qsizetype i = 1; i <= count; ++i) {
        QTest::keyClick(w.window->focusWidget(), Qt::Key_Tab);
        QVERIFY2(w.window->focusWidget() == w.order.at(i < count ? i : w.loopsTo),
                 qPrintable(QStringLiteral("Tab %1").arg(i)));
    }
    w.order.first()->setFocus(Qt::OtherFocusReason);
    for (qsizetype i = count - 1; i >= 0; --i) {
        QTest::keyClick(w.window->focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QVERIFY2(w.window->focusWidget() == w.order.at(i),
                 qPrintable(QStringLiteral("Shift+Tab to %1").arg(i)));
    }
}

// The window's answer: its Tag (a chosen wave as "path"), and whether it hid or unloaded. The
// countdown answers by hiding too.
QString answerOf(const QPointer<QWidget> &window)
{
    if (!window)
        return QStringLiteral("unloaded");
    QString tag;
    if (const auto *dialog = qobject_cast<AnsweringDialog *>(window))
        tag = dialog->Tag;
    if (qobject_cast<frmWav *>(window) && !tag.isEmpty())
        tag = QStringLiteral("path");
    return tag + (window->isVisible() ? QString() : QStringLiteral("|hidden"));
}

void pressAt(const Walk &w, Qt::Key key, const QString &expected)
{
    activate(w.window);
    for (QWidget *at : w.keysAt.isEmpty() ? QWidgetList{w.order.first()} : w.keysAt) {
        at->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(at, key);
    }
    QCOMPARE(answerOf(w.window), expected);
    // Closing a window that has already answered and hidden must not change its answer.
    if (w.window && !w.window->isVisible()) {
        w.window->close();
        QCOMPARE(answerOf(w.window), expected);
    }
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

    std::unique_ptr<LinkedClient> m_client;

    frmMain *linkedMain()
    {
        m_client = std::make_unique<LinkedClient>();
        QTEST_ASSERT(m_client->start());
        return m_client->window.get();
    }

    // Builds the window as its opener leaves it, to be shown. The received-message box is built
    // by the test itself, since its call waits for the answer.
    Walk build(const QByteArray &window)
    {
        if (window == "main window") {
            frmMain *m = linkedMain();
            return {m,
                    {m->chkLock, m->chkAlert, m->cmdAction[2], m->cmdAction[0], m->cmdAction[3],
                     m->cmdAction[1]},
                    {m->chkAlert}};
        }
        if (window == "countdown") {
            // "&Cancel" hands the focus back to "&OK": the hidden button is never reached again.
            // Enter and Escape answer nowhere, not even on a focused answer button: a key typed
            // as the countdown pops up must not decide whether the line drops.
            frmAlert *a = frmAlert::instance();
            const QWidgetList order{a->cmdDummy, a->cmdAction[0], a->cmdAction[1]};
            return {a, order, order, 1};
        }
        if (window == "received message") {
            // The text can be selected with the mouse, which gives it the focus.
            frmFlexiBox *f = frmFlexiBox::loaded();
            return {f, {f->cmdAction[0], f->cmdAction[1]}, {f->lblMsg}};
        }
        if (window == "notice") {
            // Enter on the window answers as on "OK", before the window has given it the focus.
            gShowInfo(QStringLiteral("Line up"), true, true);
            return {frmMsg::loaded(), {frmMsg::loaded()->cmdOK}, {frmMsg::loaded()}};
        }
        if (window.startsWith("entry chooser")) {
            frmPhonebook *p = frmPhonebook::instance();
            p->lstPhonebook->addItems({QStringLiteral("Office"), QStringLiteral("Home")});
            // The arrows choose an entry; Enter connects to it. A current entry is no choice.
            if (window == "entry chooser")
                QTest::keyClick(p->lstPhonebook, Qt::Key_Down);
            return {p, {p->lstPhonebook, p->cmdAction[0], p->cmdAction[1]}};
        }
        if (window == "password") {
            frmDUNPassword *p = frmDUNPassword::instance();
            return {p, {p->txtPassword, p->cmdAction[0], p->cmdAction[1]}};
        }
        if (window == "composer" || window == "reply") {
            frmUsers *u = frmUsers::instance();
            u->lstUsers->addItems({QStringLiteral("ann"), QStringLiteral("bob")});
            u->lstUsers->item(0)->setSelected(true);
            u->txtMsg->setPlainText(QStringLiteral("hi"));
            Walk w{u, {u->lstUsers, u->txtMsg, u->cmdAction[0], u->cmdAction[1], u->cmdSelect}};
            if (window == "reply") {
                // As the opener leaves it: the list disabled, the caret in the text box.
                u->lstUsers->setEnabled(false);
                u->txtMsg->setFocus();
                w.order.removeFirst();
            }
            return w;
        }
        const int page = QByteArrayList{"configure, network", "configure, alerts",
                                        "configure, connections", "configure, other"}
                             .indexOf(window);
        if (page >= 0) {
            frmConfigure *d = frmConfigure::instance();
            d->Form_Load(linkedMain()->configureOpener());
            d->show();
            d->cmdTab_Click(page);
            // Each page's controls, the disabled ones passed over; the Tab after the last
            // reaches "OK", and the row of page buttons leads back to the page.
            const QWidgetList pages[] = {
                {d->txtServerName, d->txtIPAddress, d->txtPort},
                {d->chkMsg[0], d->chkMsg[1], d->cmdTest[0], d->chkMsg[2], d->chkMsg[3],
                 d->cmdTest[1]},
                {d->chkIncludes[0], d->chkIncludes[1], d->chkIncludes[2]},
                {d->chkBeep, d->chkDismiss, d->chkMinimize, d->optButton[0]},
            };
            return {d, pages[page] + QWidgetList{d->cmdAction[0], d->cmdAction[1], d->cmdTab[0],
                                                 d->cmdTab[1], d->cmdTab[2], d->cmdTab[3]}};
        }
        frmWav *c = frmWav::instance();
        return {
            c,
            {c->drvWav, c->dirWav, c->filWav, c->cmdAction[0], c->cmdAction[1], c->cmdAction[2]},
            {c->dirWav}};
    }

private Q_SLOTS:
    void cleanup()
    {
        SharedForms::unloadAll();
        m_client.reset();
    }

    // Every window against its tab order, its default button (Enter) and its cancel button
    // (Escape): the focus starts on the lowest tab index, Tab and Shift+Tab go round the
    // enabled controls of what is shown, and Enter and Escape answer only where a default or a
    // cancel button says so.
    void tabOrderDefaultAndCancel_data()
    {
        QTest::addColumn<QString>("afterEnter");
        QTest::addColumn<QString>("afterEscape");
        const auto row = [](const char *window, const char *enter, const char *escape) {
            QTest::newRow(window) << QString::fromLatin1(enter) << QString::fromLatin1(escape);
        };
        row("main window", "", "");
        row("countdown", "", "");
        row("received message", "", "");
        row("notice", "unloaded", "");
        row("entry chooser", "0|hidden", "1|hidden");
        row("entry chooser, nothing chosen", "", "1|hidden");
        row("password", "0|hidden", "1|hidden");
        // No default button: Enter in the list, or in the text, answers nothing.
        row("composer", "", "1|hidden");
        row("reply", "", "1|hidden");
        row("configure, network", "unloaded", "unloaded");
        row("configure, alerts", "unloaded", "unloaded");
        row("configure, connections", "unloaded", "unloaded");
        row("configure, other", "unloaded", "unloaded");
        row("wave chooser", "path|hidden", "|hidden");
    }
    void tabOrderDefaultAndCancel()
    {
        const QByteArray window = QTest::currentDataTag();
        QFETCH(QString, afterEnter);
        QFETCH(QString, afterEscape);
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            TestHome home;
            const QString expected = key == Qt::Key_Escape ? afterEscape : afterEnter;
            const auto walk = [&] {
                const Walk w = build(window);
                w.window->show();
                if (key == Qt::Key_Escape)
                    walkTabs(w);
                if (!QTest::currentTestFailed())
                    pressAt(w, key, expected);
            };
            if (window == "received message") {
                // Only the buttons answer.
                const auto watch = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
                    walk();
                    QTest::keyClick(f->cmdAction[1], Qt::Key_Space);
                });
                QCOMPARE(giMsgBox(QStringLiteral("Lunch?"), QStringLiteral("ann")), qint16(1));
            } else {
                walk();
            }
            cleanup();
        }
    }

    // The wave chooser's folder list: the arrows walk the folders without opening one; Enter
    // opens the one they reached (on the open folder it is "OK"'s: the table's "wave chooser").
    // What the configure dialog's controls do on their own keys is that dialog's test.
    void waveChooserFolderKeys()
    {
        TestHome home;
        frmWav *c = frmWav::instance();
        c->show();
        activate(c);
        const QString folder = c->filWavPath();
        QVERIFY(folder != QLatin1String("/"));
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_Down, Qt::Key_Up})
            QTest::keyClick(c->dirWav, key);
        QCOMPARE(c->filWavPath(), folder);
        QTest::keyClick(c->dirWav, Qt::Key_Return);
        QCOMPARE(c->filWavPath() + answerOf(c), QLatin1String("/"));
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
