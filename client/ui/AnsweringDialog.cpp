// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AnsweringDialog.h"

#include "Artwork.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

AnsweringDialog::AnsweringDialog(Qt::WindowFlags flags)
    : QDialog(nullptr, flags)
{
    setWindowIcon(Artwork::applicationIcon());
}

void AnsweringDialog::answer(const QString &ptAnswer)
{
    Tag = ptAnswer;
    hide();
}

void AnsweringDialog::reject()
{
    cancelByUser();
}

void AnsweringDialog::closeEvent(QCloseEvent *event)
{
    // The program unloads the window by deleting it, so a close request always comes from the
    // user. A hidden window has already answered and keeps that answer.
    event->ignore();
    if (isVisible())
        cancelByUser();
}

void AnsweringDialog::keyPressEvent(QKeyEvent *event)
{
    auto *button = qobject_cast<QPushButton *>(focusWidget());
    if (button && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
