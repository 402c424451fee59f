// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "EntryFilter.h"

#include "Protocol.h"

namespace {

// Blanks only: a tab or other white space is part of a name.
QString trimBlanks(const QString &text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text[from] == u' ')
        ++from;
    while (to > from && text[to - 1] == u' ')
        --to;
    return text.mid(from, to - from);
}

} // namespace

bool entryListContains(const QString &list, const QString &ptMsg)
{
    const QString wanted = ptMsg.toUpper();
    const QStringList items = list.toUpper().split(Protocol::ListTerminator);
    for (const QString &item : items) {
        if (trimBlanks(item) == wanted)
            return true;
    }
    return false;
}
