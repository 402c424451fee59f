// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CommandBackend.h"

#include "Log.h"
#include "ShellCommand.h"

CommandBackend::CommandBackend(const CommandSettings &settings, QObject *parent)
    : LineBackend(parent)
    , m_settings(settings)
{
    m_poll.setInterval(m_settings.statusIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, &CommandBackend::probe);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &CommandBackend::onDeadline);
    if (!m_settings.interface.isEmpty()) {
        m_watch = new InterfaceWatch(m_settings.interface, this);
        // A line found up that nobody here dialled is named after its interface.
        connect(m_watch, &InterfaceWatch::changed, this, [this](bool up) {
            onProbed(up, m_entry.isEmpty() ? m_settings.interface : QString());
        });
    }
}

CommandBackend::~CommandBackend()
{
    cancelCommands();
}

void CommandBackend::start()
{
    QString error;
    if (m_watch && !m_watch->start(&error))
        Log::error(error);
    if (m_watch || m_settings.status.isEmpty())
        return;
    m_poll.start();
    probe();
}

void CommandBackend::dial(const PhonebookEntry &entry, const QString &password)
{
    cancelCommands();
    m_phase = Phase::Dialling;
    m_entry = entry.name;
    // Whatever a desk sent along for an entry that asks none is no password of the line's.
    m_password = entry.check == PasswordCheck::None ? QString() : password;
    m_action = run(m_settings.dial, m_settings.commandTimeoutMs, WithPassword::Yes);
    connect(m_action, &ShellCommand::finished, this,
            [this](const ShellCommand::Result &r) { onDialled(r); });
    m_action->start();
}

void CommandBackend::hangUp()
{
    cancelCommands();
    m_deadline.stop();
    m_phase = Phase::HangingUp;
    m_action = run(m_settings.hangUp, m_settings.commandTimeoutMs);
    connect(m_action, &ShellCommand::finished, this,
            [this](const ShellCommand::Result &r) { onHungUp(r.ok, masked(r).summary()); });
    m_action->start();
}

ShellCommand *CommandBackend::run(const QString &command, int timeoutMs, WithPassword password)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELMORA_ENTRY"), m_entry);
    // Only the dial needs the password; the other commands run often, and what they start
    // (logged, traced, its environment read) should never hold it.
    environment.remove(QStringLiteral("VELMORA_PASSWORD"));
    if (password == WithPassword::Yes)
        environment.insert(QStringLiteral("VELMORA_PASSWORD"), m_password);
    return new ShellCommand(command, environment, timeoutMs, this);
}

void CommandBackend::cancelCommands()
{
    if (m_action)
        m_action->abandon();
    if (m_probe)
        m_probe->abandon();
    m_action = nullptr;
    m_probe = nullptr;
}

void CommandBackend::probe()
{
    if (m_watch) {
        onProbed(m_watch->isUp(), QString());
        return;
    }
    // While a dial or a hang-up runs, its own outcome tells the state.
    if (m_settings.status.isEmpty() || m_probe || m_action)
        return;
    m_probe = run(m_settings.status, m_settings.commandTimeoutMs);
    connect(m_probe, &ShellCommand::finished, this, [this](const ShellCommand::Result &r) {
        m_probe->deleteLater();
        m_probe = nullptr;
        onProbed(r.ok, masked(r).firstLine());
    });
    m_probe->start();
}

ShellCommand::Result CommandBackend::masked(ShellCommand::Result result) const
{
    // The whole output, before any line is picked or trimmed: a password with a blank at either
    // end would no longer match the trimmed line.
    if (!m_password.isEmpty())
        result.output.replace(m_password, QStringLiteral("***"));
    return result;
}

void CommandBackend::onDialled(const ShellCommand::Result &result)
{
    m_action->deleteLater();
    m_action = nullptr;
    if (!result.ok) {
        // The command's output may echo what it was given; only the log sees it, masked.
        Log::warning(QStringLiteral("Dialling %1 failed: %2; its last line of output: %3")
                         .arg(m_entry, result.failure, masked(result).summary()));
        becomeDown(QStringLiteral("Dialling %1 failed: %2").arg(m_entry, result.failure));
        return;
    }
    if (m_settings.status.isEmpty() && !m_watch) {
        becomeUp(m_entry);
        return;
    }
    m_phase = Phase::AwaitingUp;
    m_deadline.start(m_settings.dialTimeoutMs);
    probe();
}

void CommandBackend::onHungUp(bool ok, const QString &why)
{
    m_action->deleteLater();
    m_action = nullptr;
    if (!ok)
        Log::warning(QStringLiteral("Hanging up %1: %2").arg(m_entry, why));
    if (m_settings.status.isEmpty() && !m_watch) {
        becomeDown(QString());
        return;
    }
    m_phase = Phase::AwaitingDown;
    m_deadline.start(m_settings.commandTimeoutMs);
    probe();
}

void CommandBackend::onProbed(bool up, const QString &entry)
{
    switch (m_phase) {
    case Phase::Down:
        if (up) {
            Log::info(QStringLiteral("The line was brought up outside the server"));
            becomeUp(entry.isEmpty() ? m_entry : entry);
        }
        break;
    case Phase::AwaitingUp:
        if (up)
            becomeUp(m_entry);
        break;
    case Phase::Up:
        if (!up) {
            Log::warning(QStringLiteral("The line to %1 fell").arg(m_entry));
            becomeDown(QStringLiteral("Connection to %1 lost").arg(m_entry));
        }
        break;
    case Phase::AwaitingDown:
        if (!up)
            becomeDown(QString());
        break;
    case Phase::Dialling:
    case Phase::HangingUp:
        break;
    }
}

void CommandBackend::onDeadline()
{
    if (m_phase == Phase::AwaitingUp) {
        const QString reason =
            QStringLiteral("Dialling %1 failed: no connection within %2 s")
                .arg(m_entry, QString::number(m_settings.dialTimeoutMs / 1000.0));
        Log::warning(reason);
        // The dial may still be trying; the hang-up command stops it.
        cancelCommands();
        m_action = run(m_settings.hangUp, m_settings.commandTimeoutMs);
        connect(m_action, &ShellCommand::finished, this, [this](const ShellCommand::Result &) {
            m_action->deleteLater();
            m_action = nullptr;
        });
        m_action->start();
        becomeDown(reason);
    } else if (m_phase == Phase::AwaitingDown) {
        Log::warning(QStringLiteral("The status command still reports the line up after the "
                                    "hang-up; taking it as down"));
        becomeDown(QString());
    }
}

void CommandBackend::becomeUp(const QString &entry)
{
    m_deadline.stop();
    m_phase = Phase::Up;
    m_entry = entry;
    Q_EMIT lineUp(entry);
}

void CommandBackend::becomeDown(const QString &reason)
{
    m_deadline.stop();
    m_phase = Phase::Down;
    m_password.clear();
    Q_EMIT lineDown(reason);
}
