#pragma once

#include <QString>

// The sound module, which holds all of the program's use of Qt Multimedia.
inline constexpr const char *SoundModuleName = "velmora-sound.so";

// Its one entry point: starts playing the wave file and returns at once.
inline constexpr const char *PlayWaveSymbol = "velmoraPlayWave";
using PlayWaveFunction = void (*)(const QString &absolutePath);
extern "C" void velmoraPlayWave(const QString &absolutePath);
