// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// Whether every line of a server's output is a line of its log, time stamp and level first,
// and none passes on a warning of Qt's; the lines that are not are written out.
inline bool inLogForm(const QString &output)
{
    static const QRegularExpression form(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} (error  |warning|info   |debug  ) "));
    bool clean = true;
    for (const QString &line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!form.match(line).hasMatch() || line.contains(QLatin1String(" Qt: "))) {
            qInfo("Not a line of the log's own: %s", qPrintable(line));
            clean = false;
        }
    }
    return clean;
}

// The real velmora-server in a process of its own, its log read as it comes.
class ServerProcess
{
public:
    // Killed if still running, as a crash or a power cut would end it.
    ~ServerProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    // Starts the server with arguments, run by the program and arguments of wrapper when given
    // (a shell setting limits, say, which is handed the server and its arguments), and waits
    // for its listening line; false when it does not come.
    bool start(const QStringList &arguments, const QStringList &wrapper = {})
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        const QStringList command = wrapper + QStringList{QStringLiteral(VELMORA_SERVER_EXE)};
        m_process.start(command.first(), command.mid(1) + arguments);
        static const QRegularExpression listening(QStringLiteral("Listening on [^\\s]*:(\\d+)"));
        QRegularExpressionMatch match;
        const bool up = QTest::qWaitFor([&] {
            match = listening.match(log());
            return match.hasMatch() || m_process.state() == QProcess::NotRunning;
        });
        m_port = match.hasMatch() ? quint16(match.captured(1).toUInt()) : 0;
        return up && m_port != 0;
    }
    // Writes text as the server's configuration file; its path, or nothing when it cannot.
    QString writeConfig(const QByteArray &text)
    {
        QFile file(m_dir.filePath(QStringLiteral("server.conf")));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? file.fileName()
                                                                                  : QString();
    }
    // Starts the server with a configuration file holding text, and the further arguments.
    bool startWith(const QByteArray &text, const QStringList &arguments)
    {
        const QString path = writeConfig(text);
        return !path.isEmpty() && start(QStringList{QStringLiteral("--config"), path} + arguments);
    }
    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    // Everything the server has written so far.
    QString log()
    {
        m_log += QString::fromUtf8(m_process.readAll());
        return m_log;
    }
    // Waits until the log holds text; false when it does not come.
    bool waitForLog(const QString &text, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return log().contains(text); }, timeoutMs);
    }
    // Waits for the server to end; false unless it exits cleanly, its log in its own form.
    bool ended()
    {
        const bool gone =
            QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, 10000);
        return gone && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == 0 && inLogForm(log());
    }
    // Stops the server with SIGTERM; false unless it exits cleanly.
    bool stop()
    {
        m_process.terminate();
        return ended();
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_log;
    quint16 m_port = 0;
};
