// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QPixmap>

// The program's pictures: the four state icons of the notification area, drawn; the application
// icon and the logo, the installed icon's renderings.
namespace Artwork {

// 16 x 16: a silver panel with an upper lamp (S, the link) and a lower lamp (M, the modem).
// 0: both grey; 1: S green; 2: S green, M yellow; 3: S green, M red.
QPixmap stateIcon(int iState);

// The program's picture, the panel of the installed icon, at every size it is drawn in.
QIcon applicationIcon();

constexpr int LogoSide = 45;
// The program's picture at 45 x 45.
QPixmap logo();

// The symbols of the message boxes, by the platform's style numbers: 16 stop (a white cross on
// a red disc), 32 question (a balloon with a blue question mark), 48 exclamation (a yellow
// triangle), 64 information (a balloon with a blue letter i). Drawn from paths at whatever size
// is asked for, so they stay sharp at any scale. Any other number gives a null icon.
QIcon messageSymbol(int style);

} // namespace Artwork
