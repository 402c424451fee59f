// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "Log.h"

#include <optional>
#include <QString>
#include <QStringList>

// The command line of velmora-server. Options override the configuration file.
struct Options
{
    bool help = false;
    bool version = false;
    QString configPath; // empty: the default file, which may be missing
    std::optional<quint16> port;
    std::optional<Log::Level> logLevel;
    QString error; // empty when the command line is sound
};

Options parseOptions(const QStringList &arguments);
QString optionsHelp();
