// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

// The arithmetic by which the message box fits itself to its text and its buttons, apart from
// the widgets: the window measures the text and applies the result. All lengths are twips.
namespace FlexiBoxLayout {

inline constexpr int DesignClientWidth = 5835;
inline constexpr int DesignClientHeight = 1245;
inline constexpr int ButtonWidth = 1095;
inline constexpr int ButtonHeight = 375;
inline constexpr int ButtonGap = 120;
inline constexpr int LabelLeft = 660;
inline constexpr int LabelTop = 120;
inline constexpr int LabelDesignHeight = 495;
inline constexpr int IconHeight = 480;

struct Input
{
    int textWidth = 0;  // the widest line of the message
    int textHeight = 0; // all of its lines
    int lineHeight = 0; // one line
    int lineBreaks = 0; // as lineBreaks() counts them
    // The measured width of each caption, "&" included. With singleCaption the first alone is
    // used, and only as a caption: the button keeps its width and there is no row to centre.
    QList<int> captionWidths;
    bool singleCaption = false;
    // What the window's frame adds to the client width, where the window system tells.
    int frameWidth = 0;
};

struct Result
{
    int clientWidth = DesignClientWidth;
    int clientHeight = DesignClientHeight;
    QList<int> buttonLefts;
    QList<int> buttonWidths;
    int buttonTop = 0;
    int labelWidth = 0;
    int labelHeight = LabelDesignHeight;
    int iconTop = 0;
};

// Carriage returns that each add a line. After each one the count skips the character that
// follows it, the line feed of a CR LF pair.
int lineBreaks(const QString &text);

// Positions and sizes for a message and its captions. At least one caption is expected.
Result layOut(const Input &in);

} // namespace FlexiBoxLayout
