// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

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
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString folderOverride;

[[noreturn]] void throwWriteError(const QString &path, int error)
{
    throw RuntimeError(RuntimeError::PathFileAccess,
                       QStringLiteral("Cannot write %1: %2").arg(path, qt_error_string(error)));
}

// Whether the program's folder can be written, as last looked at: entries come two or three
// at a time and a folder's permissions hardly ever change while the program runs. It is looked
// at again after FolderCheckIntervalMs of the clock, for another folder, and when an entry
// cannot be written where it says.
constexpr qint64 FolderCheckIntervalMs = 10000;

struct FolderCheck
{
    bool known = false;
    QString folder;
    bool writable = false;
    qint64 checkedAtMs = 0;
};

FolderCheck folderCheck;

bool programFolderWritable(const QString &folder)
{
    const qint64 nowMs = Clock::msecsSinceEpoch();
    if (!folderCheck.known || folder != folderCheck.folder || nowMs < folderCheck.checkedAtMs ||
        nowMs - folderCheck.checkedAtMs >= FolderCheckIntervalMs)
        folderCheck = {true, folder, QFileInfo(folder).isWritable(), nowMs};
    return folderCheck.writable;
}

// Makes the folder and the missing folders above it, for the user alone: the logs hold the
// messages that users send each other.
bool makePrivateFolder(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    qsizetype slash = clean.startsWith(QLatin1Char('/')) ? 0 : -1;
    do {
        slash = clean.indexOf(QLatin1Char('/'), slash + 1);
        const QByteArray part = QFile::encodeName(slash < 0 ? clean : clean.left(slash));
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    } while (slash >= 0);
    return true;
}

// Opens the log for appending; a file it finds missing is created, and its header and
// underline are put in text. The state folder may not exist yet (the first line of the first
// run creates it): folders are made when makeFolder allows. -1 with errno on failure.
int openLog(const QString &path, QString (*header)(), bool makeFolder, QString &text)
{
    const QByteArray name = QFile::encodeName(path);
    for (;;) {
        int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == ENOENT && makeFolder) {
            makeFolder = false;
            if (makePrivateFolder(QFileInfo(path).absolutePath()))
                continue;
            errno = ENOENT;
        }
        if (fd >= 0) {
            const QString head = header();
            text = head + QLatin1String("\r\n") + LogLine::underline(head) + QLatin1String("\r\n");
            return fd;
        }
        // Created by another between the two opens: append to it after all.
        if (errno != EEXIST)
            return fd;
    }
}

// Logs are UTF-8, the character set every Linux tool reads, with the CR LF line ends that
// readers of these files have always seen. One open, one write and one close. An entry that
// cannot be opened where the folder last looked at says looks at the folder again, and only
// then makes a missing state folder.
void appendLine(QString (*pathOf)(), QString (*header)(), const QString &entry)
{
    QString path = pathOf();
    QString text;
    int fd = openLog(path, header, false, text);
    if (fd < 0) {
        const int error = errno;
        folderCheck.known = false;
        const QString again = pathOf();
        errno = error;
        if (again != path || error == ENOENT) {
            path = again;
            fd = openLog(path, header, true, text);
        }
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
    appendLine(&MainModule::activityLogPath, &MainModule::activityLogHeader,
               LogLine::activityEntry(entryDate(), ptDirection, ptText));
}

void gWriteErrorLog(const QString &ptProcedure, const QString &ptError)
{
    appendLine(&MainModule::errorLogPath, &MainModule::errorLogHeader,
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
    // The state folder's place is looked up only for a program folder that cannot be written.
    if (programFolderWritable(program))
        return program;
    return LogLine::logFolder(program, false, qEnvironmentVariable("XDG_STATE_HOME"),
                              QDir::homePath());
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
