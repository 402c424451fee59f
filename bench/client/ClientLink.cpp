// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The client's link under measurement: the real main window on the offscreen platform, linked
// over loopback TCP to a server end that runs on a thread of its own with blocking sockets.
// Prints the share of one core the client process uses while a send waits on a silent server
// and while it sits linked and idle, and the round trip from a server line to the client's
// "MSG_ACK".

#include "BenchReport.h"
#include "Clock.h"
#include "Cp1252.h"
#include "frmMain.h"
#include "LoopbackPeer.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "Protocol.h"
#include "RuntimeError.h"
#include "SettingsBackend.h"
#include "TcpClientSocket.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QLabel>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

// How long the peer waits for any one step of the client before it calls the run failed:
// longer than the client's own 10-second acknowledgement limit.
constexpr int PeerTimeoutMs = 15000;
// Message boxes answered without showing, so that an unexpected error box cannot stall the
// run; any box shown fails it.
constexpr int QueuedBoxAnswers = 3;

// A dial-up cycle as the server reports it; any other text would do as well, as long as the
// client takes it for a status line.
const QString statusCycle[] = {
    Protocol::StatusConnectDevice,
    Protocol::StatusConnectedTo + QStringLiteral("Office line"),
    Protocol::StatusDisconnecting,
    Protocol::StatusDisconnected,
};

struct Options
{
    int idleSeconds = 60;
    int lines = 10000;
    bool hidden = false;
};

// CPU time (user and system) and the wall clock, both in microseconds.
struct Usage
{
    qint64 cpuUs = 0;
    qint64 wallUs = 0;
};

qint64 microseconds(const timeval &t)
{
    return qint64{t.tv_sec} * 1000000 + t.tv_usec;
}

Usage usageNow(int who = RUSAGE_SELF)
{
    rusage r{};
    getrusage(who, &r);
    const auto wall = std::chrono::duration_cast<std::chrono::microseconds>(
        SteadyClock::now().time_since_epoch());
    return {microseconds(r.ru_utime) + microseconds(r.ru_stime), wall.count()};
}

QString shareOfCore(const Usage &from, const Usage &to)
{
    const double wall = static_cast<double>(to.wallUs - from.wallUs) / 1e6;
    const double cpu = static_cast<double>(to.cpuUs - from.cpuUs) / 1e6;
    return QStringLiteral("%1 s wall, %2 s CPU: %3% of one core")
        .arg(wall, 0, 'f', 3)
        .arg(cpu, 0, 'f', 3)
        .arg(wall > 0 ? 100.0 * cpu / wall : 0.0, 0, 'f', 3);
}

// Nearest-rank percentile of sorted values.
qint64 percentile(const std::vector<qint64> &sorted, double fraction)
{
    const auto rank =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

QString milliseconds(qint64 ns)
{
    return QString::number(static_cast<double>(ns) / 1e6, 'f', 3) + QStringLiteral(" ms");
}

QString firstField(const QString &path, const QString &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QString text = QString::fromLatin1(line);
        if (text.startsWith(key))
            return text.section(QLatin1Char(':'), 1).trimmed();
    }
    return QStringLiteral("?");
}

