// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <sys/types.h>

// One run of a configured shell command, never waited on: the outcome arrives as a signal.
// The command runs in a process group of its own. One that outlives its time limit counts as
// failed: its whole group gets SIGTERM, then SIGKILL after a short grace.
class ShellCommand : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        bool ok = false;
        QString output;  // standard output and error together
        QString failure; // why it did not succeed, for the log and the status line
        // The last line of output that is not blank, else the failure.
        QString summary() const;
        QString firstLine() const;
    };

    ShellCommand(const QString &command, const QProcessEnvironment &environment, int timeoutMs,
                 QObject *parent = nullptr);
    ~ShellCommand() override;

    void start();
    // Stops caring about the outcome: the command is killed and this object deletes itself
    // once it has ended, without blocking and without reporting.
    void abandon();

Q_SIGNALS:
    void finished(const ShellCommand::Result &result);

private:
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onError(QProcess::ProcessError error);
    void report(const Result &result);
    void signalGroup(int number);

    QString m_command;
    QProcess m_process;
    QTimer m_timeout;
    QTimer m_kill;
    pid_t m_group = 0;
    bool m_timedOut = false;
    bool m_reported = false;
};
