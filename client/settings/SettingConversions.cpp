// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SettingConversions.h"

#include "LeadingNumber.h"
#include "RuntimeError.h"

#include <optional>
#include <QRegularExpression>

namespace {

std::optional<double> wholeNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)\\s*$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    return text.trimmed().toDouble();
}

[[noreturn]] void typeMismatch(const QString &text, const QString &what, const char *expected)
{
    throw RuntimeError(RuntimeError::TypeMismatch,
                       QStringLiteral("Type mismatch: %1 holds \"%2\", which is not %3")
                           .arg(what, text, QLatin1String(expected)));
}

[[noreturn]] void overflow(const QString &text, const QString &what)
{
    throw RuntimeError(
        RuntimeError::Overflow,
        QStringLiteral("Overflow: %1 holds \"%2\", which is out of range").arg(what, text));
}

template <typename T, std::optional<T> (*Round)(double)>
T toInteger(const QString &text, const QString &what)
{
    const std::optional<double> value = wholeNumber(text);
    if (!value)
        typeMismatch(text, what, "a whole number");
    const std::optional<T> rounded = Round(*value);
    if (!rounded)
        overflow(text, what);
    return *rounded;
}

} // namespace

namespace SettingConversions {

qint16 toInteger16(const QString &text, const QString &what)
{
    return toInteger<qint16, roundToInt16>(text, what);
}

qint32 toInteger32(const QString &text, const QString &what)
{
    return toInteger<qint32, roundToInt32>(text, what);
}

bool toBoolean(const QString &text, const QString &what)
{
    const QString word = text.trimmed();
    if (word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    const std::optional<double> value = wholeNumber(text);
    if (!value)
        typeMismatch(text, what, "a number or True or False");
    return *value != 0.0;
}

qint16 leadingInteger16(const QString &text, const QString &what)
{
    const std::optional<qint16> value = roundToInt16(leadingNumber(text));
    if (!value)
        overflow(text, what);
    return *value;
}

} // namespace SettingConversions
