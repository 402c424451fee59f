// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmDUNPassword.h"

#include "MessageBox.h"
#include "Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmDUNPassword::frmDUNPassword()
{
    setWindowTitle(MessageBox::applicationTitle());
    Twips::setFixedClientSize(this, 4275, 1395);

    lblLegend =
        new QLabel(QStringLiteral("The connection that you have selected needs a password:"), this);
    Twips::place(lblLegend, 60, 60, 4170, 195);
    txtPassword = new QLineEdit(this);
    Twips::place(txtPassword, 990, 420, 2295, 315);
    txtPassword->setEchoMode(QLineEdit::Password);
    cmdAction[ActionOk] = new QPushButton(QStringLiteral("OK"), this);
    Twips::place(cmdAction[ActionOk], 990, 900, 1095, 375);
    cmdAction[ActionOk]->setDefault(true);
    cmdAction[ActionCancel] = new QPushButton(QStringLiteral("Cancel"), this);
    Twips::place(cmdAction[ActionCancel], 2190, 900, 1095, 375);

    setTabOrder(txtPassword, cmdAction[ActionOk]);
    setTabOrder(cmdAction[ActionOk], cmdAction[ActionCancel]);
    txtPassword->setFocus();

    for (int i = 0; i < static_cast<int>(cmdAction.size()); ++i)
        connect(cmdAction[i], &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });

    Twips::centre(this);
}

void frmDUNPassword::cmdAction_Click(int Index)
{
    answer(QString::number(Index));
}
