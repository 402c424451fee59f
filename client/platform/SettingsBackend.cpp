// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SettingsBackend.h"

#include "RuntimeError.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace {

QString groupKey(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

} // namespace

QString settingsFilePath(const QString &application)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + application + QLatin1Char('/') + application + QLatin1String(".conf");
}

QString GetSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    const QSettings store(settingsFilePath(application), QSettings::IniFormat);
    const QVariant value = store.value(groupKey(section, key));
    if (!value.isValid())
        return defaultValue;
    // A value typed by hand with unquoted commas reads back as a list; it was meant as text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SaveSetting(const QString &application, const QString &section, const QString &key,
                 const QString &value)
{
    QSettings store(settingsFilePath(application), QSettings::IniFormat);
    store.setValue(groupKey(section, key), value);
    store.sync();
    if (store.status() != QSettings::NoError)
        throw RuntimeError(RuntimeError::PathFileAccess,
                           QStringLiteral("Cannot write the setting %1 to %2")
                               .arg(key, settingsFilePath(application)));
}
