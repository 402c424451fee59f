// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <QString>

// The beep and the wave files of the alerts. Both return at once; a sound that cannot be
// played is silently not played.
namespace Sound {

void beep();
void playWave(const QString &path);

// A RIFF wave file whose samples are plain PCM or floating point: the kinds that play. Any
// other file is left alone rather than handed to the player to fail.
bool isPlayableWave(const QString &path);

// Test seam: told of every request, after the request itself has been made. An empty path
// stands for a beep.
using Observer = std::function<void(const QString &wavePath)>;
void setObserver(Observer observer);

// Test seam: returns once the sound thread has done with every wave handed to it, played or not.
void waitForPlayer();

} // namespace Sound
