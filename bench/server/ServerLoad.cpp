// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Load generator for velmora-server: links many clients on loopback to a real server process,
// changes the line's state, and measures how long it takes until every client has acknowledged
// the resulting status line, together with the server's memory.

#include "LoadClient.h"
#include "Protocol.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/resource.h>
#include <vector>

namespace {

void say(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

// Thrown on any failure, so that the server process is stopped on the way out.
struct Failure
{
    QString text;
};

[[noreturn]] void fail(const QString &text)
{
    throw Failure{text};
}

// Runs the event loop until done() holds or timeoutMs pass; false on time-out.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake;
    wake.start(20);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QString procStatus(qint64 pid, const char *field)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    const QString key = QString::fromLatin1(field) + QLatin1Char(':');
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QString text = QString::fromLatin1(line);
        if (text.startsWith(key)) {
            const qint64 kb =
                text.mid(key.size()).trimmed().split(QLatin1Char(' ')).first().toLongLong();
            return QString::number(kb / 1024.0, 'f', 1) + QStringLiteral(" MB");
        }
    }
    return QStringLiteral("?");
}

struct Series
{
    QString label;
    std::vector<qint64> values;

    QString row() const
    {
        std::vector<qint64> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const qint64 median = sorted.empty() ? -1 : sorted[sorted.size() / 2];
        const qint64 worst = sorted.empty() ? -1 : sorted.back();
        return QStringLiteral("  %1 %2 %3").arg(label, -58).arg(median, 7).arg(worst, 7);
    }
};

class Bench
{
public:
    Bench(QString serverPath, int clients, QString logLevel)
        : m_serverPath(std::move(serverPath))
        , m_count(clients)
        , m_logLevel(std::move(logLevel))
    {
        m_clock.start();
    }

