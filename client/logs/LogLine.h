// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The text of the two log files, apart from the files themselves.
namespace LogLine {

// The activity-log entry for one protocol line: "S" is a line sent, anything else a line
// received. A sent line is cut at its first "PWD:", which becomes " (Password Supplied)".
QString activityEntry(const QString &date, const QString &ptDirection, const QString &ptText);
QString errorEntry(const QString &date, const QString &ptProcedure, const QString &ptError);

// As many "-" as the header has characters.
QString underline(const QString &header);

// A file in a folder, with one separator whether or not the folder ends in one.
QString pathIn(const QString &folder, const QString &fileName);

// Where the logs go: the program's folder while it can be written (a copy run from its own
// folder), else the user's state folder "velmora" under $XDG_STATE_HOME, or under
// ~/.local/state when that is unset or not an absolute path (an installed copy in /usr/bin).
QString logFolder(const QString &programFolder, bool programFolderWritable,
                  const QString &xdgStateHome, const QString &home);

} // namespace LogLine
