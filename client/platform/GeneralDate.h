// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The locale's short date, a space, and the locale's long time without a time zone: the
// "general date" of the logs and of the notice heading.
QString generalDate(const QDateTime &when, const QLocale &locale = QLocale());

// A time format without its time zone: every unquoted run of "t" goes, with the blank before
// it and the brackets around it; quoted literals stay as they are.
QString withoutTimeZone(const QString &timeFormat);
