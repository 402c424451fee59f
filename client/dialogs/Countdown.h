// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// One second of the disconnection countdown, worked out from the count's caption alone: the
// count lives only in that caption, so every tick reads it back and writes it again.
namespace Countdown {

struct Tick
{
    // The numeric value of the old caption minus one, as plain decimal text.
    QString caption;
    // The caption is now exactly "10": the count turns red and stays red.
    bool turnRed = false;
    // The caption is now exactly "0": the timer stops and the window hides, with no answer.
    bool stop = false;
    // The new value is 10 or less and the last-ten-seconds beep is on.
    bool beep = false;
};

Tick tick(const QString &caption, bool beepOn);

} // namespace Countdown
