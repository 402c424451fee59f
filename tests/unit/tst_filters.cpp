#include "EntryFilter.h"
#include "NotifyIcon.h"
#include "StatusText.h"

#include <QTest>

class TestFilters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entryLists_data()
    {
        const QString fs(QChar(28));
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("contained");
        const QString two = QStringLiteral("Office") + fs + QStringLiteral("Home ISP") + fs;
        QTest::newRow("second, other case") << two << QStringLiteral("home isp") << true;
        QTest::newRow("first") << two << QStringLiteral("OFFICE") << true;
        QTest::newRow("longer name") << two << QStringLiteral("Home ISP2") << false;
        QTest::newRow("shorter name") << two << QStringLiteral("Home") << false;
        QTest::newRow("blanks around item")
            << QStringLiteral(" Office ") + fs << QStringLiteral("Office") << true;
        QTest::newRow("blank before name") << two << QStringLiteral(" Office") << false;
        QTest::newRow("no final separator")
            << QStringLiteral("Office") + fs + QStringLiteral("Home") << QStringLiteral("home")
            << true;
        QTest::newRow("tab is part of a name")
            << QStringLiteral("Office\t") + fs << QStringLiteral("Office") << false;
        QTest::newRow("empty list, a name") << QString() << QStringLiteral("Office") << false;
        QTest::newRow("empty list, no name") << QString() << QString() << true;
        QTest::newRow("terminated list, no name") << two << QString() << true;
        QTest::newRow("unterminated list, no name")
            << QStringLiteral("Office") << QString() << false;
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

    void durations()
    {
        QCOMPARE(durationText(0), QStringLiteral("00:00:00"));
        QCOMPARE(durationText(59), QStringLiteral("00:00:59"));
        QCOMPARE(durationText(3723), QStringLiteral("01:02:03"));
        QCOMPARE(durationText(99 * 3600 + 59 * 60 + 59), QStringLiteral("99:59:59"));
        QCOMPARE(durationText(100 * 3600), QStringLiteral("100:00:00"));
    }
};

QTEST_GUILESS_MAIN(TestFilters)
#include "tst_filters.moc"
