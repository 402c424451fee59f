// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <QObject>
#include <QTimer>

// Bytes that crossed the line, as the kernel counts them on its interface.
struct Traffic
{
    quint64 received = 0;
    quint64 sent = 0;

    bool operator==(const Traffic &other) const = default;
};

// The kernel's counters of an interface; none when it does not exist (any more). sysClassNet is
// where the system shows its interfaces.
std::optional<Traffic> readCounters(const QString &interface,
                                    const QString &sysClassNet = QStringLiteral("/sys/class/net"));

// What one call moved: the interface's counters when the call began, read again every few
// seconds and at its end, since an interface made for the call (ppp0) is gone once it is over.
// The counters are asked for at each reading: a backend may learn its interface after the line
// is up.
class CallTraffic : public QObject
{
    Q_OBJECT

public:
    explicit CallTraffic(std::function<std::optional<Traffic>()> counters,
                         QObject *parent = nullptr);

    void begin();
    // The call's bytes until now, read afresh; none while the counters could never be read.
    std::optional<Traffic> soFar();
    // The call's bytes; none when the counters could never be read.
    std::optional<Traffic> end();
    // The difference of two readings; a counter that went back (the interface was made anew)
    // counts from zero.
    static Traffic between(const Traffic &first, const Traffic &last);

private:
    void sample();
    std::optional<Traffic> total() const;

    std::function<std::optional<Traffic>()> m_counters;
    QTimer m_timer;
    std::optional<Traffic> m_first;
    Traffic m_last;
    Traffic m_carried; // what earlier incarnations of the interface moved during this call
};
