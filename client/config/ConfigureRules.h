// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

// The rules of the configuration dialog and the wave chooser that need no window: the key
// filters of its text boxes, the restart check of its save, and how the chooser turns folders
// and file names into paths and back.
namespace ConfigureRules {

// The port and seconds boxes: a digit or a control code up to 13 (Backspace, Tab, Enter).
bool keepDigitKey(int keyAscii);

// The address box, given its whole current text: dots between groups of at most three digits,
// each group at most 255, at most three dots; control codes up to 13 are always kept.
bool keepAddressKey(const QString &text, int keyAscii);

// A text the seconds box accepts as a number when it loses the focus.
bool isNumber(const QString &text);

// Whether the stored server differs from the one the open link reached: by name ignoring case
// when a name is stored, else by the exact numeric address, and in either case by port. A
// stored port that is not a number counts as changed.
struct Server
{
    QString name;
    QString address;
    QString port;
};
struct Link
{
    QString host;
    QString hostIP;
    int port = 0;
};
bool restartNeeded(const Server &stored, const Link &link);

// The chooser's full path: the folder, a "/" unless the folder already ends with one, then the
// file name (empty when no file is selected).
QString wavePath(const QString &folder, const QString &fileName);

// Where a path typed or stored in a wave box points: its folder made absolute against the
// current folder, and the file name after the last "/". A text without a folder names a file
// of the current folder.
struct WaveLocation
{
    QString folder;
    QString fileName;
};
WaveLocation locateWave(const QString &text, const QString &currentFolder);

// The drive of a path: the longest drive root that holds it, else the first drive.
int driveOf(const QString &path, const QStringList &driveRoots);

// The folder chain from a drive's root down to a folder, as the folder list shows it: the root
// first, each step one level deeper. A folder outside the root is shown from "/".
QStringList folderChain(const QString &root, const QString &folder);

// The drives a user picks from: the root and the home folder first, then the mounted file
// systems of real devices and network shares, without the system's own mounts.
struct Mount
{
    QString rootPath;
    QString device;
    QString fileSystemType;
};
QStringList driveRoots(const QList<Mount> &mounts, const QString &homeFolder);

} // namespace ConfigureRules
