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
#include "MessageBox.h"
#include "WhenShown.h"

#include <functional>
#include <QAction>
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
#include <QTreeWidget>

namespace {

enum class Window {
    Main,
    Countdown,
    ReceivedMessage,
    Notice,
    EntryChooser,
    Password,
    Composer,
    Reply,
    ConfigureNetwork,
    ConfigureAlerts,
    ConfigureConnections,
    ConfigureOther,
    WaveChooser,
};

// One window walked by keyboard alone.
struct Walk
{
    QWidget *window = nullptr;
    // Where the focus starts, then where each Tab takes it; the same for Shift+Tab.
    QWidgetList tab;
    QWidgetList backTab;
    // Enter and Escape are pressed here.
    QWidget *keysAt = nullptr;
    // The window's answer so far, as text.
    std::function<QString()> answer;
    QString afterEnter;
    QString afterEscape;
};

// A round through the controls in their tab order, back to the first; Shift+Tab the other way.
void goRound(Walk &w, const QWidgetList &controls)
{
    w.tab = controls;
    w.tab.append(controls.first());
    w.backTab = {controls.first()};
    for (qsizetype i = controls.size() - 1; i >= 0; --i)
        w.backTab.append(controls.at(i));
}

QString tagOf(const QString &tag, const QWidget *window)
{
    return tag + (window->isVisible() ? QString() : QStringLiteral("|hidden"));
}

void walkTabs(const Walk &w)
{
    QApplication::setActiveWindow(w.window);
    QVERIFY(QTest::qWaitForWindowActive(w.window));
    QCOMPARE(w.window->focusWidget(), w.tab.first());
    for (const auto &[list, modifier] :
         {std::pair{&w.tab, Qt::NoModifier}, std::pair{&w.backTab, Qt::ShiftModifier}}) {
        list->first()->setFocus(Qt::OtherFocusReason);
        QCOMPARE(w.window->focusWidget(), list->first());
        for (qsizetype i = 1; i < list->size(); ++i) {
            QTest::keyClick(w.window->focusWidget(), Qt::Key_Tab, modifier);
            QVERIFY2(
                w.window->focusWidget() == list->at(i),
                qPrintable(QStringLiteral("step %1 lands on %2")
                               .arg(i)
                               .arg(w.window->focusWidget() ? w.window->focusWidget()->objectName()
                                                            : QStringLiteral("nothing"))));
        }
    }
}

void pressAt(const Walk &w, Qt::Key key, const QString &expected)
{
    QApplication::setActiveWindow(w.window);
    QVERIFY(QTest::qWaitForWindowActive(w.window));
    w.keysAt->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(w.keysAt, key);
    QCOMPARE(w.answer(), expected);
}

// Names every unnamed control by its kind and caption, so that a wrong step says where it
// landed.
void nameControls(QWidget *window)
{
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (child->objectName().isEmpty())
            child->setObjectName(QString::fromLatin1(child->metaObject()->className()) +
                                 QLatin1Char(':') + child->property("text").toString() +
                                 child->accessibleName());
    }
}

} // namespace

Q_DECLARE_METATYPE(Window)

class TestKeyboard : public QObject
{
    Q_OBJECT

    std::unique_ptr<LinkedClient> m_client;

    frmMain *linkedMain()
    {
        m_client = std::make_unique<LinkedClient>();
        return m_client->start() ? m_client->window.get() : nullptr;
    }

    frmConfigure *configure(int page)
    {
        frmMain *main = linkedMain();
        if (!main)
            return nullptr;
        frmConfigure *d = frmConfigure::instance();
        d->Form_Load(main->configureOpener());
        d->show();
        if (page != 0)
            d->cmdTab_Click(page);
        return d;
    }

