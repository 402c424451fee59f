#include "Sound.h"
#include "SoundPlayer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool soundModuleLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(SoundModuleName);
}

// A tenth of a second of silence: 8 kHz, 8-bit mono PCM.
QByteArray silentWave()
{
    const auto le32 = [](quint32 v) {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = char((v >> (8 * i)) & 0xff);
        return bytes;
    };
    const QByteArray samples(800, char(0x80));
    return "RIFF" + le32(36 + quint32(samples.size())) + "WAVEfmt " + le32(16) +
           QByteArray("\x01\x00\x01\x00", 4) + le32(8000) + le32(8000) +
           QByteArray("\x01\x00\x08\x00", 4) + "data" + le32(quint32(samples.size())) + samples;
}

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void multimediaLoadsWithTheFirstWave()
    {
        QStringList requests;
        Sound::setObserver([&](const QString &path) { requests.append(path); });
        QVERIFY(!soundModuleLoaded());
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("missing.wav"));
        Sound::playWave(missing);
        QVERIFY(!soundModuleLoaded());

        const QString wave = dir.filePath(QStringLiteral("silence.wav"));
        QFile file(wave);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(silentWave());
        file.close();
        Sound::playWave(wave);
        QVERIFY(soundModuleLoaded());
        QCOMPARE(requests, QStringList({missing, wave}));
        Sound::setObserver(nullptr);
    }
};

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
