#include "LogLine.h"
#include "MainModule.h"
#include "RuntimeError.h"
#include "TestHome.h"

#include <QFile>
#include <QTest>

class TestLogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void masking_data()
    {
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("entry");
        const auto row = [](const char *name, const char *direction, const char *text,
                            const char *entry) {
            QTest::newRow(name) << QString::fromLatin1(direction) << QString::fromLatin1(text)
                                << QString::fromLatin1(entry);
        };
        row("sent", "S", "CMD_CONNECTIONS", "D\tSendData\tCMD_CONNECTIONS");
        row("password", "S", "CMD_CONNECT:OfficePWD:secretPWD:x",
            "D\tSendData\tCMD_CONNECT:Office (Password Supplied)");
        row("password first", "S", "PWD:secret", "D\tSendData\t (Password Supplied)");
        row("lower case is no password", "S", "CMD_CONNECT:apwd:b",
            "D\tSendData\tCMD_CONNECT:apwd:b");
        row("received password unchanged", "R", "xPWD:y", "D\tDataArrival\txPWD:y");
    }
    void masking()
    {
        QFETCH(QString, direction);
        QFETCH(QString, text);
        QFETCH(QString, entry);
        QCOMPARE(LogLine::activityEntry(QStringLiteral("D"), direction, text), entry);
    }

    void textPieces()
    {
        QCOMPARE(LogLine::pathIn(QStringLiteral("/"), QStringLiteral("clientlog.txt")),
                 QLatin1String("/clientlog.txt"));
        QCOMPARE(LogLine::pathIn(QStringLiteral("/opt/velmora"), QStringLiteral("a")),
                 QLatin1String("/opt/velmora/a"));
        const QDateTime when(QDate(2026, 3, 4), QTime(17, 5, 9));
        const QString date =
            LogLine::generalDate(when, QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY2(date.startsWith(QLatin1String("3/4/26 5:05:09")), qPrintable(date));
        QVERIFY2(date.endsWith(QLatin1String("PM")), qPrintable(date));
        QCOMPARE(LogLine::generalDate(when, QLocale(QLocale::German, QLocale::Germany)),
                 QLatin1String("04.03.26 17:05:09"));
        // A zone in brackets leaves no empty brackets behind.
        QCOMPARE(LogLine::generalDate(when, QLocale(QLocale::LowGerman, QLocale::Germany)),
                 QLatin1String("4.03.26 Klock 17.05:09"));
    }

    void timeZoneLeavesTheFormat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *format, const char *expected) {
            QTest::newRow(format) << QString::fromUtf8(format) << QString::fromUtf8(expected);
        };
        row("HH:mm:ss t", "HH:mm:ss");
        row("h:mm:ss AP tttt", "h:mm:ss AP");
        row("t HH:mm:ss", "HH:mm:ss");
        row("'Klock' H.mm:ss (t)", "'Klock' H.mm:ss");
        row("H 'Uhr' mm 'et' ss t", "H 'Uhr' mm 'et' ss");
        row("HH:mm 'o''t' t", "HH:mm 'o''t'");
        row("HH:mm:ss", "HH:mm:ss");
    }
    void timeZoneLeavesTheFormat()
    {
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(LogLine::withoutTimeZone(format), expected);
    }

    void activityLogFile()
    {
        TestHome home;
        gWriteLog(QStringLiteral("S"), QStringLiteral("CMD_CONNECT:OfficePWD:secret"));
        gWriteLog(QStringLiteral("R"), QStringLiteral("MSG_ACK"));
        const QString text = TestHome::readFile(MainModule::activityLogPath());
        const QStringList lines = text.split(QLatin1String("\r\n"));
        QCOMPARE(lines.size(), 5); // header, underline, two entries, the empty rest
        QCOMPARE(lines[0], MainModule::activityLogHeader());
        QVERIFY(lines[0].contains(QLatin1String(VELMORA_VERSION)));
        QCOMPARE(lines[1], QString(lines[0].size(), QLatin1Char('-')));
        QVERIFY(
            lines[2].endsWith(QLatin1String("\tSendData\tCMD_CONNECT:Office (Password Supplied)")));
        QCOMPARE(lines[2].count(QLatin1Char('\t')), 2);
        QVERIFY(lines[3].endsWith(QLatin1String("\tDataArrival\tMSG_ACK")));

        // Deleted at start-up, recreated with a new header by the next line.
        MainModule::deleteActivityLog();
        QVERIFY(!QFile::exists(MainModule::activityLogPath()));
        MainModule::deleteActivityLog();
        gWriteLog(QStringLiteral("R"), QStringLiteral("x"));
        QVERIFY(TestHome::readFile(MainModule::activityLogPath()).startsWith(lines[0]));
    }

    void errorLogKeepsEarlierRunsAndWriteFailuresRaise()
    {
        TestHome home;
        QFile old(MainModule::errorLogPath());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier run\r\n");
        old.close();
        gWriteErrorLog(QStringLiteral("frmMain_Load"), QStringLiteral("Type mismatch"));
        const QString text = TestHome::readFile(MainModule::errorLogPath());
        QVERIFY(text.startsWith(QLatin1String("earlier run\r\n")));
        QVERIFY(!text.contains(MainModule::errorLogHeader()));
        QVERIFY(text.endsWith(QLatin1String("\tfrmMain_Load\tType mismatch\r\n")));

        // A folder that cannot be written raises the error the handlers report.
        MainModule::setProgramFolder(home.programFolder() + QLatin1String("/missing"));
        int raised = 0;
        try {
            gWriteLog(QStringLiteral("S"), QStringLiteral("x"));
        } catch (const RuntimeError &e) {
            raised = e.number();
        }
        QCOMPARE(raised, int(RuntimeError::PathFileAccess));
    }
};

QTEST_GUILESS_MAIN(TestLogs)
#include "tst_logs.moc"
