// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RuntimeError.h"
#include "SettingConversions.h"
#include "Settings.h"
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

using namespace SettingConversions;

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void integers()
    {
        QCOMPARE(toInteger16(QStringLiteral(" 12 "), QString()), 12);
        QCOMPARE(toInteger16(QStringLiteral("-3"), QString()), -3);
        QCOMPARE(toInteger16(QStringLiteral("2.5"), QString()), 2); // halves round to even
        for (const char *text : {"", "abc", "1x", "True"}) {
            QVERIFY2(errorOf([&] { toInteger16(QLatin1String(text), QString()); }) ==
                         RuntimeError::TypeMismatch,
                     text);
        }
        QCOMPARE(errorOf([] { toInteger16(QStringLiteral("40000"), QString()); }),
                 int(RuntimeError::Overflow));
        QCOMPARE(toInteger32(QStringLiteral("40000"), QString()), 40000);
        // The leading number of any text, as far as it goes.
        QCOMPARE(leadingInteger16(QStringLiteral("1abc"), QString()), 1);
        QCOMPARE(leadingInteger16(QString(), QString()), 0);
        QCOMPARE(errorOf([] { leadingInteger16(QStringLiteral("70000"), QString()); }),
                 int(RuntimeError::Overflow));
    }

    void booleans()
    {
        for (const char *text : {"1", "-1", "True", " tRUE "})
            QVERIFY2(toBoolean(QLatin1String(text), QString()), text);
        for (const char *text : {"0", " fALSE "})
            QVERIFY2(!toBoolean(QLatin1String(text), QString()), text);
        for (const char *text : {"", "yes"}) {
            QVERIFY2(errorOf([&] { toBoolean(QLatin1String(text), QString()); }) ==
                         RuntimeError::TypeMismatch,
                     text);
        }
    }

    void storeReadsWhatAnAdministratorWrote()
    {
        TestHome home;
        TestHome::seed(QStringLiteral("Minimize"), QStringLiteral("0"));
        QFile file(home.settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Configuration]\nServerName=modem.office\nServerPort=1000\n"
                   "PopUpOnConnect=true\nAlertConnections=a,b\nAlert=maybe\n");
        file.close();
        QCOMPARE(Settings::text(Settings::ServerName), QLatin1String("modem.office"));
        QCOMPARE(Settings::integer16(Settings::ServerPort, QString()), qint16(1000));
        QVERIFY(Settings::boolean(Settings::PopUpOnConnect, QStringLiteral("0")));
        QCOMPARE(Settings::text(Settings::AlertConnections), QLatin1String("a,b"));
        // Read afresh each time: the value stored before the file changed is gone.
        QCOMPARE(Settings::text(Settings::Minimize, QStringLiteral("x")), QLatin1String("x"));
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
                 QLatin1String("1000"));
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
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
