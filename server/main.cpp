// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerApp.h"

int main(int argc, char *argv[])
{
    return runServer(argc, argv);
}
