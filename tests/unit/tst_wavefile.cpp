// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Sound.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
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
    return body;
}

QByteArray riff(const char *kind, const QByteArray &chunks)
{
    return QByteArray("RIFF") + u32(quint32(4 + chunks.size())) + QByteArray(kind) + chunks;
}

QByteArray pcmWave()
{
    return riff("WAVE", chunk("fmt ", format(1)) + chunk("data", QByteArray(1600, '\0')));
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
};

QTEST_GUILESS_MAIN(TestWaveFile)
#include "tst_wavefile.moc"
