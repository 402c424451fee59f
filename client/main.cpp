#include "ClientApplication.h"
#include "Clock.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Clock::followZoneFile();
    QApplication app(argc, argv);
    return runClient(app);
}
