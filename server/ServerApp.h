// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <QStringList>

// The whole life of velmora-server: the command line, the configuration, listening, serving
// until SIGTERM or SIGINT (the links close, the clients go on), or SIGUSR1 (every client is
// told to end). Returns the exit code: 0 after a clean stop, 1 when the server cannot run (the
// address cannot be had, the accounting log cannot be written), 2 for a bad command line or
// configuration.
// extension, when given, starts what serves beside the desks' links (the web page) once the
// server listens; false with the reason in error stops the start with exit code 1.
class VelmoraServer;
using ServerExtension = std::function<bool(VelmoraServer &server, QString *error)>;
int runServer(int argc, char *argv[], const ServerExtension &extension = {});

// Raises the soft limit of open files to the hard one, since every client holds a descriptor
// and the usual soft limit of 1,024 would cap the office. Returns the limit now in force.
quint64 raiseOpenFileLimit();
