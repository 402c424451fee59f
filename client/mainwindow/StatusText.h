// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The duration part of "Connected to X for 01:02:03": hours, minutes and seconds with at
// least two digits each; hours above 99 take as many digits as they need.
QString durationText(qint64 seconds);
