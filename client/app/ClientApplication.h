// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QApplication;

// Runs the client: loads the main window and the event loop until the window unloads.
int runClient(QApplication &app);
