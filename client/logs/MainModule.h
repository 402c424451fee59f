// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "NotifyIcon.h"

#include <QString>

// The program's shared module: the activity log "clientlog.txt" (one line per protocol line,
// new for every run) and the error log "clienterr.txt" (one line per caught run-time error,
// kept across runs), both in the program's folder, or in the user's state folder when the
// program's folder cannot be written. Each call opens, writes and closes its
// file; a failure raises a RuntimeError to the caller, whose handler reports it.
void gWriteLog(const QString &ptDirection, const QString &ptText);
void gWriteErrorLog(const QString &ptProcedure, const QString &ptError);

// The one record of the notification-area icon: the main window fills it and hands it over.
extern NotifyIconData gNotifyIconData;

namespace MainModule {

inline constexpr const char *ActivityLogName = "clientlog.txt";
inline constexpr const char *ErrorLogName = "clienterr.txt";

// The folder of the executable; tests point it elsewhere.
QString programFolder();
void setProgramFolder(const QString &folder);

// The program's folder when it can be written, else $XDG_STATE_HOME/velmora.
QString logFolder();

QString activityLogPath();
QString errorLogPath();

// Deletes the activity log of the previous run, if there is one.
void deleteActivityLog();

// The first line of each log file.
QString activityLogHeader();
QString errorLogHeader();

} // namespace MainModule
