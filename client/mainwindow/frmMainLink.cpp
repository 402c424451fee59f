// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"
#include "ErrorTrap.h"
#include "EventWait.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "MainModule.h"
#include "Protocol.h"
#include "RuntimeError.h"
#include "Settings.h"
#include "TcpClientSocket.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

namespace {

constexpr int AcknowledgementLimitSeconds = 10;

} // namespace

void frmMain::createLink()
{
    wskClient = new TcpClientSocket(this);
    connect(wskClient, &TcpClientSocket::DataArrival, this, &frmMain::wskClient_DataArrival);
    connect(wskClient, &TcpClientSocket::CloseEvent, this, &frmMain::wskClient_Close);
    connect(wskClient, &TcpClientSocket::SendProgress, this, &frmMain::wskClient_SendProgress);
    connect(timConnect, &QTimer::timeout, this, &frmMain::timConnect_Timer);
    connect(timOnline, &QTimer::timeout, this, &frmMain::timOnline_Timer);
}

void frmMain::enableLinkCommands(bool enabled)
{
    cmdAction[ActionConnect]->setEnabled(enabled);
    mnuSysTray[SysTrayConnect]->setEnabled(enabled);
    cmdAction[ActionMessage]->setEnabled(enabled);
    mnuSysTray[SysTrayMessage]->setEnabled(enabled);
}

void frmMain::timConnect_Timer()
{
    // The timer and a close event can both start an attempt; one at a time is enough, and a
    // trigger during an attempt is dropped.
    if (m_linkAttemptRunning)
        return;
    m_linkAttemptRunning = true;
    const auto attemptOver = qScopeGuard([this] { m_linkAttemptRunning = false; });
    try {
        linkAttempt();
    } catch (const RuntimeError &error) {
        if (error.number() == RuntimeError::HostUnreachable) {
            lblLink->setText(QStringLiteral("Cannot link to server on ") +
                             Settings::text(Settings::ServerIPAddress) + QStringLiteral(" port ") +
                             Settings::text(Settings::ServerPort));
            return;
        }
        const QString procedure = QStringLiteral("frmMain.timConnect_Timer");
        logRuntimeError(procedure, error);
        gShowInfo(procedure + QStringLiteral(" error ") + QString::number(error.number()) +
                      QStringLiteral(" : ") + error.description(),
                  true);
    }
}

void frmMain::linkAttempt()
{
    if (wskClient->State() == TcpClientSocket::StateConnected)
        return;
    if (lblConnection->text() != UnknownStatus) {
        cmdAction[ActionConnect]->setEnabled(false);
        iState = StateUnknown;
        lblConnection->setText(UnknownStatus);
        fUpdateTrayIcon(UnknownStatus);
    }
    enableLinkCommands(false);
    wskClient->Close();

    const QString name = Settings::text(Settings::ServerName);
    const QString address = Settings::text(Settings::ServerIPAddress);
    const QString port = Settings::text(Settings::ServerPort);
    if (!name.isEmpty()) {
        wskClient->Connect(name, port);
        lblLink->setText(QStringLiteral("Linking to server ") + name);
    } else {
        wskClient->Connect(address, port);
        lblLink->setText(QStringLiteral("Linking to server on ") + address);
    }

    // The socket's own events end this wait; a close of the socket from elsewhere (the window
    // unloading meanwhile) abandons the attempt.
    EventWait::waitWithoutLimit([this] {
        const int state = wskClient->State();
        return state == TcpClientSocket::StateConnected || state == TcpClientSocket::StateError ||
               state == TcpClientSocket::StateClosed;
    });

    switch (wskClient->State()) {
    case TcpClientSocket::StateConnected:
        lblLink->setText(QStringLiteral("Linked to server on ") + wskClient->RemoteHostIP() +
                         QStringLiteral(" port ") + QString::number(wskClient->RemotePort()));
        enableLinkCommands(true);
        iState = StateLineDown;
        break;
    case TcpClientSocket::StateError:
        lblLink->setText(name.isEmpty() ? QStringLiteral("Cannot link to server on ") + address +
                                              QStringLiteral(" port ") + port
                                        : QStringLiteral("Cannot link to server ") + name +
                                              QStringLiteral(" port ") + port);
        break;
    default:
        break;
    }
}

void frmMain::fAcknowledge()
{
    bSendComplete = false;
    gWriteLog(QStringLiteral("S"), Protocol::MsgAck);
    const qint64 start = Clock::secsSinceEpoch();
    wskClient->SendData(Protocol::MsgAck);
    EventWait::waitUntil([this] { return bSendComplete || m_ended; }, AcknowledgementLimitSeconds,
                         start);
}

void frmMain::fSendMessage(const QString &ptMsg)
{
    gWriteLog(QStringLiteral("S"), ptMsg);
    bAckReceived = false;
    const qint64 start = Clock::secsSinceEpoch();
    wskClient->SendData(ptMsg);
    EventWait::waitUntil([this] { return bAckReceived || m_ended; }, AcknowledgementLimitSeconds,
                         start);
}

void frmMain::wskClient_SendProgress(qint64, qint64 bytesRemaining)
{
    if (bytesRemaining == 0)
        bSendComplete = true;
}

void frmMain::wskClient_Close()
{
    timConnect_Timer();
}
