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
    cmdAction[0] = new QPushButton(QStringLiteral("Connect"), this);
    Twips::place(cmdAction[0], 1620, 2280, 1095, 375);
    cmdAction[0]->setDefault(true);
    cmdAction[1] = new QPushButton(QStringLiteral("Cancel"), this);
    Twips::place(cmdAction[1], 2820, 2280, 1095, 375);

    setTabOrder(lstPhonebook, cmdAction[0]);
    setTabOrder(cmdAction[0], cmdAction[1]);
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
    if (Index == 0 && lstPhonebook->selectedItems().isEmpty())
        return;
    answer(QString::number(Index));
}

void frmPhonebook::lstPhonebook_DblClick()
{
    cmdAction_Click(0);
}
