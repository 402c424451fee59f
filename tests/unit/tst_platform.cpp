// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Alphabetical.h"
#include "Clock.h"
#include "EventWait.h"
#include "Sound.h"

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

QString writeFile(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    QFile file(dir.filePath(QLatin1String(name)));
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

} // namespace

// The client's platform layer: its clock, its waits, its sort order and its sounds, and the
// program's command line. How much processor time a wait costs is measured by bench_event_wait,
// not here.
class TestPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
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
        bool outer = false;
        bool inner = false;
        bool innerEndedAfterOuter = false;
        int asked = 0;
        QTimer::singleShot(10, &scope, [&] {
            QTimer::singleShot(10, &scope, [&] { outer = true; });
            QTimer::singleShot(60, &scope, [&] { inner = true; });
            innerEndedAfterOuter =
                EventWait::waitUntil([&] { return inner; }, 5, Clock::secsSinceEpoch()) && outer;
        });
        const qint64 start = Clock::secsSinceEpoch();
        QVERIFY(EventWait::waitUntil([&] { return ++asked > 0 && outer && inner; }, 10, start));
        QVERIFY(innerEndedAfterOuter);
        QVERIFY(Clock::msecsSinceEpoch() < (start + 10) * 1000);
        QVERIFY2(asked <= 10, qPrintable(QString::number(asked)));
    }

    void waitSleepsUntilItsDeadline()
    {
        // Starting within a second, a 1-second limit ends at the next boundary of the clock.
        int asked = 0;
        const qint64 start = Clock::secsSinceEpoch();
        QVERIFY(!EventWait::waitUntil([&] { return ++asked > 1000; }, 1, start));
        QVERIFY(Clock::msecsSinceEpoch() >= (start + 1) * 1000);
        QVERIFY2(asked <= 10, qPrintable(QString::number(asked)));
        // A limit of 0 or less runs no pass at all (it never turns into no limit), but the
        // condition is still asked first.
        asked = 0;
        QVERIFY(!EventWait::waitUntil([&] { return ++asked > 5; }, 0, start));
        QVERIFY(!EventWait::waitUntil([&] { return ++asked > 5; }, -5, start));
        QCOMPARE(asked, 2);
        // The clock moved past the deadline ends a wait at once, not ten seconds later.
        const QObject scope;
        QTimer::singleShot(20, &scope, [] { Clock::advance(10'000); });
        QElapsedTimer wall;
        wall.start();
        QVERIFY(!EventWait::waitUntil([] { return false; }, 10, Clock::secsSinceEpoch()));
        QVERIFY(wall.elapsed() < 9000);
    }

    void sortsByTheAlphabetIgnoringCase()
    {
        // Names, and the same sorted: case alone decides last, digits come before letters, a
        // prefix first. That capitals do not come first the configure dialog's test shows.
        const std::pair<const char *, const char *> rows[] = {
            {"office Office OFFICE", "OFFICE Office office"},
            {"b 2 a 10", "10 2 a b"},
            {"Officer Office", "Office Officer"},
        };
        for (const auto &[names, sorted] : rows) {
            QStringList list = QString::fromLatin1(names).split(QLatin1Char(' '));
            Alphabetical::sort(list);
            QCOMPARE(list.join(QLatin1Char(' ')), QLatin1String(sorted));
        }
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
            const QString path = writeFile(dir, "sound.wav", bytes);
            QCOMPARE(Sound::isPlayableWave(path), playable);
            if (!playable)
                Sound::playWave(path);
        }
        QVERIFY(!Sound::isPlayableWave(dir.filePath(QStringLiteral("gone.wav"))));
        Sound::playWave(dir.filePath(QStringLiteral("gone.wav")));
        QVERIFY(socket.remove());
        Sound::playWave(writeFile(dir, "sound.wav", pcm));
        QCOMPARE(told.size(), 8);
        QCOMPARE(told.last(), dir.filePath(QStringLiteral("sound.wav")));
        Sound::waitForPlayer();
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("/libcanberra.so"));
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
        server.start(QStringLiteral("pulseaudio"),
                     {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                      QStringLiteral("--exit-idle-time=20"), QStringLiteral("--disable-shm=yes"),
                      QStringLiteral("-L"), QStringLiteral("module-null-sink"),
                      QStringLiteral("-L"), QStringLiteral("module-native-protocol-unix")});
        QVERIFY(server.waitForStarted());
        const auto stop = qScopeGuard([&server] {
            server.terminate();
            server.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(soundServerSocket()), 10000);

        QTemporaryDir dir;
        const QString first = writeFile(dir, "first.wav", wave(1, {}, 30));
        const QString second = writeFile(dir, "second.wav", wave(1, {}, 30));
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
            {"",
             1,
             {},
             QStringLiteral("no display to show the window on: neither DISPLAY nor "
                            "WAYLAND_DISPLAY is set\n")},
        };
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        for (const auto &[arguments, exitCode, out, err] : rows) {
            QProcess client;
            client.setProcessEnvironment(environment);
            client.start(
                QStringLiteral(VELMORA_CLIENT_EXE),
                QString::fromLatin1(arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts));
            QVERIFY(client.waitForFinished(30000));
            const QString printed = QString::fromLocal8Bit(client.readAllStandardOutput());
            const QString complained = QString::fromLocal8Bit(client.readAllStandardError());
            QCOMPARE(client.exitStatus(), QProcess::NormalExit);
            QVERIFY2(client.exitCode() == exitCode, arguments);
            QVERIFY2(printed.contains(out) && printed.isEmpty() == out.isEmpty(),
                     qPrintable(printed));
            QVERIFY2(complained.contains(err) && complained.isEmpty() == err.isEmpty(),
                     qPrintable(complained));
        }
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
