// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ClientApplication.h"
#include "Clock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <QApplication>
#include <QCommandLineParser>

namespace {

// --help and --version print and exit before any window system is opened, so that they also
// answer in a terminal without a display. --help-all lists Qt's window-system options, which
// only an opened QApplication knows.
bool printsOnly(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

// Exits with 0 after printing the help or the version, and with 1 after a bad option or an
// argument: the client takes nothing but these options (and Qt's own, which QApplication has
// taken out of the arguments already).
void processCommandLine(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Velmora Client: shows the state of the office's shared dial-up line, asks "
                       "the Velmora Server to dial or hang up, and carries short messages between "
                       "users. Its settings are made in its configuration dialog."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s: unexpected argument \"%s\"\n",
                     qPrintable(QCoreApplication::applicationName()),
                     qPrintable(parser.positionalArguments().constFirst()));
        std::exit(1);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    Clock::followZoneFile();
    QCoreApplication::setApplicationName(QStringLiteral("velmora-client"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    // Wayland compositors and docks match the window to its desktop entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora-client"));
    if (printsOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        processCommandLine(app);
    }
    QApplication app(argc, argv);
    processCommandLine(app);
    return runClient(app);
}
