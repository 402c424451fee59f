// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The address box's key filter, fed keys as a user would type them: whatever is typed, the box
// holds the beginning of a dotted address, every group at most three digits and at most 255,
// at most three dots, never a dot first or two in a row.
#include "ConfigureRules.h"

#include <cstdint>
#include <cstdlib>
#include <QRegularExpression>

namespace {

constexpr int Backspace = 8;

bool isAddressPrefix(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("^(\\d{1,3}\\.){0,3}\\d{0,3}$"));
    if (!shape.match(text).hasMatch())
        return false;
    for (const QString &group : text.split(QLatin1Char('.'))) {
        if (!group.isEmpty() && group.toInt() > 255)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QString text;
    for (std::size_t i = 0; i < size; ++i) {
        const int key = data[i];
        const bool kept = ConfigureRules::keepAddressKey(text, key);
        // Control codes up to 13 always pass: Backspace must never be lost.
        if (key <= 13 && !kept)
            std::abort();
        if (!kept)
            continue;
        if (key == Backspace)
            text.chop(1);
        else if (key > 13)
            text.append(QChar(key));
        if (!isAddressPrefix(text))
            std::abort();
    }
    return 0;
}