    void startServer()
    {
        if (!m_dir.isValid())
            fail(QStringLiteral("no temporary folder"));
        const QString config = m_dir.filePath(QStringLiteral("bench.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            fail(QStringLiteral("cannot write %1").arg(config));
        // Every client links from 127.0.0.1, so the caps must hold them all. A message of 60 KB
        // may reach the server in several reads, each counted as a message: the flood limits
        // are raised so that the message load drops no sender.
        file.write("[Server]\nAddress=127.0.0.1\nDisconnectSeconds=30\n"
                   "MaxLinks=100000\nMaxLinksPerAddress=100000\n"
                   "MaxMessageBytes=1048576\nMaxMessagesPerSecond=1000\n"
                   "[Simulated]\nDialMs=200\nHangUpMs=200\n[Phonebook]\nOffice=\n");
        file.close();
        m_server.setProcessChannelMode(QProcess::SeparateChannels);
        m_server.start(m_serverPath,
                       {QStringLiteral("--config"), config, QStringLiteral("--port"),
                        QStringLiteral("0"), QStringLiteral("--log-level"), m_logLevel});
        if (!m_server.waitForStarted())
            fail(QStringLiteral("cannot start %1").arg(m_serverPath));
        static const QRegularExpression listening(QStringLiteral("Listening on [^\\s]*:(\\d+)"));
        QString log;
        waitUntil(
            [&] {
                log += QString::fromLocal8Bit(m_server.readAllStandardError());
                const auto match = listening.match(log);
                m_port = match.hasMatch() ? quint16(match.captured(1).toUInt()) : 0;
                return m_port != 0 || m_server.state() == QProcess::NotRunning;
            },
            10000);
        if (m_port == 0)
            fail(QStringLiteral("the server did not start listening:\n%1").arg(log));
        // From here on the server's warnings go straight to our standard error.
        QObject::connect(&m_server, &QProcess::readyReadStandardError, &m_server, [this] {
            std::fprintf(stderr, "%s", m_server.readAllStandardError().constData());
        });
    }

    void link()
    {
        const qint64 start = m_clock.elapsed();
        // Connections go out in batches, as a real office's clients trickle in.
        constexpr int kBatch = 100;
        for (int i = 0; i < m_count; ++i) {
            m_clients.push_back(std::make_unique<LoadClient>(i, m_clock, m_ackCounts));
            m_clients.back()->connectTo(m_port);
            if ((i + 1) % kBatch == 0 &&
                !waitUntil([&] { return linkedCount() > i - kBatch; }, 30000))
                fail(QStringLiteral("only %1 clients linked").arg(linkedCount()));
        }
        if (!waitUntil([&] { return linkedCount() == m_count; }, 30000))
            fail(QStringLiteral("only %1 of %2 clients linked").arg(linkedCount()).arg(m_count));
        say(QStringLiteral("Linked %1 clients in %2 ms")
                .arg(m_count)
                .arg(m_clock.elapsed() - start));
        // Let the server's heap settle after the rush of set-ups.
        waitUntil([] { return false; }, 500);
        say(QStringLiteral("Server memory, linked:  VmRSS %1, VmHWM %2")
                .arg(procStatus(m_server.processId(), "VmRSS"),
                     procStatus(m_server.processId(), "VmHWM")));
    }

    // One dial and one hang-up, each timed from the request to the last acknowledgement.
    void round()
    {
        const QString connectDevice = Protocol::StatusConnectDevice;
        const QString connected = Protocol::StatusConnectedTo + QStringLiteral("Office");
        const QString disconnecting = Protocol::StatusDisconnecting;
        const QString disconnected = Protocol::StatusDisconnected;

        qint64 t0 = m_clock.elapsed();
        m_clients.front()->request(Protocol::connectRequest(QStringLiteral("Office")));
        awaitAll(connectDevice, t0);
        m_dialAll.values.push_back(lastAck(connectDevice, 0) - t0);
        m_dialOthers.values.push_back(lastAck(connectDevice, 1) - t0);
        awaitAll(connected, t0);
        m_connectedSpread.values.push_back(lastAck(connected, 0) - firstReceipt(connected));

        t0 = m_clock.elapsed();
        m_clients.front()->request(Protocol::CmdDisconnect);
        awaitAll(disconnecting, t0);
        m_hangUpAll.values.push_back(lastAck(disconnecting, 0) - t0);
        awaitAll(disconnected, t0);
        m_disconnectedSpread.values.push_back(lastAck(disconnected, 0) -
                                              firstReceipt(disconnected));
    }

    // Five desks send messages naming 20,000 recipients each (every other desk, over and over:
    // 60 KB), each sender about three a second, for the given time; meanwhile the first desk,
    // which nobody names, asks for the user list every 100 ms and its round trip is timed.
    void messages(int seconds)
    {
        constexpr int kSenders = 5;
        constexpr int kRecipients = 20000;
        constexpr qint64 kSendEveryMs = 300;
        if (m_count <= kSenders + 1)
            fail(QStringLiteral("the message load needs more than %1 clients").arg(kSenders + 1));
        QString names;
        for (int i = 0; i < kRecipients; ++i)
            names += m_clients[std::size_t(1 + i % (m_count - 1))]->identity() +
                     Protocol::NameTerminator;
        const QString message = Protocol::UserMessagePrefix + names + QStringLiteral("hello");
        say(QStringLiteral("%1 senders, messages of %2 bytes naming %3 recipients")
                .arg(kSenders)
                .arg(message.size())
                .arg(kRecipients));
        std::vector<qint64> lastSent(kSenders, -kSendEveryMs);
        const auto feed = [&] {
            for (int i = 0; i < kSenders; ++i) {
                LoadClient &sender = *m_clients[std::size_t(1 + i)];
                if (sender.isIdle() &&
                    m_clock.elapsed() - lastSent[std::size_t(i)] >= kSendEveryMs) {
                    lastSent[std::size_t(i)] = m_clock.elapsed();
                    sender.request(message);
                }
            }
            return false;
        };
        LoadClient &quiet = *m_clients.front();
        const qint64 end = m_clock.elapsed() + seconds * 1000LL;
        while (m_clock.elapsed() < end) {
            const qint64 t0 = m_clock.elapsed();
            quiet.request(Protocol::CmdUsers);
            if (!waitUntil(
                    [&] { return feed() || quiet.receivedWith(Protocol::UsersPrefix) >= t0; },
                    30000))
                fail(QStringLiteral("the quiet desk's user list did not come"));
            m_usersTrip.values.push_back(quiet.receivedWith(Protocol::UsersPrefix) - t0);
            waitUntil(feed, 100);
        }
        const auto dropped = std::count_if(m_clients.begin(), m_clients.end(),
                                           [](const auto &c) { return c->isClosed(); });
        say(QStringLiteral("Over %1 s (ms):%2").arg(seconds).arg(QStringLiteral("median"), 52) +
            QStringLiteral("     max"));
        say(m_usersTrip.row());
        say(QStringLiteral("Links lost: %1").arg(dropped));
    }

    void report(int rounds)
    {
        say(QStringLiteral("Over %1 rounds (ms):%2").arg(rounds).arg(QStringLiteral("median"), 47) +
            QStringLiteral("     max"));
        for (const Series *s :
             {&m_dialAll, &m_dialOthers, &m_connectedSpread, &m_hangUpAll, &m_disconnectedSpread})
            say(s->row());
        say(QStringLiteral("Server memory, after:   VmRSS %1, VmHWM %2")
                .arg(procStatus(m_server.processId(), "VmRSS"),
                     procStatus(m_server.processId(), "VmHWM")));
        int merged = 0;
        for (const auto &c : m_clients)
            merged += c->mergedReads();
        say(QStringLiteral("Reads holding two messages, all clients: %1").arg(merged));
    }

    void stop()
    {
        const qint64 start = m_clock.elapsed();
        ::kill(pid_t(m_server.processId()), SIGUSR1);
        if (!waitUntil([&] { return m_server.state() == QProcess::NotRunning; }, 30000))
            fail(QStringLiteral("the server did not stop"));
        const qint64 stopped = m_clock.elapsed() - start;
        // The server may end before this process has read the last of its closes.
        waitUntil(
            [&] {
                return std::all_of(m_clients.begin(), m_clients.end(),
                                   [](const auto &c) { return c->isClosed(); });
            },
            5000);
        const auto closed = std::count_if(m_clients.begin(), m_clients.end(),
                                          [](const auto &c) { return c->isClosed(); });
        say(QStringLiteral("Stopped with SIGUSR1 in %1 ms, exit code %2; %3 links closed by "
                           "\"CMD_END\"")
                .arg(stopped)
                .arg(m_server.exitCode())
                .arg(closed));
    }

private:
    int linkedCount() const
    {
        return int(std::count_if(m_clients.begin(), m_clients.end(),
                                 [](const auto &c) { return c->isLinked(); }));
    }

    void awaitAll(const QString &message, qint64 since)
    {
        // Every client is looked at only once enough acknowledgements have come: looking at
        // 10,000 after each pass of the event loop would slow the generator, not the server.
        const auto ready = std::count_if(m_clients.begin(), m_clients.end(), [&](const auto &c) {
            return c->ackedAt(message) >= since;
        });
        const int before = m_ackCounts.value(message);
        const bool done = waitUntil(
            [&] {
                return ready + m_ackCounts.value(message) - before >= m_count &&
                       std::all_of(m_clients.begin(), m_clients.end(),
                                   [&](const auto &c) { return c->ackedAt(message) >= since; });
            },
            60000);
        if (done)
            return;
        QStringList late;
        for (const auto &c : m_clients) {
            if (c->ackedAt(message) < since && late.size() < 3)
                late.append(c->history());
        }
        fail(QStringLiteral("not every client acknowledged \"%1\"; for example\n%2")
                 .arg(message, late.join(QLatin1Char('\n'))));
    }

    qint64 lastAck(const QString &message, std::size_t from) const
    {
        qint64 last = 0;
        for (std::size_t i = from; i < m_clients.size(); ++i)
            last = std::max(last, m_clients[i]->ackedAt(message));
        return last;
    }

    qint64 firstReceipt(const QString &message) const
    {
        qint64 first = std::numeric_limits<qint64>::max();
        for (const auto &c : m_clients)
            first = std::min(first, c->receivedAt(message));
        return first;
    }

    QString m_serverPath;
    int m_count;
    QString m_logLevel;
    QElapsedTimer m_clock;
    QTemporaryDir m_dir;
    QProcess m_server;
    quint16 m_port = 0;
    std::vector<std::unique_ptr<LoadClient>> m_clients;
    QHash<QString, int> m_ackCounts;
    Series m_dialAll{QStringLiteral("dial request -> last ack of \"Connect device\", all"), {}};
    Series m_dialOthers{QStringLiteral("dial request -> last ack of \"Connect device\", others"),
                        {}};
    Series m_connectedSpread{QStringLiteral("first \"Connected to\" -> last ack of it"), {}};
    Series m_hangUpAll{
        QStringLiteral("hang-up request (all agree) -> last ack of \"Disconnecting\""), {}};
    Series m_disconnectedSpread{QStringLiteral("first \"Disconnected\" -> last ack of it"), {}};
    Series m_usersTrip{QStringLiteral("quiet desk: \"CMD_USERS\" -> \"USERS:\""), {}};
};

} // namespace

int main(int argc, char *argv[])
{
    // Qt's own event loop, as the server runs on: GLib's walks the list of all sockets' watches
    // for every write and read, and the generator would measure itself.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    qunsetenv("QT_NO_GLIB");
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption clients(QStringLiteral("clients"), QStringLiteral("Clients to link."),
                                     QStringLiteral("N"), QStringLiteral("1000"));
    const QCommandLineOption rounds(QStringLiteral("rounds"),
                                    QStringLiteral("Dial and hang-up rounds."), QStringLiteral("R"),
                                    QStringLiteral("5"));
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("The server to run."),
                                    QStringLiteral("PATH"), QStringLiteral(VELMORA_SERVER_EXE));
    const QCommandLineOption logLevel(QStringLiteral("log-level"),
                                      QStringLiteral("The server's log level."),
                                      QStringLiteral("LEVEL"), QStringLiteral("warning"));
    const QCommandLineOption messages(
        QStringLiteral("messages"),
        QStringLiteral("Instead of the rounds: five desks send messages naming 20,000 "
                       "recipients for S seconds, and a quiet desk's user list is timed."),
        QStringLiteral("S"));
    parser.addOptions({clients, rounds, server, logLevel, messages});
    parser.process(app);
    const int count = std::max(2, parser.value(clients).toInt());
    const int roundCount = std::max(1, parser.value(rounds).toInt());

    // Each client holds a descriptor here too, and the server (which raises its own limit the
    // same way) one per client.
    rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    const auto needed = rlim_t(count) + 64;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur < needed) {
        std::fprintf(stderr,
                     "bench_server_load: %d clients need %lu open files, the limit is %lu; "
                     "raise the hard limit (ulimit -Hn)\n",
                     count, static_cast<unsigned long>(needed),
                     static_cast<unsigned long>(limit.rlim_cur));
        return 1;
    }

    try {
        Bench bench(parser.value(server), count, parser.value(logLevel));
        bench.startServer();
        bench.link();
        if (parser.isSet(messages)) {
            bench.messages(std::max(1, parser.value(messages).toInt()));
        } else {
            for (int i = 0; i < roundCount; ++i)
                bench.round();
            bench.report(roundCount);
        }
        bench.stop();
    } catch (const Failure &failure) {
        std::fprintf(stderr, "bench_server_load: %s\n", qPrintable(failure.text));
        return 1;
    }
    return 0;
}
