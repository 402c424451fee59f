// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ErrorTrap.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "Protocol.h"
#include "RuntimeError.h"
#include "Settings.h"
#include "TcpClientSocket.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

void frmMain::createCommands()
{
    for (int i = 0; i < int(cmdAction.size()); ++i)
        connect(cmdAction[i], &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });
    for (int i = 0; i < int(mnuSysTray.size()); ++i)
        connect(mnuSysTray[i], &QAction::triggered, this, [this, i] { mnuSysTray_Click(i); });
    imgBrindor->installEventFilter(this);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == imgBrindor && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        imgBrindor_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::cmdAction_Click(int Index)
{
    try {
        switch (Index) {
        case ActionConnect:
            if (cmdAction[ActionConnect]->text() == QLatin1String("&Connect")) {
                fSendMessage(Protocol::CmdConnections);
            } else if (wskClient->State() == TcpClientSocket::StateConnected) {
                fSendMessage(Protocol::CmdDisconnect);
                bIRequestedDisconnect = true;
            }
            if (Settings::integer32(Settings::Minimize, QStringLiteral("0")) != 0 && !isMinimized())
                setWindowState(windowState() | Qt::WindowMinimized);
            break;
        case ActionExit:
            if (cmdAction[ActionExit]->text() == QLatin1String("E&xit")) {
                if (confirmExit())
                    closeFromCode();
            } else {
                setWindowState(windowState() | Qt::WindowMinimized);
            }
            break;
        case ActionMessage:
            fSendMessage(Protocol::CmdUsers);
            break;
        case ActionConfigure:
            configureCommand();
            break;
        }
    } catch (const RuntimeError &error) {
        if (m_ended)
            return;
        const QString procedure = QStringLiteral("frmMain.cmdAction_Click");
        logRuntimeError(procedure, error);
        gShowInfo(procedure + QStringLiteral(" : ") + error.description(), true);
    }
}

void frmMain::mnuSysTray_Click(int Index)
{
    switch (Index) {
    case SysTrayRestore:
        restoreFromElsewhere();
        break;
    case SysTrayLock:
        // The box's own click handler sets the menu's check mark.
        chkLock->setChecked(!chkLock->isChecked());
        break;
    case SysTrayAlert:
        chkAlert->setChecked(!chkAlert->isChecked());
        break;
    case SysTrayConfigure:
        cmdAction_Click(ActionConfigure);
        break;
    case SysTrayConnect:
        cmdAction_Click(ActionConnect);
        break;
    case SysTrayMessage:
        cmdAction_Click(ActionMessage);
        break;
    case SysTrayAbout:
        imgBrindor_Click();
        break;
    case SysTrayExit:
        if (confirmExit())
            closeFromCode();
        break;
    default:
        break;
    }
}

QString frmMain::aboutText()
{
    return QStringLiteral("Velmora Utility (Client) V%1.%2\r"
                          "The Velmora developers\r"
                          "\r"
                          "https://velmora.example.org\r"
                          "support@velmora.example.org")
        .arg(VELMORA_VERSION_MAJOR)
        .arg(VELMORA_VERSION_MINOR);
}

void frmMain::imgBrindor_Click()
{
    gShowInfo(aboutText(), true, true);
}

void frmMain::chkLock_Click()
{
    mnuSysTray[SysTrayLock]->setChecked(chkLock->isChecked());
}

void frmMain::chkAlert_Click()
{
    mnuSysTray[SysTrayAlert]->setChecked(chkAlert->isChecked());
}
