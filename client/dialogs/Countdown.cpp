// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Countdown.h"

#include "LeadingNumber.h"

#include <QLocale>

namespace Countdown {

Tick tick(const QString &caption, bool beepOn)
{
    const double value = leadingNumber(caption) - 1;
    Tick result;
    // Shortest fixed notation: whole counts read "29", and nothing is ever written with an
    // exponent that the next tick could not read back.
    result.caption = QString::number(value, 'f', QLocale::FloatingPointShortest);
    // Only a tick that produces these exact texts counts: a start of 10 or below never turns
    // red, and a start of 0 or below never stops by itself.
    result.turnRed = result.caption == QLatin1String("10");
    result.stop = !result.turnRed && result.caption == QLatin1String("0");
    result.beep = beepOn && value <= 10;
    return result;
}

} // namespace Countdown
