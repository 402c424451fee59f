// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Alphabetical.h"

#include <algorithm>
#include <QCollator>

namespace {

QCollator caseBlindCollator()
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

bool less(const QCollator &collator, const QString &a, const QString &b)
{
    const int order = collator.compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

} // namespace

namespace Alphabetical {

void sort(QStringList &names)
{
    const QCollator collator = caseBlindCollator();
    std::sort(names.begin(), names.end(),
              [&collator](const QString &a, const QString &b) { return ::less(collator, a, b); });
}

} // namespace Alphabetical
