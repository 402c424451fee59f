#pragma once

class QApplication;

// Runs the client: loads the main window and the event loop until the window unloads.
int runClient(QApplication &app);
