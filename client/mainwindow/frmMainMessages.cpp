// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmFlexiBox.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmUsers.h"
#include "Protocol.h"
#include "RuntimeError.h"

#include <QListWidget>
#include <QPlainTextEdit>

namespace {

// Shows the composer, filled by the caller, and waits for its answer. Returns the composer
// while it is still loaded, or nullptr when something unloaded it meanwhile.
frmUsers *showComposer(QWidget *focus)
{
    frmUsers *composer = frmUsers::instance();
    composer->show();
    composer->raise();
    composer->activateWindow();
    if (focus)
        focus->setFocus();
    return waitForAnswer<frmUsers>();
}

} // namespace

void frmMain::onUsers(const QString &message)
{
    // A second list while the composer is open is refused: the open one keeps what the user
    // has written, and the outer run still owns it.
    if (frmUsers::loaded()) {
        frmUsers::loaded()->raise();
        frmUsers::loaded()->activateWindow();
        return;
    }
    frmUsers *composer = frmUsers::instance();
    composer->lstUsers->clear();
    composer->lstUsers->addItems(
        Protocol::parseList(Protocol::payload(message, Protocol::UsersPrefix)));
    QWidget *focus = nullptr;
    if (composer->lstUsers->count() == 1) {
        composer->lstUsers->setCurrentRow(0);
        focus = composer->txtMsg;
    }
    composer = showComposer(focus);
    if (composer && composer->answeredWith(frmUsers::ActionOk) && !m_unloaded) {
        QStringList recipients;
        for (int i = 0; i < composer->lstUsers->count(); ++i) {
            if (composer->lstUsers->item(i)->isSelected())
                recipients.append(composer->lstUsers->item(i)->text());
        }
        const QString request = Protocol::userMessageRequest(recipients, composer->messageText());
        dispatchStep([&] { fSendMessage(request); });
    }
    frmUsers::unload();
    // Messages that came in while the user was writing were held back; show them now.
    if (!colMsgs.isEmpty() && !m_unloaded)
        lblMsg_Change();
}

void frmMain::lblMsg_Change()
{
    // A message that arrives while the queue is being shown waits its turn; so does one that
    // arrives while the user writes a new message, whose composer a reply would need.
    if (bShowingMsgs || frmUsers::loaded() || m_unloaded)
        return;
    bShowingMsgs = true;
    try {
        // Once the program ends, what is left in the queue is left unshown.
        while (!colMsgs.isEmpty() && !m_unloaded) {
            const QString entry = colMsgs.first();
            const qsizetype hash = entry.indexOf(Protocol::NameTerminator);
            const QString sender = hash < 0 ? entry : entry.left(hash);
            const QString text = hash < 0 ? QString() : entry.mid(hash + 1);
            if (giMsgBox(text, sender) == 0) {
                frmUsers *composer = frmUsers::instance();
                composer->setWindowTitle(QStringLiteral("Reply to message from ") + sender);
                composer->lstUsers->addItem(sender);
                composer->lstUsers->selectionModel()->setCurrentIndex(
                    composer->lstUsers->model()->index(0, 0), QItemSelectionModel::NoUpdate);
                composer->lstUsers->setEnabled(false);
                composer = showComposer(composer->txtMsg);
                if (composer && composer->answeredWith(frmUsers::ActionOk) && !m_unloaded)
                    fSendMessage(Protocol::userMessageRequest(
                        {composer->lstUsers->currentItem()->text()}, composer->messageText()));
                frmUsers::unload();
            }
            colMsgs.removeFirst();
        }
    } catch (const RuntimeError &error) {
        reportInNotice(QStringLiteral("frmMain.lblMsg_Change"), error);
        // The entry stays first for the next change; its composer goes, so that the next
        // reply starts from the design state.
        frmUsers::unload();
    }
    bShowingMsgs = false;
}
