#include "ShellCommand.h"

#include "Log.h"

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
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(timeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        m_process.kill();
    });
    connect(&m_process, &QProcess::finished, this, &ShellCommand::onFinished);
    // Queued, so that a command that cannot start still reports from the event loop.
    connect(&m_process, &QProcess::errorOccurred, this, &ShellCommand::onError,
            Qt::QueuedConnection);
}

ShellCommand::~ShellCommand()
{
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

void ShellCommand::start()
{
    Log::debug(QStringLiteral("Running: %1").arg(m_command));
    m_timeout.start();
    m_process.start();
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
    m_process.kill();
}

void ShellCommand::onFinished(int exitCode, QProcess::ExitStatus status)
{
    Result result;
    result.output = QString::fromLocal8Bit(m_process.readAll());
    if (m_timedOut)
        result.failure =
            QStringLiteral("no outcome within %1 s").arg(m_timeout.interval() / 1000.0);
    else if (status != QProcess::NormalExit)
        result.failure = QStringLiteral("the command crashed");
    else if (exitCode != 0)
        result.failure = QStringLiteral("the command ended with code %1").arg(exitCode);
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
