// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ErrorTrap.h"

#include "MainModule.h"
#include "MessageBox.h"
#include "RuntimeError.h"

void logRuntimeError(const QString &procedure, const RuntimeError &error)
{
    try {
        gWriteErrorLog(procedure, error.description());
    } catch (const RuntimeError &) {
        // Nowhere left to record it; the caller still shows the original error.
    }
}

void reportInMessageBox(const QString &procedure, const RuntimeError &error)
{
    logRuntimeError(procedure, error);
    MessageBox::show(error.description(), MessageBox::Exclamation);
}
