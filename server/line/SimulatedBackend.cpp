// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SimulatedBackend.h"

SimulatedBackend::SimulatedBackend(const SimulatedSettings &settings, QObject *parent)
    : LineBackend(parent)
    , m_settings(settings)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SimulatedBackend::onTimeout);
}

void SimulatedBackend::dial(const PhonebookEntry &entry, const QString &password)
{
    m_dialling = true;
    m_entry = entry.name;
    m_passwordAccepted = entry.check != PasswordCheck::Line || password == m_settings.linePassword;
    m_timer.start(m_settings.dialMs);
}

void SimulatedBackend::hangUp()
{
    m_dialling = false;
    m_timer.start(m_settings.hangUpMs);
}

void SimulatedBackend::onTimeout()
{
    if (!m_dialling) {
        Q_EMIT lineDown(QString());
        return;
    }
    m_dialling = false;
    if (m_passwordAccepted)
        Q_EMIT lineUp(m_entry);
    else
        Q_EMIT lineDown(QStringLiteral("Dialling %1 failed: wrong password").arg(m_entry));
}
