// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "FakeServer.h"
#include "frmMain.h"
#include "TestHome.h"

#include <memory>

// A configured client main window, loaded and linked to a FakeServer.
struct LinkedClient
{
    TestHome home;
    FakeServer server;
    std::unique_ptr<frmMain> window;

    // Seeds the store for the server, loads the window and waits for the link.
    bool start();
    // Sends a server message and waits until the client has acknowledged it.
    bool serverSays(const QString &message) { return server.sendAndWaitForAck(message); }
};
