// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Sound.h"

#include <canberra.h>
#include <condition_variable>
#include <dlfcn.h>
#include <mutex>
#include <optional>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <string>
#include <system_error>
#include <thread>

namespace {

Sound::Observer observer;

// The desktop's sound server (PulseAudio, or PipeWire speaking its protocol). Without one the
// sound library would try the sound card directly, and ALSA writes its complaints to stderr.
bool soundServerReachable()
{
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return true;
    const QString runtime = qEnvironmentVariableIsEmpty("PULSE_RUNTIME_PATH")
                                ? qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1String("/pulse")
                                : qEnvironmentVariable("PULSE_RUNTIME_PATH");
    return QFileInfo::exists(runtime + QLatin1String("/native"));
}

struct Request
{
    std::string file;
    std::string application;
};

// Plays the waves through libcanberra, the desktop's event-sound library. It is opened with the
// first wave, not linked: linked, it and the libraries it needs (Vorbis, Ogg, its cache's
// database, a module loader) would be loaded at every start for a sound most runs never play.
// A thread of its own talks to the sound server, so a server that is slow to answer never holds
// up the windows; a wave asked for while another is on its way replaces the one still waiting.
class Player
{
public:
    // Never destroyed: when the program ends, the thread may still be inside the sound library.
    static Player &instance()
    {
        static auto *player = new Player;
        return *player;
    }

    void request(Request wave)
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(wave);
        if (!m_started) {
            try {
                std::thread([this] { run(); }).detach();
                m_started = true;
            } catch (const std::system_error &) {
                m_pending.reset();
            }
        }
        m_wake.notify_one();
    }

    void waitUntilIdle()
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return !m_pending && !m_playing; });
    }

private:
    // The one wave id: each wave cuts short the one before, as a new alert should.
    static constexpr uint32_t WaveId = 1;
    static constexpr const char *LibraryName = "libcanberra.so.0";

    [[noreturn]] void run()
    {
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_pending.has_value(); });
            const Request wave = std::move(*m_pending);
            m_pending.reset();
            m_playing = true;
            lock.unlock();
            play(wave);
            lock.lock();
            m_playing = false;
            m_idle.notify_all();
        }
    }

    bool load()
    {
        if (m_library)
            return true;
        if (m_unavailable)
            return false;
        m_library = dlopen(LibraryName, RTLD_NOW | RTLD_LOCAL);
        if (m_library) {
            m_create = symbol<decltype(&ca_context_create)>("ca_context_create");
            m_setDriver = symbol<decltype(&ca_context_set_driver)>("ca_context_set_driver");
            m_changeProps = symbol<decltype(&ca_context_change_props)>("ca_context_change_props");
            m_cancel = symbol<decltype(&ca_context_cancel)>("ca_context_cancel");
            m_play = symbol<decltype(&ca_context_play)>("ca_context_play");
            m_destroy = symbol<decltype(&ca_context_destroy)>("ca_context_destroy");
        }
        if (m_create && m_setDriver && m_changeProps && m_cancel && m_play && m_destroy)
            return true;
        m_unavailable = true;
        return false;
    }

    template <typename Function> Function symbol(const char *name)
    {
        return reinterpret_cast<Function>(dlsym(m_library, name));
    }

    // Only the sound server's back end: the library's others open the sound card directly.
    // The context connects to the server when a wave plays, and again for the next wave when
    // the server was not there or has gone since.
    bool prepare(const std::string &application)
    {
        if (m_context)
            return true;
        if (!load() || m_create(&m_context) != CA_SUCCESS)
            return false;
        if (m_setDriver(m_context, "pulse") == CA_SUCCESS &&
            m_changeProps(m_context, CA_PROP_APPLICATION_NAME, application.c_str(), nullptr) ==
                CA_SUCCESS)
            return true;
        m_destroy(m_context);
        m_context = nullptr;
        return false;
    }

    void play(const Request &wave)
    {
        if (!prepare(wave.application))
            return;
        m_cancel(m_context, WaveId);
        m_play(m_context, WaveId, CA_PROP_MEDIA_FILENAME, wave.file.c_str(), nullptr);
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::optional<Request> m_pending;
    bool m_playing = false;
    bool m_started = false;

    // Touched by the thread alone.
    void *m_library = nullptr;
    bool m_unavailable = false;
    ca_context *m_context = nullptr;
    decltype(&ca_context_create) m_create = nullptr;
    decltype(&ca_context_set_driver) m_setDriver = nullptr;
    decltype(&ca_context_change_props) m_changeProps = nullptr;
    decltype(&ca_context_cancel) m_cancel = nullptr;
    decltype(&ca_context_play) m_play = nullptr;
    decltype(&ca_context_destroy) m_destroy = nullptr;
};

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
        Player::instance().request({QFile::encodeName(file.absoluteFilePath()).toStdString(),
                                    QGuiApplication::applicationDisplayName().toStdString()});
    }
    if (observer)
        observer(path);
}

void waitForPlayer()
{
    Player::instance().waitUntilIdle();
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
