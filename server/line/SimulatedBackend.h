// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "LineBackend.h"

#include <QTimer>

// A line that exists only in the server: dialling and hanging up take their configured time,
// and an entry whose password the line judges fails with any other than the configured one.
// It serves demonstrations and tests, and offices that want the messaging without a line.
class SimulatedBackend : public LineBackend
{
    Q_OBJECT

public:
    explicit SimulatedBackend(const SimulatedSettings &settings, QObject *parent = nullptr);

    void dial(const PhonebookEntry &entry, const QString &password) override;
    void hangUp() override;
    // Nothing crosses a simulated line: its calls move no bytes, and so go idle.
    std::optional<Traffic> counters() const override { return Traffic{}; }

private:
    void onTimeout();

    SimulatedSettings m_settings;
    QTimer m_timer;
    bool m_dialling = false;
    QString m_entry;
    bool m_passwordAccepted = true;
};
