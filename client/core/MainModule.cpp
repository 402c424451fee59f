#include "MainModule.h"

#include "Clock.h"
#include "LogLine.h"
#include "RuntimeError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString folderOverride;

// Logs are UTF-8, the character set every Linux tool reads, with the CR LF line ends that
// readers of these files have always seen.
void appendLine(const QString &path, const QString &header, const QString &entry)
{
    QFile file(path);
    const bool create = !file.exists();
    // The state folder may not exist yet: the first line of the first run creates it.
    if (create)
        QDir().mkpath(QFileInfo(path).absolutePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        throw RuntimeError(RuntimeError::PathFileAccess,
                           QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    }
    QString text;
    if (create)
        text = header + QLatin1String("\r\n") + LogLine::underline(header) + QLatin1String("\r\n");
    text += entry + QLatin1String("\r\n");
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        throw RuntimeError(RuntimeError::PathFileAccess,
                           QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    }
}

QString header(const char *what)
{
    return QStringLiteral("Velmora Client V%1 %2. Copyright (C) 2026 The Velmora developers.")
        .arg(QLatin1String(VELMORA_VERSION), QLatin1String(what));
}

} // namespace

NotifyIconData gNotifyIconData;

void gWriteLog(const QString &ptDirection, const QString &ptText)
{
    appendLine(MainModule::activityLogPath(), MainModule::activityLogHeader(),
               LogLine::activityEntry(LogLine::generalDate(Clock::now()), ptDirection, ptText));
}

void gWriteErrorLog(const QString &ptProcedure, const QString &ptError)
{
    appendLine(MainModule::errorLogPath(), MainModule::errorLogHeader(),
               LogLine::errorEntry(LogLine::generalDate(Clock::now()), ptProcedure, ptError));
}

namespace MainModule {

QString programFolder()
{
    return folderOverride.isEmpty() ? QCoreApplication::applicationDirPath() : folderOverride;
}

void setProgramFolder(const QString &folder)
{
    folderOverride = folder;
}

QString logFolder()
{
    const QString program = programFolder();
    return LogLine::logFolder(program, QFileInfo(program).isWritable(),
                              qEnvironmentVariable("XDG_STATE_HOME"), QDir::homePath());
}

QString activityLogPath()
{
    return LogLine::pathIn(logFolder(), QLatin1String(ActivityLogName));
}

QString errorLogPath()
{
    return LogLine::pathIn(logFolder(), QLatin1String(ErrorLogName));
}

void deleteActivityLog()
{
    QFile file(activityLogPath());
    if (file.exists() && !file.remove()) {
        throw RuntimeError(
            RuntimeError::PermissionDenied,
            QStringLiteral("Cannot delete %1: %2").arg(file.fileName(), file.errorString()));
    }
}

QString activityLogHeader()
{
    return header("activity log");
}

QString errorLogHeader()
{
    return header("error log");
}

} // namespace MainModule
