// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Line.h"

#include "Log.h"
#include "Protocol.h"

Line::Line(std::unique_ptr<LineBackend> backend, QObject *parent)
    : QObject(parent)
    , m_backend(std::move(backend))
    , m_traffic([this] { return m_backend->counters(); })
{
    connect(m_backend.get(), &LineBackend::lineUp, this, &Line::onUp);
    connect(m_backend.get(), &LineBackend::lineDown, this, &Line::onDown);
}

Line::~Line() = default;

void Line::start()
{
    m_backend->start();
}

void Line::setPhonebook(const QList<PhonebookEntry> &phonebook)
{
    m_backend->setPhonebook(phonebook);
}

QString Line::statusLine() const
{
    switch (m_state) {
    case State::Down:
        return Protocol::StatusDisconnected;
    case State::Dialling:
        return Protocol::StatusConnectDevice;
    case State::Up:
        return Protocol::StatusConnectedTo + m_entry;
    case State::HangingUp:
        return Protocol::StatusDisconnecting;
    }
    return QString();
}

std::optional<Traffic> Line::trafficSoFar()
{
    return m_counting ? m_traffic.soFar() : std::nullopt;
}

void Line::dial(const PhonebookEntry &entry, const QString &password)
{
    if (m_state != State::Down)
        return;
    Log::info(QStringLiteral("Dialling %1").arg(entry.name));
    m_entry = entry.name;
    setState(State::Dialling);
    m_backend->dial(entry, password);
}

void Line::hangUp()
{
    if (m_state != State::Dialling && m_state != State::Up)
        return;
    Log::info(QStringLiteral("Hanging up %1").arg(m_entry));
    setState(State::HangingUp);
    m_backend->hangUp();
}

void Line::onUp(const QString &entry)
{
    if (m_state == State::HangingUp || (m_state == State::Up && entry == m_entry))
        return;
    Log::info(QStringLiteral("The line is up on %1").arg(entry));
    m_entry = entry;
    if (!m_counting)
        m_traffic.begin();
    m_counting = true;
    setState(State::Up);
}

void Line::onDown(const QString &reason)
{
    if (m_state == State::Down)
        return;
    Log::info(QStringLiteral("The line is down"));
    m_callTraffic.reset();
    if (m_counting)
        m_callTraffic = m_traffic.end();
    m_counting = false;
    if (m_callTraffic)
        Log::info(QStringLiteral("The call on %1 received %2 bytes and sent %3")
                      .arg(m_entry, QString::number(m_callTraffic->received),
                           QString::number(m_callTraffic->sent)));
    setState(State::Down, reason);
}

void Line::setState(State state, const QString &reason)
{
    m_state = state;
    Q_EMIT stateChanged(state);
    Q_EMIT status(statusLine());
    // After the state, so that the reason stays on every desk until the next change: a client
    // shows the last status line it got, and "Disconnected" after it would hide the reason at
    // once.
    if (!reason.isEmpty())
        Q_EMIT status(reason);
}
