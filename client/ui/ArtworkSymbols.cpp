// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Artwork.h"
#include "MessageBox.h"

#include <algorithm>
#include <QFont>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

namespace {

// Every symbol is designed on a 32 x 32 grid and scaled to the rectangle it is painted in.
constexpr qreal Grid = 32.0;

const QColor outline(80, 80, 80);
const QColor symbolBlue(0, 70, 200);

QPainterPath balloon()
{
    QPainterPath body;
    body.addEllipse(QRectF(1.5, 1.5, 29, 23));
    QPainterPath tail;
    tail.moveTo(8, 20);
    tail.lineTo(5, 30.5);
    tail.lineTo(15, 23);
    tail.closeSubpath();
    return body.united(tail);
}

void drawBalloon(QPainter &p)
{
    QLinearGradient fill(0, 1.5, 0, 30);
    fill.setColorAt(0, Qt::white);
    fill.setColorAt(1, QColor(220, 228, 240));
    p.setPen(QPen(outline, 1));
    p.setBrush(fill);
    p.drawPath(balloon());
}

void drawStop(QPainter &p)
{
    QRadialGradient fill(QPointF(12, 10), 20);
    fill.setColorAt(0, QColor(255, 90, 80));
    fill.setColorAt(1, QColor(190, 0, 0));
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.5, 10.5), QPointF(21.5, 21.5));
    p.drawLine(QPointF(21.5, 10.5), QPointF(10.5, 21.5));
}

void drawQuestion(QPainter &p)
{
    drawBalloon(p);
    QPainterPath hook;
    hook.moveTo(11.5, 9.5);
    hook.cubicTo(11.5, 5, 20.5, 5, 20.5, 9.5);
    hook.cubicTo(20.5, 12.5, 16, 12.5, 16, 16);
    p.setPen(QPen(symbolBlue, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(symbolBlue);
    p.drawEllipse(QPointF(16, 20.5), 2, 2);
}

void drawExclamation(QPainter &p)
{
    QPainterPath triangle;
    triangle.moveTo(16, 2);
    triangle.lineTo(30.5, 28.5);
    triangle.lineTo(1.5, 28.5);
    triangle.closeSubpath();
    QLinearGradient fill(0, 2, 0, 28.5);
    fill.setColorAt(0, QColor(255, 236, 90));
    fill.setColorAt(1, QColor(240, 190, 0));
    p.setPen(QPen(QColor(120, 90, 0), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(triangle);
    p.setPen(QPen(Qt::black, 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 10.5), QPointF(16, 19));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(16, 24), 1.9, 1.9);
}

void drawInformation(QPainter &p)
{
    drawBalloon(p);
    p.setPen(Qt::NoPen);
    p.setBrush(symbolBlue);
    p.drawEllipse(QPointF(16, 6.5), 2.2, 2.2);
    QPainterPath stem;
    stem.addRoundedRect(QRectF(14, 10.5, 4, 10), 0.8, 0.8);
    stem.addRect(QRectF(12, 10.5, 3, 2));
    stem.addRoundedRect(QRectF(12, 18.5, 8, 2.2), 0.8, 0.8);
    p.drawPath(stem.simplified());
}

class SymbolEngine : public QIconEngine
{
public:
    explicit SymbolEngine(int style)
        : m_style(style)
    {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal side = std::min(rect.width(), rect.height());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.x() + (rect.width() - side) / 2,
                           rect.y() + (rect.height() - side) / 2);
        painter->scale(side / Grid, side / Grid);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.45);
        switch (m_style) {
        case MessageBox::Critical:
            drawStop(*painter);
            break;
        case MessageBox::Question:
            drawQuestion(*painter);
            break;
        case MessageBox::Exclamation:
            drawExclamation(*painter);
            break;
        default:
            drawInformation(*painter);
            break;
        }
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // The size comes in device pixels already; the scale only marks the pixmap's ratio.
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter p(&pixmap);
            paint(&p, QRect(QPoint(), size), mode, state);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QIconEngine *clone() const override { return new SymbolEngine(m_style); }
    QString key() const override { return QStringLiteral("VelmoraSymbol"); }

private:
    int m_style;
};

} // namespace

QIcon Artwork::messageSymbol(int style)
{
    if (style != 16 && style != 32 && style != 48 && style != 64)
        return QIcon();
    return QIcon(new SymbolEngine(style));
}
