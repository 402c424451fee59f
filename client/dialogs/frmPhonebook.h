// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AnsweringDialog.h"
#include "SharedForm.h"

#include <array>

class QListWidget;
class QPushButton;

// Lets the user pick the dial-up phonebook entry the server should dial, or give up. The
// opener fills the list, shows the window and waits for Tag: "0" for "Connect" with an entry
// selected, "1" for "Cancel". The window only records the answer and hides; every way of
// closing it leaves an answer, because the opener's wait has no time limit.
class frmPhonebook : public AnsweringDialog, public SharedForm<frmPhonebook>
{
    Q_OBJECT

public:
    // The buttons of cmdAction, by index; each answers with its index.
    enum ActionIndex : int { ActionConnect = 0, ActionCancel = 1, ActionCount = 2 };

    QListWidget *lstPhonebook = nullptr;
    std::array<QPushButton *, ActionCount> cmdAction{};

    void cmdAction_Click(int Index);
    void lstPhonebook_DblClick();

protected:
    void cancelByUser() override { cmdAction_Click(ActionCancel); }

private:
    friend class SharedForm<frmPhonebook>;
    frmPhonebook();
};
