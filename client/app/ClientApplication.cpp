// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ClientApplication.h"

#include "Artwork.h"
#include "frmMain.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "RuntimeError.h"
#include "SignalWatcher.h"
#include "Twips.h"

#include <csignal>
#include <QApplication>
#include <QScreen>
#include <QSessionManager>

int runClient(QApplication &app)
{
    QApplication::setApplicationName(MessageBox::applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    QApplication::setWindowIcon(Artwork::applicationIcon());
    // The main window hides when minimised and notices come and go; the program ends when
    // the main window unloads, not when the last visible window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    if (const QScreen *screen = QApplication::primaryScreen())
        QApplication::setFont(Twips::designFont(screen->logicalDotsPerInch()));

    frmMain window;
    if (!window.Form_Load())
        return 0;
    QObject::connect(&window, &frmMain::programEnded, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    // The session ending, a termination signal or Ctrl+C close the window as the system does:
    // without the exit question, through the whole shut-down.
    SignalWatcher termination({SIGTERM, SIGINT});
    QString error;
    if (termination.install(&error)) {
        QObject::connect(&termination, &SignalWatcher::signalled, &window, &frmMain::closeFromCode);
    } else {
        try {
            gWriteErrorLog(QStringLiteral("runClient"), error);
        } catch (const RuntimeError &) {
            // The client runs on without the signals; a log that cannot be written changes
            // nothing about that.
        }
    }
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.closeFromCode(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &frmMain::closeFromCode);
    return app.exec();
}
