// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

// What the line needs to know of the configuration: the entries it dials and the settings of
// each backend. The server's configuration holds these; the line never reads the rest of it.

// Who judges the password of a phonebook entry.
enum class PasswordCheck {
    None,   // the entry is dialled without one
    Server, // the server knows it and dials only when the client's matches
    Line,   // the server asks the client for one and hands it to the line, which judges it
};

struct PhonebookEntry
{
    QString name;
    QString password; // Server: the password itself
    PasswordCheck check = PasswordCheck::None;
    qint64 maxOnlineMs = 0; // after this long up the server asks to hang up; 0: no limit
    qint64 idleMs = -1;     // after this long idle the server hangs up; 0: never; -1: as all
    // The NetworkManager connection the entry dials, by id or UUID; empty: the one whose id is
    // the entry's name.
    QString connection{};

    bool operator==(const PhonebookEntry &other) const = default;
};

struct SimulatedSettings
{
    int dialMs = 3000;
    int hangUpMs = 1000;
    QString linePassword; // what the simulated far end accepts for a Line-checked entry

    bool operator==(const SimulatedSettings &other) const = default;
};

struct CommandSettings
{
    QString dial;
    QString hangUp;
    QString status; // optional: without it a command's exit code is the whole truth
    // Optional: the network interface that is the line; its events replace the status command.
    QString interface;
    int statusIntervalMs = 3000;
    int dialTimeoutMs = 120000;
    int commandTimeoutMs = 60000;

    bool operator==(const CommandSettings &other) const = default;
};

enum class BackendKind { Simulated, Command, NetworkManager };