    // Builds the window and what the text asks of its keys. The received-message box is built
    // by the test itself, since its call waits for the answer.
    Walk build(Window window)
    {
        Walk w;
        switch (window) {
        case Window::Main: {
            frmMain *m = linkedMain();
            if (!m)
                return w;
            w.window = m;
            goRound(w, {m->chkLock, m->chkAlert, m->cmdAction[2], m->cmdAction[0], m->cmdAction[3],
                        m->cmdAction[1]});
            w.keysAt = m->chkAlert;
            w.answer = [m] {
                return QString::number(MessageBox::shownBoxes().size()) +
                       (m->isVisible() ? QString() : QStringLiteral("|hidden"));
            };
            w.afterEnter = w.afterEscape = QStringLiteral("0");
            break;
        }
        case Window::Countdown: {
            frmAlert *a = frmAlert::instance();
            w.window = a;
            // "&Cancel" hands the focus back to "&OK": the hidden button is never reached again.
            w.tab = {a->cmdDummy, a->cmdAction[0], a->cmdAction[1], a->cmdAction[0]};
            w.backTab = {a->cmdDummy, a->cmdAction[1], a->cmdAction[0], a->cmdDummy};
            w.keysAt = a->cmdDummy;
            w.answer = [a] { return tagOf(a->Tag, a); };
            break;
        }
        case Window::ReceivedMessage: {
            frmFlexiBox *f = frmFlexiBox::loaded();
            w.window = f;
            goRound(w, {f->cmdAction[0], f->cmdAction[1]});
            // The text can be selected with the mouse, which gives it the focus.
            w.keysAt = f->lblMsg;
            w.answer = [f] { return f->Tag; };
            break;
        }
        case Window::Notice: {
            gShowInfo(QStringLiteral("Line up"), true, true);
            frmMsg *n = frmMsg::loaded();
            w.window = n;
            w.tab = w.backTab = {n->cmdOK, n->cmdOK};
            w.keysAt = n->cmdOK;
            w.answer = [] { return frmMsg::loaded() ? QStringLiteral("open") : QString(); };
            w.afterEnter = QString();
            w.afterEscape = QStringLiteral("open");
            break;
        }
        case Window::EntryChooser: {
            frmPhonebook *p = frmPhonebook::instance();
            p->lstPhonebook->addItems({QStringLiteral("Office"), QStringLiteral("Home")});
            p->show();
            w.window = p;
            goRound(w, {p->lstPhonebook, p->cmdAction[0], p->cmdAction[1]});
            w.keysAt = p->lstPhonebook;
            // The arrows choose an entry; Enter connects to it.
            QTest::keyClick(p->lstPhonebook, Qt::Key_Down);
            w.answer = [p] {
                return tagOf(p->Tag, p) + QLatin1Char('|') + p->lstPhonebook->currentItem()->text();
            };
            w.afterEnter = QStringLiteral("0|hidden|Home");
            w.afterEscape = QStringLiteral("1|hidden|Home");
            break;
        }
        case Window::Password: {
            frmDUNPassword *p = frmDUNPassword::instance();
            p->show();
            w.window = p;
            goRound(w, {p->txtPassword, p->cmdAction[0], p->cmdAction[1]});
            w.keysAt = p->txtPassword;
            w.answer = [p] { return tagOf(p->Tag, p); };
            w.afterEnter = QStringLiteral("0|hidden");
            w.afterEscape = QStringLiteral("1|hidden");
            break;
        }
        case Window::Composer:
        case Window::Reply: {
            frmUsers *u = frmUsers::instance();
            u->lstUsers->addItems({QStringLiteral("ann"), QStringLiteral("bob")});
            u->lstUsers->item(0)->setSelected(true);
            u->txtMsg->setPlainText(QStringLiteral("hi"));
            if (window == Window::Reply) {
                // As the opener leaves it: the list disabled, the caret in the text box.
                u->lstUsers->setEnabled(false);
                u->txtMsg->setFocus();
            }
            u->show();
            w.window = u;
            if (window == Window::Reply)
                goRound(w, {u->txtMsg, u->cmdAction[0], u->cmdAction[1], u->cmdSelect});
            else
                goRound(w,
                        {u->lstUsers, u->txtMsg, u->cmdAction[0], u->cmdAction[1], u->cmdSelect});
            // No default button: Enter in the list answers nothing.
            w.keysAt = window == Window::Reply ? static_cast<QWidget *>(u->txtMsg) : u->lstUsers;
            w.answer = [u] { return tagOf(u->Tag, u); };
            w.afterEscape = QStringLiteral("1|hidden");
            break;
        }
        case Window::ConfigureNetwork:
        case Window::ConfigureAlerts:
        case Window::ConfigureConnections:
        case Window::ConfigureOther: {
            const int page = int(window) - int(Window::ConfigureNetwork);
            frmConfigure *d = configure(page);
            if (!d)
                return w;
            w.window = d;
            const QWidgetList shared{d->cmdAction[0], d->cmdAction[1], d->cmdTab[0],
                                     d->cmdTab[1],    d->cmdTab[2],    d->cmdTab[3]};
            // Each page's controls in their tab order; the disabled ones are passed over.
            const QWidgetList pages[] = {
                {d->txtServerName, d->txtIPAddress, d->txtPort},
                {d->chkMsg[0], d->chkMsg[1], d->cmdTest[0], d->chkMsg[2], d->chkMsg[3],
                 d->cmdTest[1]},
                {d->chkIncludes[0], d->chkIncludes[1], d->chkIncludes[2]},
                {d->chkBeep, d->chkDismiss, d->chkMinimize, d->optButton[0]},
            };
            // The Tab after the page's last control reaches "OK", and the row of page buttons
            // leads back to the page.
            const QWidgetList order = pages[page] + shared;
            goRound(w, order);
            w.keysAt = pages[page].first();
            w.answer = [] { return frmConfigure::loaded() ? QStringLiteral("open") : QString(); };
            w.afterEnter = w.afterEscape = QString();
            break;
        }
        case Window::WaveChooser: {
            frmWav *c = frmWav::instance();
            c->show();
            w.window = c;
            goRound(w, {c->drvWav, c->dirWav, c->filWav, c->cmdAction[0], c->cmdAction[1],
                        c->cmdAction[2]});
            w.keysAt = c->dirWav;
            w.answer = [c] {
                return tagOf(c->Tag.isEmpty() ? QString() : QStringLiteral("path"), c);
            };
            w.afterEnter = QStringLiteral("path|hidden");
            w.afterEscape = QStringLiteral("|hidden");
            break;
        }
        }
        nameControls(w.window);
        return w;
    }

