// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>

class QWidget;

// Window geometry is designed in twips: 1440 to the inch, so 15 to a pixel at 96 dpi. Larger
// logical dpi settings scale the windows with the user's fonts.
namespace Twips {

int toPixels(int twips, double logicalDpi);
int toPixels(int twips, const QWidget *widget);
// Pixels measured on the widget's screen, as twips.
int fromPixels(int pixels, const QWidget *widget);

// Places a control inside its parent's client area.
void place(QWidget *control, int left, int top, int width, int height);

// Gives a window a fixed client area.
void setFixedClientSize(QWidget *window, int width, int height);

// Moves a window to the centre of its screen: (screen - window) / 2 in each direction, by the
// window's outer size. A window not shown yet is centred again once its frame is known.
void centre(QWidget *window);

// The font the windows are designed for: a small sans serif whose texts fit the designed
// control widths (a condensed face where the machine has one), scaled with the dpi.
QFont designFont(double logicalDpi);

} // namespace Twips
