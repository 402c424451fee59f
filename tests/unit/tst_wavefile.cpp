// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Sound.h"

#include <QFile>
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

} // namespace

class TestWaveFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
};

QTEST_APPLESS_MAIN(TestWaveFile)
#include "tst_wavefile.moc"
