// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerApp.h"
#include "VelmoraServer.h"
#include "WebServer.h"

int main(int argc, char *argv[])
{
    // The web page, when [Web] enables it, lives as long as the server it serves.
    return runServer(argc, argv, [](VelmoraServer &server, QString *error) {
        if (!server.config().web.enabled)
            return true;
        auto *web = new WebServer(server, &server);
        return web->start(server.config().web, error);
    });
}
