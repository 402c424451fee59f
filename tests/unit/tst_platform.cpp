// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"
#include "EventWait.h"
#include "GeneralDate.h"
#include "LogLine.h"
#include "MainModule.h"
#include "RuntimeError.h"
#include "SettingConversions.h"
#include "Settings.h"
#include "Sound.h"
#include "TestHome.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>
#include <QTimer>

namespace {

// Puts the zone's file at path as a new file, as a change of the machine's zone does.
bool installZone(const QString &zone, const QString &path)
{
    const QString fresh = path + QStringLiteral(".new");
    QFile::remove(fresh);
    return QFile::copy(QLatin1String("/usr/share/zoneinfo/") + zone, fresh) &&
           std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) ==
               0;
}

// A RIFF chunk: its id, its size in little-endian order, its body padded to an even size.
QByteArray chunk(const char *id, const QByteArray &body)
{
    QByteArray bytes = QByteArray(id) + QByteArray(4, '\0') + body;
    qToLittleEndian(quint32(body.size()), bytes.data() + 4);
    return body.size() % 2 == 0 ? bytes : bytes + '\0';
}

// A wave file: the chunks given first, then a format of the given tag (one channel at 8 kHz,
// 16 bits) and that many seconds of silence.
QByteArray wave(quint16 tag, const QByteArray &first = {}, double seconds = 0.1)
{
    QByteArray format = QByteArray::fromHex("00000100401f0000803e000002001000");
    qToLittleEndian(tag, format.data());
    const QByteArray data(int(16000 * seconds), '\0');
    return chunk("RIFF", "WAVE" + first + chunk("fmt ", format) + chunk("data", data));
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

// Where the desktop's sound server listens for the user's programs.
QString soundServerSocket()
{
    return qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/pulse/native");
}

// What the sound server says of the streams it is playing, their files among it.
QString playing()
{
    QProcess list;
    list.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    list.waitForFinished();
    return QString::fromUtf8(list.readAll());
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

} // namespace

using namespace SettingConversions;

// The client's platform layer: its clock, its waits and its sounds, and the
// program's command line; and the files the client keeps: its settings, as an administrator may
// write them, and its logs. How much processor time a wait costs is measured by
// bench_event_wait, not here.
class TestPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Before each test: no sound server, not even the stand-in of a test that failed.
    void init()
    {
        QVERIFY(QDir().mkpath(QFileInfo(soundServerSocket()).path()));
        QFile::remove(soundServerSocket());
    }

    void cleanup()
    {
        Clock::reset();
        qputenv("TZ", "UTC");
        tzset();
    }

    void localTimeFollowsTheZoneFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("localtime"));
        QVERIFY(installZone(QStringLiteral("Asia/Tokyo"), file));

        // A zone chosen by TZ stays: the zone file is not followed.
        Clock::followZoneFile(QFile::encodeName(file));
        QCOMPARE(Clock::now().offsetFromUtc(), 0);

        qunsetenv("TZ");
        Clock::followZoneFile(QFile::encodeName(file));
        QCOMPARE(Clock::now().offsetFromUtc(), 9 * 3600);

        // The machine's zone changes: local times follow within the check interval.
        QVERIFY(installZone(QStringLiteral("Asia/Kolkata"), file));
        Clock::advance(Clock::ZoneCheckIntervalMs / 2);
        QCOMPARE(Clock::now().offsetFromUtc(), 9 * 3600);
        Clock::advance(Clock::ZoneCheckIntervalMs / 2);
        QCOMPARE(Clock::now().offsetFromUtc(), 5 * 3600 + 1800);
        QCOMPARE(qgetenv("TZ"), ':' + QFile::encodeName(file));

        // And again, also when the clock is set back.
        QVERIFY(installZone(QStringLiteral("Asia/Tokyo"), file));
        Clock::advance(-3600'000);
        QCOMPARE(Clock::now().offsetFromUtc(), 9 * 3600);
    }

    // A wait runs events while it sleeps, its handlers' own waits too: each wait ends on its own
    // condition, the outer one's holding already when the inner one ends. It asks its condition
    // once per event that wakes it, where a spinning loop would ask it thousands of times.
    void waitsEndOnTheirEvents()
    {
        // Timers still pending when a check fails go with the test, not into the next one.
        const QObject scope;
        bool outer = false, inner = false, innerEndedAfterOuter = false;
        int asked = 0;
        QTimer::singleShot(10, &scope, [&] {
            QTimer::singleShot(10, &scope, [&] { outer = true; });
            QTimer::singleShot(60, &scope, [&] { inner = true; });
            innerEndedAfterOuter =
                EventWait::waitUntil([&] { return inner; }, 5, Clock::secsSinceEpoch()) && outer;
        });
        const qint64 start = Clock::secsSinceEpoch();
        QVERIFY(EventWait::waitUntil([&] { return ++asked > 0 && outer && inner; }, 10, start));
        QVERIFY(innerEndedAfterOuter && Clock::msecsSinceEpoch() < (start + 10) * 1000);
        QVERIFY2(asked <= 10, qPrintable(QString::number(asked)));
    }

    void waitSleepsUntilItsDeadline()
    {
        // Starting within a second, a 1-second limit ends at the next boundary of the clock.
        int asked = 0;
        const qint64 start = Clock::secsSinceEpoch();
        QVERIFY(!EventWait::waitUntil([&] { return ++asked > 1000; }, 1, start));
        QVERIFY2(Clock::msecsSinceEpoch() >= (start + 1) * 1000 && asked <= 10,
                 qPrintable(QString::number(asked)));
        // A limit of 0 or less runs no pass at all (it never turns into no limit), but the
        // condition is still asked first.
        asked = 0;
        QVERIFY(!EventWait::waitUntil([&] { return ++asked > 5; }, -5, start));
        QCOMPARE(asked, 1);
        // The clock moved past the deadline ends a wait at once, not ten seconds later.
        const QObject scope;
        QTimer::singleShot(20, &scope, [] { Clock::advance(10'000); });
        QElapsedTimer wall;
        wall.start();
        QVERIFY(!EventWait::waitUntil([] { return false; }, 10, Clock::secsSinceEpoch()));
        QVERIFY(wall.elapsed() < 9000);
    }

    // Only waves the sound server plays are handed to it: the sound library is loaded with the
    // first such wave, and only when a sound server is there. Until then the program does not
    // pay for it, and every wave asked for is still told to the observer.
    void onlyPlayableWavesAreLoadedAndPlayed()
    {
        const QByteArray pcm = wave(1);
        // The bytes, whether they make a playable wave.
        const std::pair<QByteArray, bool> rows[] = {
            {pcm, true},
            {wave(3), true},                       // float
            {wave(0xFFFE), true},                  // extensible
            {wave(1, chunk("LIST", "abc")), true}, // an odd-sized chunk before the format
            {wave(2), false},                      // ADPCM
            {chunk("RIFF", "WAVE" + chunk("data", "ab")), false}, // no format chunk
            {chunk("RIFF", "AVI " + chunk("fmt ", pcm.mid(20, 16))), false},
            {pcm.left(34), false}, // cut short within the format
            {"not a wave at all", false},
            {{}, false},
        };
        // A file where the sound server's socket goes is a server to the client: any wave it
        // handed to the sound thread would load the library there.
        QFile socket(soundServerSocket());
        QVERIFY(socket.open(QIODevice::WriteOnly));
        QTemporaryDir dir;
        QStringList told;
        Sound::setObserver([&told](const QString &path) { told.append(path); });
        const auto forget = qScopeGuard([] { Sound::setObserver(nullptr); });
        for (const auto &[bytes, playable] : rows) {
            const QString path = writeFile(dir.filePath(str("sound.wav")), bytes);
            QCOMPARE(Sound::isPlayableWave(path), playable);
            if (!playable)
                Sound::playWave(path);
        }
        QVERIFY(!Sound::isPlayableWave(dir.filePath(QStringLiteral("gone.wav"))));
        Sound::playWave(dir.filePath(QStringLiteral("gone.wav")));
        QVERIFY(socket.remove());
        Sound::playWave(writeFile(dir.filePath(str("sound.wav")), pcm));
        QCOMPARE(std::pair(told.size(), told.last()),
                 std::pair(qsizetype(8), dir.filePath(str("sound.wav"))));
        Sound::waitForPlayer();
        const QString maps = TestHome::readFile(str("/proc/self/maps"));
        QVERIFY(maps.contains(str("[stack]")) && !maps.contains(str("/libcanberra.so")));
    }

    // A real sound server, started here with a sink that plays into nothing at the pace of a
    // sound card: the wave plays, and a new wave cuts short the one still playing. Should the
    // test be killed, the server ends by itself once nothing has been linked to it for a while.
    void wavesPlayOnARealSoundServer()
    {
        QProcess server;
        // Its warnings (run as root, no session bus) say nothing about the client.
        server.setStandardOutputFile(QProcess::nullDevice());
        server.setStandardErrorFile(QProcess::nullDevice());
        server.start(str("pulseaudio"),
                     str("-n --daemonize=no --exit-idle-time=20 --disable-shm=yes "
                         "-L module-null-sink -L module-native-protocol-unix")
                         .split(QLatin1Char(' ')));
        QVERIFY(server.waitForStarted());
        const auto stop = qScopeGuard([&server] {
            server.terminate();
            server.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(soundServerSocket()), 10000);

        QTemporaryDir dir;
        const QString first = writeFile(dir.filePath(str("first.wav")), wave(1, {}, 30));
        const QString second = writeFile(dir.filePath(str("second.wav")), wave(1, {}, 30));
        Sound::playWave(first);
        QTRY_VERIFY_WITH_TIMEOUT(playing().contains(first), 10000);
        Sound::playWave(second);
        QTRY_VERIFY_WITH_TIMEOUT(!playing().contains(first) && playing().contains(second), 10000);
    }

    // The real program, started as from a terminal without any display: what does not open a
    // window answers and exits by itself.
    void commandLineAnswersWithoutADisplay()
    {
        const QString tryHelp = QStringLiteral("Try 'velmora-client --help'");
        // The arguments (blank-separated); the exit code, and what stdout and stderr hold.
        const std::tuple<const char *, int, QString, QString> rows[] = {
            {"--help-all", 0, QStringLiteral("-platform <name"), {}},
            {"-v", 0, QStringLiteral("velmora-client " VELMORA_VERSION "\n"), {}},
            {"--bogus", 1, {}, QStringLiteral("Unknown option 'bogus'.\n") + tryHelp},
            {"-platform xcb -bogus", 1, {}, tryHelp},
            {"file.txt", 1, {}, QStringLiteral("unexpected argument \"file.txt\"\n") + tryHelp},
            {"", 1, {}, QStringLiteral("no display to show the window on: neither DISPLAY nor")},
        };
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        for (const auto &[arguments, exitCode, out, err] : rows) {
            QProcess client;
            client.setProcessEnvironment(environment);
            client.start(QStringLiteral(VELMORA_CLIENT_EXE),
                         str(arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts));
            QVERIFY(client.waitForFinished(30000));
            const QString printed = QString::fromLocal8Bit(client.readAllStandardOutput());
            const QString complained = QString::fromLocal8Bit(client.readAllStandardError());
            QVERIFY2(client.exitStatus() == QProcess::NormalExit && client.exitCode() == exitCode,
                     arguments);
            QVERIFY2(printed.contains(out) && printed.isEmpty() == out.isEmpty(),
                     qPrintable(printed));
            QVERIFY2(complained.contains(err) && complained.isEmpty() == err.isEmpty(),
                     qPrintable(complained));
        }
    }

    void settings()
    {
        using enum RuntimeError::Number;
        // A conversion, and the value it gives or the error it raises.
        const std::tuple<std::function<int()>, int, int> rows[] = {
            {[] { return toInteger16(str(" 12 "), {}); }, 12, 0},
            {[] { return toInteger16(str("1x"), {}); }, 0, TypeMismatch},
            {[] { return toInteger16(str("40000"), {}); }, 0, Overflow},
            {[] { return toInteger32(str("40000"), {}); }, 40000, 0},
            // The leading number of any text, as far as it goes.
            {[] { return leadingInteger16(str("1abc"), {}); }, 1, 0},
            {[] { return leadingInteger16(str("70000"), {}); }, 0, Overflow},
            {[] { return int(toBoolean(str("-1"), {})); }, 1, 0},
            {[] { return int(toBoolean(str(" tRUE "), {})); }, 1, 0},
            {[] { return int(toBoolean(str(" fALSE "), {})); }, 0, 0},
            {[] { return int(toBoolean(str("yes"), {})); }, 0, TypeMismatch},
        };
        for (const auto &[convert, value, error] : rows) {
            int got = 0;
            const int raised = errorOf([&, c = convert] { got = c(); }).number();
            QCOMPARE(std::pair(raised, got), std::pair(error, value));
        }

        // What an administrator wrote by hand is read afresh each time; a value that does not
        // convert is named in the error with its key. A list saved with commas reads back whole.
        TestHome home;
        TestHome::seed(str("Minimize"), str("0"));
        writeFile(home.settingsFile(), "[Configuration]\nServerPort=1000\nPopUpOnConnect=true\n"
                                       "AlertConnections=a,b\nAlert=maybe\n");
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
        // locale, also once the clock has moved an hour, then a day, and the locale has changed.
        const QString errors = MainModule::errorLogPath();
        writeFile(errors, "earlier run\r\n");
        const QLocale system;
        const auto restore = qScopeGuard([system] { QLocale::setDefault(system); });
        for (int step = 0; step < 4; ++step) {
            if (step == 1 || step == 2)
                Clock::advance(step == 1 ? 3'600'000 : 24 * 3'600'000);
            if (step == 3)
                QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
            const QString before = generalDate(Clock::now());
            gWriteErrorLog(str("frmMain_Load"), str("Type mismatch"));
            const QString after = generalDate(Clock::now());
            const QString date = lastDate(errors);
            QVERIFY2(date == before || date == after, qPrintable(date));
        }
        QVERIFY(TestHome::readFile(errors).startsWith(QLatin1String("earlier run\r\n")));
        QVERIFY(TestHome::readFile(errors).endsWith(
            QLatin1String("\tfrmMain_Load\tType mismatch\r\n")));
        QCOMPARE(TestHome::readFile(errors).count(QLatin1String("\r\n")), 5);
    }

    // A program folder that cannot take the logs (an installed copy's, or one gone between two
    // entries) sends them to a state folder made for this user's eyes alone: the logs hold what
    // users wrote to each other. A program folder is looked at again every 10 s of the clock; one
    // that goes away sends the very next entry to the state folder and is not made again. Neither
    // folder writable (a folder beneath a plain file cannot be made, not even by root), the
    // handlers' error is raised.
    void logsGoToTheStateFolderWhenTheProgramFolderCannotTakeThem()
    {
        TestHome home;
        QTemporaryDir state;
        const QString xdgState = state.path() + QLatin1String("/state");
        const QByteArray saved = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QFile::encodeName(xdgState));
        const auto restore = qScopeGuard([saved] { qputenv("XDG_STATE_HOME", saved); });
        const QString program = home.programFolder() + QLatin1String("/bin");
        MainModule::setProgramFolder(program);
        QCOMPARE(logged("R", "MSG_ACK").number(), 0);
        QVERIFY(QDir().mkpath(program));
        Clock::advance(10'000);
        logged("S", "CMD_USERS");
        QVERIFY(QFileInfo::exists(program + QLatin1String("/clientlog.txt")) &&
                QDir(program).removeRecursively());
        QVERIFY(logged("R", "MSG_ACK").number() == 0 && !QFileInfo::exists(program));
        const QString folder = xdgState + QLatin1String("/velmora");
        const QString activity = folder + QLatin1String("/clientlog.txt");
        QVERIFY(TestHome::readFile(activity).startsWith(MainModule::activityLogHeader()));
        QCOMPARE(TestHome::readFile(activity).count(QLatin1String("\tDataArrival\tMSG_ACK\r\n")),
                 2);
        // No bit for the group or others: 0x77 in Qt's permission flags.
        for (const QString &made : {xdgState, folder, activity})
            QCOMPARE(QFileInfo(made).permissions() & QFile::Permissions::fromInt(0x77),
                     QFile::Permissions());

        QVERIFY(QDir(xdgState).removeRecursively() && QFile(xdgState).open(QIODevice::WriteOnly));
        QCOMPARE(logged("S", "x").number(), int(RuntimeError::PathFileAccess));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
