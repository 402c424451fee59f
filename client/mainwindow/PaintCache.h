// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <QColor>
#include <QFont>
#include <QObject>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <vector>

class QStyle;
class QWidget;

// Keeps the last few paintings of a label or a push button and draws a kept picture again when
// the control looks as it did then, instead of laying out and drawing its text anew: the status
// label and the connect button take turns between a handful of captions, one per status line.
// A control is told apart by its text, size, font, palette, style and state; install it only on
// controls whose look nothing else changes. Where the window's background behind the control is
// one plain colour the picture is opaque and drawn as a plain copy. A control with the focus,
// the mouse over it or pressed paints itself as usual.
class PaintCache : public QObject
{
public:
    static constexpr std::size_t Kept = 4;

    // The cache belongs to the widget (a QLabel or a QPushButton) and ends with it.
    static void install(QWidget *widget);
    ~PaintCache() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Look
    {
        QString text;
        QSize size;
        QFont font;
        QPalette palette;
        int colorGroup = 0;
        const QStyle *style = nullptr;
        qreal pixelRatio = 1;
        bool enabled = true;
        // The colour behind the control, invalid when it is not one plain colour.
        QColor backdrop;

        bool operator==(const Look &other) const;
    };
    struct Painting
    {
        Look look;
        QPixmap picture;
    };

    explicit PaintCache(QWidget *widget);
    bool paintsItself() const;
    Look currentLook() const;
    QColor plainBackdrop() const;
    QPixmap paint(const Look &look);

    QWidget *m_widget;
    // A hidden copy of the control that paints the pictures, outside the control's own paint.
    std::unique_ptr<QWidget> m_twin;
    // Most recently drawn first.
    std::vector<Painting> m_paintings;
};
