// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "EventWait.h"
#include "frmConfigure.h"
#include "frmMain.h"
#include "TcpClientSocket.h"

#include <QTimer>

void frmMain::configureCommand()
{
    // Linked, the dialog asks the server for its entry names and stays modeless, so that the
    // answer and everything else from the server keep arriving.
    if (wskClient->State() == TcpClientSocket::StateConnected) {
        showConfiguration(false);
        return;
    }
    timConnect->stop();
    const Qt::WindowStates remembered = windowState();
    showNormal();
    showConfiguration(true);
    if (remembered & Qt::WindowMinimized)
        setWindowState(windowState() | Qt::WindowMinimized);
    timConnect->start();
}

ConfigureOpener frmMain::configureOpener()
{
    return {wskClient, [this](const QString &ptMsg) { fSendMessage(ptMsg); },
            cmdAction[ActionExit]};
}

void frmMain::showConfiguration(bool modal)
{
    if (frmConfigure *open = frmConfigure::loaded()) {
        open->raise();
        open->activateWindow();
        return;
    }
    frmConfigure *dialog = frmConfigure::instance();
    dialog->Form_Load(configureOpener());
    // Loading waits for the server's acknowledgement, during which anything may happen.
    dialog = frmConfigure::loaded();
    if (!dialog)
        return;
    if (modal)
        dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    if (modal)
        EventWait::waitWithoutLimit([] { return !frmConfigure::loaded(); });
}
