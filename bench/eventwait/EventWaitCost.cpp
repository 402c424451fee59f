// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a wait of the client costs the processor while it sleeps: EventWait::waitUntil ended by a
// timer 50 ms later, as an acknowledgement ends a send's wait, and a wait that runs to its
// one-second limit. Prints the wall time and the processor time of the process (user and
// system, from getrusage) per wait. A wait that spun instead of sleeping would use as much
// processor time as wall time.

#include "Clock.h"
#include "EventWait.h"

#include <algorithm>
#include <cstdio>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <sys/resource.h>

namespace {

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Runs the given number of waits, each ended by an event after eventAfterMs or, when that is
// negative, by its limit.
void measure(const char *what, int waits, int eventAfterMs, int limitSeconds)
{
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = cpuMs();
    for (int i = 0; i < waits; ++i) {
        bool done = false;
        QTimer event;
        event.setTimerType(Qt::PreciseTimer);
        event.setSingleShot(true);
        QObject::connect(&event, &QTimer::timeout, &event, [&done] { done = true; });
        if (eventAfterMs >= 0)
            event.start(eventAfterMs);
        EventWait::waitUntil([&done] { return done; }, limitSeconds, Clock::secsSinceEpoch());
    }
    std::printf("%-32s %4d waits: %8.1f ms wall, %7.3f ms processor per wait\n", what, waits,
                double(wall.elapsed()) / waits, (cpuMs() - cpuStart) / waits);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures the processor time of the client's waits while they sleep."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("waits"),
                      QStringLiteral("Waits ended by an event (default 100); a twentieth as "
                                     "many run to their limit, at least 3."),
                      QStringLiteral("count"), QStringLiteral("100")});
    parser.process(app);
    bool ok = false;
    const int waits = parser.value(QStringLiteral("waits")).toInt(&ok);
    if (!ok || waits <= 0) {
        std::fprintf(stderr, "--waits takes a whole number above 0\n");
        return 1;
    }
    measure("ended by an event after 50 ms", waits, 50, 10);
    measure("run to a 1-second limit", std::max(waits / 20, 3), -1, 1);
    return 0;
}
