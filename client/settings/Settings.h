// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLatin1String>
#include <QString>

// The client's settings: application "Velmora", section "Configuration". Every reader reads
// the store at the moment it needs a value and passes its own default; readers do not agree
// on defaults, so there is deliberately no table of defaults here.
namespace Settings {

inline constexpr QLatin1String ServerName{"ServerName"};
inline constexpr QLatin1String ServerIPAddress{"ServerIPAddress"};
inline constexpr QLatin1String ServerPort{"ServerPort"};
inline constexpr QLatin1String Alert{"Alert"};
inline constexpr QLatin1String MainScreenExit{"MainScreenExit"};
inline constexpr QLatin1String Minimize{"Minimize"};
inline constexpr QLatin1String Beep{"Beep"};
inline constexpr QLatin1String Dismiss{"Dismiss"};
inline constexpr QLatin1String DismissTime{"DismissTime"};
inline constexpr QLatin1String PopUpOnConnect{"PopUpOnConnect"};
inline constexpr QLatin1String WaveOnConnect{"WaveOnConnect"};
inline constexpr QLatin1String ConnectWave{"ConnectWave"};
inline constexpr QLatin1String PopUpOnDisconnect{"PopUpOnDisconnect"};
inline constexpr QLatin1String WaveOnDisconnect{"WaveOnDisconnect"};
inline constexpr QLatin1String DisconnectWave{"DisconnectWave"};
inline constexpr QLatin1String AlertCIfIncludes{"AlertCIfIncludes"};
inline constexpr QLatin1String AlertDIfIncludes{"AlertDIfIncludes"};
inline constexpr QLatin1String ConfirmIfIncludes{"ConfirmIfIncludes"};
inline constexpr QLatin1String AlertConnections{"AlertConnections"};
inline constexpr QLatin1String AlertDisconnections{"AlertDisconnections"};
inline constexpr QLatin1String ConfirmDisconnections{"ConfirmDisconnections"};

QString text(QLatin1String key, const QString &defaultValue = QString());
void save(QLatin1String key, const QString &value);

// Typed reads; a stored text that does not convert raises a RuntimeError naming the key.
qint16 integer16(QLatin1String key, const QString &defaultValue);
qint32 integer32(QLatin1String key, const QString &defaultValue);
bool boolean(QLatin1String key, const QString &defaultValue);
qint16 leadingInteger16(QLatin1String key, const QString &defaultValue);

} // namespace Settings
