// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AnsweringDialog.h"
#include "SharedForm.h"

#include <array>

class QGroupBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// Where the user writes a short message to other users: to those picked from the list the
// server sent, or, in reply mode, to the sender of a received message alone (the list then
// holds only that name and is disabled). The opener fills the window, shows it and waits for
// Tag: "0" for "&OK", "1" for "Cancel"; then it reads the names and the text and unloads it.
class frmUsers : public AnsweringDialog, public SharedForm<frmUsers>
{
    Q_OBJECT

public:
    static constexpr int MaxLength = 250;

    std::array<QGroupBox *, 2> fraContainer{};
    QListWidget *lstUsers = nullptr;
    QPushButton *cmdSelect = nullptr;
    QPlainTextEdit *txtMsg = nullptr;
    std::array<QPushButton *, 2> cmdAction{};

    void cmdSelect_Click();
    void cmdAction_Click(int Index);

    // The text as it goes on the wire: each line break a carriage return and line feed.
    QString messageText() const;

protected:
    void cancelByUser() override { cmdAction_Click(1); }

private:
    friend class SharedForm<frmUsers>;
    frmUsers();
};
