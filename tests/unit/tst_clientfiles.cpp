// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"
#include "GeneralDate.h"
#include "LogLine.h"
#include "MainModule.h"
#include "RuntimeError.h"
#include "SettingConversions.h"
#include "Settings.h"
#include "TestHome.h"

#include <cerrno>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString str(const char *text)
{
    return QString::fromLatin1(text);
}

// The error a step raises, or none (number 0).
template <typename Step> RuntimeError errorOf(Step step)
{
    try {
        step();
    } catch (const RuntimeError &e) {
        return e;
    }
    return RuntimeError(0, QString());
}

// Writes an activity log entry; the error it raises, or none.
RuntimeError logged(const char *direction, const char *text)
{
    return errorOf([=] { gWriteLog(str(direction), str(text)); });
}

// The date of a log's last entry.
QString lastDate(const QString &path)
{
    const QStringList lines = TestHome::readFile(path).split(QLatin1String("\r\n"));
    return lines[lines.size() - 2].section(QLatin1Char('\t'), 0, 0);
}

// Sets XDG_STATE_HOME until the returned guard goes.
auto stateHome(const QString &path)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", path.toLocal8Bit());
    return qScopeGuard([saved] { qputenv("XDG_STATE_HOME", saved); });
}

} // namespace

using namespace SettingConversions;

