#include "Log.h"

#include <cstdio>
#include <QDateTime>

namespace Log {

namespace {

Level gLevel = Level::Info;

void write(const char *tag, const QString &text)
{
    const QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() +
                            ' ' + tag + ' ' + text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

std::optional<Level> levelFromName(const QString &name)
{
    if (name == QLatin1String("error"))
        return Level::Error;
    if (name == QLatin1String("warning"))
        return Level::Warning;
    if (name == QLatin1String("info"))
        return Level::Info;
    if (name == QLatin1String("debug"))
        return Level::Debug;
    return std::nullopt;
}

void setLevel(Level level)
{
    gLevel = level;
}

bool enabled(Level level)
{
    return level <= gLevel;
}

void error(const QString &text)
{
    write("error  ", text);
}

void warning(const QString &text)
{
    if (enabled(Level::Warning))
        write("warning", text);
}

void info(const QString &text)
{
    if (enabled(Level::Info))
        write("info   ", text);
}

void debug(const QString &text)
{
    if (enabled(Level::Debug))
        write("debug  ", text);
}

void notice(const QString &text)
{
    write("info   ", text);
}

} // namespace Log
