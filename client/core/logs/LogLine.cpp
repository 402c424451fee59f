#include "LogLine.h"

namespace LogLine {

QString generalDate(const QDateTime &when, const QLocale &locale)
{
    // The long time formats of many locales name the time zone; the logs have none.
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

QString withoutTimeZone(const QString &timeFormat)
{
    const QChar quote = QLatin1Char('\'');
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < timeFormat.size(); ++i) {
        const QChar c = timeFormat[i];
        if (c == quote)
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t')) {
            result += c;
            continue;
        }
        while (i + 1 < timeFormat.size() && timeFormat[i + 1] == QLatin1Char('t'))
            ++i;
        const bool bracketed = result.endsWith(QLatin1Char('(')) && i + 1 < timeFormat.size() &&
                               timeFormat[i + 1] == QLatin1Char(')');
        if (bracketed) {
            result.chop(1);
            ++i;
        }
        while (result.endsWith(QLatin1Char(' ')))
            result.chop(1);
    }
    return result.trimmed();
}

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
