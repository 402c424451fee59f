// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Twips.h"

#include <cmath>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace Twips {

int toPixels(int twips, double logicalDpi)
{
    return static_cast<int>(std::lround(twips * logicalDpi / 1440.0));
}

namespace {

double logicalDpi(const QWidget *widget)
{
    const QScreen *screen =
        widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

} // namespace

int toPixels(int twips, const QWidget *widget)
{
    return toPixels(twips, logicalDpi(widget));
}

int fromPixels(int pixels, const QWidget *widget)
{
    return static_cast<int>(std::lround(pixels * 1440.0 / logicalDpi(widget)));
}

void place(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(toPixels(left, control), toPixels(top, control), toPixels(width, control),
                         toPixels(height, control));
}

void setFixedClientSize(QWidget *window, int width, int height)
{
    window->setFixedSize(toPixels(width, window), toPixels(height, window));
}

namespace {

void centreByFrame(QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize outer = window->frameGeometry().size();
    window->move(area.x() + (area.width() - outer.width()) / 2,
                 area.y() + (area.height() - outer.height()) / 2);
}

bool frameKnown(const QWidget *window)
{
    return window->isVisible() && window->frameGeometry().size() != window->size();
}

// Before a window first shows, its frame is unknown and the window system adds it later; a
// window centred by its inner size alone would land half a frame off. This centres it once
// more as soon as the frame is known.
class CentreWhenFramed : public QObject
{
public:
    static constexpr const char *Name = "centreWhenFramed";

    explicit CentreWhenFramed(QWidget *window)
        : QObject(window)
    {
        setObjectName(QLatin1String(Name));
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        auto *window = static_cast<QWidget *>(watched);
        if ((type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show ||
             type == QEvent::Expose) &&
            frameKnown(window)) {
            window->removeEventFilter(this);
            centreByFrame(window);
        }
        return false;
    }
};

} // namespace

void centre(QWidget *window)
{
    centreByFrame(window);
    if (!frameKnown(window) && !window->findChild<QObject *>(QLatin1String(CentreWhenFramed::Name),
                                                             Qt::FindDirectChildrenOnly))
        new CentreWhenFramed(window);
}

} // namespace Twips

QFont Twips::designFont(double logicalDpi)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow"),
                      QStringLiteral("Sans Serif")});
    font.setPixelSize(static_cast<int>(std::lround(10 * logicalDpi / 96.0)));
    return font;
}
