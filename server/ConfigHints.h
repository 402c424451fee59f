// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

// What a configuration error adds to say what was probably meant.
namespace ConfigHints {

// The candidate that name most likely misspells (case aside), or nothing when none is near.
QString nearest(const QString &name, const QStringList &candidates);
// A note for an address that is a host name, or nothing: the server takes no names, since a name
// could point elsewhere tomorrow and looking it up would make the start wait on a name server.
QString hostNameNote(const QString &value);

} // namespace ConfigHints
