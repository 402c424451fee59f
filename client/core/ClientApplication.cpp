#include "ClientApplication.h"

#include "Artwork.h"
#include "frmMain.h"
#include "Twips.h"

#include <QApplication>
#include <QScreen>

int runClient(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Velmora Client"));
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
    return app.exec();
}
