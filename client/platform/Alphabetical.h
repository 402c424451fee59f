// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

// The order of every sorted list the user sees: the locale's own collation, ignoring case, so
// that "beta" comes before "Delta". Names that differ only in case keep a fixed order among
// themselves (by character code), so a list reads the same however its names arrived.
namespace Alphabetical {

// Sorts the names in place.
void sort(QStringList &names);

} // namespace Alphabetical
