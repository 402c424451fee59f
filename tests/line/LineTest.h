// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ServerProcess.h"
#include "ServerTestSupport.h"

// What the line tests share: commands of their own (nmcli, ip) run while the event loop goes on,
// so that the desks hear what happens meanwhile, and desks that hear the line together.

// Runs a shell command line; false, with its output written out, unless it succeeds.
inline bool sh(const QString &command, QString *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(str("/bin/sh"), {str("-c"), command});
    const bool done =
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000) &&
        process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    const QString text = QString::fromUtf8(process.readAll()).trimmed();
    if (output)
        *output = text;
    if (!done)
        qWarning("%s: %s", qPrintable(command), qPrintable(text));
    return done;
}

// Two desks linked to one server, each having heard the line's state.
struct Desks
{
    explicit Desks(quint16 port)
        : first(port, str("first"))
        , second(port, str("second"))
    {}
    bool link() { return first.link() && second.link(); }
    // Both desks hear lines ("|" between them) in turn, after whatever each heard before.
    bool hear(const QString &lines, int timeoutMs = 10000)
    {
        for (const QString &line : lines.split(u'|')) {
            if (!first.expect(line, timeoutMs) || !second.expect(line, timeoutMs))
                return false;
        }
        return true;
    }

    RawClient first;
    RawClient second;
};

// Twenty datagrams of 33 bytes to the discard port of the far end at address, which answers
// each (the address lookup, "port unreachable").
inline bool sendTraffic(const QString &address)
{
    return sh(str("bash -c 'for i in $(seq 20); do echo velmora-traffic-velmora-traffic "
                  "> /dev/udp/%1/9; done'")
                  .arg(address));
}

// How many calls the accounting log at path has of event ("down", "idle") on entry, their bytes
// (received, sent) matching the pattern bytes.
inline int accounted(const QString &path, const QString &event, const QString &entry,
                     const QString &bytes = str(".*"))
{
    QFile file(path);
    const QRegularExpression line(
        QRegularExpression::escape(str(",%1,,,\"%2\",").arg(event, entry)) + str("\\d*,") + bytes +
            u'$',
        QRegularExpression::MultilineOption);
    return file.open(QIODevice::ReadOnly) ? int(QString::fromUtf8(file.readAll()).count(line)) : -1;
}

// sendTraffic's bytes, both ways: some received, a thousand or more sent.
inline const QString kTraffic = str("[1-9]\\d*,[1-9]\\d{3,}");
