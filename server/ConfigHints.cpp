// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ConfigHints.h"

#include <algorithm>
#include <QHostAddress>
#include <QList>
#include <QRegularExpression>

namespace {

// How many letters must be added, removed or replaced to turn a into b, case aside.
qsizetype editDistance(const QString &a, const QString &b)
{
    QList<qsizetype> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[j];
            const bool same = a[i - 1].toCaseFolded() == b[j - 1].toCaseFolded();
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

QString ConfigHints::nearest(const QString &name, const QStringList &candidates)
{
    QString best;
    qsizetype bestDistance = std::max<qsizetype>(2, name.size() / 3) + 1;
    for (const QString &candidate : candidates) {
        const qsizetype d = editDistance(name, candidate);
        if (d < bestDistance) {
            best = candidate;
            bestDistance = d;
        }
    }
    return best;
}

QString ConfigHints::hostNameNote(const QString &value)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9.-]*[A-Za-z][A-Za-z0-9.-]*$"));
    for (const QString &item : value.split(separators, Qt::SkipEmptyParts)) {
        const QString host = item.section(QLatin1Char('/'), 0, 0);
        if (host != QLatin1String("any") && QHostAddress(host).isNull() &&
            name.match(host).hasMatch())
            return QStringLiteral("; \"%1\" is a host name, and names are not taken: write an IP "
                                  "address (127.0.0.1 or ::1 for this machine)")
                .arg(host);
    }
    return QString();
}
