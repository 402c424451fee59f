// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

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
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

namespace {

// A name list written with "|" after each name.
QString list(const char *names)
{
    return QString::fromLatin1(names).replace(QLatin1Char('|'), QChar(28));
}

// The entries in their order, a selected one marked with "*".
QString listed(const QListWidget *list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text() +
                     (list->item(row)->isSelected() ? QLatin1String("*") : QLatin1String(""));
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
// to be asked for.
frmConfigure *openLinked(LinkedClient &c)
{
    c.server.clearReceived();
    QTest::mouseClick(c.window->cmdAction[2], Qt::LeftButton);
    if (!c.server.waitForRequest(QStringLiteral("CMD_CONFIGURE_CONNECTIONS")))
        return nullptr;
    return frmConfigure::loaded();
}

} // namespace

class TestConfigure : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        frmConfigure::unload();
        frmMsg::unload();
    }

    void firstRunConfiguresThenLinks()
    {
        TestHome home;
        FakeServer server(FakeServer::Port::FourDigits);
        frmMain w;
        bool checked = false;
        auto watch = whenShown<frmConfigure>([&](frmConfigure *d) {
            QCOMPARE(d->windowTitle(), QLatin1String("Configure Velmora Client"));
            QVERIFY(d->isModal());
            QCOMPARE(d->txtPort->text(), QLatin1String("1000"));
            QVERIFY(d->txtServerName->text().isEmpty() && d->txtIPAddress->text().isEmpty());
            QVERIFY(d->chkMsg[0]->isChecked());
            QVERIFY(!d->chkMsg[1]->isChecked() && !d->txtWave[0]->isEnabled());
            QVERIFY(!d->chkDismiss->isChecked() && !d->txtDismiss->isEnabled());
            QCOMPARE(d->txtDismiss->text(), QLatin1String("0"));
            QVERIFY(d->optButton[0]->isChecked());
            QVERIFY(!d->cmdTab[2]->isEnabled()); // no link, no entry names
            QVERIFY(d->fraTab[0]->isVisible() && !d->fraTab[1]->isVisible());
            QVERIFY(d->cmdTab[0]->font().bold() && !d->cmdTab[1]->font().bold());
            QVERIFY(!d->lblName->text().isEmpty() && d->lblName->text() != QLatin1String("Name"));
            QVERIFY(!w.timConnect->isActive());
            retype(d->txtIPAddress, QStringLiteral("127.0.0.1"));
            retype(d->txtPort, QString::number(server.port()));
            checked = true;
            QTest::keyClick(d->txtPort, Qt::Key_Return); // Enter in a box saves
        });
        QVERIFY(w.Form_Load());
        QVERIFY(checked);
        QVERIFY(!frmConfigure::loaded());
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(Settings::text(Settings::ServerIPAddress), QLatin1String("127.0.0.1"));
        QCOMPARE(Settings::text(Settings::ServerPort), QString::number(server.port()));
        QCOMPARE(Settings::text(Settings::PopUpOnConnect), QLatin1String("1"));
        QVERIFY(server.waitForConnections(1));
        QTRY_COMPARE(w.wskClient->State(), int(TcpClientSocket::StateConnected));
        QVERIFY(w.timConnect->isActive());
    }

    void controlsFollowTheirRules()
    {
        TestHome home;
        TestHome::seed(QStringLiteral("ServerName"), QStringLiteral("modem"));
        TestHome::seed(QStringLiteral("ServerIPAddress"), QStringLiteral("10.0.0.1"));
        TestHome::seed(QStringLiteral("WaveOnDisconnect"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("DisconnectWave"), QStringLiteral("/sounds/bye.wav"));
        TestHome::seed(QStringLiteral("ConfirmIfIncludes"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("Dismiss"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("DismissTime"), QStringLiteral("20"));
        TestHome::seed(QStringLiteral("MainScreenExit"), QStringLiteral("1"));
        frmMain w;
        frmConfigure *d = frmConfigure::instance();
        d->Form_Load(w.configureOpener());
        d->show();
        QApplication::setActiveWindow(d);
        QVERIFY(QTest::qWaitForWindowActive(d));

        // Both stored: the address wins and the name box ends empty.
        QVERIFY(d->txtServerName->text().isEmpty());
        QCOMPARE(d->txtIPAddress->text(), QLatin1String("10.0.0.1"));
        QCOMPARE(QApplication::focusWidget(), d->txtServerName);
        // The load ticks boxes, and their dependants follow.
        QVERIFY(d->txtWave[1]->isEnabled() && d->cmdWave[1]->isEnabled());
        QCOMPARE(d->txtWave[1]->cursorPosition(), d->txtWave[1]->text().size());
        QVERIFY(!d->txtWave[0]->isEnabled() && d->cmdTest[0]->isEnabled());
        QVERIFY(d->lstConnect[2]->isEnabled() && !d->lstConnect[0]->isEnabled());
        QVERIFY(d->txtDismiss->isEnabled());
        QVERIFY(d->optButton[1]->isChecked());

        QTest::keyClicks(d->txtServerName, QStringLiteral("x"));
        QVERIFY(d->txtIPAddress->text().isEmpty());
        QTest::keyClicks(d->txtIPAddress, QStringLiteral("256.1..2.3.4a"));
        QCOMPARE(d->txtIPAddress->text(), QLatin1String("25.1.2.34"));
        QCOMPARE(d->txtServerName->text(), QString());
        QTest::keyClick(d->txtIPAddress, Qt::Key_Backspace);
        QCOMPARE(d->txtIPAddress->text(), QLatin1String("25.1.2.3"));
        retype(d->txtPort, QStringLiteral("8a0-9 1"));
        QCOMPARE(d->txtPort->text(), QLatin1String("8091"));
        QTest::keyClicks(d->txtPort, QStringLiteral("5"));
        QCOMPARE(d->txtPort->text(), QLatin1String("8091")); // four characters at most

        // Pages: bold button, one frame, focus on the page's first control; mouse and keys.
        QTest::mousePress(d->cmdTab[3], Qt::LeftButton);
        QVERIFY(d->fraTab[3]->isVisible() && !d->fraTab[0]->isVisible());
        QVERIFY(d->cmdTab[3]->font().bold() && !d->cmdTab[0]->font().bold());
        QCOMPARE(QApplication::focusWidget(), d->chkBeep);
        QTest::mouseRelease(d->cmdTab[3], Qt::LeftButton);
        QTest::keyClick(d, Qt::Key_L, Qt::AltModifier);
        QTRY_VERIFY(d->fraTab[1]->isVisible());
        QCOMPARE(QApplication::focusWidget(), d->chkMsg[0]);
        QVERIFY(!d->cmdTab[2]->isEnabled());

        // Leaving an empty seconds box unticks its option; a number keeps it.
        d->cmdTab_Click(3);
        retype(d->txtDismiss, QStringLiteral("1x5"));
        QCOMPARE(d->txtDismiss->text(), QLatin1String("15"));
        QTest::keyClick(d->txtDismiss, Qt::Key_Tab);
        QVERIFY(d->chkDismiss->isChecked());
        retype(d->txtDismiss, QString());
        QTest::keyClick(d->txtDismiss, Qt::Key_Tab);
        QVERIFY(!d->chkDismiss->isChecked() && !d->txtDismiss->isEnabled());

        // "Test" plays the file named in its box, whatever it is, and reports nothing.
        d->cmdTab_Click(1);
        QTest::mouseClick(d->cmdTest[1], Qt::LeftButton);
        QTest::mouseClick(d->cmdTest[0], Qt::LeftButton);
        QCOMPARE(home.sounds(), (QStringList{QStringLiteral("/sounds/bye.wav"), QString()}));
        QVERIFY(MessageBox::shownBoxes().isEmpty());

        // Enter in an empty seconds box saves with dismissal off.
        d->cmdTab_Click(3);
        d->chkDismiss->setChecked(true);
        retype(d->txtDismiss, QString());
        QTest::keyClick(d->txtDismiss, Qt::Key_Return);
        QVERIFY(!frmConfigure::loaded());
        QCOMPARE(Settings::text(Settings::Dismiss), QLatin1String("0"));
        QCOMPARE(Settings::text(Settings::DismissTime, QStringLiteral("absent")), QString());
    }

    void waveChecksBlockTheSave_data()
    {
        QTest::addColumn<bool>("connect");
        QTest::addColumn<bool>("disconnect");
        QTest::addColumn<QString>("message");
        const QString connecting = QStringLiteral(
            "Either specify a wave file to play when the server connects or turn off the 'Play "
            "wave when server connects' option.");
        QTest::newRow("connection") << true << false << connecting;
        QTest::newRow("disconnection")
            << false << true
            << QStringLiteral("Either specify a wave file to play when the server disconnects "
                              "or turn off the 'Play wave when server disconnects' option.");
        QTest::newRow("both: the connection first") << true << true << connecting;
    }
    void waveChecksBlockTheSave()
    {
        QFETCH(bool, connect);
        QFETCH(bool, disconnect);
        QFETCH(QString, message);
        TestHome home;
        frmMain w;
        frmConfigure *d = frmConfigure::instance();
        d->Form_Load(w.configureOpener());
        d->show();
        d->cmdTab_Click(1);
        d->chkMsg[1]->setChecked(connect);
        d->chkMsg[3]->setChecked(disconnect);
        MessageBox::setNextAnswer(MessageBox::AnswerOk);
        QTest::mouseClick(d->cmdAction[0], Qt::LeftButton);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().first().text, message);
        QCOMPARE(MessageBox::shownBoxes().first().style, 48);
        QCOMPARE(frmConfigure::loaded(), d);
        QVERIFY(d->fraTab[1]->isVisible());
        QVERIFY(!QFile::exists(home.settingsFile()));
    }

    void saveWritesEverySettingAndTheLists()
    {
        LinkedClient c;
        TestHome::seed(QStringLiteral("AlertConnections"), list("Mid|zeta|Gone|"));
        TestHome::seed(QStringLiteral("ConfirmDisconnections"), list("Alpha|"));
        QVERIFY(c.start());
        frmConfigure *d = openLinked(c);
        QVERIFY(d);
        QVERIFY(d->isVisible() && !d->isModal());
        QVERIFY(d->cmdTab[2]->isEnabled());
        QVERIFY(c.serverSays(QStringLiteral("CONNECTIONS:") + list("Zeta|Alpha|Mid|beta|")));
        // Alphabetical, ignoring case: "beta" between "Alpha" and "Mid".
        QCOMPARE(listed(d->lstConnect[0]), QLatin1String("Alpha beta Mid* Zeta"));
        QCOMPARE(listed(d->lstConnect[1]), QLatin1String("Alpha beta Mid Zeta"));
        QCOMPARE(listed(d->lstConnect[2]), QLatin1String("Alpha* beta Mid Zeta"));
        QCOMPARE(d->lstConnect[0]->selectionMode(), QAbstractItemView::ExtendedSelection);

        d->cmdTab_Click(2);
        QCOMPARE(QApplication::focusWidget(), d->chkIncludes[0]);
        d->chkIncludes[1]->setChecked(true);
        d->lstConnect[1]->item(3)->setSelected(true);
        d->lstConnect[1]->item(0)->setSelected(true);
        // A selection made while ticked survives unticking and is saved.
        d->chkIncludes[1]->setChecked(false);
        QVERIFY(!d->lstConnect[1]->isEnabled());
        d->chkMsg[1]->setChecked(true);
        d->txtWave[0]->setText(QStringLiteral("/home/ann/Ring.WAV"));
        d->chkBeep->setChecked(true);
        d->chkDismiss->setChecked(true);
        d->txtDismiss->setText(QStringLiteral("7"));
        d->optButton[1]->setChecked(true);
        QTest::mouseClick(d->cmdAction[0], Qt::LeftButton);

        QVERIFY(!frmConfigure::loaded());
        QVERIFY(!frmMsg::loaded()); // same server and port: no restart needed
        QCOMPARE(c.window->cmdAction[1]->text(), QLatin1String("Mi&nimize"));
        const std::pair<QLatin1String, const char *> expected[] = {
            {Settings::ServerName, ""},
            {Settings::ServerIPAddress, "127.0.0.1"},
            {Settings::Beep, "1"},
            {Settings::Minimize, "0"},
            {Settings::Dismiss, "1"},
            {Settings::DismissTime, "7"},
            {Settings::PopUpOnConnect, "1"},
            {Settings::WaveOnConnect, "1"},
            {Settings::PopUpOnDisconnect, "0"},
            {Settings::WaveOnDisconnect, "0"},
            {Settings::ConnectWave, "/home/ann/Ring.WAV"},
            {Settings::DisconnectWave, ""},
            {Settings::AlertCIfIncludes, "0"},
            {Settings::AlertDIfIncludes, "0"},
            {Settings::ConfirmIfIncludes, "0"},
            {Settings::MainScreenExit, "1"},
        };
        for (const auto &[key, value] : expected)
            QCOMPARE(Settings::text(key, QStringLiteral("absent")), QLatin1String(value));
        QCOMPARE(Settings::text(Settings::ServerPort), QString::number(c.server.port()));
        // Case counts when selecting: "zeta" and "Gone" are dropped from the key.
        QCOMPARE(Settings::text(Settings::AlertConnections), list("Mid|"));
        QCOMPARE(Settings::text(Settings::AlertDisconnections), list("Alpha|Zeta|"));
        QCOMPARE(Settings::text(Settings::ConfirmDisconnections), list("Alpha|"));
        QSettings file(c.home.settingsFile(), QSettings::IniFormat);
        file.beginGroup(QStringLiteral("Configuration"));
        QCOMPARE(file.childKeys().size(), 21 - 1); // every key but Alert

        // A late answer finds no dialog and is only acknowledged.
        c.server.clearReceived();
        QVERIFY(c.serverSays(QStringLiteral("CONNECTIONS:") + list("Other|")));
        QVERIFY(!frmConfigure::loaded());
        QCOMPARE(Settings::text(Settings::AlertConnections), list("Mid|"));
    }

    void unfilledListsKeepTheirFiltersAndShutdownClosesTheDialogs()
    {
        LinkedClient c;
        TestHome::seed(QStringLiteral("AlertConnections"), list("Office|"));
        QVERIFY(c.start());
        frmConfigure *d = openLinked(c);
        QVERIFY(d);
        // A second press brings the open dialog forward instead of loading it again.
        QTest::mouseClick(c.window->cmdAction[2], Qt::LeftButton);
        QCOMPARE(frmConfigure::loaded(), d);
        QCOMPARE(c.server.requests().count(QLatin1String("CMD_CONFIGURE_CONNECTIONS")), 1);
        QTest::mouseClick(d->cmdAction[0], Qt::LeftButton);
        QVERIFY(!frmConfigure::loaded());
        QCOMPARE(Settings::text(Settings::AlertConnections), list("Office|"));
        QCOMPARE(Settings::text(Settings::AlertDisconnections, QStringLiteral("absent")),
                 QLatin1String("absent"));

        // The server's shut-down closes the dialog and the chooser waiting over it.
        d = openLinked(c);
        QVERIFY(d);
        d->chkMsg[1]->setChecked(true);
        QSignalSpy ended(c.window.get(), &frmMain::programEnded);
        bool chooserOpen = false;
        auto watch = whenShown<frmWav>([&](frmWav *) {
            chooserOpen = true;
            c.server.send(QStringLiteral("MSG_SHUTDOWN"));
        });
        d->cmdWave[0]->click(); // returns once the shutdown has unloaded the chooser
        QVERIFY(chooserOpen);
        QCOMPARE(ended.size(), 1);
        QVERIFY(!frmWav::loaded());
        QVERIFY(!frmConfigure::loaded());
        QVERIFY(c.server.waitForRequest(QStringLiteral("CMD_END")));
    }

    // Which changes need a restart is the rules' unit test; the same server's "no notice" is
    // checked with the save above. Here: both boxes reach the check, and the notice it gives.
    void restartNotice_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("portOffset");
        QTest::newRow("other port") << QStringLiteral("127.0.0.1") << 1;
        QTest::newRow("other address") << QStringLiteral("127.0.0.2") << 0;
    }
    void restartNotice()
    {
        QFETCH(QString, address);
        QFETCH(int, portOffset);
        LinkedClient c;
        QVERIFY(c.start());
        frmConfigure *d = openLinked(c);
        QVERIFY(d);
        d->txtIPAddress->setText(address);
        d->txtPort->setText(QString::number(c.server.port() + portOffset));
        d->cmdAction_Click(0);
        QVERIFY(!frmConfigure::loaded());
        QVERIFY(frmMsg::loaded());
        QCOMPARE(frmMsg::loaded()->caption(),
                 QLatin1String("You will need to restart the Velmora Client before the changes "
                               "take effect."));
        QCOMPARE(c.home.beeps(), 1);
        // The link stays as it was until the next start.
        QCOMPARE(c.window->wskClient->State(), int(TcpClientSocket::StateConnected));
    }

    void configureWhileUnlinkedIsModalAndRestoresTheWindow()
    {
        TestHome home;
        TestHome::seedServer(1);
        frmMain w;
        QVERIFY(w.Form_Load());
        w.showMinimized();
        QTRY_VERIFY(!w.isVisible());
        bool wasModal = false, timerStopped = false, mainShown = false;
        auto watch = whenShown<frmConfigure>([&](frmConfigure *d) {
            wasModal = d->isModal();
            timerStopped = !w.timConnect->isActive();
            mainShown = w.isVisible();
            QTest::mouseClick(d->cmdAction[1], Qt::LeftButton);
        });
        w.mnuSysTray_Click(5);
        QVERIFY(wasModal && timerStopped && mainShown);
        QVERIFY(!frmConfigure::loaded());
        QVERIFY(w.timConnect->isActive());
        QTRY_VERIFY(!w.isVisible()); // minimised again, so hidden
        QVERIFY(!QFile::exists(home.settingsFile()) ||
                Settings::text(Settings::Beep, QStringLiteral("absent")) ==
                    QLatin1String("absent"));
    }
};

QTEST_MAIN(TestConfigure)
#include "tst_configure.moc"