    void unloadAll()
    {
        frmAlert::unload();
        frmMsg::unload();
        frmPhonebook::unload();
        frmDUNPassword::unload();
        frmUsers::unload();
        frmWav::unload();
        frmConfigure::unload();
        m_client.reset();
    }

private Q_SLOTS:
    void cleanup() { unloadAll(); }

    // Every window against its tab order, its default button (Enter) and its cancel button
    // (Escape): the focus starts on the lowest tab index, Tab and Shift+Tab go round the
    // enabled controls of what is shown, and Enter and Escape answer only where a default or a
    // cancel button says so.
    void tabOrderDefaultAndCancel_data()
    {
        QTest::addColumn<Window>("window");
        QTest::newRow("main window") << Window::Main;
        QTest::newRow("countdown") << Window::Countdown;
        QTest::newRow("received message") << Window::ReceivedMessage;
        QTest::newRow("notice") << Window::Notice;
        QTest::newRow("entry chooser") << Window::EntryChooser;
        QTest::newRow("password") << Window::Password;
        QTest::newRow("composer") << Window::Composer;
        QTest::newRow("reply") << Window::Reply;
        QTest::newRow("configure, network") << Window::ConfigureNetwork;
        QTest::newRow("configure, alerts") << Window::ConfigureAlerts;
        QTest::newRow("configure, connections") << Window::ConfigureConnections;
        QTest::newRow("configure, other") << Window::ConfigureOther;
        QTest::newRow("wave chooser") << Window::WaveChooser;
    }
    void tabOrderDefaultAndCancel()
    {
        QFETCH(Window, window);
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            TestHome home;
            if (window == Window::ReceivedMessage) {
                bool walked = false;
                const auto watch = whenShown<frmFlexiBox>([&](frmFlexiBox *) {
                    const Walk w = build(window);
                    if (key == Qt::Key_Escape)
                        walkTabs(w);
                    pressAt(w, key, QString());
                    walked = true;
                    // Only the buttons answer.
                    QTest::keyClick(frmFlexiBox::loaded()->cmdAction[1], Qt::Key_Space);
                });
                QCOMPARE(giMsgBox(QStringLiteral("Lunch?"), QStringLiteral("ann")), qint16(1));
                QVERIFY(walked);
                continue;
            }
            const Walk w = build(window);
            QVERIFY(w.window);
            if (key == Qt::Key_Escape)
                walkTabs(w);
            if (QTest::currentTestFailed())
                return;
            pressAt(w, key, key == Qt::Key_Escape ? w.afterEscape : w.afterEnter);
            unloadAll();
        }
    }

    // What the controls do on their own keys: Space ticks, the arrows choose, a "..." button is
    // named for screen readers by what it does, and an access key reaches its control.
    void controlsOnTheirOwnKeys()
    {
        TestHome home;
        Walk w = build(Window::ConfigureAlerts);
        QVERIFY(w.window);
        frmConfigure *d = frmConfigure::loaded();
        QApplication::setActiveWindow(d);
        QVERIFY(QTest::qWaitForWindowActive(d));
        d->chkMsg[1]->setFocus();
        QTest::keyClick(d->chkMsg[1], Qt::Key_Space);
        QVERIFY(d->txtWave[0]->isEnabled() && d->cmdWave[0]->isEnabled());
        for (QWidget *next : QWidgetList{d->txtWave[0], d->cmdWave[0], d->cmdTest[0]}) {
            QTest::keyClick(d->focusWidget(), Qt::Key_Tab);
            QCOMPARE(d->focusWidget(), next);
        }
        for (int i = 0; i < 2; ++i)
            QCOMPARE(d->cmdWave[i]->text(), QLatin1String("..."));
        QCOMPARE(d->cmdWave[0]->accessibleName(), QLatin1String("Choose the connection wave"));
        QCOMPARE(d->cmdWave[1]->accessibleName(), QLatin1String("Choose the disconnection wave"));
        // The page buttons answer their access keys.
        QTest::keyClick(d, Qt::Key_O, Qt::AltModifier);
        QTRY_VERIFY(d->chkBeep->isVisible());
        QCOMPARE(d->focusWidget(), d->chkBeep);
        // The option buttons are one group: the arrows move the choice.
        d->optButton[0]->setFocus();
        QTest::keyClick(d->optButton[0], Qt::Key_Down);
        QVERIFY(d->optButton[1]->isChecked() && !d->optButton[0]->isChecked());
        QCOMPARE(d->focusWidget(), d->optButton[1]);
        // The connection lists take several entries with Shift and the arrows once ticked.
        d->cmdTab_Click(2);
        d->fListConnections(QStringLiteral("b|a|c|").replace(u'|', QChar(28)));
        QVERIFY(!d->lstConnect[0]->isEnabled());
        QTest::keyClick(d->chkIncludes[0], Qt::Key_Space);
        QVERIFY(d->lstConnect[0]->isEnabled());
        QTest::keyClick(d->chkIncludes[0], Qt::Key_Tab);
        QCOMPARE(d->focusWidget(), d->lstConnect[0]);
        QTest::keyClick(d->lstConnect[0], Qt::Key_Home);
        QTest::keyClick(d->lstConnect[0], Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(d->lstConnect[0]->selectedItems().size(), 2);
        QCOMPARE(d->lstConnect[0]->item(0)->text(), QLatin1String("a"));
        unloadAll();

        // The composer's list: the arrows move, Shift+arrows add to the choice.
        w = build(Window::Composer);
        frmUsers *u = frmUsers::loaded();
        QApplication::setActiveWindow(u);
        QVERIFY(QTest::qWaitForWindowActive(u));
        u->lstUsers->addItem(QStringLiteral("cy"));
        u->lstUsers->setFocus();
        u->lstUsers->setCurrentRow(0);
        QTest::keyClick(u->lstUsers, Qt::Key_Down);
        QTest::keyClick(u->lstUsers, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(u->lstUsers->selectedItems().size(), 2);
        QVERIFY(!u->lstUsers->item(0)->isSelected());
        QTest::keyClick(u, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(u->lstUsers->selectedItems().size(), 3);
        QVERIFY(u->Tag.isEmpty());
        unloadAll();

        // The wave chooser: the arrows walk the folders without opening one; Enter opens the
        // one they reached, and on the open folder it is "OK"'s.
        w = build(Window::WaveChooser);
        frmWav *c = frmWav::loaded();
        QApplication::setActiveWindow(c);
        QVERIFY(QTest::qWaitForWindowActive(c));
        const QString folder = c->filWavPath();
        QVERIFY(folder != QLatin1String("/"));
        c->dirWav->setFocus();
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_Down, Qt::Key_Up})
            QTest::keyClick(c->dirWav, key);
        QCOMPARE(c->filWavPath(), folder);
        QTest::keyClick(c->dirWav, Qt::Key_Return);
        QCOMPARE(c->filWavPath(), QLatin1String("/"));
        QVERIFY(c->Tag.isEmpty() && c->isVisible());
        QTest::keyClick(c->dirWav, Qt::Key_Return);
        QCOMPARE(c->Tag, QLatin1String("/"));
        QVERIFY(!c->isVisible());
        unloadAll();

        // The main window: Space and the access keys tick the boxes, and the menu follows.
        frmMain *m = linkedMain();
        QVERIFY(m);
        QApplication::setActiveWindow(m);
        QVERIFY(QTest::qWaitForWindowActive(m));
        QTest::keyClick(m->chkLock, Qt::Key_Space);
        QVERIFY(m->chkLock->isChecked() && m->mnuSysTray[2]->isChecked());
        QTest::keyClick(m, Qt::Key_L, Qt::AltModifier);
        QTRY_VERIFY(!m->chkLock->isChecked());
        QVERIFY(!m->mnuSysTray[2]->isChecked());
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
