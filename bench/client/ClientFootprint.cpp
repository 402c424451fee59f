// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The client program as the desk runs it, measured from outside: the real velmora-client
// executable, started from a folder of its own (its logs go there) against a listening
// loopback server end. Prints the time from starting the process to its link, its memory once
// linked and after a run of status lines, and its CPU time per status line (all threads).

#include "BenchReport.h"
#include "ClientProcess.h"
#include "Protocol.h"

#include <chrono>
#include <cstdio>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <thread>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Options
{
    int lines = 10000;
    QString client;
};

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures the client program's start, memory and CPU per status line."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("lines"),
                      QStringLiteral("Status lines to send (default 10000)."),
                      QStringLiteral("count"), QStringLiteral("10000")});
    parser.addOption({QStringLiteral("client"),
                      QStringLiteral("The client executable (default: velmora-client beside "
                                     "this program)."),
                      QStringLiteral("path")});
    parser.process(app);
    Options options;
    bool ok = false;
    options.lines = parser.value(QStringLiteral("lines")).toInt(&ok);
    if (!ok || options.lines <= 0)
        fail(QStringLiteral("--lines takes a whole number above 0"));
    options.client =
        parser.isSet(QStringLiteral("client"))
            ? parser.value(QStringLiteral("client"))
            : QCoreApplication::applicationDirPath() + QStringLiteral("/velmora-client");
    return options;
}

void run(const Options &options)
{
    ClientProcess client(options.client);
    const auto started = SteadyClock::now();
    client.start();
    client.awaitLink();
    const auto linked = SteadyClock::now();
    const qint64 pid = client.pid();
    const qint64 startTicks = ProcStats::cpuTicks(pid);
    say(QStringLiteral("Start to link (process start to the server's accept): %1 ms, of which "
                       "CPU (all threads) %2 ms")
            .arg(std::chrono::duration<double, std::milli>(linked - started).count(), 0, 'f', 1)
            .arg(1000.0 * double(startTicks) / double(sysconf(_SC_CLK_TCK)), 0, 'f', 0));

    // The first paint and the settings reads of start-up are done within a second.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    say(QStringLiteral("Linked: ") + ProcStats::memoryText(pid));

    const QString cycle[] = {Protocol::StatusConnectDevice,
                             Protocol::StatusConnectedTo + QStringLiteral("Office line"),
                             Protocol::StatusDisconnecting, Protocol::StatusDisconnected};
    const qint64 ticksBefore = ProcStats::cpuTicks(pid);
    for (int i = 0; i < options.lines; ++i) {
        client.sendLine(cycle[i % 4]);
        // Two lines must never arrive in one read.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const qint64 ticks = ProcStats::cpuTicks(pid) - ticksBefore;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    say(QStringLiteral("After %1 status lines: ").arg(options.lines) + ProcStats::memoryText(pid));
    say(QStringLiteral("Client CPU per line, all threads: %1 ms")
            .arg(1000.0 * double(ticks) / double(sysconf(_SC_CLK_TCK)) / options.lines, 0, 'f', 3));
    client.shutDown(2 * options.lines);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    try {
        run(parseOptions(app));
    } catch (const Failure &failure) {
        std::fprintf(stderr, "FAILED: %s\n", qPrintable(failure.text));
        return 1;
    }
    return 0;
}
