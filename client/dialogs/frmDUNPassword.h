// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AnsweringDialog.h"
#include "SharedForm.h"

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the password of the dial-up entry the user chose. The opener shows the window,
// waits for Tag ("0" for "OK", "1" for "Cancel") and reads txtPassword; an empty password is
// an answer like any other. Every way of closing the window leaves an answer, because the
// opener's wait has no time limit.
class frmDUNPassword : public AnsweringDialog, public SharedForm<frmDUNPassword>
{
    Q_OBJECT

public:
    QLabel *lblLegend = nullptr;
    QLineEdit *txtPassword = nullptr;
    // The buttons of cmdAction, by index; each answers with its index.
    enum ActionIndex : int { ActionOk = 0, ActionCancel = 1, ActionCount = 2 };
    std::array<QPushButton *, ActionCount> cmdAction{};

    void cmdAction_Click(int Index);

protected:
    void cancelByUser() override { cmdAction_Click(ActionCancel); }

private:
    friend class SharedForm<frmDUNPassword>;
    frmDUNPassword();
};
