// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "EntryFilter.h"
#include "NotifyIcon.h"
#include "Protocol.h"

#include <QTest>

namespace {

// A name list written with "|" for the separator character.
QString nameList(const char *text)
{
    return QString::fromLatin1(text).replace(QLatin1Char('|'), Protocol::ListTerminator);
}

} // namespace

// The main window's pure text rules: the per-entry alert and confirmation filters, and the
// notification icon's tip.
class TestMainWindowRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entryLists_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("contained");
        const auto row = [](const char *name, const char *list, const char *entry, bool in) {
            QTest::newRow(name) << nameList(list) << QString::fromLatin1(entry) << in;
        };
        row("second, other case", "Office|Home ISP|", "home isp", true);
        row("longer name", "Office|Home ISP|", "Home ISP2", false);
        row("blanks around item", " Office |", "Office", true);
        row("blank before name", "Office|Home ISP|", " Office", false);
        row("no final separator", "Office|Home", "home", true);
        row("tab is part of a name", "Office\t|", "Office", false);
        row("empty list, no name", "", "", true);
        row("terminated list, no name", "Office|", "", true);
        row("unterminated list, no name", "Office", "", false);
    }
    void entryLists()
    {
        QFETCH(QString, list);
        QFETCH(QString, entry);
        QFETCH(bool, contained);
        QCOMPARE(entryListContains(list, entry), contained);
    }

    void trayTipsKeepSixtyThreeCharacters()
    {
        const QString exact(63, QLatin1Char('x'));
        QCOMPARE(NotifyIcon::tipText(exact), exact);
        QCOMPARE(NotifyIcon::tipText(exact + QLatin1String("yz")), exact);
    }
};

QTEST_GUILESS_MAIN(TestMainWindowRules)
#include "tst_mainwindowrules.moc"
