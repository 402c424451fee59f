// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Accounting.h"

#include "Log.h"

#include <QDateTime>
#include <QFile>

namespace {

// A text field, quoted; one that a spreadsheet would take for a formula gets a leading "'".
QString field(const QString &text)
{
    QString value = Log::escaped(text);
    if (!value.isEmpty() && QStringLiteral("=+-@").contains(value.front()))
        value.prepend(QLatin1Char('\''));
    value.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + value + QLatin1Char('"');
}

QString cannotWrite(const QFile &file)
{
    return QStringLiteral("Cannot write the accounting log %1: %2")
        .arg(file.fileName(), file.errorString());
}

} // namespace

bool Accounting::writable(const QString &path, QString *error)
{
    if (path.isEmpty())
        return true;
    QFile file(path);
    if (file.open(QIODevice::Append | QIODevice::Text))
        return true;
    *error = cannotWrite(file);
    return false;
}

void Accounting::record(const QString &event, const QString &identity, const QString &address,
                        const QString &entry, qint64 seconds, qint64 received, qint64 sent)
{
    if (m_path.isEmpty())
        return;
    QFile file(m_path);
    if (!file.open(QIODevice::Append | QIODevice::Text)) {
        if (!m_failing)
            Log::error(cannotWrite(file));
        m_failing = true;
        return;
    }
    m_failing = false;
    QByteArray line;
    if (file.size() == 0)
        line = "time,event,identity,address,entry,seconds,received,sent\n";
    const auto number = [](qint64 value) { return value < 0 ? QString() : QString::number(value); };
    line += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8\n")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     event, identity.isEmpty() ? QString() : field(identity), address,
                     entry.isEmpty() ? QString() : field(entry), number(seconds), number(received),
                     number(sent))
                .toUtf8();
    file.write(line);
}
