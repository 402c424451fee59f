#include "Clock.h"
#include "NoticeText.h"
#include "TestHome.h"

#include <QTest>

Q_DECLARE_METATYPE(std::optional<bool>)

namespace {

const QDateTime when(QDate(2026, 3, 4), QTime(17, 5, 9));
const QLocale german(QLocale::German, QLocale::Germany);

} // namespace

class TestNoticeText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void caption_data()
    {
        QTest::addColumn<std::optional<bool>>("pvNoTime");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expected");
        const QString heading = QStringLiteral("Message received at 04.03.26 17:05:09\r\r");
        const QString text = QStringLiteral("The line is locked by another user");
        QTest::newRow("missing") << std::optional<bool>() << text << heading + text;
        QTest::newRow("false") << std::optional<bool>(false) << text << heading + text;
        QTest::newRow("true") << std::optional<bool>(true) << text << text;
        QTest::newRow("empty message") << std::optional<bool>() << QString() << heading;
        QTest::newRow("own line breaks kept")
            << std::optional<bool>(true) << QStringLiteral("a\rb") << QStringLiteral("a\rb");
    }
    void caption()
    {
        QFETCH(std::optional<bool>, pvNoTime);
        QFETCH(QString, message);
        QFETCH(QString, expected);
        QCOMPARE(NoticeText::caption(message, pvNoTime, when, german), expected);
    }

    void displayed_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shown");
        QTest::newRow("heading") << QStringLiteral("at 10:00\r\rhello")
                                 << QStringLiteral("at 10:00\n\nhello");
        QTest::newRow("carriage return and line feed")
            << QStringLiteral("a\r\nb") << QStringLiteral("a\nb");
        QTest::newRow("plain") << QStringLiteral("<b>x</b>") << QStringLiteral("<b>x</b>");
    }
    void displayed()
    {
        QFETCH(QString, caption);
        QFETCH(QString, shown);
        QCOMPARE(NoticeText::displayed(caption), shown);
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
        QTest::newRow("off") << QStringLiteral("0") << QStringLiteral("5") << int(D::Off) << 0;
        QTest::newRow("off ignores a bad time")
            << QStringLiteral("0") << QStringLiteral("soon") << int(D::Off) << 0;
        QTest::newRow("on, no time") << QStringLiteral("1") << QString() << int(D::After) << 0;
        QTest::newRow("on") << QStringLiteral("1") << QStringLiteral("5") << int(D::After) << 5;
        QTest::newRow("True and padded")
            << QStringLiteral("True") << QStringLiteral(" 12 ") << int(D::After) << 12;
        QTest::newRow("empty time")
            << QStringLiteral("1") << QStringLiteral("") << int(D::Unreadable) << 0;
        QTest::newRow("word time")
            << QStringLiteral("1") << QStringLiteral("soon") << int(D::Unreadable) << 0;
        QTest::newRow("time overflows")
            << QStringLiteral("1") << QStringLiteral("40000") << int(D::Unreadable) << 0;
        QTest::newRow("word switch")
            << QStringLiteral("often") << QStringLiteral("5") << int(D::Unreadable) << 0;
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
        QVERIFY(NoticeText::dismissalDue(shownAt, -5));
        QVERIFY(!NoticeText::dismissalDue(shownAt, 2));
        Clock::advance(30000);
        QVERIFY(NoticeText::dismissalDue(shownAt, 30));
        QVERIFY(!NoticeText::dismissalDue(shownAt, 32));
    }
};

QTEST_GUILESS_MAIN(TestNoticeText)
#include "tst_noticetext.moc"
