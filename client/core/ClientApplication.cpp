#include "ClientApplication.h"

#include "Artwork.h"
#include "frmMain.h"

#include <QApplication>

int runClient(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Velmora Client"));
    QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    QApplication::setWindowIcon(Artwork::applicationIcon());
    // The main window hides when minimised and notices come and go; the program ends when
    // the main window unloads, not when the last visible window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    frmMain window;
    if (!window.Form_Load())
        return 0;
    QObject::connect(&window, &frmMain::programEnded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    return app.exec();
}
