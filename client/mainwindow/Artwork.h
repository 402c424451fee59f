#pragma once

#include <QIcon>
#include <QPixmap>

// The program's pictures, drawn rather than shipped: the four state icons of the notification
// area, the logo and the application icon.
namespace Artwork {

// 16 x 16: a silver panel with an upper lamp (S, the link) and a lower lamp (M, the modem).
// 0: both grey; 1: S green; 2: S green, M yellow; 3: S green, M red.
QPixmap stateIcon(int iState);

// 45 x 45.
QPixmap logo();

QIcon applicationIcon();

} // namespace Artwork
