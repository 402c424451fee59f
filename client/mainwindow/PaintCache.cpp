// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PaintCache.h"

#include <algorithm>
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>

namespace {

// The palette the twin paints with: every group as the control's current one, since the twin,
// never shown, paints with its active group.
QPalette twinPalette(const QWidget *widget)
{
    QPalette palette = widget->palette();
    const QPalette::ColorGroup current = palette.currentColorGroup();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        const QBrush brush = palette.brush(current, r);
        palette.setBrush(QPalette::Active, r, brush);
        palette.setBrush(QPalette::Inactive, r, brush);
        palette.setBrush(QPalette::Disabled, r, brush);
    }
    return palette;
}

void copyLabel(const QLabel *from, QLabel *to)
{
    to->setTextFormat(from->textFormat());
    to->setAlignment(from->alignment());
    to->setWordWrap(from->wordWrap());
    to->setMargin(from->margin());
    to->setIndent(from->indent());
    to->setFrameStyle(from->frameStyle());
    to->setLineWidth(from->lineWidth());
    to->setContentsMargins(from->contentsMargins());
    to->setText(from->text());
}

void copyButton(const QPushButton *from, QPushButton *to)
{
    to->setFlat(from->isFlat());
    to->setCheckable(from->isCheckable());
    to->setChecked(from->isChecked());
    to->setIcon(from->icon());
    to->setIconSize(from->iconSize());
    to->setText(from->text());
}

} // namespace

void PaintCache::install(QWidget *widget)
{
    widget->installEventFilter(new PaintCache(widget));
}

PaintCache::PaintCache(QWidget *widget)
    : QObject(widget)
    , m_widget(widget)
{}

PaintCache::~PaintCache() = default;

bool PaintCache::Look::operator==(const Look &other) const
{
    return text == other.text && size == other.size && pixelRatio == other.pixelRatio &&
           enabled == other.enabled && style == other.style && backdrop == other.backdrop &&
           colorGroup == other.colorGroup && font == other.font && palette == other.palette;
}

// Focus, hover, pressing and a dialog's (auto-)default button show in the picture, and a style
// sheet or a picture label may draw anything: those paint as usual.
bool PaintCache::paintsItself() const
{
    if (m_widget->hasFocus() || m_widget->underMouse() ||
        m_widget->testAttribute(Qt::WA_StyleSheet) || m_widget->autoFillBackground())
        return true;
    if (const auto *button = qobject_cast<const QPushButton *>(m_widget))
        return button->isDown() || button->isDefault() || button->autoDefault() || button->menu();
    const auto *label = qobject_cast<const QLabel *>(m_widget);
    return !label || label->textFormat() == Qt::RichText || !label->pixmap().isNull() ||
           label->movie() || !label->picture().isNull();
}

PaintCache::Look PaintCache::currentLook() const
{
    Look look;
    if (const auto *button = qobject_cast<const QPushButton *>(m_widget))
        look.text = button->text();
    else
        look.text = static_cast<const QLabel *>(m_widget)->text();
    look.size = m_widget->size();
    look.font = m_widget->font();
    look.palette = m_widget->palette();
    look.colorGroup = look.palette.currentColorGroup();
    look.style = m_widget->style();
    look.pixelRatio = m_widget->devicePixelRatioF();
    look.enabled = m_widget->isEnabled();
    look.backdrop = plainBackdrop();
    return look;
}

// The colour the window paints behind the control, when it is one opaque colour and no other
// control lies under this one.
QColor PaintCache::plainBackdrop() const
{
    const QWidget *parent = m_widget->parentWidget();
    if (!parent)
        return {};
    for (const QObject *child : parent->children()) {
        const auto *sibling = qobject_cast<const QWidget *>(child);
        if (sibling && sibling != m_widget && sibling->isVisible() && !sibling->isWindow() &&
            sibling->geometry().intersects(m_widget->geometry()))
            return {};
    }
    const QWidget *painter = parent;
    while (!painter->isWindow() && !painter->autoFillBackground()) {
        if (painter->testAttribute(Qt::WA_StyleSheet))
            return {};
        painter = painter->parentWidget();
    }
    if (painter->testAttribute(Qt::WA_StyleSheet) ||
        painter->testAttribute(Qt::WA_TranslucentBackground))
        return {};
    const QBrush brush = painter->palette().brush(painter->backgroundRole());
    if (brush.style() != Qt::SolidPattern || !brush.isOpaque())
        return {};
    return brush.color();
}

QPixmap PaintCache::paint(const Look &look)
{
    const auto *button = qobject_cast<const QPushButton *>(m_widget);
    if (!m_twin) {
        if (button)
            m_twin = std::make_unique<QPushButton>();
        else
            m_twin = std::make_unique<QLabel>();
        m_twin->setAttribute(Qt::WA_DontShowOnScreen);
    }
    if (button)
        copyButton(button, static_cast<QPushButton *>(m_twin.get()));
    else
        copyLabel(static_cast<const QLabel *>(m_widget), static_cast<QLabel *>(m_twin.get()));
    if (m_twin->style() != look.style)
        m_twin->setStyle(m_widget->style());
    m_twin->setLayoutDirection(m_widget->layoutDirection());
    m_twin->setForegroundRole(m_widget->foregroundRole());
    m_twin->setFont(look.font);
    m_twin->setPalette(twinPalette(m_widget));
    m_twin->setEnabled(look.enabled);
    m_twin->resize(look.size);

    QPixmap picture(look.size * look.pixelRatio);
    picture.setDevicePixelRatio(look.pixelRatio);
    picture.fill(look.backdrop.isValid() ? look.backdrop : QColor(Qt::transparent));
    m_twin->render(&picture, QPoint(), QRegion(), QWidget::RenderFlags());
    return picture;
}

bool PaintCache::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_widget || event->type() != QEvent::Paint || paintsItself())
        return false;
    Look look = currentLook();
    auto kept = std::find_if(m_paintings.begin(), m_paintings.end(),
                             [&look](const Painting &p) { return p.look == look; });
    if (kept == m_paintings.end()) {
        if (m_paintings.size() == Kept)
            m_paintings.pop_back();
        QPixmap picture = paint(look);
        kept = m_paintings.insert(m_paintings.begin(), {std::move(look), std::move(picture)});
    } else {
        std::rotate(m_paintings.begin(), kept, kept + 1);
        kept = m_paintings.begin();
    }
    QPainter painter(m_widget);
    painter.drawPixmap(0, 0, kept->picture);
    return true;
}
