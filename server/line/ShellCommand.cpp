// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ShellCommand.h"

#include "Log.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

// How long a timed-out command's group has to end after SIGTERM before SIGKILL.
constexpr int kTermGraceMs = 2000;

} // namespace

ShellCommand::ShellCommand(const QString &command, const QProcessEnvironment &environment,
                           int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_command(command)
{
    m_process.setProgram(QStringLiteral("/bin/sh"));
    m_process.setArguments({QStringLiteral("-c"), command});
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    // A group of its own, so that a time-out ends whatever the shell started (pppd, chat...)
    // and not the shell alone.
    m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(timeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        signalGroup(SIGTERM);
        m_kill.start();
    });
    m_kill.setSingleShot(true);
    m_kill.setInterval(kTermGraceMs);
    connect(&m_kill, &QTimer::timeout, this, [this] { signalGroup(SIGKILL); });
    connect(&m_process, &QProcess::finished, this, &ShellCommand::onFinished);
    // Queued, so that a command that cannot start still reports from the event loop.
    connect(&m_process, &QProcess::errorOccurred, this, &ShellCommand::onError,
            Qt::QueuedConnection);
}

ShellCommand::~ShellCommand()
{
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning) {
        signalGroup(SIGKILL);
        m_process.waitForFinished(1000);
    }
}

void ShellCommand::signalGroup(int number)
{
    // Right after the start the child may not have made its group yet: then it is alone.
    if (m_group > 0) {
        if (::kill(-m_group, number) != 0 && errno == ESRCH)
            ::kill(m_group, number);
    } else
        m_process.kill();
}

void ShellCommand::start()
{
    Log::debug(QStringLiteral("Running: %1").arg(m_command));
    m_timeout.start();
    m_process.start();
    // The child made itself the leader of a group of its own number.
    m_group = pid_t(m_process.processId());
}

void ShellCommand::abandon()
{
    m_reported = true;
    m_timeout.stop();
    if (m_process.state() == QProcess::NotRunning) {
        deleteLater();
        return;
    }
    connect(&m_process, &QProcess::finished, this, &QObject::deleteLater);
    connect(&m_process, &QProcess::errorOccurred, this, &QObject::deleteLater);
    signalGroup(SIGKILL);
}

void ShellCommand::onFinished(int exitCode, QProcess::ExitStatus status)
{
    Result result;
    result.output = QString::fromLocal8Bit(m_process.readAll());
    if (m_timedOut)
        result.failure = QStringLiteral("no outcome within %1 s")
                             .arg(QString::number(m_timeout.interval() / 1000.0));
    else if (status != QProcess::NormalExit)
        result.failure = QStringLiteral("the command crashed");
    else if (exitCode != 0)
        result.failure =
            QStringLiteral("the command ended with code %1").arg(QString::number(exitCode));
    result.ok = result.failure.isEmpty();
    report(result);
}

void ShellCommand::onError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart)
        return;
    Result result;
    result.failure =
        QStringLiteral("the command could not be started: %1").arg(m_process.errorString());
    report(result);
}

void ShellCommand::report(const Result &result)
{
    if (m_reported)
        return;
    m_reported = true;
    m_timeout.stop();
    // What the shell started may outlive it, still holding the modem.
    if (m_timedOut)
        signalGroup(SIGKILL);
    Log::debug(QStringLiteral("Finished (%1): %2")
                   .arg(result.ok ? QStringLiteral("ok") : result.failure, m_command));
    Q_EMIT finished(result);
}

QString ShellCommand::Result::summary() const
{
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (!it->trimmed().isEmpty())
            return it->trimmed();
    }
    return failure;
}

QString ShellCommand::Result::firstLine() const
{
    return output.section(QLatin1Char('\n'), 0, 0).trimmed();
}
