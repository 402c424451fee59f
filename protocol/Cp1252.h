// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

// Text crosses the wire as Windows-1252 bytes, one byte a character, so that a server on a
// Western Windows machine reads the same characters as we do. The table is our own rather
// than ICU's so that both ends agree byte for byte whatever the machine has installed.
namespace Cp1252 {

QByteArray encode(const QString &text); // a character outside the code page becomes '?'
QString decode(const QByteArray &bytes);

} // namespace Cp1252
