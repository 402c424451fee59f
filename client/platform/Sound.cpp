#include "Sound.h"

#include "SoundPlayer.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QtEndian>

namespace {

Sound::Observer observer;

// The sound module, loaded with the first wave played and kept: beside the program, or in
// ../lib/velmora when the program sits in a bin folder. Without it no wave plays.
PlayWaveFunction waveModule()
{
    static const PlayWaveFunction play = [] {
        const QString folder = QCoreApplication::applicationDirPath();
        const QString name = QLatin1String(SoundModuleName);
        QString error;
        for (const QString &path : {folder + QLatin1Char('/') + name,
                                    folder + QLatin1String("/../lib/velmora/") + name}) {
            QLibrary module(path);
            if (const QFunctionPointer entry = module.resolve(PlayWaveSymbol))
                return reinterpret_cast<PlayWaveFunction>(entry);
            error += QLatin1Char('\n') + module.errorString();
        }
        qWarning("Wave files cannot be played:%s", qPrintable(error));
        return PlayWaveFunction{};
    }();
    return play;
}

// The desktop's sound server (PulseAudio, or PipeWire speaking its protocol). Without one,
// asking the audio layer for a device only fills the log with complaints and plays nothing.
bool soundServerReachable()
{
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return true;
    const QString runtime = qEnvironmentVariableIsEmpty("PULSE_RUNTIME_PATH")
                                ? qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1String("/pulse")
                                : qEnvironmentVariable("PULSE_RUNTIME_PATH");
    return QFileInfo::exists(runtime + QLatin1String("/native"));
}

} // namespace

namespace Sound {

void beep()
{
    QApplication::beep();
    if (observer)
        observer(QString());
}

void playWave(const QString &path)
{
    const QFileInfo file(path);
    if (file.isFile() && isPlayableWave(path) && soundServerReachable()) {
        if (const PlayWaveFunction play = waveModule())
            play(file.absoluteFilePath());
    }
    if (observer)
        observer(path);
}

bool isPlayableWave(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return false;
    for (;;) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            return false;
        const quint32 size = qFromLittleEndian<quint32>(chunk.constData() + 4);
        if (chunk.startsWith("fmt ")) {
            // The format's sixteen bytes: tag, channels, rates, block size and sample size.
            const QByteArray format = file.read(16);
            if (size < 16 || format.size() < 16)
                return false;
            const quint16 tag = qFromLittleEndian<quint16>(format.constData());
            return tag == 1 || tag == 3 || tag == 0xFFFE;
        }
        if (!file.seek(file.pos() + size + (size & 1)))
            return false;
    }
}

void setObserver(Observer o)
{
    observer = std::move(o);
}

} // namespace Sound
