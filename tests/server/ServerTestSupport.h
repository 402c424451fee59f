#pragma once

#include "ServerConfig.h"
#include "VelmoraServer.h"

#include <memory>

// A configuration that keeps the suite fast: loopback, any free port, short waits, a quick
// simulated line, and one phonebook entry of each kind.
inline ServerConfig fastConfig()
{
    ServerConfig config;
    config.address = QHostAddress(QHostAddress::LocalHost);
    config.port = 0;
    config.logLevel = Log::Level::Warning;
    config.disconnectSeconds = 1;
    config.ackTimeoutMs = 3000;
    config.sendGapMs = 15;
    config.shutdownWaitMs = 1000;
    config.simulated.dialMs = 30;
    config.simulated.hangUpMs = 30;
    config.simulated.linePassword = QStringLiteral("moon");
    config.phonebook = {
        {QStringLiteral("Office"), QString(), PasswordCheck::None},
        {QStringLiteral("Branch"), QStringLiteral("secret"), PasswordCheck::Server},
        {QStringLiteral("Night"), QString(), PasswordCheck::Line},
    };
    return config;
}

inline std::unique_ptr<VelmoraServer> startServer(const ServerConfig &config = fastConfig())
{
    Log::setLevel(config.logLevel);
    auto server = std::make_unique<VelmoraServer>(config);
    QString error;
    if (!server->start(&error))
        qFatal("%s", qPrintable(error));
    return server;
}
