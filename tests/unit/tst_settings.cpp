#include "RuntimeError.h"
#include "SettingConversions.h"
#include "Settings.h"
#include "SettingsBackend.h"
#include "TestHome.h"

#include <QFile>
#include <QTest>

namespace {

// The error number a conversion raises, or 0 when it converts.
template <typename F> int errorOf(F convert)
{
    try {
        convert();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void integers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("error");
        QTest::newRow("zero") << QStringLiteral("0") << 0 << 0;
        QTest::newRow("one") << QStringLiteral("1") << 1 << 0;
        QTest::newRow("blanks") << QStringLiteral(" 12 ") << 12 << 0;
        QTest::newRow("negative") << QStringLiteral("-3") << -3 << 0;
        QTest::newRow("half to even") << QStringLiteral("2.5") << 2 << 0;
        QTest::newRow("empty") << QString() << 0 << int(RuntimeError::TypeMismatch);
        QTest::newRow("word") << QStringLiteral("abc") << 0 << int(RuntimeError::TypeMismatch);
        QTest::newRow("trailing text")
            << QStringLiteral("1x") << 0 << int(RuntimeError::TypeMismatch);
        QTest::newRow("true is no integer")
            << QStringLiteral("True") << 0 << int(RuntimeError::TypeMismatch);
        QTest::newRow("16-bit overflow")
            << QStringLiteral("40000") << 0 << int(RuntimeError::Overflow);
    }
    void integers()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(int, error);
        qint16 got = -99;
        QCOMPARE(errorOf([&] { got = SettingConversions::toInteger16(text, QStringLiteral("x")); }),
                 error);
        if (!error)
            QCOMPARE(int(got), value);
    }

    void widerIntegersAndLeadingNumbers()
    {
        QCOMPARE(SettingConversions::toInteger32(QStringLiteral("40000"), QString()), 40000);
        QCOMPARE(SettingConversions::leadingInteger16(QStringLiteral("1abc"), QString()), 1);
        QCOMPARE(SettingConversions::leadingInteger16(QString(), QString()), 0);
        QCOMPARE(SettingConversions::leadingInteger16(QStringLiteral("x1"), QString()), 0);
        QCOMPARE(errorOf([] {
                     SettingConversions::leadingInteger16(QStringLiteral("70000"), QString());
                 }),
                 int(RuntimeError::Overflow));
    }

    void booleans_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("value");
        QTest::addColumn<int>("error");
        QTest::newRow("0") << QStringLiteral("0") << false << 0;
        QTest::newRow("1") << QStringLiteral("1") << true << 0;
        QTest::newRow("-1") << QStringLiteral("-1") << true << 0;
        QTest::newRow("True") << QStringLiteral("True") << true << 0;
        QTest::newRow("false any case") << QStringLiteral(" fALSE ") << false << 0;
        QTest::newRow("yes is no boolean")
            << QStringLiteral("yes") << false << int(RuntimeError::TypeMismatch);
        QTest::newRow("empty") << QString() << false << int(RuntimeError::TypeMismatch);
    }
    void booleans()
    {
        QFETCH(QString, text);
        QFETCH(bool, value);
        QFETCH(int, error);
        bool got = !value;
        QCOMPARE(errorOf([&] { got = SettingConversions::toBoolean(text, QString()); }), error);
        if (!error)
            QCOMPARE(got, value);
    }

    void errorsNameTheSetting()
    {
        TestHome home;
        TestHome::seed(QStringLiteral("Alert"), QStringLiteral("maybe"));
        try {
            Settings::integer16(Settings::Alert, QStringLiteral("0"));
            QFAIL("no error raised");
        } catch (const RuntimeError &e) {
            QVERIFY2(e.description().contains(QLatin1String("Alert")), qPrintable(e.description()));
            QVERIFY(e.description().contains(QLatin1String("maybe")));
        }
    }

    void storeRoundTripsAndWritesThrough()
    {
        TestHome home;
        // Absent keys give each reader its own default.
        QCOMPARE(Settings::text(Settings::ServerPort), QString());
        QCOMPARE(Settings::text(Settings::ServerPort, QStringLiteral("1000")),
                 QStringLiteral("1000"));
        QCOMPARE(Settings::integer16(Settings::Alert, QStringLiteral("0")), qint16(0));

        const QChar fs(28);
        const QString list = QStringLiteral("Office") + fs + QStringLiteral("a,b; =c") + fs;
        Settings::save(Settings::AlertConnections, list);
        QCOMPARE(Settings::text(Settings::AlertConnections), list);
        const QString path = QStringLiteral("/home/x/My Waves/Ding,Dong.WAV");
        Settings::save(Settings::ConnectWave, path);
        QCOMPARE(Settings::text(Settings::ConnectWave), path);
        Settings::save(Settings::DismissTime, QString());
        QCOMPARE(Settings::text(Settings::DismissTime, QStringLiteral("0")), QString());

        // Written through: the file holds it already, in the group an administrator expects.
        const QString file = TestHome::readFile(home.settingsFile());
        QVERIFY2(file.contains(QLatin1String("[Configuration]")), qPrintable(file));
        QVERIFY(file.contains(QLatin1String("ConnectWave=")));
    }

    void storeReadsWhatAnAdministratorWrote()
    {
        TestHome home;
        TestHome::seed(QStringLiteral("Minimize"), QStringLiteral("0"));
        QFile file(home.settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Configuration]\nServerName=modem.office\nServerPort=1000\n"
                   "PopUpOnConnect=true\nAlertConnections=a,b\n");
        file.close();
        QCOMPARE(Settings::text(Settings::ServerName), QStringLiteral("modem.office"));
        QCOMPARE(Settings::integer16(Settings::ServerPort, QString()), qint16(1000));
        QVERIFY(Settings::boolean(Settings::PopUpOnConnect, QStringLiteral("0")));
        QCOMPARE(Settings::text(Settings::AlertConnections), QStringLiteral("a,b"));
        QCOMPARE(Settings::text(Settings::Minimize, QStringLiteral("x")), QStringLiteral("x"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
