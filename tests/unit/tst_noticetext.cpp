// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"
#include "NoticeText.h"
#include "TestHome.h"

#include <QTest>

Q_DECLARE_METATYPE(std::optional<bool>)

class TestNoticeText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void caption_data()
    {
        QTest::addColumn<std::optional<bool>>("pvNoTime");
        QTest::addColumn<QString>("expected");
        const QString heading = QStringLiteral("Message received at 04.03.26 17:05:09\r\r");
        QTest::newRow("missing") << std::optional<bool>() << heading + QStringLiteral("a\rb");
        QTest::newRow("false") << std::optional<bool>(false) << heading + QStringLiteral("a\rb");
        QTest::newRow("true") << std::optional<bool>(true) << QStringLiteral("a\rb");
    }
    void caption()
    {
        QFETCH(std::optional<bool>, pvNoTime);
        QFETCH(QString, expected);
        const QDateTime when(QDate(2026, 3, 4), QTime(17, 5, 9));
        QCOMPARE(NoticeText::caption(QStringLiteral("a\rb"), pvNoTime, when,
                                     QLocale(QLocale::German, QLocale::Germany)),
                 expected);
    }

    void displayedBreaksLinesAtEachCarriageReturn()
    {
        QCOMPARE(NoticeText::displayed(QStringLiteral("at 10:00\r\rhello\r\nbye")),
                 QStringLiteral("at 10:00\n\nhello\nbye"));
    }

    void dismissal_data()
    {
        // An absent key is given as a null text.
        QTest::addColumn<QString>("dismiss");
        QTest::addColumn<QString>("dismissTime");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("seconds");
        using D = NoticeText::Dismissal;
        QTest::newRow("nothing stored") << QString() << QString() << int(D::Off) << 0;
        QTest::newRow("off ignores a bad time")
            << QStringLiteral("0") << "soon" << int(D::Off) << 0;
        QTest::newRow("on, no time") << QStringLiteral("1") << QString() << int(D::After) << 0;
        QTest::newRow("on") << QStringLiteral("1") << "12" << int(D::After) << 12;
        QTest::newRow("empty time") << QStringLiteral("1") << "" << int(D::Unreadable) << 0;
        QTest::newRow("word switch") << QStringLiteral("often") << "5" << int(D::Unreadable) << 0;
    }
    void dismissal()
    {
        QFETCH(QString, dismiss);
        QFETCH(QString, dismissTime);
        QFETCH(int, kind);
        QFETCH(int, seconds);
        TestHome home;
        if (!dismiss.isNull())
            TestHome::seed(QStringLiteral("Dismiss"), dismiss);
        if (!dismissTime.isNull())
            TestHome::seed(QStringLiteral("DismissTime"), dismissTime);
        NoticeText::Dismissal got;
        QVERIFY_THROWS_NO_EXCEPTION(got = NoticeText::dismissal());
        QCOMPARE(int(got.kind), kind);
        QCOMPARE(int(got.seconds), seconds);
    }

    void dismissalCountsWholeSeconds()
    {
        TestHome home;
        const QDateTime shownAt = Clock::now();
        QVERIFY(NoticeText::dismissalDue(shownAt, 0));
        QVERIFY(!NoticeText::dismissalDue(shownAt, 2));
        Clock::advance(30000);
        QVERIFY(NoticeText::dismissalDue(shownAt, 30));
        QVERIFY(!NoticeText::dismissalDue(shownAt, 32));
    }
};

QTEST_GUILESS_MAIN(TestNoticeText)
#include "tst_noticetext.moc"
