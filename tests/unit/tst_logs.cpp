// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"
#include "GeneralDate.h"
#include "LogLine.h"
#include "MainModule.h"
#include "RuntimeError.h"
#include "TestHome.h"

#include <cerrno>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
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
        const QString date = generalDate(when, QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY2(date.startsWith(QLatin1String("3/4/26 5:05:09")), qPrintable(date));
        QVERIFY2(date.endsWith(QLatin1String("PM")), qPrintable(date));
        QCOMPARE(generalDate(when, QLocale(QLocale::German, QLocale::Germany)),
                 QLatin1String("04.03.26 17:05:09"));
        // A zone in brackets leaves no empty brackets behind.
        QCOMPARE(generalDate(when, QLocale(QLocale::LowGerman, QLocale::Germany)),
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
        QCOMPARE(withoutTimeZone(format), expected);
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

    void entriesAreAppendedToWhatIsThere()
    {
        TestHome home;
        // A file that exists, even empty, is appended to: no header.
        QFile empty(MainModule::activityLogPath());
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        const QString before = generalDate(Clock::now());
        gWriteLog(QStringLiteral("R"), QStringLiteral("Connect device"));
        const QString after = generalDate(Clock::now());
        const QString text = TestHome::readFile(MainModule::activityLogPath());
        const QString date = text.section(QLatin1Char('\t'), 0, 0);
        QVERIFY2(date == before || date == after, qPrintable(date));
        QCOMPARE(text, date + QLatin1String("\tDataArrival\tConnect device\r\n"));
        gWriteLog(QStringLiteral("S"), QStringLiteral("MSG_ACK"));
        const QString second = TestHome::readFile(MainModule::activityLogPath()).mid(text.size());
        QCOMPARE(second.section(QLatin1Char('\t'), 1), QLatin1String("SendData\tMSG_ACK\r\n"));

        // A log that cannot be opened for appending raises the error the handlers report,
        // with the system's reason.
        QFile::remove(MainModule::activityLogPath());
        QVERIFY(QDir().mkdir(MainModule::activityLogPath()));
        QString description;
        try {
            gWriteLog(QStringLiteral("R"), QStringLiteral("x"));
        } catch (const RuntimeError &e) {
            description = e.description();
        }
        QCOMPARE(description, QStringLiteral("Cannot write %1: %2")
                                  .arg(MainModule::activityLogPath(), qt_error_string(EISDIR)));
    }

    void entryDatesFollowTheClockAndTheLocale()
    {
        TestHome home;
        // Logs one entry; true when its date is the clock's general date in the default locale
        // at the time of the call.
        const auto loggedWithClockDate = [] {
            const QString before = generalDate(Clock::now());
            gWriteLog(QStringLiteral("R"), QStringLiteral("x"));
            const QString after = generalDate(Clock::now());
            const QString date = TestHome::readFile(MainModule::activityLogPath())
                                     .split(QLatin1String("\r\n"), Qt::SkipEmptyParts)
                                     .last()
                                     .section(QLatin1Char('\t'), 0, 0);
            return date == before || date == after;
        };
        QVERIFY(loggedWithClockDate());
        QVERIFY(loggedWithClockDate());
        Clock::advance(3'600'000);
        QVERIFY(loggedWithClockDate());
        Clock::advance(24 * 3'600'000);
        QVERIFY(loggedWithClockDate());
        const QLocale system;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const bool german = loggedWithClockDate();
        QLocale::setDefault(system);
        QVERIFY(german);
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

        // Neither the program's folder nor the state folder can be written (a state folder
        // beneath a plain file cannot be made, not even by root): the handlers' error is raised.
        const QString plainFile = home.programFolder() + QLatin1String("/plain");
        QVERIFY(QFile(plainFile).open(QIODevice::WriteOnly));
        const QByteArray stateHome = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", plainFile.toLocal8Bit());
        MainModule::setProgramFolder(home.programFolder() + QLatin1String("/missing"));
        int raised = 0;
        try {
            gWriteLog(QStringLiteral("S"), QStringLiteral("x"));
        } catch (const RuntimeError &e) {
            raised = e.number();
        }
        qputenv("XDG_STATE_HOME", stateHome);
        QCOMPARE(raised, int(RuntimeError::PathFileAccess));
    }

    void logFolderChoice_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("stateHome");
        QTest::addColumn<QString>("folder");
        const auto row = [](const char *name, bool writable, const char *stateHome,
                            const char *folder) {
            QTest::newRow(name) << writable << QString::fromLatin1(stateHome)
                                << QString::fromLatin1(folder);
        };
        row("run from its own folder", true, "/s", "/opt/velmora");
        row("installed", false, "/s", "/s/velmora");
        row("state home with separator", false, "/s/", "/s/velmora");
        row("no state home", false, "", "/home/u/.local/state/velmora");
        row("relative state home is ignored", false, "s", "/home/u/.local/state/velmora");
    }
    void logFolderChoice()
    {
        QFETCH(bool, writable);
        QFETCH(QString, stateHome);
        QFETCH(QString, folder);
        QCOMPARE(LogLine::logFolder(QStringLiteral("/opt/velmora"), writable, stateHome,
                                    QStringLiteral("/home/u")),
                 folder);
    }

    void logsOfAnInstalledCopyGoToTheStateFolder()
    {
        TestHome home;
        QTemporaryDir state;
        const QByteArray stateHome = qgetenv("XDG_STATE_HOME");
        // Neither the state home nor its velmora folder exists yet.
        const QString xdgState = state.path() + QLatin1String("/state");
        qputenv("XDG_STATE_HOME", xdgState.toLocal8Bit());
        // A folder that does not exist cannot be written, whoever runs the test.
        MainModule::setProgramFolder(home.programFolder() + QLatin1String("/bin"));
        const QString folder = xdgState + QLatin1String("/velmora");
        QCOMPARE(MainModule::logFolder(), folder);
        QVERIFY(!QFileInfo::exists(folder));
        MainModule::deleteActivityLog();

        gWriteLog(QStringLiteral("R"), QStringLiteral("MSG_ACK"));
        gWriteErrorLog(QStringLiteral("frmMain_Load"), QStringLiteral("Type mismatch"));
        // The logs hold what users wrote to each other: for this user's eyes alone.
        const auto ofOthers = [](const QString &path) {
            // The "user" bits repeat the owner's for the user running the test.
            return QFileInfo(path).permissions() &
                   ~QFile::Permissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                       QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        };
        for (const QString &made : {xdgState, folder, folder + QLatin1String("/clientlog.txt"),
                                    folder + QLatin1String("/clienterr.txt")})
            QCOMPARE(ofOthers(made), QFile::Permissions());
        QVERIFY(TestHome::readFile(folder + QLatin1String("/clientlog.txt"))
                    .endsWith(QLatin1String("\tDataArrival\tMSG_ACK\r\n")));
        QVERIFY(TestHome::readFile(folder + QLatin1String("/clienterr.txt"))
                    .startsWith(MainModule::errorLogHeader()));
        MainModule::deleteActivityLog();
        QVERIFY(!QFileInfo::exists(folder + QLatin1String("/clientlog.txt")));
        QVERIFY(QFileInfo::exists(folder + QLatin1String("/clienterr.txt")));
        qputenv("XDG_STATE_HOME", stateHome);
    }

    // A program folder that goes away between two entries: the next entry goes to the state
    // folder at once, and the program folder is not made again.
    void aProgramFolderThatGoesAwaySendsTheNextEntryToTheStateFolder()
    {
        TestHome home;
        QTemporaryDir state;
        const QByteArray stateHome = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        const QString program = home.programFolder() + QLatin1String("/bin");
        QVERIFY(QDir().mkpath(program));
        MainModule::setProgramFolder(program);
        gWriteLog(QStringLiteral("S"), QStringLiteral("CMD_USERS"));
        QVERIFY(TestHome::readFile(program + QLatin1String("/clientlog.txt"))
                    .endsWith(QLatin1String("\tSendData\tCMD_USERS\r\n")));

        QVERIFY(QDir(program).removeRecursively());
        gWriteLog(QStringLiteral("R"), QStringLiteral("MSG_ACK"));
        qputenv("XDG_STATE_HOME", stateHome);
        QVERIFY(!QFileInfo::exists(program));
        const QString text =
            TestHome::readFile(state.path() + QLatin1String("/velmora/clientlog.txt"));
        QVERIFY(text.startsWith(MainModule::activityLogHeader()));
        QVERIFY(text.endsWith(QLatin1String("\tDataArrival\tMSG_ACK\r\n")));
    }
};

QTEST_GUILESS_MAIN(TestLogs)
#include "tst_logs.moc"
