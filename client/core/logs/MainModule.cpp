#include "MainModule.h"

#include "Clock.h"
#include "GeneralDate.h"
#include "LogLine.h"
#include "RuntimeError.h"

#include <cerrno>
#include <fcntl.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <unistd.h>

namespace {

QString folderOverride;

[[noreturn]] void throwWriteError(const QString &path, int error)
{
    throw RuntimeError(RuntimeError::PathFileAccess,
                       QStringLiteral("Cannot write %1: %2").arg(path, qt_error_string(error)));
}

// Logs are UTF-8, the character set every Linux tool reads, with the CR LF line ends that
// readers of these files have always seen. One open, one write and one close: the open for
// appending tells whether the file exists, and only a file it finds missing is created, with
// its header.
void appendLine(const QString &path, QString (*header)(), const QString &entry)
{
    const QByteArray name = QFile::encodeName(path);
    QString text;
    int fd = -1;
    bool folderMade = false;
    for (;;) {
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            break;
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        // The state folder may not exist yet: the first line of the first run creates it.
        if (fd < 0 && errno == ENOENT && !folderMade) {
            folderMade = QDir().mkpath(QFileInfo(path).absolutePath());
            if (folderMade)
                continue;
            errno = ENOENT;
        }
        if (fd >= 0) {
            const QString head = header();
            text = head + QLatin1String("\r\n") + LogLine::underline(head) + QLatin1String("\r\n");
            break;
        }
        // Created by another between the two opens: append to it after all.
        if (errno != EEXIST)
            break;
    }
    if (fd < 0)
        throwWriteError(path, errno);
    text += entry + QLatin1String("\r\n");
    const QByteArray bytes = text.toUtf8();
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            ::close(fd);
            throwWriteError(path, error);
        }
        written += n;
    }
    ::close(fd);
}

// The date of an entry. Entries come two or three within one second, so the text of the last
// second is kept; another second, day or default locale formats it anew.
QString entryDate()
{
    static qint64 shownDay = 0;
    static int shownSecond = -1;
    static QLocale shownLocale;
    static QString shown;
    const QDateTime when = Clock::now();
    const qint64 day = when.date().toJulianDay();
    const int second = when.time().msecsSinceStartOfDay() / 1000;
    const QLocale locale;
    if (day != shownDay || second != shownSecond || locale != shownLocale) {
        shown = generalDate(when, locale);
        shownDay = day;
        shownSecond = second;
        shownLocale = locale;
    }
    return shown;
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
    appendLine(MainModule::activityLogPath(), &MainModule::activityLogHeader,
               LogLine::activityEntry(entryDate(), ptDirection, ptText));
}

void gWriteErrorLog(const QString &ptProcedure, const QString &ptError)
{
    appendLine(MainModule::errorLogPath(), &MainModule::errorLogHeader,
               LogLine::errorEntry(entryDate(), ptProcedure, ptError));
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
