// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Options.h"

#include "ServerConfig.h"

#include <QCommandLineParser>

namespace {

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Shows this help and exits.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Shows the version and exits.")};
    QCommandLineOption config{
        {QStringLiteral("c"), QStringLiteral("config")},
        QStringLiteral("Reads the configuration from FILE (default %1).").arg(DefaultConfigPath),
        QStringLiteral("FILE")};
    QCommandLineOption port{{QStringLiteral("p"), QStringLiteral("port")},
                            QStringLiteral("Listens on port N instead of the configured one; "
                                           "0 takes any free port."),
                            QStringLiteral("N")};
    QCommandLineOption logLevel{QStringLiteral("log-level"),
                                QStringLiteral("Logs at LEVEL: error, warning, info or debug."),
                                QStringLiteral("LEVEL")};

    Parser()
    {
        parser.setApplicationDescription(
            QStringLiteral("Velmora Server: shares one dial-up line among the Velmora Clients "
                           "of an office.\n\nSignals:\n"
                           "  SIGHUP            Reads the configuration again.\n"
                           "  SIGTERM, SIGINT   Stops; the clients link again once it is back.\n"
                           "  SIGUSR1           Stops and tells every client to end."));
        parser.addOptions({help, version, config, port, logLevel});
    }
};

} // namespace

Options parseOptions(const QStringList &arguments)
{
    Parser p;
    Options options;
    if (!p.parser.parse(arguments)) {
        options.error = p.parser.errorText();
        return options;
    }
    if (!p.parser.positionalArguments().isEmpty()) {
        options.error = QStringLiteral("Unexpected argument: %1")
                            .arg(p.parser.positionalArguments().constFirst());
        return options;
    }
    options.help = p.parser.isSet(p.help);
    options.version = p.parser.isSet(p.version);
    options.configPath = p.parser.value(p.config);
    if (p.parser.isSet(p.config) && options.configPath.isEmpty())
        options.error = QStringLiteral("--config needs a file name");
    if (p.parser.isSet(p.port)) {
        bool ok = false;
        const uint port = p.parser.value(p.port).toUInt(&ok);
        if (!ok || port > 65535)
            options.error = QStringLiteral("--port needs a number from 0 to 65535, not \"%1\"")
                                .arg(p.parser.value(p.port));
        else
            options.port = static_cast<quint16>(port);
    }
    if (p.parser.isSet(p.logLevel)) {
        options.logLevel = Log::levelFromName(p.parser.value(p.logLevel));
        if (!options.logLevel)
            options.error =
                QStringLiteral("--log-level needs error, warning, info or debug, not \"%1\"")
                    .arg(p.parser.value(p.logLevel));
    }
    return options;
}

QString optionsHelp()
{
    return Parser().parser.helpText();
}
