#include "Sound.h"

#include <memory>
#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace {

Sound::Observer observer;

// One effect, kept alive: an effect reports "playing" for ever when no audio device exists,
// so nothing may wait for it, and destroying it mid-play would cut the sound short.
QSoundEffect &effect()
{
    static auto *instance = new QSoundEffect(qApp);
    return *instance;
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
        QSoundEffect &sound = effect();
        sound.stop();
        sound.setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
        sound.play();
    }
    if (observer)
        observer(path);
}

void setObserver(Observer o)
{
    observer = std::move(o);
}

} // namespace Sound
