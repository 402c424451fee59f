// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "InterfaceWatch.h"
#include "LineBackend.h"
#include "ShellCommand.h"

#include <QPointer>
#include <QTimer>

// A line driven by the office's own shell commands (pppd, NetworkManager, a modem script):
// one to dial, one to hang up and, optionally, one that tells the line's state, run every few
// seconds. The commands see the entry as $VELMORA_ENTRY; the dial command alone sees the
// password given by the client as $VELMORA_PASSWORD, empty for an entry that asks none. The status
// command succeeds (exit code 0) while the line is up; its first line of output, when there is one,
// names the entry.
class CommandBackend : public LineBackend
{
    Q_OBJECT

public:
    explicit CommandBackend(const CommandSettings &settings, QObject *parent = nullptr);
    ~CommandBackend() override;

    void start() override;
    void dial(const PhonebookEntry &entry, const QString &password) override;
    void hangUp() override;
    QString interfaceName() const override { return m_settings.interface; }

private:
    enum class Phase { Down, Dialling, AwaitingUp, Up, HangingUp, AwaitingDown };

    enum class WithPassword { No, Yes };

    ShellCommand *run(const QString &command, int timeoutMs,
                      WithPassword password = WithPassword::No);
    void cancelCommands();
    void probe();
    // The result with the password hidden wherever it appears in the output.
    ShellCommand::Result masked(ShellCommand::Result result) const;
    void onDialled(const ShellCommand::Result &result);
    void onHungUp(bool ok, const QString &why);
    void onProbed(bool up, const QString &entry);
    void onDeadline();
    void becomeUp(const QString &entry);
    void becomeDown(const QString &reason);

    CommandSettings m_settings;
    Phase m_phase = Phase::Down;
    QString m_entry;
    QString m_password;
    QPointer<ShellCommand> m_action;
    QPointer<ShellCommand> m_probe;
    QTimer m_poll;
    QTimer m_deadline;
    // With an interface named, its kernel events tell the line's state, not a status command.
    InterfaceWatch *m_watch = nullptr;
};
