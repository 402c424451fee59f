// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QVariant>

// The rules of the pop-up notice that need no window: its text, whether it beeps, and when it
// closes itself.
namespace NoticeText {

// "Message received at " + the general date + two carriage returns + the message, unless
// pvNoTime is given and true, in which case the message alone.
QString caption(const QString &ptMsg, std::optional<bool> pvNoTime, const QDateTime &when,
                const QLocale &locale = QLocale());

// The caption as the label shows it: each carriage return (with or without its line feed)
// becomes a line break.
QString displayed(const QString &caption);

// Only a missing pvNoBeep beeps; any given value, false or empty included, keeps it silent.
bool beeps(const std::optional<QVariant> &pvNoBeep);

// What the settings ask of the notice's timer at one call.
struct Dismissal
{
    enum Kind {
        Off,        // "Dismiss" is off: the timer is left as it is.
        After,      // close after `seconds` whole seconds.
        Unreadable, // a stored value does not convert: the notice waits for the user.
    };
    Kind kind = Off;
    qint16 seconds = 0;
};

// Reads "Dismiss" (default 0) and, when it is on, "DismissTime" (default 0). Never throws.
Dismissal dismissal();

// True once the clock has crossed at least miDismissTime second boundaries since mvShownAt.
bool dismissalDue(const QDateTime &mvShownAt, qint16 miDismissTime);

} // namespace NoticeText
