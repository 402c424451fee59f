// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Alphabetical.h"
#include "Clock.h"
#include "ErrorTrap.h"
#include "EventWait.h"
#include "frmAlert.h"
#include "frmConfigure.h"
#include "frmDUNPassword.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmPhonebook.h"
#include "MainModule.h"
#include "Protocol.h"
#include "RuntimeError.h"
#include "TcpClientSocket.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

using Protocol::ServerMessage;

void frmMain::dispatchStep(const std::function<void()> &step)
{
    if (m_ended)
        return;
    try {
        step();
    } catch (const RuntimeError &error) {
        reportInMessageBox(QStringLiteral("frmMain.wskClient_DataArrival"), error);
    }
}

void frmMain::wskClient_DataArrival(qint64)
{
    QString message;
    dispatchStep([&] { message = wskClient->GetData(); });
    dispatchStep([&] { gWriteLog(QStringLiteral("R"), message); });
    if (message != Protocol::MsgAck)
        dispatchStep([&] { fAcknowledge(); });
    // Once the window is unloading, only the acknowledgement of its last request counts.
    if (m_unloaded && message != Protocol::MsgAck)
        return;

    switch (Protocol::classify(message)) {
    case ServerMessage::DisconnectRequest:
        onDisconnectRequest(message);
        break;
    case ServerMessage::Phonebook:
        onPhonebook(message);
        break;
    case ServerMessage::Users:
        onUsers(message);
        break;
    case ServerMessage::UserMessage:
        onUserMessage(message);
        break;
    case ServerMessage::Connections:
        // Only an open configuration dialog wants the entry names; a late answer is dropped.
        if (frmConfigure *dialog = frmConfigure::loaded())
            dialog->fListConnections(Protocol::payload(message, Protocol::ConnectionsPrefix));
        break;
    case ServerMessage::Cancelled:
        onCancelled();
        break;
    case ServerMessage::Locked:
        gShowInfo(QStringLiteral("Another user has the connection locked."));
        break;
    case ServerMessage::Ack:
        bAckReceived = true;
        break;
    case ServerMessage::Shutdown:
        closeFromCode();
        break;
    case ServerMessage::Password:
        onPassword();
        break;
    case ServerMessage::SendId:
        onSendId();
        break;
    case ServerMessage::Status:
        onStatusLine(message);
        break;
    }
}

void frmMain::onDisconnectRequest(const QString &message)
{
    // A disabled window means a countdown is already open: it alone answers.
    if (!isEnabled())
        return;
    if (chkLock->isChecked()) {
        dispatchStep([&] { fSendMessage(Protocol::CmdLocked); });
        return;
    }
    bool confirm = true;
    dispatchStep([&] { confirm = fbConfirmDisconnection(sConnection); });
    if (!confirm) {
        dispatchStep([&] { fSendMessage(Protocol::CmdOk); });
        return;
    }
    bCancelled = false;
    qint16 seconds = 0;
    dispatchStep([&] {
        const std::optional<qint16> n = Protocol::disconnectSeconds(message);
        if (!n)
            throw RuntimeError(RuntimeError::Overflow,
                               QStringLiteral("Overflow: the disconnection request \"%1\" asks "
                                              "for more seconds than can be counted")
                                   .arg(message));
        seconds = *n;
    });

    frmAlert *alert = frmAlert::instance();
    alert->lblCountdown->setText(QString::number(seconds));
    alert->show();
    setEnabled(false);

    const qint64 start = Clock::now().toSecsSinceEpoch();
    bool cancelledByAnother = false;
    EventWait::waitUntil(
        [&] {
            const frmAlert *open = frmAlert::loaded();
            if (!open || !open->Tag.isEmpty())
                return true;
            cancelledByAnother = bCancelled;
            return cancelledByAnother;
        },
        seconds, start);
    if (cancelledByAnother) {
        setEnabled(true);
        frmAlert::unload();
        return;
    }

    const QString answer = frmAlert::loaded() ? frmAlert::loaded()->Tag : QString();
    if (answer == QLatin1String("OK"))
        dispatchStep([&] { fSendMessage(Protocol::CmdOk); });
    else if (answer == QLatin1String("CANCEL"))
        dispatchStep([&] { fSendMessage(Protocol::CmdCancel); });
    setEnabled(true);
    frmAlert::unload();
}

void frmMain::onPhonebook(const QString &message)
{
    // A second list while the chooser waits for the first is refused: the outer run owns the
    // chooser, and the nested run must not unload it from under it.
    if (frmPhonebook::loaded())
        return;
    frmPhonebook *chooser = frmPhonebook::instance();
    // The list widget's own sort goes by character code; the user expects the alphabet.
    QStringList entries =
        Protocol::parseList(Protocol::payload(message, Protocol::PhonebookPrefix));
    Alphabetical::sort(entries);
    chooser->lstPhonebook->clear();
    chooser->lstPhonebook->addItems(entries);
    if (chooser->lstPhonebook->count() == 1) {
        chooser->lstPhonebook->setCurrentRow(0);
        chooser->Tag = QString::number(frmPhonebook::ActionConnect);
    } else {
        chooser->show();
    }
    chooser = waitForAnswer<frmPhonebook>();
    if (chooser && chooser->answeredWith(frmPhonebook::ActionConnect)) {
        const QList<QListWidgetItem *> chosen = chooser->lstPhonebook->selectedItems();
        sPhonebookEntry = chosen.isEmpty() ? QString() : chosen.first()->text();
        dispatchStep([&] { fSendMessage(Protocol::connectRequest(sPhonebookEntry)); });
    }
    frmPhonebook::unload();
}

void frmMain::onPassword()
{
    if (frmDUNPassword::loaded())
        return;
    frmDUNPassword::instance()->show();
    const frmDUNPassword *prompt = waitForAnswer<frmDUNPassword>();
    if (prompt && prompt->answeredWith(frmDUNPassword::ActionOk)) {
        const QString password = prompt->txtPassword->text();
        dispatchStep([&] { fSendMessage(Protocol::connectRequest(sPhonebookEntry, password)); });
    }
    frmDUNPassword::unload();
}

void frmMain::onUserMessage(const QString &message)
{
    Protocol::UserMessage parsed;
    dispatchStep([&] {
        parsed = Protocol::parseUserMessage(message);
        if (!parsed.hasSeparator)
            throw RuntimeError(RuntimeError::InvalidArgument,
                               QStringLiteral("The user message \"%1\" has no \"#\" after its "
                                              "sender")
                                   .arg(message));
    });
    colMsgs.append(parsed.sender + Protocol::NameTerminator + parsed.text);
    // Each change of the hidden label's caption is one trigger for showing the queue.
    lblMsg->setText(lblMsg->text().isEmpty() ? QStringLiteral("+") : QString());
    lblMsg_Change();
}

void frmMain::onCancelled()
{
    if (bIRequestedDisconnect) {
        gShowInfo(QStringLiteral("Another user has cancelled the disconnection."));
        bIRequestedDisconnect = false;
    } else {
        bCancelled = true;
    }
}

void frmMain::onSendId()
{
    dispatchStep([&] {
        const QString host = wskClient->LocalHostName();
        fSendMessage(Protocol::IdPrefix + (host.isEmpty() ? wskClient->LocalIP() : host));
    });
}
