// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmPhonebook.h"

#include "Twips.h"

#include <QListWidget>
#include <QPushButton>

frmPhonebook::frmPhonebook()
{
    setWindowTitle(QStringLiteral(" Select Connection"));
    Twips::setFixedClientSize(this, 4050, 2790);

    lstPhonebook = new QListWidget(this);
    Twips::place(lstPhonebook, 120, 120, 3795, 2010);
    lstPhonebook->setSelectionMode(QAbstractItemView::SingleSelection);
    cmdAction[ActionConnect] = new QPushButton(QStringLiteral("Connect"), this);
    Twips::place(cmdAction[ActionConnect], 1620, 2280, 1095, 375);
    cmdAction[ActionConnect]->setDefault(true);
    cmdAction[ActionCancel] = new QPushButton(QStringLiteral("Cancel"), this);
    Twips::place(cmdAction[ActionCancel], 2820, 2280, 1095, 375);

    setTabOrder(lstPhonebook, cmdAction[ActionConnect]);
    setTabOrder(cmdAction[ActionConnect], cmdAction[ActionCancel]);
    lstPhonebook->setFocus();

    for (int i = 0; i < static_cast<int>(cmdAction.size()); ++i)
        connect(cmdAction[i], &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });
    connect(lstPhonebook, &QListWidget::itemDoubleClicked, this,
            &frmPhonebook::lstPhonebook_DblClick);

    Twips::centre(this);
}

void frmPhonebook::cmdAction_Click(int Index)
{
    // A list that has the focus has a current row, but only a selected entry can be dialled.
    if (Index == ActionConnect && lstPhonebook->selectedItems().isEmpty())
        return;
    answer(QString::number(Index));
}

void frmPhonebook::lstPhonebook_DblClick()
{
    cmdAction_Click(ActionConnect);
}
