// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// The administrator's view of the accounting log: a month's calls added up per entry and per
// desk, and the last calls one by one. A call is an "up" line (who dialled, the entry) and the
// "down" line after it (how long it was up, and the bytes that crossed the line where the line
// counts them). Lines it cannot read are passed over: the log is the administrator's file and
// may have been edited by hand, and a log begun before the byte columns existed still reads.
namespace AccountingSummary {

struct Call
{
    QString start; // "2024-05-02 09:15:10"
    QString entry;
    QString desk; // "identity (address)", or the address alone
    qint64 seconds = 0;
    qint64 bytes = 0; // received and sent together; 0 where the line counted none
};

struct Total
{
    QString name;
    int calls = 0;
    qint64 seconds = 0;
    qint64 bytes = 0;
};

struct Month
{
    QList<Total> perEntry; // most time first
    QList<Total> perDesk;
    QList<Call> last; // the latest first
};

// The fields of one line of the log, quotes and doubled quotes undone.
QStringList fields(const QString &line);
// The calls of month ("2024-05") in text, the whole log; at most lastCalls in last.
Month summarise(const QString &text, const QString &month, int lastCalls = 20);
QJsonObject toJson(const Month &month);

} // namespace AccountingSummary
