// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "NoticeText.h"

#include "Clock.h"
#include "GeneralDate.h"
#include "RuntimeError.h"
#include "Settings.h"

namespace NoticeText {

QString caption(const QString &ptMsg, std::optional<bool> pvNoTime, const QDateTime &when,
                const QLocale &locale)
{
    if (pvNoTime.value_or(false))
        return ptMsg;
    return QLatin1String("Message received at ") + generalDate(when, locale) +
           QLatin1String("\r\r") + ptMsg;
}

QString displayed(const QString &caption)
{
    QString text = caption;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

bool beeps(const std::optional<QVariant> &pvNoBeep)
{
    return !pvNoBeep.has_value();
}

Dismissal dismissal()
{
    // A value the configuration dialog could not vet (an empty "DismissTime", a hand-edited
    // file) must neither fail the caller, often an error report itself, nor close the notice
    // before the user has read it.
    try {
        if (!Settings::boolean(Settings::Dismiss, QStringLiteral("0")))
            return {Dismissal::Off, 0};
        return {Dismissal::After, Settings::integer16(Settings::DismissTime, QStringLiteral("0"))};
    } catch (const RuntimeError &) {
        return {Dismissal::Unreadable, 0};
    }
}

bool dismissalDue(const QDateTime &mvShownAt, qint16 miDismissTime)
{
    return Clock::wholeSecondsSince(mvShownAt) >= miDismissTime;
}

} // namespace NoticeText
