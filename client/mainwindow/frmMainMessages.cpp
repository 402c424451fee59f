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
    // A reply chosen while this composer was open could not have it; its turn is now.
    if (m_replyOwed && !m_unloaded)
        lblMsg_Change();
}

void frmMain::lblMsg_Change()
{
    // A message that arrives while the queue is being shown waits its turn.
    if (bShowingMsgs || m_unloaded)
        return;
    bShowingMsgs = true;
    try {
        // Once the program ends, what is left in the queue is left unshown.
        while (!colMsgs.isEmpty() && !m_unloaded) {
            const QString entry = colMsgs.first();
            const qsizetype hash = entry.indexOf(Protocol::NameTerminator);
            const QString sender = hash < 0 ? entry : entry.left(hash);
            const QString text = hash < 0 ? QString() : entry.mid(hash + 1);
            if (m_replyOwed || giMsgBox(text, sender) == 0) {
                // The one composer is taken by a new message: the reply opens once that
                // message is sent or given up, and the messages after this one wait behind it.
                if (frmUsers::loaded()) {
                    if (!m_replyOwed) {
                        frmUsers::loaded()->raise();
                        frmUsers::loaded()->activateWindow();
                    }
                    m_replyOwed = true;
                    break;
                }
                m_replyOwed = false;
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
        // The entry stays first and is shown again at the next change; its composer goes, so
        // that the next reply starts from the design state.
        m_replyOwed = false;
        frmUsers::unload();
    }
    bShowingMsgs = false;
}
