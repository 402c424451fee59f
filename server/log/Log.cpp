// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Log.h"

#include <cstdio>
#include <QDateTime>

namespace Log {

namespace {

Level gLevel = Level::Info;
std::function<void(const QString &)> gSink;

void write(const char *tag, const QString &text)
{
    const QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() +
                            ' ' + tag + ' ' + escaped(text).toUtf8() + '\n';
    if (gSink) {
        gSink(QString::fromUtf8(line));
        return;
    }
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

QString escaped(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        const bool control =
            code < 0x20 || (code >= 0x7f && code < 0xa0) || code == 0x2028 || code == 0x2029;
        if (control)
            shown += QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

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

void setSink(std::function<void(const QString &line)> sink)
{
    gSink = std::move(sink);
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
