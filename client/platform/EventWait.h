// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <QtGlobal>

// Every wait of the program goes through here. A wait keeps window, timer and socket events
// flowing, so handlers nest inside it (the "MSG_ACK" that ends a send's wait arrives as a
// nested data-arrival event), but it sleeps between events instead of spinning.
namespace EventWait {

// Lets pending events run once, sleeping until at least one arrives or, when wakeAfterMs is
// not negative, until that many milliseconds have passed.
void processEvents(int wakeAfterMs = -1);

// Runs events until done() holds, however long that takes: only for a wait that something other
// than a message always ends (a dialog's answer, the socket's own events).
bool waitWithoutLimit(const std::function<bool()> &done);

// Runs events until done() holds, or until limitSeconds whole seconds of the clock have passed
// since startSecs (whole seconds since the epoch of the clock), which a wait takes from before
// the step that it waits on. done() is tested first, then the clock; a limit of 0 or less runs
// no pass. Returns done().
bool waitUntil(const std::function<bool()> &done, int limitSeconds, qint64 startSecs);

} // namespace EventWait
