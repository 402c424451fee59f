// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The client program as the desk runs it, measured from outside: the real velmora-client
// executable, started from a folder of its own (its logs go there) against a listening
// loopback server end. Prints the time from starting the process to its link, its memory once
// linked and after a run of status lines, and its CPU time per status line (all threads).

#include "BenchReport.h"
#include "Cp1252.h"
#include "LoopbackPeer.h"
#include "Protocol.h"
#include "SettingsBackend.h"

#include <chrono>
#include <cstdio>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <thread>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int PeerTimeoutMs = 15000;

QByteArray procFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A "Key:   123 kB" field of a /proc status file, in kB.
qint64 kbField(const QByteArray &text, const QByteArray &key)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

QString memoryText(qint64 pid)
{
    const QByteArray status = procFile(pid, "status");
    const QByteArray rollup = procFile(pid, "smaps_rollup");
    const auto mib = [](qint64 kb) { return QString::number(double(kb) / 1024.0, 'f', 1); };
    return QStringLiteral("VmRSS %1 MiB, VmHWM %2 MiB, Pss %3 MiB, private %4 MiB")
        .arg(mib(kbField(status, "VmRSS")), mib(kbField(status, "VmHWM")),
             mib(kbField(rollup, "Pss")),
             mib(kbField(rollup, "Private_Clean") + kbField(rollup, "Private_Dirty")));
}

// User and system time of the whole process, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    const QByteArray stat = procFile(pid, "stat");
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

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
    QTemporaryDir home;
    LoopbackPeer peer;
    if (!home.isValid() || !peer.listening())
        fail(QStringLiteral("cannot set up a home and a listening peer"));
    const QString folder = home.filePath(QStringLiteral("program"));
    const QString client = folder + QStringLiteral("/velmora-client");
    if (!QDir().mkpath(folder) || !QFile::copy(options.client, client))
        fail(QStringLiteral("cannot copy %1 into a program folder").arg(options.client));

    const QString config = home.filePath(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    const QString app = QStringLiteral("Velmora");
    const QString section = QStringLiteral("Configuration");
    SaveSetting(app, section, QStringLiteral("ServerIPAddress"), QStringLiteral("127.0.0.1"));
    SaveSetting(app, section, QStringLiteral("ServerPort"), QString::number(peer.port()));

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);

    const auto started = SteadyClock::now();
    process.start(client, {});
    if (!peer.acceptClient(PeerTimeoutMs))
        fail(QStringLiteral("the client did not link"));
    const auto linked = SteadyClock::now();
    const qint64 pid = process.processId();
    const qint64 startTicks = cpuTicks(pid);
    say(QStringLiteral("Start to link (process start to the server's accept): %1 ms, of which "
                       "CPU (all threads) %2 ms")
            .arg(std::chrono::duration<double, std::milli>(linked - started).count(), 0, 'f', 1)
            .arg(1000.0 * double(startTicks) / double(sysconf(_SC_CLK_TCK)), 0, 'f', 0));

    // The first paint and the settings reads of start-up are done within a second.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    say(QStringLiteral("Linked: ") + memoryText(pid));

    const QString cycle[] = {Protocol::StatusConnectDevice,
                             Protocol::StatusConnectedTo + QStringLiteral("Office line"),
                             Protocol::StatusDisconnecting, Protocol::StatusDisconnected};
    const QByteArray ack = Cp1252::encode(Protocol::MsgAck);
    const qint64 ticksBefore = cpuTicks(pid);
    for (int i = 0; i < options.lines; ++i) {
        if (!peer.send(Cp1252::encode(cycle[i % 4])) || !peer.readUntil(ack, PeerTimeoutMs))
            fail(
                QStringLiteral("the client acknowledged %1 of %2 lines").arg(i).arg(options.lines));
        // Two lines must never arrive in one read.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const qint64 ticks = cpuTicks(pid) - ticksBefore;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    say(QStringLiteral("After %1 status lines: ").arg(options.lines) + memoryText(pid));
    say(QStringLiteral("Client CPU per line, all threads: %1 ms")
            .arg(1000.0 * double(ticks) / double(sysconf(_SC_CLK_TCK)) / options.lines, 0, 'f', 3));

    if (!peer.send(Cp1252::encode(Protocol::MsgShutdown)) ||
        !peer.readUntil(Cp1252::encode(Protocol::CmdEnd), PeerTimeoutMs) || !peer.send(ack))
        fail(QStringLiteral("the client did not end its link with \"CMD_END\""));
    peer.closeClient();
    if (!process.waitForFinished(PeerTimeoutMs) || process.exitCode() != 0)
        fail(QStringLiteral("the client did not end cleanly"));
    QFile log(folder + QStringLiteral("/clientlog.txt"));
    if (!log.open(QIODevice::ReadOnly) || log.readAll().count('\n') < 2 * options.lines)
        fail(QStringLiteral("the activity log lacks lines"));
    if (QFile::exists(folder + QStringLiteral("/clienterr.txt")))
        fail(QStringLiteral("the client logged errors"));
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
