// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>

// The server end of the benchmark's link: plain blocking sockets on 127.0.0.1, driven from a
// thread of its own, so that the server side never runs in the client's event loop and its
// waits cost the client nothing. Every call that waits gives up after a time-out instead of
// hanging the run.
class LoopbackPeer
{
public:
    // Listens on an ephemeral port; listening() tells whether that worked.
    LoopbackPeer();
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer &) = delete;
    LoopbackPeer &operator=(const LoopbackPeer &) = delete;

    bool listening() const { return m_listener >= 0; }
    quint16 port() const { return m_port; }

    // Takes the one client; false when none linked in time.
    bool acceptClient(int timeoutMs);
    // Writes the bytes whole; false when the link failed.
    bool send(const QByteArray &bytes);
    // Reads until the bytes received since the last match contain expected, and drops
    // everything up to its end; false on a time-out or a closed link.
    bool readUntil(const QByteArray &expected, int timeoutMs);
    void closeClient();

private:
    int m_listener = -1;
    int m_client = -1;
    quint16 m_port = 0;
    QByteArray m_pending;
};
