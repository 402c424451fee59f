// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "GeneralDate.h"

QString generalDate(const QDateTime &when, const QLocale &locale)
{
    // The long time formats of many locales name the time zone; the logs have none.
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

QString withoutTimeZone(const QString &timeFormat)
{
    const QChar quote = QLatin1Char('\'');
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < timeFormat.size(); ++i) {
        const QChar c = timeFormat[i];
        if (c == quote)
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t')) {
            result += c;
            continue;
        }
        while (i + 1 < timeFormat.size() && timeFormat[i + 1] == QLatin1Char('t'))
            ++i;
        const bool bracketed = result.endsWith(QLatin1Char('(')) && i + 1 < timeFormat.size() &&
                               timeFormat[i + 1] == QLatin1Char(')');
        if (bracketed) {
            result.chop(1);
            ++i;
        }
        while (result.endsWith(QLatin1Char(' ')))
            result.chop(1);
    }
    return result.trimmed();
}
