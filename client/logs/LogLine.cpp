// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogLine.h"

namespace LogLine {

QString activityEntry(const QString &date, const QString &ptDirection, const QString &ptText)
{
    QString label = QStringLiteral("DataArrival");
    QString text = ptText;
    if (ptDirection == QLatin1String("S")) {
        label = QStringLiteral("SendData");
        const qsizetype password = ptText.indexOf(QLatin1String("PWD:"));
        if (password >= 0)
            text = ptText.left(password) + QLatin1String(" (Password Supplied)");
    }
    return date + QLatin1Char('\t') + label + QLatin1Char('\t') + text;
}

QString errorEntry(const QString &date, const QString &ptProcedure, const QString &ptError)
{
    return date + QLatin1Char('\t') + ptProcedure + QLatin1Char('\t') + ptError;
}

QString underline(const QString &header)
{
    return QString(header.size(), QLatin1Char('-'));
}

QString pathIn(const QString &folder, const QString &fileName)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + fileName
                                             : folder + QLatin1Char('/') + fileName;
}

QString logFolder(const QString &programFolder, bool programFolderWritable,
                  const QString &xdgStateHome, const QString &home)
{
    if (programFolderWritable)
        return programFolder;
    const QString stateHome = xdgStateHome.startsWith(QLatin1Char('/'))
                                  ? xdgStateHome
                                  : pathIn(home, QStringLiteral(".local/state"));
    return pathIn(stateHome, QStringLiteral("velmora"));
}

} // namespace LogLine
