// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// How readers turn a stored text into the value they need. A text that does not convert raises
// the run-time error the reader's handler reports; `what` names the setting in its description.
namespace SettingConversions {

// The text read as a signed whole number ("0" -> 0, " 12 " -> 12, "1.5" -> 2).
qint16 toInteger16(const QString &text, const QString &what);
qint32 toInteger32(const QString &text, const QString &what);

// "0" -> false, any other number -> true; the words True and False in any letter case.
bool toBoolean(const QString &text, const QString &what);

// The numeric value of the leading digits ("30s" -> 30, "" -> 0), rounded to 16 bits.
qint16 leadingInteger16(const QString &text, const QString &what);

} // namespace SettingConversions
