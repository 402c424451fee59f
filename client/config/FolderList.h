// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QTreeWidget>

// The wave chooser's folder list: the folders from the drive's root down to the current
// folder, opened one inside the other, and under it the current folder's own folders. Opening
// an entry (double-click, or Enter on an entry the arrows moved to) makes it the current folder
// and raises Change. Enter on the current folder is the window's: its default button answers.
class FolderList : public QTreeWidget
{
    Q_OBJECT

public:
    explicit FolderList(QWidget *parent = nullptr);

    QString Path() const { return m_path; }
    // Shows a drive from its root.
    void setDrive(const QString &root);
    // Makes an existing folder of the drive current; a folder that cannot be listed is refused
    // and the list stays where it was.
    bool setPath(const QString &folder);

Q_SIGNALS:
    void Change();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void rebuild();

    QString m_root = QStringLiteral("/");
    QString m_path = QStringLiteral("/");
};
