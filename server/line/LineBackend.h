// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CallTraffic.h"
#include "LineSettings.h"

#include <QObject>

// What drives the line itself. The server never waits on it: a backend reports the outcome of
// every request later, from the event loop, and never from inside the call that asked.
class LineBackend : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Begins to watch the line; a backend that can see it reports a line already up.
    virtual void start() {}
    // The phonebook in force, at start and after every reload.
    virtual void setPhonebook(const QList<PhonebookEntry> &) {}
    // The network interface the line is on, whose counters tell a call's bytes; empty when
    // there is none or it is not known (yet).
    virtual QString interfaceName() const { return QString(); }
    // The line's traffic counters now; none when they cannot be read.
    virtual std::optional<Traffic> counters() const { return readCounters(interfaceName()); }
    // Dials entry; lineUp or lineDown with a reason follows.
    virtual void dial(const PhonebookEntry &entry, const QString &password) = 0;
    // Hangs up, or abandons a dial in progress; lineDown with an empty reason follows.
    virtual void hangUp() = 0;

Q_SIGNALS:
    void lineUp(const QString &entry);
    // Reason: empty after a hang-up, otherwise why the dial failed or the line fell.
    void lineDown(const QString &reason);
};
