// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <QString>

// The numeric value of the leading number of a text: blanks before it are skipped, an optional
// sign, digits and an optional fraction are read, and reading stops at the first other
// character. A text without a leading number is 0.
double leadingNumber(const QString &text);

// A value rounded to a 16-bit signed integer the way the client's conversions round: to the
// nearest whole number, halves to the even one. Nothing when the result does not fit.
std::optional<qint16> roundToInt16(double value);

// A value rounded the same way to 32 bits.
std::optional<qint32> roundToInt32(double value);
