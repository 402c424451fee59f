// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the client costs a desk while nobody uses it: the real velmora-client program, its
// window shown, linked to a loopback server end, first with the line down and nothing arriving,
// then with the line up, when the status label counts the line's duration once a second
// ("Connected to Office line for 00:12:34"). Prints the processor time of the client (all
// threads, from the scheduler's account in /proc) over each spell, or with --callgrind the
// instructions it executes there, which the machine's load does not change.

#include "BenchReport.h"
#include "ClientProcess.h"
#include "Protocol.h"

#include <chrono>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <thread>

namespace {

struct Options
{
    int seconds = 60;
    QString client;
    bool callgrind = false;
};

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures the client's processor time while linked and idle, and while "
                       "the line is up."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("seconds"),
                      QStringLiteral("Length of each spell measured (default 60)."),
                      QStringLiteral("count"), QStringLiteral("60")});
    parser.addOption({QStringLiteral("client"),
                      QStringLiteral("The client executable (default: velmora-client beside "
                                     "this program)."),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("callgrind"),
                      QStringLiteral("Run the client under callgrind and count its instructions "
                                     "instead of its time.")});
    parser.process(app);
    Options options;
    bool ok = false;
    options.seconds = parser.value(QStringLiteral("seconds")).toInt(&ok);
    if (!ok || options.seconds <= 0)
        fail(QStringLiteral("--seconds takes a whole number above 0"));
    options.client =
        parser.isSet(QStringLiteral("client"))
            ? parser.value(QStringLiteral("client"))
            : QCoreApplication::applicationDirPath() + QStringLiteral("/velmora-client");
    options.callgrind = parser.isSet(QStringLiteral("callgrind"));
    return options;
}

// Measures one spell of the client's life, by time or by instructions.
class Meter
{
public:
    virtual ~Meter() = default;
    virtual void begin(qint64 pid) = 0;
    // The spell's cost, as text, given its length and the one-second ticks in it.
    virtual QString end(qint64 pid, int seconds, int ticks) = 0;
};

class TimeMeter : public Meter
{
public:
    void begin(qint64 pid) override { m_startNs = ProcStats::cpuNanoseconds(pid); }

    QString end(qint64 pid, int seconds, int ticks) override
    {
        const double cpuMs = double(ProcStats::cpuNanoseconds(pid) - m_startNs) / 1e6;
        QString text = QStringLiteral("%1 ms of CPU in %2 s: %3% of one core")
                           .arg(cpuMs, 0, 'f', 1)
                           .arg(seconds)
                           .arg(cpuMs / 10.0 / seconds, 0, 'f', 4);
        if (ticks > 0)
            text += QStringLiteral(", %1 ms a tick").arg(cpuMs / ticks, 0, 'f', 3);
        return text;
    }

private:
    qint64 m_startNs = 0;
};

// Callgrind counts from the start of the program; each spell zeroes the count and has it
// written out at its end (callgrind_control reaches the client even while it sleeps).
class InstructionMeter : public Meter
{
public:
    explicit InstructionMeter(QString outFile)
        : m_outFile(std::move(outFile))
    {}

    void begin(qint64 pid) override { control(pid, QStringLiteral("--zero")); }

    QString end(qint64 pid, int seconds, int ticks) override
    {
        control(pid, QStringLiteral("--dump"));
        const qint64 instructions = dumpedTotal(++m_dumps);
        QString text = QStringLiteral("%1 instructions in %2 s, %3 a second")
                           .arg(instructions)
                           .arg(seconds)
                           .arg(instructions / seconds);
        if (ticks > 0)
            text += QStringLiteral(", %1 a tick").arg(instructions / ticks);
        return text;
    }

private:
    static void control(qint64 pid, const QString &request)
    {
        QProcess control;
        control.setProcessChannelMode(QProcess::MergedChannels);
        control.start(QStringLiteral("callgrind_control"), {request, QString::number(pid)});
        if (!control.waitForFinished(ClientProcess::PeerTimeoutMs) || control.exitCode() != 0)
            fail(QStringLiteral("callgrind_control %1 failed: %2")
                     .arg(request, QString::fromLocal8Bit(control.readAll())));
    }

    qint64 dumpedTotal(int dump) const
    {
        QFile file(m_outFile + QLatin1Char('.') + QString::number(dump));
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("callgrind wrote no %1").arg(file.fileName()));
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("totals:"))
                return line.mid(7).trimmed().toLongLong();
        }
        fail(QStringLiteral("%1 holds no total").arg(file.fileName()));
    }

    QString m_outFile;
    int m_dumps = 0;
};

void measureSpell(Meter &meter, qint64 pid, const QString &name, int seconds, bool ticking)
{
    meter.begin(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    say(name + meter.end(pid, seconds, ticking ? seconds : 0));
}

void run(const Options &options)
{
    QTemporaryDir work;
    const QString outFile = work.filePath(QStringLiteral("callgrind.out"));
    QStringList wrapper;
    std::unique_ptr<Meter> meter;
    if (options.callgrind) {
        wrapper = {QStringLiteral("valgrind"), QStringLiteral("--quiet"),
                   QStringLiteral("--tool=callgrind"),
                   QStringLiteral("--callgrind-out-file=") + outFile};
        meter = std::make_unique<InstructionMeter>(outFile);
    } else {
        meter = std::make_unique<TimeMeter>();
    }
    ClientProcess client(options.client, wrapper);
    client.start();
    client.awaitLink();
    const qint64 pid = client.pid();

    // Start-up's first paint and settings reads are over well within the settling second.
    const auto settle = [] { std::this_thread::sleep_for(std::chrono::seconds(2)); };
    client.sendLine(Protocol::StatusDisconnected);
    settle();
    measureSpell(*meter, pid, QStringLiteral("Linked, line down, nothing arriving: "),
                 options.seconds, false);
    client.sendLine(Protocol::StatusConnectedTo + QStringLiteral("Office line"));
    settle();
    measureSpell(*meter, pid, QStringLiteral("Line up, the duration shown each second: "),
                 options.seconds, true);
    client.shutDown(4);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    try {
        run(parseOptions(app));
    } catch (const Failure &failure) {
        std::fprintf(stderr, "FAILED: %s\n", qPrintable(failure.text));
        return 1;
    }
    return 0;
}
