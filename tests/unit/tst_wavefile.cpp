// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Sound.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

namespace {

QByteArray u32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char *id, const QByteArray &body)
{
    QByteArray bytes = QByteArray(id) + u32(quint32(body.size())) + body;
    if (body.size() % 2 != 0)
        bytes.append('\0');
    return bytes;
}

// A "fmt " body for one channel at 8 kHz, 16 bits, with the given format tag.
QByteArray format(quint16 tag)
{
    QByteArray body(16, '\0');
    qToLittleEndian(tag, body.data());
    qToLittleEndian<quint16>(1, body.data() + 2);
    qToLittleEndian<quint32>(8000, body.data() + 4);
    qToLittleEndian<quint32>(16000, body.data() + 8);
    qToLittleEndian<quint16>(2, body.data() + 12);
    qToLittleEndian<quint16>(16, body.data() + 14);
    return body;
}

QByteArray riff(const char *kind, const QByteArray &chunks)
{
    return QByteArray("RIFF") + u32(quint32(4 + chunks.size())) + QByteArray(kind) + chunks;
}

// Silence of the given length at 8 kHz, 16 bits, one channel.
QByteArray pcmWave(int seconds = 0)
{
    return riff("WAVE", chunk("fmt ", format(1)) +
                            chunk("data", QByteArray(seconds > 0 ? 16000 * seconds : 1600, '\0')));
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

bool soundLibraryLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libcanberra.so");
}

// Where the desktop's sound server listens for the user's programs.
QString soundServerSocket()
{
    return qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/pulse/native");
}

// The files of the streams the sound server is playing.
QStringList playingFiles()
{
    QProcess list;
    list.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!list.waitForFinished() || list.exitCode() != 0)
        return {};
    QStringList files;
    static const QRegularExpression file(QStringLiteral("media\\.filename = \"([^\"]*)\""));
    for (const QRegularExpressionMatch &match : file.globalMatch(QString::fromUtf8(list.readAll())))
        files.append(match.captured(1));
    return files;
}

} // namespace

class TestWaveFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(QFileInfo(soundServerSocket()).path()));
        QLocalServer::removeServer(soundServerSocket());
    }

    void playableWaves_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("playable");
        const QByteArray data = chunk("data", QByteArray(64, '\0'));
        QTest::newRow("pcm") << riff("WAVE", chunk("fmt ", format(1)) + data) << true;
        QTest::newRow("float") << riff("WAVE", chunk("fmt ", format(3)) + data) << true;
        QTest::newRow("extensible") << riff("WAVE", chunk("fmt ", format(0xFFFE)) + data) << true;
        QTest::newRow("odd-sized chunk before the format")
            << riff("WAVE", chunk("LIST", "abc") + chunk("fmt ", format(1)) + data) << true;
        QTest::newRow("adpcm") << riff("WAVE", chunk("fmt ", format(2)) + data) << false;
        QTest::newRow("mp3 in a wave") << riff("WAVE", chunk("fmt ", format(0x55)) + data) << false;
        QTest::newRow("no format chunk") << riff("WAVE", data) << false;
        QTest::newRow("riff of another kind") << riff("AVI ", chunk("fmt ", format(1))) << false;
        QTest::newRow("cut short") << riff("WAVE", chunk("fmt ", format(1))).left(22) << false;
        QTest::newRow("text") << QByteArray("not a wave at all") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void playableWaves()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, playable);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("sound.wav")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        QCOMPARE(Sound::isPlayableWave(file.fileName()), playable);
    }

    void missingFileIsNotPlayable()
    {
        QTemporaryDir dir;
        QVERIFY(!Sound::isPlayableWave(dir.filePath(QStringLiteral("gone.wav"))));
        QVERIFY(!Sound::isPlayableWave(dir.path()));
    }

    // The sound library is loaded with the first wave played, and only for a wave that can
    // play on a sound server that is there: until then the program does not pay for it.
    void nothingLoadedWithoutAWaveAndAServer_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("serverListening");
        QTest::newRow("text, server there") << QByteArray("not a wave at all") << true;
        QTest::newRow("adpcm wave, server there")
            << riff("WAVE", chunk("fmt ", format(2)) + chunk("data", "ab")) << true;
        QTest::newRow("empty file, server there") << QByteArray() << true;
        QTest::newRow("pcm wave, no server") << pcmWave() << false;
    }
    void nothingLoadedWithoutAWaveAndAServer()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, serverListening);
        QLocalServer server;
        if (serverListening)
            QVERIFY(server.listen(soundServerSocket()));
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("alert.wav"), bytes);
        QStringList told;
        Sound::setObserver([&told](const QString &wave) { told.append(wave); });
        Sound::playWave(path);
        Sound::playWave(dir.filePath(QStringLiteral("gone.wav")));
        Sound::setObserver(nullptr);
        QCOMPARE(told, QStringList({path, dir.filePath(QStringLiteral("gone.wav"))}));
        QVERIFY(!soundLibraryLoaded());
        QVERIFY(!server.hasPendingConnections());
    }

    // A stand-in for the sound server that takes the connection and hangs up at once, as a
    // server does that stops or restarts: every wave still reaches the server, the one after
    // a failure too, and nothing is reported.
    void wavesGoToTheSoundServer()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QLocalServer server;
        QVERIFY(server.listen(soundServerSocket()));
        QSignalSpy connections(&server, &QLocalServer::newConnection);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("alert.wav"), pcmWave());
        for (int wave = 1; wave <= 2; ++wave) {
            Sound::playWave(path);
            QVERIFY(connections.wait(30000));
            std::unique_ptr<QLocalSocket> link(server.nextPendingConnection());
            QVERIFY(link);
            link->abort();
        }
        QVERIFY(soundLibraryLoaded());
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
        const QString first = writeFile(dir, QStringLiteral("first.wav"), pcmWave(30));
        const QString second = writeFile(dir, QStringLiteral("second.wav"), pcmWave(30));
        Sound::playWave(first);
        QTRY_COMPARE_WITH_TIMEOUT(playingFiles(), QStringList{first}, 10000);
        Sound::playWave(second);
        QTRY_COMPARE_WITH_TIMEOUT(playingFiles(), QStringList{second}, 10000);
    }
};

QTEST_GUILESS_MAIN(TestWaveFile)
#include "tst_wavefile.moc"
