// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

class RuntimeError;

// The handlers' common reporting: a line in the error log, then the user is told. A log that
// cannot be written must not hide the error it was to record, so its own failure is dropped
// here and the user still sees the original error.
void logRuntimeError(const QString &procedure, const RuntimeError &error);

// The error log line, then a message box with the description (exclamation icon, OK).
void reportInMessageBox(const QString &procedure, const RuntimeError &error);
