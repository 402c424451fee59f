// The part of the sounds that needs Qt Multimedia, built as a module of its own that Sound
// loads with the first wave it plays: the library and the sound system's client libraries it
// brings would otherwise cost every run memory and start-up time, and most runs play nothing.

#include "SoundPlayer.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace {

// One effect, kept alive: an effect reports "playing" for ever when no audio device exists,
// so nothing may wait for it, and destroying it mid-play would cut the sound short.
QSoundEffect &effect()
{
    static auto *instance = new QSoundEffect(QCoreApplication::instance());
    return *instance;
}

} // namespace

extern "C" Q_DECL_EXPORT void velmoraPlayWave(const QString &absolutePath)
{
    // A sound server without an output device would only fill the log with complaints.
    static const bool hasDevice = !QMediaDevices::defaultAudioOutput().isNull();
    if (!hasDevice)
        return;
    QSoundEffect &sound = effect();
    sound.stop();
    sound.setSource(QUrl::fromLocalFile(absolutePath));
    sound.play();
}
