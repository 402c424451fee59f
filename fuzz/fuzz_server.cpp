// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The server in-process: a real VelmoraServer on a loopback port, with three scripted desks
// linked over TCP, takes random sequences of client messages.
//
// The input is a list of steps, one a line: the first byte picks the desk (its value modulo
// three), the rest is sent by that desk as one message, byte for byte, once the server has
// acknowledged the desk's message before. Every desk acknowledges every message of the server
// and answers "CMD_SEND_ID" with its name, as the real client does; anything else it says comes
// from the input.
//
// Checks besides crashes, hangs and sanitizer reports: every "PWD:" in a message the server
// sends or a line it logs is followed by "***", and once the steps have run the server still
// links a new desk. Each input gets a new server.
#include "ClientRequests.h"
#include "Cp1252.h"
#include "Log.h"
#include "Protocol.h"
#include "VelmoraServer.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr int MaxSteps = 64;
constexpr int Desks = 3;

void check(bool holds, const char *what, const QString &text)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz_server: %s: %s\n", what, qPrintable(text));
    std::abort();
}

// Whatever follows a "PWD:" may be a password. The one exception is the server's own answer
// to an unknown entry, whose name (all before the first "PWD:" of the request) may end in
// "PWD": "Cannot dial xPWD: no such phonebook entry".
bool masked(const QString &text)
{
    static const QLatin1String unknownEntry(" no such phonebook entry");
    for (qsizetype at = text.indexOf(Protocol::PasswordSeparator); at >= 0;
         at = text.indexOf(Protocol::PasswordSeparator, at + 1)) {
        const QStringView after = QStringView(text).mid(at + Protocol::PasswordSeparator.size());
        if (!after.startsWith(QLatin1String("***")) && after != unknownEntry)
            return false;
    }
    return true;
}

// Runs the event loop until done() holds or ms have passed; false on time-out.
bool pumpUntil(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    QTimer wake;
    wake.start(5);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

class Desk : public QObject
{
public:
    Desk(quint16 port, QString name)
        : m_name(std::move(name))
    {
        connect(&m_socket, &QTcpSocket::readyRead, this, &Desk::onReadyRead);
        m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    }
    bool linked() const { return m_linked; }
    bool closed() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }
    // Sends bytes once its previous message has been acknowledged. Bytes that hold only
    // acknowledgements get none.
    void say(const QByteArray &bytes)
    {
        if (closed() || !pumpUntil([this] { return m_acks >= m_said || closed(); }, 300))
            return;
        if (!ClientRequests::splitLeadingAcks(Cp1252::decode(bytes)).rest.isEmpty())
            ++m_said;
        m_socket.write(bytes);
    }

private:
    void onReadyRead()
    {
        QString read = Cp1252::decode(m_socket.readAll());
        check(masked(read), "a password in a message of the server", read);
        // An acknowledgement may meet a message on the wire, before or after it.
        while (read.startsWith(Protocol::MsgAck)) {
            read.remove(0, Protocol::MsgAck.size());
            ++m_acks;
        }
        while (read.endsWith(Protocol::MsgAck)) {
            read.chop(Protocol::MsgAck.size());
            ++m_acks;
        }
        if (read.isEmpty())
            return;
        m_socket.write(Cp1252::encode(Protocol::MsgAck));
        if (read == Protocol::CmdSendId) {
            ++m_said;
            m_socket.write(Cp1252::encode(Protocol::IdPrefix + m_name));
        } else {
            m_linked = true;
        }
    }

    QString m_name;
    QTcpSocket m_socket;
    int m_said = 0;
    int m_acks = 0;
    bool m_linked = false;
};

ServerConfig config()
{
    ServerConfig c;
    c.addresses = {QHostAddress(QHostAddress::LocalHost)};
    c.port = 0;
    c.disconnectSeconds = 0;
    c.sendGapMs = 2;
    c.ackTimeoutMs = 100;
    c.simulated.dialMs = 0;
    c.simulated.hangUpMs = 0;
    c.simulated.linePassword = QStringLiteral("moon");
    c.phonebook = {{QStringLiteral("Office"), QString(), PasswordCheck::None},
                   {QStringLiteral("Branch"), QStringLiteral("Sesame-1138"), PasswordCheck::Server},
                   {QStringLiteral("Night"), QString(), PasswordCheck::Line}};
    c.phonebook[0].maxOnlineMs = 200;
    return c;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_NO_GLIB", "1");
    new QCoreApplication(*argc, *argv);
    Log::setLevel(Log::Level::Debug);
    Log::setSink([](const QString &line) { check(masked(line), "a password in the log", line); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> steps =
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\n');
    auto server = std::make_unique<VelmoraServer>(config());
    QString error;
    check(server->start(&error), "the server did not start", error);
    std::array<std::unique_ptr<Desk>, Desks> desks;
    for (int i = 0; i < Desks; ++i)
        desks[std::size_t(i)] =
            std::make_unique<Desk>(server->port(), QStringLiteral("desk%1").arg(i));
    pumpUntil(
        [&] {
            return std::all_of(desks.begin(), desks.end(),
                               [](const auto &d) { return d->linked(); });
        },
        2000);
    for (qsizetype i = 0; i < std::min<qsizetype>(steps.size(), MaxSteps); ++i) {
        const QByteArray &step = steps[i];
        if (step.isEmpty())
            continue;
        desks[std::size_t(quint8(step[0]) % Desks)]->say(step.mid(1));
    }
    pumpUntil([] { return false; }, 10);
    Desk probe(server->port(), QStringLiteral("probe"));
    check(pumpUntil([&] { return probe.linked(); }, 5000), "a new desk could not link", QString());
    desks = {};
    server.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
