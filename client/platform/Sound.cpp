// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Sound.h"

#include <memory>
#include <QApplication>
#include <QAudioDevice>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QtEndian>
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

bool hasSoundDevice()
{
    static const bool present =
        soundServerReachable() && !QMediaDevices::defaultAudioOutput().isNull();
    return present;
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
    if (file.isFile() && isPlayableWave(path) && hasSoundDevice()) {
        QSoundEffect &sound = effect();
        sound.stop();
        sound.setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
        sound.play();
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
