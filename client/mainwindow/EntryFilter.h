// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Whether an entry name is in a stored list of entry names (each name followed by the code-28
// character; a missing final one is accepted). Letter case does not count, nor do blanks at
// either end of a list item; the name itself is compared as given, blanks included.
bool entryListContains(const QString &list, const QString &ptMsg);
