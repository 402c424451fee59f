// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AccountingSummary.h"

#include <algorithm>
#include <optional>
#include <QHash>
#include <QJsonArray>

namespace AccountingSummary {

namespace {

enum Column { Time, Event, Identity, Address, Entry, Seconds, Received, Sent, Columns };
// The columns of a log written before the line's bytes were counted.
constexpr qsizetype OldColumns = Received;

// A field written with a leading "'" so that a spreadsheet takes it as text.
QString plain(const QString &field)
{
    return field.startsWith(QLatin1Char('\'')) && field.size() > 1 &&
                   QStringLiteral("=+-@").contains(field.at(1))
               ? field.mid(1)
               : field;
}

void add(QHash<QString, Total> &totals, const QString &name, const Call &call)
{
    Total &total = totals[name];
    total.name = name;
    ++total.calls;
    total.seconds += call.seconds;
    total.bytes += call.bytes;
}

// A byte count of the log; an empty or unreadable field counts nothing.
qint64 byteCount(const QString &field)
{
    bool ok = false;
    const qint64 value = field.toLongLong(&ok);
    return ok && value > 0 ? value : 0;
}

QList<Total> sorted(const QHash<QString, Total> &totals)
{
    QList<Total> list = totals.values();
    std::sort(list.begin(), list.end(), [](const Total &a, const Total &b) {
        return a.seconds != b.seconds ? a.seconds > b.seconds : a.name < b.name;
    });
    return list;
}

QJsonArray totalsJson(const QList<Total> &totals)
{
    QJsonArray array;
    for (const Total &total : totals)
        array.append(QJsonObject{{QStringLiteral("name"), total.name},
                                 {QStringLiteral("calls"), total.calls},
                                 {QStringLiteral("seconds"), total.seconds},
                                 {QStringLiteral("bytes"), total.bytes}});
    return array;
}

} // namespace

QStringList fields(const QString &line)
{
    QStringList out;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"'))
                field.append(line.at(++i));
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field.append(c);
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            out.append(plain(field));
            field.clear();
        } else {
            field.append(c);
        }
    }
    out.append(plain(field));
    return out;
}

Month summarise(const QString &text, const QString &month, int lastCalls)
{
    QHash<QString, Total> perEntry;
    QHash<QString, Total> perDesk;
    QList<Call> calls;
    std::optional<Call> open;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList f = fields(line);
        if ((f.size() != Columns && f.size() != OldColumns) ||
            !f[Time].startsWith(month + QLatin1Char('-')))
            continue;
        if (f[Event] == QLatin1String("up")) {
            // A web user's identity names its address already.
            const QString desk = f[Identity].isEmpty() ? f[Address]
                                 : f[Identity].contains(f[Address])
                                     ? f[Identity]
                                     : QStringLiteral("%1 (%2)").arg(f[Identity], f[Address]);
            open = Call{f[Time], f[Entry], desk.isEmpty() ? QStringLiteral("?") : desk, 0, 0};
        } else if (f[Event] == QLatin1String("down") && open && f[Entry] == open->entry) {
            bool ok = false;
            const qint64 seconds = f[Seconds].toLongLong(&ok);
            if (!ok || seconds < 0)
                continue;
            open->seconds = seconds;
            if (f.size() == Columns)
                open->bytes = byteCount(f[Received]) + byteCount(f[Sent]);
            add(perEntry, open->entry, *open);
            add(perDesk, open->desk, *open);
            calls.append(*open);
            open.reset();
        }
    }
    Month result{sorted(perEntry), sorted(perDesk), {}};
    for (qsizetype i = calls.size() - 1; i >= 0 && result.last.size() < lastCalls; --i)
        result.last.append(calls.at(i));
    return result;
}

QJsonObject toJson(const Month &month)
{
    QJsonArray last;
    for (const Call &call : month.last)
        last.append(QJsonObject{{QStringLiteral("start"), call.start},
                                {QStringLiteral("entry"), call.entry},
                                {QStringLiteral("desk"), call.desk},
                                {QStringLiteral("seconds"), call.seconds},
                                {QStringLiteral("bytes"), call.bytes}});
    return {{QStringLiteral("perEntry"), totalsJson(month.perEntry)},
            {QStringLiteral("perDesk"), totalsJson(month.perDesk)},
            {QStringLiteral("last"), last}};
}

} // namespace AccountingSummary
