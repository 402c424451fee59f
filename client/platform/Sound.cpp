#include "Sound.h"

#include "SoundPlayer.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibrary>

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
    if (file.isFile() && file.isReadable()) {
        if (const PlayWaveFunction play = waveModule())
            play(file.absoluteFilePath());
    }
    if (observer)
        observer(path);
}

void setObserver(Observer o)
{
    observer = std::move(o);
}

} // namespace Sound
