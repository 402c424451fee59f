// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The per-user settings store: text values by application, section and key. Each application
// keeps an INI file at $XDG_CONFIG_HOME/<application>/<application>.conf with one group per
// section, so that a user or an administrator can read and seed it by hand. Every write goes to
// the file at once; every read looks at the file again, so nothing is cached between calls.
QString GetSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue = QString());
void SaveSetting(const QString &application, const QString &section, const QString &key,
                 const QString &value);

QString settingsFilePath(const QString &application);
