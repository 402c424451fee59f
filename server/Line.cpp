// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Line.h"

#include "Log.h"
#include "Protocol.h"

Line::Line(std::unique_ptr<LineBackend> backend, QObject *parent)
    : QObject(parent)
    , m_backend(std::move(backend))
{
    connect(m_backend.get(), &LineBackend::lineUp, this, &Line::onUp);
    connect(m_backend.get(), &LineBackend::lineDown, this, &Line::onDown);
}

Line::~Line() = default;

void Line::start()
{
    m_backend->start();
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
    setState(State::Up);
}

void Line::onDown(const QString &reason)
{
    if (m_state == State::Down)
        return;
    Log::info(QStringLiteral("The line is down"));
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
