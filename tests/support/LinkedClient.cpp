// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LinkedClient.h"

#include "TcpClientSocket.h"

#include <QTest>

bool LinkedClient::start()
{
    TestHome::seedServer(server.port());
    window = std::make_unique<frmMain>();
    if (!window->Form_Load())
        return false;
    return QTest::qWaitFor([&] {
        return server.hasClient() &&
               window->wskClient->State() == TcpClientSocket::StateConnected && window->iState == 1;
    });
}
