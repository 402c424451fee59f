// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Artwork.h"

#include <algorithm>
#include <QFont>
#include <QPainter>

namespace {

const QColor grey(128, 128, 128);
const QColor green(0, 255, 0);
const QColor yellow(255, 255, 0);
const QColor red(255, 0, 0);
const QColor silver(192, 192, 192);
const QColor darkGrey(64, 64, 64);

void drawLamp(QPainter &p, int x, int y, const QColor &colour)
{
    p.setPen(Qt::black);
    p.setBrush(colour);
    p.drawEllipse(x, y, 5, 5);
}

} // namespace

namespace Artwork {

QPixmap stateIcon(int iState)
{
    const int state = std::clamp(iState, 0, 3);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.fillRect(1, 1, 14, 14, silver);
    p.setPen(Qt::white);
    p.drawLine(1, 1, 14, 1);
    p.setPen(darkGrey);
    p.drawLine(1, 1, 1, 14);
    QFont font = p.font();
    font.setPixelSize(6);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(3, 2, 5, 6), Qt::AlignCenter, QStringLiteral("S"));
    p.drawText(QRect(3, 8, 5, 6), Qt::AlignCenter, QStringLiteral("M"));
    drawLamp(p, 8, 2, state >= 1 ? green : grey);
    drawLamp(p, 8, 8, state == 2 ? yellow : state == 3 ? red : grey);
    return pixmap;
}

QIcon applicationIcon()
{
    // The installed icon's own renderings: the menu, the windows, the tray's menu and the logo
    // show one picture.
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/velmora/icons/%1x%1/velmora-client.png").arg(side),
                     QSize(side, side));
    return icon;
}

QPixmap logo()
{
    return applicationIcon().pixmap(QSize(LogoSide, LogoSide));
}

} // namespace Artwork
