// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ClientProcess.h"

#include "BenchReport.h"
#include "Cp1252.h"
#include "Protocol.h"
#include "SettingsBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

namespace {

QByteArray procFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray procFile(qint64 pid, const char *name)
{
    return procFile(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
}

// A "Key:   123 kB" field of a /proc status file, in kB.
qint64 kbField(const QByteArray &text, const QByteArray &key)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace

ClientProcess::ClientProcess(const QString &executable, const QStringList &wrapper)
    : m_folder(m_home.filePath(QStringLiteral("program")))
    , m_wrapper(wrapper)
{
    if (!m_home.isValid() || !m_peer.listening())
        fail(QStringLiteral("cannot set up a home and a listening peer"));
    if (!QDir().mkpath(m_folder) ||
        !QFile::copy(executable, m_folder + QStringLiteral("/velmora-client")))
        fail(QStringLiteral("cannot copy %1 into a program folder").arg(executable));

    const QString config = m_home.filePath(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    const QString app = QStringLiteral("Velmora");
    const QString section = QStringLiteral("Configuration");
    SaveSetting(app, section, QStringLiteral("ServerIPAddress"), QStringLiteral("127.0.0.1"));
    SaveSetting(app, section, QStringLiteral("ServerPort"), QString::number(m_peer.port()));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
}

void ClientProcess::start()
{
    const QString client = m_folder + QStringLiteral("/velmora-client");
    if (m_wrapper.isEmpty())
        m_process.start(client, {});
    else
        m_process.start(m_wrapper.first(), m_wrapper.mid(1) + QStringList{client});
}

void ClientProcess::awaitLink()
{
    if (!m_peer.acceptClient(PeerTimeoutMs * (m_wrapper.isEmpty() ? 1 : 10)))
        fail(QStringLiteral("the client did not link"));
}

void ClientProcess::sendLine(const QString &line)
{
    if (!m_peer.send(Cp1252::encode(line)) ||
        !m_peer.readUntil(Cp1252::encode(Protocol::MsgAck), PeerTimeoutMs))
        fail(QStringLiteral("the client did not acknowledge \"%1\"").arg(line));
}

void ClientProcess::shutDown(int minLogLines)
{
    if (!m_peer.send(Cp1252::encode(Protocol::MsgShutdown)) ||
        !m_peer.readUntil(Cp1252::encode(Protocol::CmdEnd), PeerTimeoutMs) ||
        !m_peer.send(Cp1252::encode(Protocol::MsgAck)))
        fail(QStringLiteral("the client did not end its link with \"CMD_END\""));
    m_peer.closeClient();
    if (!m_process.waitForFinished(PeerTimeoutMs) || m_process.exitCode() != 0)
        fail(QStringLiteral("the client did not end cleanly"));
    QFile log(m_folder + QStringLiteral("/clientlog.txt"));
    if (!log.open(QIODevice::ReadOnly) || log.readAll().count('\n') < minLogLines)
        fail(QStringLiteral("the activity log lacks lines"));
    if (QFile::exists(m_folder + QStringLiteral("/clienterr.txt")))
        fail(QStringLiteral("the client logged errors"));
}

namespace ProcStats {

QString memoryText(qint64 pid)
{
    const QByteArray status = procFile(pid, "status");
    const QByteArray rollup = procFile(pid, "smaps_rollup");
    const auto mib = [](qint64 kb) { return QString::number(double(kb) / 1024.0, 'f', 1); };
    return QStringLiteral("VmRSS %1 MiB, VmHWM %2 MiB, Pss %3 MiB, private %4 MiB")
        .arg(mib(kbField(status, "VmRSS")), mib(kbField(status, "VmHWM")),
             mib(kbField(rollup, "Pss")),
             mib(kbField(rollup, "Private_Clean") + kbField(rollup, "Private_Dirty")));
}

qint64 cpuTicks(qint64 pid)
{
    const QByteArray stat = procFile(pid, "stat");
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

qint64 cpuNanoseconds(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    qint64 total = 0;
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        total += procFile(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"))
                     .split(' ')
                     .first()
                     .toLongLong();
    return total;
}

} // namespace ProcStats