// The files the client keeps: its settings, as an administrator may write them, and its logs.
class TestClientFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settings()
    {
        const std::function<int(const QString &)> convert[] = {
            [](const QString &text) { return toInteger16(text, QString()); },
            [](const QString &text) { return toInteger32(text, QString()); },
            [](const QString &text) { return leadingInteger16(text, QString()); },
            [](const QString &text) { return int(toBoolean(text, QString())); },
        };
        enum { Integer16, Integer32, Leading16, Boolean };
        using enum RuntimeError::Number;
        // The conversion, the text, and the value it gives or the error it raises.
        const std::tuple<int, const char *, int, int> rows[] = {
            {Integer16, " 12 ", 12, 0},
            {Integer16, "2.5", 2, 0}, // halves round to even
            {Integer16, "1x", 0, TypeMismatch},
            {Integer16, "40000", 0, Overflow},
            {Integer32, "40000", 40000, 0},
            {Leading16, "1abc", 1, 0}, // the leading number of any text, as far as it goes
            {Leading16, "70000", 0, Overflow},
            {Boolean, "-1", 1, 0},
            {Boolean, " tRUE ", 1, 0},
            {Boolean, "0", 0, 0},
            {Boolean, " fALSE ", 0, 0},
            {Boolean, "yes", 0, TypeMismatch},
        };
        for (const auto &[conversion, text, value, error] : rows) {
            int got = 0;
            const auto run = [&, c = conversion, t = text] { got = convert[c](str(t)); };
            QVERIFY2(errorOf(run).number() == error && got == value, text);
        }

        // What an administrator wrote by hand is read afresh each time; a value that does not
        // convert is named in the error with its key. A list saved with commas reads back whole.
        TestHome home;
        TestHome::seed(str("Minimize"), str("0"));
        QFile file(home.settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Configuration]\nServerPort=1000\nPopUpOnConnect=true\nAlertConnections=a,b\n"
                   "Alert=maybe\n");
        file.close();
        QCOMPARE(Settings::integer16(Settings::ServerPort, QString()), qint16(1000));
        QVERIFY(Settings::boolean(Settings::PopUpOnConnect, str("0")));
        QCOMPARE(Settings::text(Settings::AlertConnections), QLatin1String("a,b"));
        QCOMPARE(Settings::text(Settings::Minimize, str("x")), QLatin1String("x"));
        const QString error =
            errorOf([] { Settings::integer16(Settings::Alert, str("0")); }).description();
        QVERIFY2(error.contains(QLatin1String("Alert")) && error.contains(QLatin1String("maybe")),
                 qPrintable(error));
        const QString list = QStringLiteral("Office\u001ca,b; =c\u001c");
        Settings::save(Settings::AlertConnections, list);
        QCOMPARE(Settings::text(Settings::AlertConnections), list);
    }

    void logFiles()
    {
        // The direction and text of an activity entry, and the entry.
        const std::tuple<const char *, const char *, const char *> entries[] = {
            {"S", "CMD_CONNECT:OfficePWD:aPWD:x",
             "D\tSendData\tCMD_CONNECT:Office (Password Supplied)"},
            {"S", "PWD:secret", "D\tSendData\t (Password Supplied)"},
            {"S", "CMD_CONNECT:apwd:b", "D\tSendData\tCMD_CONNECT:apwd:b"},
            {"R", "xPWD:y", "D\tDataArrival\txPWD:y"},
        };
        for (const auto &[direction, text, entry] : entries)
            QCOMPARE(LogLine::activityEntry(str("D"), str(direction), str(text)), str(entry));
        // The program folder "/opt/velmora", writable or not, XDG_STATE_HOME; the log folder.
        const std::tuple<bool, const char *, const char *> folders[] = {
            {true, "/s", "/opt/velmora"},
            {false, "/s/", "/s/velmora"},
            {false, "s", "/home/u/.local/state/velmora"}, // a relative one is ignored
        };
        for (const auto &[writable, xdg, folder] : folders) {
            QCOMPARE(LogLine::logFolder(str("/opt/velmora"), writable, str(xdg), str("/home/u")),
                     str(folder));
        }

        // A new log starts with its underlined header; a log that exists, even empty, is appended
        // to; one that cannot be opened raises the error the handlers report, with the reason.
        TestHome home;
        const QString activity = MainModule::activityLogPath();
        QCOMPARE(logged("S", "CMD_USERS").number(), 0);
        const QString header = MainModule::activityLogHeader();
        QVERIFY(header.contains(QLatin1String(VELMORA_VERSION)));
        QCOMPARE(TestHome::readFile(activity), header + QLatin1String("\r\n") +
                                                   QString(header.size(), QLatin1Char('-')) +
                                                   QLatin1String("\r\n") + lastDate(activity) +
                                                   QLatin1String("\tSendData\tCMD_USERS\r\n"));
        MainModule::deleteActivityLog();
        QVERIFY(QFile(activity).open(QIODevice::WriteOnly));
        logged("R", "MSG_ACK");
        QCOMPARE(TestHome::readFile(activity),
                 lastDate(activity) + QLatin1String("\tDataArrival\tMSG_ACK\r\n"));
        QVERIFY(QFile::remove(activity));
        QVERIFY(QDir().mkdir(activity));
        QCOMPARE(logged("R", "x").description(),
                 str("Cannot write %1: %2").arg(activity, qt_error_string(EISDIR)));

        // The error log keeps earlier runs. Its entries are dated by the clock in the default
        // locale, also once the clock has moved a day and an hour and the locale has changed.
        const QString errors = MainModule::errorLogPath();
        QFile old(errors);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier run\r\n");
        old.close();
        const QLocale system;
        const auto restore = qScopeGuard([system] { QLocale::setDefault(system); });
        for (const bool moved : {false, true}) {
            if (moved) {
                Clock::advance(25 * 3'600'000);
                QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
            }
            const QString before = generalDate(Clock::now());
            gWriteErrorLog(str("frmMain_Load"), str("Type mismatch"));
            const QString after = generalDate(Clock::now());
            const QString date = lastDate(errors);
            QVERIFY2(date == before || date == after, qPrintable(date));
        }
        QVERIFY(TestHome::readFile(errors).startsWith(QLatin1String("earlier run\r\n")));
        QVERIFY(TestHome::readFile(errors).endsWith(
            QLatin1String("\tfrmMain_Load\tType mismatch\r\n")));
        QCOMPARE(TestHome::readFile(errors).count(QLatin1String("\r\n")), 3);
    }

    // A program folder that cannot take the logs (an installed copy's, or one gone between two
    // entries) sends them to a state folder made for this user's eyes alone: the logs hold what
    // users wrote to each other. A program folder is looked at again every 10 s of the clock; one
    // that goes away sends the very next entry to the state folder and is not made again. Neither
    // folder writable (a state folder beneath a plain file cannot be made, not even by root), the
    // handlers' error is raised.
    void logsGoToTheStateFolderWhenTheProgramFolderCannotTakeThem()
    {
        TestHome home;
        QTemporaryDir state;
        const QString xdgState = state.path() + QLatin1String("/state");
        const auto restore = stateHome(xdgState);
        const QString program = home.programFolder() + QLatin1String("/bin");
        MainModule::setProgramFolder(program);
        QCOMPARE(logged("R", "MSG_ACK").number(), 0);
        gWriteErrorLog(str("frmMain_Load"), str("Type mismatch"));
        QVERIFY(QDir().mkpath(program));
        Clock::advance(10'000);
        logged("S", "CMD_USERS");
        QVERIFY(QFileInfo::exists(program + QLatin1String("/clientlog.txt")));
        QVERIFY(QDir(program).removeRecursively());
        QCOMPARE(logged("R", "MSG_ACK").number(), 0);
        QVERIFY(!QFileInfo::exists(program));
        const QString folder = xdgState + QLatin1String("/velmora");
        const QString activity = folder + QLatin1String("/clientlog.txt");
        const QString errors = folder + QLatin1String("/clienterr.txt");
        QVERIFY(TestHome::readFile(activity).startsWith(MainModule::activityLogHeader()));
        QCOMPARE(TestHome::readFile(activity).count(QLatin1String("\tDataArrival\tMSG_ACK\r\n")),
                 2);
        QVERIFY(TestHome::readFile(errors).startsWith(MainModule::errorLogHeader()));
        // The "user" bits repeat the owner's for the user running the test.
        const QFile::Permissions own = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                       QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
        for (const QString &made : {xdgState, folder, activity, errors})
            QCOMPARE(QFileInfo(made).permissions() & ~own, QFile::Permissions());

        QVERIFY(QFile(state.filePath(str("plain"))).open(QIODevice::WriteOnly));
        const auto unwritable = stateHome(state.filePath(str("plain")));
        QCOMPARE(logged("S", "x").number(), int(RuntimeError::PathFileAccess));
    }
};

QTEST_GUILESS_MAIN(TestClientFiles)
#include "tst_clientfiles.moc"
