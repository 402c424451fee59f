// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CommandLine.h"

#include <QCommandLineParser>

namespace {

const QString ProgramName = QStringLiteral("velmora-client");

struct ToolkitOption
{
    const char *name;
    const char *valueName; // nullptr for a switch
    const char *description;
};

// The options that QApplication takes out of the arguments itself. They are known here so
// that they pass on to it, and listed by --help-all.
constexpr ToolkitOption ToolkitOptions[] = {
    {"platform", "name[:options]", "The window system: xcb, wayland, offscreen, ..."},
    {"platformpluginpath", "path", "Where to look for window-system plug-ins."},
    {"platformtheme", "name", "The platform theme."},
    {"plugin", "name", "Loads an additional input plug-in."},
    {"qwindowgeometry", "geometry", "The main window's geometry, as in 800x600+10+10."},
    {"geometry", "geometry", "The same as -qwindowgeometry (X11)."},
    {"qwindowicon", "file", "The default window icon."},
    {"qwindowtitle", "title", "The title of the first window."},
    {"display", "name", "The X11 display to open."},
    {"session", "id", "Restores the session with this identifier."},
    {"style", "name", "The widget style."},
    {"stylesheet", "file", "A style sheet for the widgets."},
    {"reverse", nullptr, "Lays the windows out from right to left."},
    {"widgetcount", nullptr, "Reports the number of widgets left at the end."},
    {"nograb", nullptr, "Never grabs the mouse or the keyboard (X11)."},
    {"dograb", nullptr, "Grabs the mouse and the keyboard even under a debugger (X11)."},
    {"sync", nullptr, "Runs X11 in synchronous mode."},
    {"qmljsdebugger", "port", "Enables the QML debugger."},
};

QString toolkitHelp()
{
    QString text = QStringLiteral("\nQt options:\n");
    for (const ToolkitOption &option : ToolkitOptions) {
        QString synopsis = QStringLiteral("  -") + QLatin1String(option.name);
        if (option.valueName)
            synopsis += QStringLiteral(" <") + QLatin1String(option.valueName) + u'>';
        text += synopsis.leftJustified(34) + u' ' + QLatin1String(option.description) + u'\n';
    }
    return text;
}

CommandLine::Outcome refused(const QString &reason)
{
    CommandLine::Outcome outcome;
    outcome.exitCode = 1;
    outcome.err = ProgramName + QStringLiteral(": ") + reason + QStringLiteral("\nTry '") +
                  ProgramName + QStringLiteral(" --help' for more information.\n");
    return outcome;
}

} // namespace

CommandLine::Outcome CommandLine::parse(const QStringList &arguments, const QString &version,
                                        bool displayKnown)
{
    QCommandLineParser parser;
    // Qt's own options are words after one dash: -platform xcb.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Velmora Client: shows the state of the office's shared dial-up line, asks "
                       "the Velmora Server to dial or hang up, and carries short messages between "
                       "users. Its settings are made in its configuration dialog."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    const QCommandLineOption helpAll(
        QStringLiteral("help-all"), QStringLiteral("Displays help including Qt specific options."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Displays version information."));
    parser.addOptions({help, helpAll, versionOption});
    for (const ToolkitOption &toolkit : ToolkitOptions) {
        QCommandLineOption option(QLatin1String(toolkit.name), QLatin1String(toolkit.description));
        if (toolkit.valueName)
            option.setValueName(QLatin1String(toolkit.valueName));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    Outcome outcome;
    if (!parser.parse(arguments))
        return refused(parser.errorText());
    if (parser.isSet(help) || parser.isSet(helpAll)) {
        outcome.out = parser.helpText();
        // Without an application object the parser cannot know the program's name.
        outcome.out.replace(QLatin1String("<executable_name>"), ProgramName);
        if (parser.isSet(helpAll))
            outcome.out += toolkitHelp();
        return outcome;
    }
    if (parser.isSet(versionOption)) {
        outcome.out = ProgramName + u' ' + version + u'\n';
        return outcome;
    }
    if (!parser.positionalArguments().isEmpty())
        return refused(QStringLiteral("unexpected argument \"") +
                       parser.positionalArguments().constFirst() + u'"');
    // Qt would abort on a display it cannot open; a terminal without one gets a sentence instead.
    if (!displayKnown && !parser.isSet(QStringLiteral("platform"))) {
        outcome.exitCode = 1;
        outcome.err = ProgramName + QStringLiteral(": no display to show the window on: neither "
                                                   "DISPLAY nor WAYLAND_DISPLAY is set\n");
        return outcome;
    }
    outcome.run = true;
    return outcome;
}
