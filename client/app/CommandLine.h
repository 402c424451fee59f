// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

// The client's command line, read before any window system is opened: the help, the version
// and a bad option are answered in a terminal without a display.
namespace CommandLine {

struct Outcome
{
    // Start the client; the arguments are left for QApplication, which takes Qt's options.
    bool run = false;
    int exitCode = 0;
    // What to print before exiting, to the standard output and the standard error.
    QString out;
    QString err;
};

// arguments as main() has them, the program's name first. displayKnown: the environment names a
// display or a window system (DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM).
Outcome parse(const QStringList &arguments, const QString &version, bool displayKnown);

} // namespace CommandLine
