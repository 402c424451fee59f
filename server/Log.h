#pragma once

#include <optional>
#include <QString>

// The server's own log: one line per event on standard error, with a time stamp and a level,
// so that it reads the same in a terminal and in the system journal.
namespace Log {

enum class Level { Error, Warning, Info, Debug };

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
