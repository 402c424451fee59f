// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ClientApplication.h"
#include "Clock.h"
#include "CommandLine.h"

#include <cstdio>
#include <QApplication>

int main(int argc, char *argv[])
{
    Clock::followZoneFile();
    // Read before QApplication opens the window system, so that the help, the version and a
    // bad option are answered without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine::Outcome command =
        CommandLine::parse(arguments, QStringLiteral(VELMORA_VERSION),
                           !qEnvironmentVariableIsEmpty("DISPLAY") ||
                               !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                               !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"));
    if (!command.run) {
        std::fputs(command.out.toLocal8Bit().constData(), stdout);
        std::fputs(command.err.toLocal8Bit().constData(), stderr);
        return command.exitCode;
    }
    QCoreApplication::setApplicationName(QStringLiteral("velmora-client"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    // Wayland compositors and docks match the window to its desktop entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora-client"));
    QApplication app(argc, argv);
    return runClient(app);
}
