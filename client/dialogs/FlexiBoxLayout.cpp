// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FlexiBoxLayout.h"

#include <algorithm>

namespace FlexiBoxLayout {

int lineBreaks(const QString &text)
{
    int count = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype found = text.indexOf(QLatin1Char('\r'), from);
        if (found < 0)
            return count;
        ++count;
        from = found + 2;
    }
}

Result layOut(const Input &in)
{
    Result r;
    const int windowWidth = r.clientWidth + in.frameWidth;

    if (in.singleCaption || in.captionWidths.isEmpty()) {
        r.buttonWidths = {ButtonWidth};
        r.buttonLefts = {(r.clientWidth - ButtonWidth) / 2};
    } else {
        int rowWidth = ButtonGap * (int(in.captionWidths.size()) - 1);
        for (const int caption : in.captionWidths) {
            r.buttonWidths.append(std::max(ButtonWidth, caption));
            rowWidth += r.buttonWidths.last();
        }
        if (windowWidth <= rowWidth + 240)
            r.clientWidth = rowWidth + 300 - in.frameWidth;
        int left = (r.clientWidth - rowWidth) / 2;
        for (const int width : std::as_const(r.buttonWidths)) {
            r.buttonLefts.append(left);
            left += width + ButtonGap;
        }
    }

    r.labelWidth = r.clientWidth - 780;
    // Grows line by line until the label's area holds the text's. Single precision, as the
    // sizes were always compared; a line of at least one twip keeps bad metrics from stalling.
    const float textArea = float(in.textHeight) * float(in.textWidth);
    const int step = std::max(in.lineHeight, 1);
    if (r.labelWidth > 0) {
        while (float(r.labelWidth) * float(r.labelHeight) < textArea)
            r.labelHeight += step;
    }
    r.labelHeight += in.lineBreaks * in.lineHeight;

    r.buttonTop = LabelTop + r.labelHeight + 120;
    r.iconTop = LabelTop + (r.labelHeight - IconHeight) / 2;
    r.clientHeight = r.buttonTop + ButtonHeight + 90;
    return r;
}

} // namespace FlexiBoxLayout
