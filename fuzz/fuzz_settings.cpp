// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Stored settings as their readers convert them: any text either converts or raises the
// run-time error its reader reports; nothing else may happen.
#include "Cp1252.h"
#include "RuntimeError.h"
#include "SettingConversions.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text =
        Cp1252::decode(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QString what = QStringLiteral("Fuzz");
    const auto convert = [&](auto conversion) {
        try {
            conversion(text, what);
        } catch (const RuntimeError &) {
            // The reader's handler reports this one.
        }
    };
    convert(SettingConversions::toInteger16);
    convert(SettingConversions::toInteger32);
    convert(SettingConversions::toBoolean);
    convert(SettingConversions::leadingInteger16);
    return 0;
}
