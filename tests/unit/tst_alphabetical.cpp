// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Alphabetical.h"

#include <QTest>

class TestAlphabetical : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sortsByTheAlphabetIgnoringCase_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("sorted");
        const auto row = [](const char *name, const char *names, const char *sorted) {
            QTest::newRow(name) << QString::fromUtf8(names).split(QLatin1Char(' '))
                                << QString::fromUtf8(sorted).split(QLatin1Char(' '));
        };
        row("capitals do not come first", "Delta beta Alpha", "Alpha beta Delta");
        row("case alone decides last", "office Office OFFICE", "OFFICE Office office");
        row("digits before letters", "b 2 a 10", "10 2 a b");
        row("prefix first", "Officer Office", "Office Officer");
    }
    void sortsByTheAlphabetIgnoringCase()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, sorted);
        Alphabetical::sort(names);
        QCOMPARE(names, sorted);
    }
};

QTEST_GUILESS_MAIN(TestAlphabetical)
#include "tst_alphabetical.moc"
