// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "LoopbackPeer.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The real velmora-client program as a desk runs it, for the benchmarks that measure it from
// outside: copied into a program folder of its own (its logs go there), started with a
// temporary configuration home against a listening loopback server end, on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise. Every failure ends the run (fail()).
class ClientProcess
{
public:
    static constexpr int PeerTimeoutMs = 15000;

    // wrapper: a program and its arguments that start the client, such as valgrind; empty to
    // start it directly.
    explicit ClientProcess(const QString &executable, const QStringList &wrapper = {});

    void start();
    // Waits for the client to link to the server end.
    void awaitLink();
    qint64 pid() const { return m_process.processId(); }
    // Sends a server line and waits for the client's "MSG_ACK" of it.
    void sendLine(const QString &line);
    // Ends the client as the server's shutdown does and checks that it ended cleanly, kept its
    // activity log (at least minLogLines lines) and logged no error.
    void shutDown(int minLogLines);

private:
    QTemporaryDir m_home;
    LoopbackPeer m_peer;
    QString m_folder;
    QStringList m_wrapper;
    QProcess m_process;
};

// What /proc says of a process.
namespace ProcStats {

// VmRSS, VmHWM, proportional and private memory, as text.
QString memoryText(qint64 pid);
// User and system time of the whole process, in clock ticks (sysconf(_SC_CLK_TCK) a second).
qint64 cpuTicks(qint64 pid);
// Time on a processor of all the process's threads, in nanoseconds (the scheduler's own
// account, much finer than the clock ticks).
qint64 cpuNanoseconds(qint64 pid);

} // namespace ProcStats
