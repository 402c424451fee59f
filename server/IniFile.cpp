// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "IniFile.h"

#include <QHash>
#include <QRegularExpression>

namespace IniFile {

QString commentNote(const QString &text)
{
    static const QRegularExpression trailing(QStringLiteral("\\s[;#]"));
    return trailing.match(text).hasMatch()
               ? QStringLiteral("; a comment stands on a line of its own, starting with \";\" or "
                                "\"#\"")
               : QString();
}

Parsed parse(const QString &text)
{
    Parsed parsed;
    QString section;
    QHash<QString, int> seen; // section and key: the line that gave it first
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        const QString line = lines[i].trimmed();
        const auto fail = [&](const QString &why) {
            parsed.items.clear();
            parsed.error = QStringLiteral("line %1: %2").arg(QString::number(number), why);
            return parsed;
        };
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')) || line.size() < 3)
                return fail(QStringLiteral("a section header reads [Name]") + commentNote(line));
            section = line.mid(1, line.size() - 2).trimmed();
            parsed.sections.append({section, number});
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return fail(QStringLiteral("expected key=value (the line is not shown)"));
        const QString key = line.left(equals).trimmed();
        if (key.isEmpty())
            return fail(QStringLiteral("a key is missing before \"=\""));
        if (section.isEmpty())
            return fail(QStringLiteral("\"%1\" comes before any [section]").arg(key));
        const QString id = section + QChar(0) + key;
        if (seen.contains(id))
            return fail(QStringLiteral("\"%1\" appears twice in [%2]; first on line %3")
                            .arg(key, section, QString::number(seen.value(id))));
        seen.insert(id, number);
        parsed.items.append({section, key, line.mid(equals + 1).trimmed(), number});
    }
    return parsed;
}

} // namespace IniFile
