// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FolderList.h"
#include "frmConfigure.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmWav.h"
#include "LinkedClient.h"
#include "MessageBox.h"
#include "Settings.h"
#include "TcpClientSocket.h"
#include "WhenShown.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The entries in their order, a selected one marked with "*".
QString listed(const QListWidget *list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text() + QLatin1String(list->item(row)->isSelected() ? "*" : "");
    return texts.join(QLatin1Char(' '));
}

void retype(QLineEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

// Opens the dialog from the main window's button while linked and waits for the entry names
// to be asked for; the test ends at once if they never are.
frmConfigure *openLinked(LinkedClient &c)
{
    c.server.clearReceived();
    QTest::mouseClick(c.window->cmdAction[2], Qt::LeftButton);
    QTEST_ASSERT(c.server.waitForRequest(QStringLiteral("CMD_CONFIGURE_CONNECTIONS")));
    return frmConfigure::loaded();
}

} // namespace

class TestConfigure : public QObject
{
    Q_OBJECT

    QTemporaryDir m_sounds;

    QString sound(const char *name) const { return m_sounds.filePath(str(name)); }

private Q_SLOTS:
    // Whether a file plays is the wave file's unit test: here empty files will do.
    void initTestCase()
    {
        for (const char *name : {"a.wav", "B.WAV", "c.txt"}) {
            QFile file(sound(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

    void cleanup() { SharedForms::unloadAll(); }

    // What each key does is the rules' unit table; here, that the boxes apply the rules, and
    // that the wave chooser serves its box.
    void controlsApplyTheirRules()
    {
        TestHome home;
        TestHome::seed("ServerName=modem;ServerIPAddress=10.0.0.1;DisconnectWave=/sounds/bye.wav;"
                       "Dismiss=1;MainScreenExit=1");
        frmMain w;
        frmConfigure *d = frmConfigure::instance();
        d->Form_Load(w.configureOpener());
        d->show();
        QApplication::setActiveWindow(d);
        QVERIFY(QTest::qWaitForWindowActive(d));

        // Both stored: the address wins and the name box ends empty; typing a name empties
        // the address (else the typed address would join the stored one), and typing an address
        // the name.
        QCOMPARE(d->txtServerName->text() + d->txtIPAddress->text(), QLatin1String("10.0.0.1"));
        QVERIFY(d->optButton[1]->isChecked());
        QTest::keyClicks(d->txtServerName, QStringLiteral("x"));
        QTest::keyClicks(d->txtIPAddress, QStringLiteral("1a.2"));
        QCOMPARE(d->txtServerName->text() + d->txtIPAddress->text(), QLatin1String("1.2"));
        retype(d->txtPort, QStringLiteral("8a0915"));
        QCOMPARE(d->txtPort->text(), QLatin1String("8091")); // four characters at most

        // A page is chosen as the mouse goes down: bold button, one frame, its first control.
        QTest::mousePress(d->cmdTab[3], Qt::LeftButton);
        QVERIFY(d->fraTab[3]->isVisible() && !d->fraTab[0]->isVisible() &&
                d->cmdTab[3]->font().bold());
        QCOMPARE(QApplication::focusWidget(), d->chkBeep);
        QTest::mouseRelease(d->cmdTab[3], Qt::LeftButton);

        // Leaving the seconds box empty unticks its option; a number keeps it.
        retype(d->txtDismiss, QStringLiteral("1x5"));
        QTest::keyClick(d->txtDismiss, Qt::Key_Tab);
        QVERIFY(d->chkDismiss->isChecked());
        QCOMPARE(d->txtDismiss->text(), QLatin1String("15"));
        retype(d->txtDismiss, QString());
        QTest::keyClick(d->txtDismiss, Qt::Key_Tab);
        QVERIFY(!d->chkDismiss->isChecked() && !d->txtDismiss->isEnabled());

        // The page buttons answer their access keys; a ticked wave option brings its box and
        // buttons into the tab order; a "..." button is named for screen readers by its task.
        QTest::keyClick(d, Qt::Key_L, Qt::AltModifier);
        QTRY_COMPARE(d->focusWidget(), d->chkMsg[0]);
        d->chkMsg[1]->setChecked(true);
        d->chkMsg[1]->setFocus();
        for (QWidget *next : QWidgetList{d->txtWave[0], d->cmdWave[0], d->cmdTest[0]}) {
            QTest::keyClick(d->focusWidget(), Qt::Key_Tab);
            QCOMPARE(d->focusWidget(), next);
        }
        QCOMPARE(d->cmdWave[0]->accessibleName(), QLatin1String("Choose the connection wave"));
        QCOMPARE(d->cmdWave[1]->accessibleName(), QLatin1String("Choose the disconnection wave"));

        // "Test" plays the file named in its box, whatever it is, and reports nothing.
        d->cmdTest[1]->click();
        d->cmdTest[0]->click();
        QCOMPARE(home.sounds(), (QStringList{QStringLiteral("/sounds/bye.wav"), QString()}));

        // An empty box opens the chooser where it stands; given up, it leaves the box empty.
        auto cancel =
            whenShown<frmWav>([](frmWav *c) { c->cmdAction_Click(frmWav::ActionCancel); });
        d->cmdWave[0]->click();
        QVERIFY(!frmWav::loaded() && d->txtWave[0]->text().isEmpty());
        // The chooser opens on the stored file, whose name differs from the file's in letter
        // case only, plays without choosing, whatever the file holds, on "&Test" and on a
        // double-click, and hands the chosen path to the box.
        d->txtWave[0]->setText(sound("b.wav"));
        bool checked = false;
        auto watch = whenShown<frmWav>([&](frmWav *c) {
            QCOMPARE(c->windowTitle(), QLatin1String("Select Wave to Play When Server Connects"));
            QVERIFY(c->isModal());
            QCOMPARE(c->dirWav->Path() + QLatin1Char(' ') + listed(c->filWav),
                     m_sounds.path() + QLatin1String(" a.wav B.WAV*"));
            QCOMPARE(c->drvWav->itemText(1), QDir::homePath());
            QTest::mouseClick(c->cmdAction[0], Qt::LeftButton);
            const QRect first = c->filWav->visualItemRect(c->filWav->item(0));
            QTest::mouseClick(c->filWav->viewport(), Qt::LeftButton, {}, first.center());
            QTest::mouseDClick(c->filWav->viewport(), Qt::LeftButton, {}, first.center());
            QVERIFY(c->isVisible() && c->Tag.isEmpty());
            // Activating the open folder, as a double-click does, keeps the chosen file.
            Q_EMIT c->dirWav->itemActivated(c->dirWav->currentItem(), 0);
            checked = true;
            QTest::keyClick(c->filWav, Qt::Key_Return);
        });
        d->cmdWave[0]->click();
        QVERIFY(checked && !frmWav::loaded());
        QCOMPARE(home.sounds().mid(2), (QStringList{sound("B.WAV"), sound("a.wav")}));
        QCOMPARE(d->txtWave[0]->text(), sound("a.wav"));
        QCOMPARE(d->txtWave[0]->cursorPosition(), d->txtWave[0]->text().size());

        // Enter in an empty seconds box saves with dismissal off.
        d->chkDismiss->setChecked(true);
        retype(d->txtDismiss, QString());
        QTest::keyClick(d->txtDismiss, Qt::Key_Return);
        QVERIFY(!frmConfigure::loaded());
        QCOMPARE(Settings::text(Settings::Dismiss), QLatin1String("0"));
    }

    // Linked, the dialog fills its lists from the server's answer and saves them with every
    // setting; a ticked wave option with no file blocks the save, the connection's first. Which
    // changes need a restart is the rules' unit table; here the same server gives no notice and
    // another port does. Lists never filled keep their filters, a second press brings the open
    // dialog forward, and the server's shut-down closes the dialog and the chooser over it.
    void linkedSaves()
    {
        LinkedClient c;
        TestHome::seed(QStringLiteral("AlertConnections"), str("Mid|zeta|Gone|"));
        TestHome::seed(QStringLiteral("ConfirmDisconnections"), str("Alpha|"));
        QVERIFY(c.start());
        frmConfigure *d = openLinked(c);
        QVERIFY(d && d->isVisible() && !d->isModal() && d->cmdTab[2]->isEnabled());
        QVERIFY(c.serverSays(QStringLiteral("CONNECTIONS:") + str("Zeta|Alpha|Mid|beta|")));
        // Alphabetical, ignoring case: "beta" between "Alpha" and "Mid".
        QCOMPARE(listed(d->lstConnect[0]), QLatin1String("Alpha beta Mid* Zeta"));
        QCOMPARE(listed(d->lstConnect[2]), QLatin1String("Alpha* beta Mid Zeta"));
        d->chkIncludes[1]->setChecked(true);
        // A list takes several entries with Shift and the arrows; a selection made while ticked
        // survives unticking and is saved.
        QTest::keyClick(d->lstConnect[1], Qt::Key_Home);
        QTest::keyClick(d->lstConnect[1], Qt::Key_Down, Qt::ShiftModifier);
        d->chkIncludes[1]->setChecked(false);
        d->chkMsg[1]->setChecked(true);
        d->chkMsg[3]->setChecked(true);
        MessageBox::setNextAnswer(MessageBox::AnswerOk);
        QTest::mouseClick(d->cmdAction[0], Qt::LeftButton);
        d->txtWave[0]->setText(QStringLiteral("/home/ann/Ring.WAV"));
        MessageBox::setNextAnswer(MessageBox::AnswerOk);
        QTest::mouseClick(d->cmdAction[0], Qt::LeftButton);
        const QString unnamed = QStringLiteral("Either specify a wave file to play when the server "
                                               "%1 or turn off the 'Play wave when server %1' "
                                               "option.");
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        QCOMPARE(MessageBox::shownBoxes().at(0).text, unnamed.arg(QLatin1String("connects")));
        QCOMPARE(MessageBox::shownBoxes().at(1).text, unnamed.arg(QLatin1String("disconnects")));
        QCOMPARE(MessageBox::shownBoxes().at(1).style, 48);
        d->chkMsg[3]->setChecked(false);
        d->chkBeep->setChecked(true);
        d->chkDismiss->setChecked(true);
        d->txtDismiss->setText(QStringLiteral("7"));
        d->optButton[1]->setChecked(true);
        QTest::mouseClick(d->cmdAction[0], Qt::LeftButton);
        QVERIFY(!frmConfigure::loaded() && !frmMsg::loaded());
        QCOMPARE(c.window->cmdAction[1]->text(), QLatin1String("Mi&nimize"));
        const QString saved =
            QStringLiteral("ServerName= ServerIPAddress=127.0.0.1 Beep=1 Minimize=0 Dismiss=1 "
                           "DismissTime=7 PopUpOnConnect=1 WaveOnConnect=1 PopUpOnDisconnect=0 "
                           "WaveOnDisconnect=0 ConnectWave=/home/ann/Ring.WAV DisconnectWave= "
                           "AlertCIfIncludes=0 AlertDIfIncludes=0 ConfirmIfIncludes=0 "
                           "MainScreenExit=1");
        QSettings file(c.home.settingsFile(), QSettings::IniFormat);
        file.beginGroup(QStringLiteral("Configuration"));
        for (const QString &pair : saved.split(QLatin1Char(' '))) {
            const QString key = pair.section(QLatin1Char('='), 0, 0);
            QCOMPARE(key + QLatin1Char('=') + file.value(key, QStringLiteral("absent")).toString(),
                     pair);
        }
        QCOMPARE(file.childKeys().size(), 21 - 1); // every key but Alert
        // Case counts when selecting: "zeta" and "Gone" are dropped from the key.
        QCOMPARE(Settings::text(Settings::AlertConnections), str("Mid|"));
        QCOMPARE(Settings::text(Settings::AlertDisconnections), str("Alpha|beta|"));
        QCOMPARE(Settings::text(Settings::ConfirmDisconnections), str("Alpha|"));
        // A late answer finds no dialog and is only acknowledged.
        QVERIFY(c.serverSays(QStringLiteral("CONNECTIONS:") + str("Other|")));
        QCOMPARE(Settings::text(Settings::AlertConnections), str("Mid|"));

        d = openLinked(c);
        QTest::mouseClick(c.window->cmdAction[2], Qt::LeftButton);
        QCOMPARE(frmConfigure::loaded(), d);
        QCOMPARE(c.server.requests().count(QLatin1String("CMD_CONFIGURE_CONNECTIONS")), 1);
        d->txtPort->setText(QString::number(c.server.port() + 1));
        QTest::mouseClick(d->cmdAction[0], Qt::LeftButton);
        QCOMPARE(Settings::text(Settings::AlertConnections), str("Mid|"));
        QCOMPARE(frmMsg::loaded()->caption(),
                 QLatin1String("You will need to restart the Velmora Client before the changes "
                               "take effect."));
        QCOMPARE(c.home.beeps(), 1);
        // The link stays as it was until the next start.
        QCOMPARE(c.window->wskClient->State(), int(TcpClientSocket::StateConnected));

        d = openLinked(c);
        d->chkMsg[1]->setChecked(true);
        // A missing folder opens the nearest one above it.
        d->txtWave[0]->setText(sound("gone/x.wav"));
        auto watch =
            whenShown<frmWav>([&](frmWav *) { c.server.send(QStringLiteral("MSG_SHUTDOWN")); });
        d->cmdWave[0]->click(); // returns once the shutdown has unloaded the chooser
        QVERIFY(!frmWav::loaded() && !frmConfigure::loaded());
    }
};

QTEST_MAIN(TestConfigure)
#include "tst_configure.moc"
