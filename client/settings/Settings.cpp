// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Settings.h"

#include "SettingConversions.h"
#include "SettingsBackend.h"

namespace {

const QString application = QStringLiteral("Velmora");
const QString section = QStringLiteral("Configuration");

QString described(QLatin1String key)
{
    return QStringLiteral("the setting ") + key;
}

} // namespace

namespace Settings {

QString text(QLatin1String key, const QString &defaultValue)
{
    return GetSetting(application, section, key, defaultValue);
}

void save(QLatin1String key, const QString &value)
{
    SaveSetting(application, section, key, value);
}

qint16 integer16(QLatin1String key, const QString &defaultValue)
{
    return SettingConversions::toInteger16(text(key, defaultValue), described(key));
}

qint32 integer32(QLatin1String key, const QString &defaultValue)
{
    return SettingConversions::toInteger32(text(key, defaultValue), described(key));
}

bool boolean(QLatin1String key, const QString &defaultValue)
{
    return SettingConversions::toBoolean(text(key, defaultValue), described(key));
}

qint16 leadingInteger16(QLatin1String key, const QString &defaultValue)
{
    return SettingConversions::leadingInteger16(text(key, defaultValue), described(key));
}

} // namespace Settings