QString machineText()
{
    const QString memory = firstField(QStringLiteral("/proc/meminfo"), QStringLiteral("MemTotal"));
    const double gib = memory.section(QLatin1Char(' '), 0, 0).toDouble() / (1024.0 * 1024.0);
    return QStringLiteral("%1 cores (nproc), %2, %3 GiB RAM, %4 build")
        .arg(sysconf(_SC_NPROCESSORS_ONLN))
        .arg(firstField(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name")))
        .arg(gib, 0, 'f', 1)
        .arg(QStringLiteral(VELMORA_BUILD_TYPE));
}

// Runs the client's events until done holds. The peer's thread posts an empty call when it
// sets done, so the loop sleeps until then instead of polling.
void runClientUntil(const std::atomic<bool> &done)
{
    while (!done.load())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Runs peerWork on the peer's thread while clientWork and then the client's events run here,
// until the peer's work ends; returns what the peer's work returned.
bool besideClient(const std::function<bool()> &peerWork,
                  const std::function<void()> &clientWork = {})
{
    std::atomic<bool> done = false;
    bool ok = false;
    std::thread peer([&] {
        ok = peerWork();
        done.store(true);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
    // The peer's waits all end by themselves, so it can be joined on any way out.
    const auto joinPeer = qScopeGuard([&] { peer.join(); });
    if (clientWork)
        clientWork();
    runClientUntil(done);
    return ok;
}

void runClientFor(int ms)
{
    std::atomic<bool> done = false;
    // The timer goes with this function, so it can never set a flag that is gone.
    const QObject scope;
    QTimer::singleShot(ms, Qt::PreciseTimer, &scope, [&] { done.store(true); });
    runClientUntil(done);
}

class ClientLinkBench
{
public:
    explicit ClientLinkBench(const Options &options)
        : m_options(options)
    {}

    void run();

private:
    void link();
    void measureSilentWait();
    void measureIdle();
    void measureRoundTrips();
    void shutDown();
    void checkClientState();

    Options m_options;
    QTemporaryDir m_programFolder;
    LoopbackPeer m_peer;
    std::unique_ptr<frmMain> m_window;
};

void ClientLinkBench::run()
{
    if (!m_programFolder.isValid())
        fail(QStringLiteral("cannot create a program folder for the logs"));
    if (!m_peer.listening())
        fail(QStringLiteral("the peer cannot listen on 127.0.0.1"));
    MainModule::setProgramFolder(m_programFolder.path());
    const QString app = QStringLiteral("Velmora");
    const QString section = QStringLiteral("Configuration");
    SaveSetting(app, section, QStringLiteral("ServerIPAddress"), QStringLiteral("127.0.0.1"));
    SaveSetting(app, section, QStringLiteral("ServerPort"), QString::number(m_peer.port()));
    for (int i = 0; i < QueuedBoxAnswers; ++i)
        MessageBox::setNextAnswer(MessageBox::AnswerOk);

    say(QStringLiteral("Machine: ") + machineText());
    link();
    // The client as it mostly runs: hidden, with only its notification icon showing.
    if (m_options.hidden)
        m_window->hide();
    // Start-up's own work (first paint, settings reads) is not part of what follows.
    runClientFor(1000);
    measureSilentWait();
    measureIdle();
    measureRoundTrips();
    shutDown();
    checkClientState();
    MainModule::setProgramFolder(QString());
}

void ClientLinkBench::link()
{
    m_window = std::make_unique<frmMain>();
    bool loaded = false;
    const bool accepted = besideClient([&] { return m_peer.acceptClient(PeerTimeoutMs); },
                                       [&] { loaded = m_window->Form_Load(); });
    if (!loaded || !accepted || m_window->wskClient->State() != TcpClientSocket::StateConnected)
        fail(QStringLiteral("the client did not link: ") + m_window->lblLink->text());
}

void ClientLinkBench::measureSilentWait()
{
    const Usage from = usageNow();
    try {
        m_window->fSendMessage(Protocol::CmdUsers);
    } catch (const RuntimeError &error) {
        fail(QStringLiteral("the request was not sent: ") + error.description());
    }
    const Usage to = usageNow();
    if (m_window->bAckReceived)
        fail(QStringLiteral("the silent wait ended with an acknowledgement"));
    say(QStringLiteral("fSendMessage wait, silent server: ") + shareOfCore(from, to));
}

void ClientLinkBench::measureIdle()
{
    const Usage from = usageNow();
    runClientFor(m_options.idleSeconds * 1000);
    const Usage to = usageNow();
    say(QStringLiteral("Linked and idle: ") + shareOfCore(from, to));
}

void ClientLinkBench::measureRoundTrips()
{
    std::vector<QByteArray> lines;
    for (const QString &line : statusCycle)
        lines.push_back(Cp1252::encode(line));
    const QByteArray ack = Cp1252::encode(Protocol::MsgAck);
    std::vector<qint64> roundTrips;
    roundTrips.reserve(static_cast<std::size_t>(m_options.lines));

    const Usage from = usageNow(RUSAGE_THREAD);
    const bool ok = besideClient([&] {
        // The request of the silent wait is still unread.
        if (!m_peer.readUntil(Cp1252::encode(Protocol::CmdUsers), PeerTimeoutMs))
            return false;
        for (int i = 0; i < m_options.lines; ++i) {
            const auto sent = SteadyClock::now();
            if (!m_peer.send(lines[static_cast<std::size_t>(i) % lines.size()]) ||
                !m_peer.readUntil(ack, PeerTimeoutMs))
                return false;
            roundTrips.push_back(
                std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now() - sent)
                    .count());
            // Two lines must never arrive in one read: the client takes a read for a message.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    });
    const Usage to = usageNow(RUSAGE_THREAD);
    if (!ok)
        fail(QStringLiteral("the client acknowledged %1 of %2 lines")
                 .arg(roundTrips.size())
                 .arg(m_options.lines));

    std::sort(roundTrips.begin(), roundTrips.end());
    say(QStringLiteral("Round trip, server line to \"MSG_ACK\", %1 lines: median %2, "
                       "99th percentile %3, min %4, max %5")
            .arg(roundTrips.size())
            .arg(milliseconds(percentile(roundTrips, 0.5)),
                 milliseconds(percentile(roundTrips, 0.99)), milliseconds(roundTrips.front()),
                 milliseconds(roundTrips.back())));
    const auto slow =
        std::count_if(roundTrips.begin(), roundTrips.end(), [](qint64 ns) { return ns > 1000000; });
    say(QStringLiteral("Round trips over 1 ms: %1").arg(slow));
    say(QStringLiteral("Client main thread CPU per line: %1 ms")
            .arg(static_cast<double>(to.cpuUs - from.cpuUs) / 1e3 / m_options.lines, 0, 'f', 3));
}

void ClientLinkBench::shutDown()
{
    const QByteArray end = Cp1252::encode(Protocol::CmdEnd);
    const QByteArray ack = Cp1252::encode(Protocol::MsgAck);
    const bool ok = besideClient(
        [&] {
            const bool answered = m_peer.readUntil(end, PeerTimeoutMs) && m_peer.send(ack);
            m_peer.closeClient();
            return answered;
        },
        [&] { m_window->closeFromCode(); });
    if (!ok)
        fail(QStringLiteral("the client did not end its link with \"CMD_END\""));
}

// The figures count only when the client really handled every line and met no error.
void ClientLinkBench::checkClientState()
{
    const QString last =
        statusCycle[static_cast<std::size_t>(m_options.lines - 1) % std::size(statusCycle)];
    if (m_window->lblConnection->text() != last)
        fail(QStringLiteral("the client shows \"%1\" instead of the last line \"%2\"")
                 .arg(m_window->lblConnection->text(), last));
    if (!MessageBox::shownBoxes().isEmpty())
        fail(QStringLiteral("the client showed a message box: ") +
             MessageBox::shownBoxes().first().text);
    QFile log(MainModule::activityLogPath());
    if (!log.open(QIODevice::ReadOnly))
        fail(QStringLiteral("no activity log at ") + log.fileName());
    const qsizetype entries = log.readAll().count('\n');
    if (entries < 2 * qsizetype{m_options.lines})
        fail(QStringLiteral("the activity log has %1 lines for %2 server lines")
                 .arg(entries)
                 .arg(m_options.lines));
    if (QFile::exists(MainModule::errorLogPath()))
        fail(QStringLiteral("the client logged errors in ") + MainModule::errorLogPath());
}

int positiveOption(const QCommandLineParser &parser, const QString &name)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value <= 0)
        fail(QStringLiteral("--%1 takes a whole number above 0, not \"%2\"")
                 .arg(name, parser.value(name)));
    return value;
}

Options parseOptions(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures the client's link to a server on loopback."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("idle-seconds"),
                      QStringLiteral("Length of the linked idle spell (default 60)."),
                      QStringLiteral("seconds"), QStringLiteral("60")});
    parser.addOption({QStringLiteral("lines"),
                      QStringLiteral("Status lines for the round trip (default 10000)."),
                      QStringLiteral("count"), QStringLiteral("10000")});
    parser.addOption({QStringLiteral("hidden"),
                      QStringLiteral("Hide the main window once linked, as minimising does.")});
    parser.process(app);
    return {positiveOption(parser, QStringLiteral("idle-seconds")),
            positiveOption(parser, QStringLiteral("lines")),
            parser.isSet(QStringLiteral("hidden"))};
}

} // namespace

int main(int argc, char *argv[])
{
    // The settings and the single-instance key follow the configuration home, so the run
    // neither reads nor disturbs a real user's client.
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot create a temporary configuration home\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    // As the program's own start does.
    Clock::followZoneFile();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bench_client_link"));
    QApplication::setQuitOnLastWindowClosed(false);
    try {
        ClientLinkBench bench(parseOptions(app));
        bench.run();
    } catch (const Failure &failure) {
        std::fprintf(stderr, "FAILED: %s\n", qPrintable(failure.text));
        return 1;
    }
    return 0;
}
