// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ServerConfig.h"

#include <functional>
#include <QHash>
#include <QString>

// The plain keys of the configuration, "Section/Key", each with the reader of its value. The
// sections of names (the phonebook, the rights, the per-entry limits) are read by the
// configuration reader itself.
namespace ConfigKeys {

// Stores the value of one key in the configuration; returns an error text, empty when the value
// is acceptable.
using Setter = std::function<QString(ServerConfig &, const QString &)>;

const QHash<QString, Setter> &setters();
// Reads a whole number from minimum to maximum into out, or says what was expected.
QString readInt(const QString &value, int minimum, int maximum, int &out);

} // namespace ConfigKeys
