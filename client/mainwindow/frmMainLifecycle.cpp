// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ErrorTrap.h"
#include "frmMain.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "NotifyIcon.h"
#include "Protocol.h"
#include "RuntimeError.h"
#include "Settings.h"
#include "SharedForm.h"
#include "SingleInstance.h"
#include "TcpClientSocket.h"
#include "Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

namespace {

bool serverUnconfigured()
{
    return (Settings::text(Settings::ServerIPAddress).isEmpty() &&
            Settings::text(Settings::ServerName).isEmpty()) ||
           Settings::text(Settings::ServerPort).isEmpty();
}

} // namespace

bool frmMain::Form_Load()
{
    try {
        runStartup();
    } catch (const RuntimeError &error) {
        reportInMessageBox(QStringLiteral("frmMain_Load"), error);
    }
    // The steps after a failure are skipped. A window that never showed would leave a program
    // with nothing on screen to close, so then the program ends.
    return isVisible();
}

void frmMain::runStartup()
{
    m_instance = std::make_unique<SingleInstance>(SingleInstance::defaultKey());
    if (!m_instance->claim()) {
        setWindowTitle(QString());
        return;
    }
    connect(m_instance.get(), &SingleInstance::activationRequested, this,
            &frmMain::restoreFromElsewhere);

    MainModule::deleteActivityLog();
    Twips::centre(this);

    // The link timer only starts at the end of start-up, so nothing links behind the dialog.
    if (serverUnconfigured())
        showConfiguration(true);
    if (serverUnconfigured()) {
        MessageBox::show(QStringLiteral("You cannot use the Velmora Client unless you specify "
                                        "an IP Address and a port number for the server."),
                         MessageBox::Critical);
        return;
    }

    // The box's click handler checks the menu item with it.
    chkAlert->setChecked(Settings::integer16(Settings::Alert, QStringLiteral("0")) != 0);
    cmdAction[ActionExit]->setText(Settings::text(Settings::MainScreenExit, QStringLiteral("0")) ==
                                           QLatin1String("0")
                                       ? QStringLiteral("E&xit")
                                       : QStringLiteral("Mi&nimize"));
    show();
    addNotifyIcon();
    // The first attempt does not wait for the timer's first interval.
    timConnect->start();
    timConnect_Timer();
}

bool frmMain::confirmExit()
{
    return MessageBox::show(QStringLiteral("Are you SURE you want to shut down the Velmora "
                                           "Client?\rYou will not be able to disconnect the "
                                           "server modem!"),
                            MessageBox::YesNo | MessageBox::Exclamation |
                                MessageBox::DefaultButton2) == MessageBox::AnswerYes;
}

void frmMain::closeFromCode()
{
    m_closingFromCode = true;
    close();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // Only a close through the window frame asks; the program's own closes asked already or
    // need no question.
    if (!m_unloaded && !m_closingFromCode && !confirmExit()) {
        event->ignore();
        return;
    }
    event->accept();
    Form_Unload();
}

void frmMain::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    timConnect->stop();
    // No window may outlive this one: each dialog's opener stops waiting for its answer, and
    // the handlers it interrupted unwind to the end of the program.
    SharedForms::unloadAll();
    MessageBox::closeAll();
    try {
        if (wskClient->State() == TcpClientSocket::StateConnected)
            fSendMessage(Protocol::CmdEnd);
        if (wskClient->State() != TcpClientSocket::StateClosed)
            wskClient->Close();
        Settings::save(Settings::Alert,
                       chkAlert->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
        removeNotifyIcon();
    } catch (const RuntimeError &error) {
        reportInMessageBox(QStringLiteral("frmMain_Unload"), error);
    }
    // Whatever opened during the shut-down, a notice or a message box among them, would keep
    // its wait, and so the program, alive.
    SharedForms::unloadAll();
    m_ended = true;
    Q_EMIT programEnded();
}

void frmMain::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Minimised, the window lives on as the notification-area icon only. Hidden once the
    // state change is complete: showMinimized() shows the window again after announcing it.
    // Without a notification area nothing could bring a hidden window back, so it stays on
    // the taskbar.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_notifyIcon &&
        NotifyIcon::available()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isMinimized())
                    hide();
            },
            Qt::QueuedConnection);
    }
}

void frmMain::restoreFromElsewhere()
{
    showNormal();
    raise();
    activateWindow();
}
