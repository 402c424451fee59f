// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CallTraffic.h"

#include <QFile>

namespace {

// Often enough that little is lost when an interface made for the call goes with it.
constexpr int kSampleMs = 2000;

std::optional<quint64> readNumber(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const quint64 value = file.read(32).trimmed().toULongLong(&ok);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

} // namespace

std::optional<Traffic> readCounters(const QString &interface, const QString &sysClassNet)
{
    if (interface.isEmpty() || interface.contains(QLatin1Char('/')) ||
        interface.startsWith(QLatin1Char('.')))
        return std::nullopt;
    const QString base =
        sysClassNet + QLatin1Char('/') + interface + QStringLiteral("/statistics/");
    const auto received = readNumber(base + QStringLiteral("rx_bytes"));
    const auto sent = readNumber(base + QStringLiteral("tx_bytes"));
    if (!received || !sent)
        return std::nullopt;
    return Traffic{*received, *sent};
}

CallTraffic::CallTraffic(std::function<std::optional<Traffic>()> counters, QObject *parent)
    : QObject(parent)
    , m_counters(std::move(counters))
{
    m_timer.setInterval(kSampleMs);
    connect(&m_timer, &QTimer::timeout, this, &CallTraffic::sample);
}

void CallTraffic::begin()
{
    m_first.reset();
    m_last = {};
    m_carried = {};
    m_timer.start();
    sample();
}

std::optional<Traffic> CallTraffic::soFar()
{
    sample();
    return total();
}

std::optional<Traffic> CallTraffic::end()
{
    sample();
    m_timer.stop();
    return total();
}

std::optional<Traffic> CallTraffic::total() const
{
    if (!m_first)
        return std::nullopt;
    const Traffic now = between(*m_first, m_last);
    return Traffic{m_carried.received + now.received, m_carried.sent + now.sent};
}

Traffic CallTraffic::between(const Traffic &first, const Traffic &last)
{
    return {last.received >= first.received ? last.received - first.received : last.received,
            last.sent >= first.sent ? last.sent - first.sent : last.sent};
}

void CallTraffic::sample()
{
    const std::optional<Traffic> now = m_counters();
    if (!now)
        return;
    if (!m_first) {
        m_first = now;
    } else if (now->received < m_last.received || now->sent < m_last.sent) {
        // A new interface of the same name: keep what the old one moved, count the new from 0.
        const Traffic before = between(*m_first, m_last);
        m_carried = {m_carried.received + before.received, m_carried.sent + before.sent};
        m_first = Traffic{};
    }
    m_last = *now;
}
