// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <QString>

// The server's own log: one line per event on standard error, with a time stamp and a level,
// so that it reads the same in a terminal and in the system journal. Control characters are
// written as "\xNN", so that text a client sent can neither break a line nor forge the next.
namespace Log {

enum class Level { Error, Warning, Info, Debug };

// The text with every control character written as "\xNN".
QString escaped(const QString &text);

// Where the lines go instead of standard error; none restores standard error.
void setSink(std::function<void(const QString &line)> sink);

std::optional<Level> levelFromName(const QString &name);
void setLevel(Level level);
bool enabled(Level level);

void error(const QString &text);
void warning(const QString &text);
void info(const QString &text);
void debug(const QString &text);
// Written whatever the level: lines that scripts read, such as the listening address.
void notice(const QString &text);

} // namespace Log
