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

    // The buttons of cmdAction, by index; each answers with its index.
    enum ActionIndex : int { ActionOk = 0, ActionCancel = 1, ActionCount = 2 };
    // The frames of fraContainer, by index.
    enum ContainerIndex : int { ContainerUsers = 0, ContainerMessage = 1, ContainerCount = 2 };

    std::array<QGroupBox *, ContainerCount> fraContainer{};
    QListWidget *lstUsers = nullptr;
    QPushButton *cmdSelect = nullptr;
    QPlainTextEdit *txtMsg = nullptr;
    std::array<QPushButton *, ActionCount> cmdAction{};

    void cmdSelect_Click();
    void cmdAction_Click(int Index);

    // The text as it goes on the wire: each line break a carriage return and line feed.
    QString messageText() const;

protected:
    void cancelByUser() override { cmdAction_Click(ActionCancel); }

private:
    friend class SharedForm<frmUsers>;
    frmUsers();
};
