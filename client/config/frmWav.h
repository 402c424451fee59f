// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AnsweringDialog.h"
#include "SharedForm.h"

#include <array>
#include <QStringList>

class FolderList;
class QComboBox;
class QListWidget;
class QPushButton;

// Lets the user pick a wave file from a drive list, a folder list and the folder's wave files.
// "OK" answers with the selected file's full path in Tag (the folder alone when no file is
// selected); "Cancel", Escape and the close box leave Tag empty. "&Test" and a double-click
// play the selected file without choosing it. The opener sets the caption, may move the lists
// to a path, shows the window modally and unloads it once it has hidden.
class frmWav : public AnsweringDialog, public SharedForm<frmWav>
{
    Q_OBJECT

public:
    QComboBox *drvWav = nullptr;
    FolderList *dirWav = nullptr;
    QListWidget *filWav = nullptr;
    // The buttons of cmdAction, by index.
    enum ActionIndex : int { ActionTest = 0, ActionOk = 1, ActionCancel = 2, ActionCount = 3 };
    std::array<QPushButton *, ActionCount> cmdAction{};

    // The folder whose wave files filWav lists.
    QString filWavPath() const { return m_fileFolder; }
    // The selected file's full path, or the folder with a closing "/" when none is selected.
    QString selectedPath() const;

    // Moves the lists to a path from a wave box: its drive, its folder (the nearest one that
    // exists) and the file of that name ignoring case, if the folder holds one.
    void moveTo(const QString &path);

    void drvWav_Change();
    void dirWav_Change();
    void filWav_DblClick();
    void cmdAction_Click(int Index);

protected:
    void cancelByUser() override { cmdAction_Click(ActionCancel); }

private:
    friend class SharedForm<frmWav>;
    frmWav();

    QStringList m_driveRoots;
    QString m_fileFolder;
};
