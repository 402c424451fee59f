// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CallTraffic.h"
#include "LineBackend.h"

#include <memory>
#include <QObject>

// The shared line as the clients see it: its state, the entry it is up on, and the status line
// that tells both. Every change comes out as the status lines to pass on, in order.
class Line : public QObject
{
    Q_OBJECT

public:
    enum class State { Down, Dialling, Up, HangingUp };

    explicit Line(std::unique_ptr<LineBackend> backend, QObject *parent = nullptr);
    ~Line() override;

    void start();
    void setPhonebook(const QList<PhonebookEntry> &phonebook);
    State state() const { return m_state; }
    QString entry() const { return m_entry; }
    // "Disconnected", "Connect device", "Connected to " + entry or "Disconnecting".
    QString statusLine() const;

    // The bytes of the last call that ended; none when its interface could not be read.
    std::optional<Traffic> callTraffic() const { return m_callTraffic; }
    // The bytes of the call in progress until now; none while the line is not up or its
    // interface cannot be read.
    std::optional<Traffic> trafficSoFar();

    // Only while the line is down.
    void dial(const PhonebookEntry &entry, const QString &password);
    // Only while the line is dialling or up.
    void hangUp();

Q_SIGNALS:
    void status(const QString &line);
    void stateChanged(Line::State state);

private:
    void onUp(const QString &entry);
    void onDown(const QString &reason);
    // Those who follow the state hear of a change before the clients are told the new status
    // line, then the reason.
    void setState(State state, const QString &reason = QString());

    std::unique_ptr<LineBackend> m_backend;
    State m_state = State::Down;
    QString m_entry;
    CallTraffic m_traffic;
    bool m_counting = false;
    std::optional<Traffic> m_callTraffic;
};
