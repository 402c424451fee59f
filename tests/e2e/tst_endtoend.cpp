// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RawClient.h"
#include "ServerProcess.h"

#include <csignal>
#include <memory>
#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

namespace {

// A loopback port below 10000 that nothing listens on now.
quint16 freeFourDigitPort()
{
    QTcpServer probe;
    for (quint16 port = 2000 + QCoreApplication::applicationPid() % 7000; port < 10000; ++port) {
        if (probe.listen(QHostAddress::LocalHost, port))
            return port;
    }
    return 0;
}

// Starts the server on a loopback port (any free one for 0) with a quick simulated line. The
// file takes only a real port; the command line may ask for any free one.
bool startServer(ServerProcess &server, quint16 port = 0, const char *phonebook = "Office ISP=\n")
{
    return server.startWith(QByteArray("[Server]\nAddress=127.0.0.1\nDisconnectSeconds=2\n"
                                       "[Simulated]\nDialMs=200\nHangUpMs=200\n[Phonebook]\n") +
                                phonebook,
                            {QStringLiteral("--port"), QString::number(port)});
}

// A velmora-client process run from a folder of its own (its logs are written beside the
// executable) with its own settings store.
class ClientProcess
{
public:
    // A port of 0 leaves the settings store empty, as on a first run.
    explicit ClientProcess(quint16 port)
    {
        const QString exe = m_dir.filePath(QStringLiteral("velmora-client"));
        QFile::copy(QStringLiteral(VELMORA_CLIENT_EXE), exe);
        QDir().mkpath(m_dir.filePath(QStringLiteral("config/Velmora")));
        QSettings store(m_dir.filePath(QStringLiteral("config/Velmora/Velmora.conf")),
                        QSettings::IniFormat);
        if (port != 0) {
            store.setValue(QStringLiteral("Configuration/ServerIPAddress"),
                           QStringLiteral("127.0.0.1"));
            store.setValue(QStringLiteral("Configuration/ServerPort"), int(port));
        }
        store.sync();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        // On the virtual X server when the test runs under one, offscreen otherwise.
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), env.contains(QStringLiteral("DISPLAY"))
                                                          ? QStringLiteral("xcb")
                                                          : QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.start(exe, {});
    }
    ~ClientProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    QString log() const
    {
        QFile file(m_dir.filePath(QStringLiteral("clientlog.txt")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // How many times the activity log holds the entry: "S" for a line sent, "R" for one received.
    qsizetype count(const char *direction, const QString &line) const
    {
        return log().count((qstrcmp(direction, "S") == 0 ? QStringLiteral("\tSendData\t")
                                                         : QStringLiteral("\tDataArrival\t")) +
                           line);
    }
    // Waits until the activity log holds the entry, whole, the given number of times.
    bool logged(const char *direction, const QString &line, qsizetype times = 1,
                int timeoutMs = 15000) const
    {
        const QString entry = line + QStringLiteral("\r\n");
        return QTest::qWaitFor([&] { return count(direction, entry) >= times; }, timeoutMs);
    }
    QProcess &process() { return m_process; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

bool desktopAvailable()
{
    return qEnvironmentVariableIsSet("DISPLAY") &&
           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
}

QString xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Waits for the first visible window of the process whose title matches the pattern, gives it
// the keyboard, then runs the xdotool commands ("key", "type" and their arguments, separated by
// "|") on it; false when no window shows. The X server passes the input on in order and the
// client handles it in order, so a key that moves the focus or opens a page has done so before
// the next one is handled.
bool keys(const QProcess &owner, const char *titlePattern, const QString &commands)
{
    QString window;
    const auto shown = [&] {
        window = xdotool({QStringLiteral("search"), QStringLiteral("--all"),
                          QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                          QString::number(owner.processId()), QStringLiteral("--name"),
                          QString::fromUtf8(titlePattern)})
                     .section(QLatin1Char('\n'), 0, 0);
        return !window.isEmpty();
    };
    // Generous: a client built with the sanitizers takes seconds to show its first window
    // while other tests share the processors. The wait ends as soon as the window shows.
    if (!QTest::qWaitFor(shown, 30000))
        return false;
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    for (const QString &command : commands.split(QLatin1Char('|'))) {
        const QString verb = command.section(QLatin1Char(' '), 0, 0);
        const QString rest = command.section(QLatin1Char(' '), 1);
        xdotool(QStringList{verb} +
                (verb == QLatin1String("type") ? QStringList{rest} : rest.split(QLatin1Char(' '))));
    }
    return true;
}

} // namespace

// The real client against the real server: only what the pair of binaries can show. Each side's
// rules are the server's and the client's own tests.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsACallAndOutlivesTheServer()
    {
        std::unique_ptr<ClientProcess> client;
        quint16 port = 0;
        {
            ServerProcess first;
            QVERIFY(startServer(first));
            port = first.port();
            client = std::make_unique<ClientProcess>(port);
            QVERIFY(client->logged("R", QStringLiteral("Disconnected")));
            // Another desk dials and hangs up: the client follows the line, lets the countdown
            // run out, and the line drops; the link's set-up logged the first "Disconnected".
            RawClient other(port, QStringLiteral("other"));
            QVERIFY(other.link() && other.request(QStringLiteral("CMD_CONNECT:Office ISP")));
            QVERIFY(client->logged("R", QStringLiteral("Connected to Office ISP")));
            QVERIFY(other.request(QStringLiteral("CMD_DISCONNECT")));
            QVERIFY(client->logged("R", QStringLiteral("MSG_DISCONNECT+2")));
            QVERIFY(client->logged("R", QStringLiteral("Disconnected"), 2));
        } // killed without a word, as a crash or a power cut would
        // The client links again, at once on the close or at its next try 10 seconds on.
        ServerProcess second;
        QVERIFY(startServer(second, port));
        QVERIFY(client->logged("R", QStringLiteral("CMD_SEND_ID"), 2));
        // Stopped with SIGUSR1, the server tells the client, which says goodbye and ends cleanly.
        ::kill(pid_t(second.pid()), SIGUSR1);
        QVERIFY(client->logged("R", QStringLiteral("MSG_SHUTDOWN")));
        QVERIFY(client->logged("S", QStringLiteral("CMD_END")));
        QVERIFY(client->process().waitForFinished(10000));
        QCOMPARE(client->process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(client->process().exitCode(), 0);
        QVERIFY(second.ended());
    }

    void firstRunConfiguresAndLinks()
    {
        if (!desktopAvailable())
            QSKIP("needs an X display and xdotool");
        // The port box takes four digits, as a user would type them.
        ServerProcess server;
        QVERIFY(startServer(server, freeFourDigitPort()));
        QVERIFY(server.port() < 10000);
        ClientProcess client(0);
        // The dialog opens on its first page, in the server name box.
        QVERIFY(keys(client.process(), "^Configure Velmora Client$",
                     QStringLiteral("key Tab|type 127.0.0.1|key Tab|type %1|key Return")
                         .arg(server.port())));
        QVERIFY(client.logged("R", QStringLiteral("CMD_SEND_ID")));
        QCOMPARE(client.process().state(), QProcess::Running);
    }

    // One user writes to another through the server; the other replies from the box.
    void usersMessageEachOther()
    {
        if (!desktopAvailable())
            QSKIP("needs an X display and xdotool");
        ServerProcess server;
        QVERIFY(startServer(server));
        ClientProcess writer(server.port());
        ClientProcess reader(server.port());
        // Both report this machine's name; each is offered the other under it, alone, so it
        // arrives chosen with the caret in the text box.
        const QString name = QHostInfo::localHostName();
        QVERIFY(writer.logged("S", QStringLiteral("ID:") + name));
        QVERIFY(reader.logged("S", QStringLiteral("ID:") + name));
        QVERIFY(keys(writer.process(), "^Velmora Client$", QStringLiteral("key alt+m")));
        QVERIFY(keys(writer.process(), "^Send Message to Another User$",
                     QStringLiteral("type Lunch # at one?|key alt+o")));
        QVERIFY(reader.logged("R", QStringLiteral("CMD_MSG:") + name +
                                       QStringLiteral("#Lunch # at one?")));
        QVERIFY(keys(reader.process(), "^.* has sent you a message$", QStringLiteral("key alt+r")));
        QVERIFY(keys(reader.process(), "^Reply to message from .*$",
                     QStringLiteral("type Sure|key alt+o")));
        QVERIFY(writer.logged("R", QStringLiteral("CMD_MSG:") + name + QStringLiteral("#Sure")));
        // Each sent its one message, once: a line that another desk dials reaches both after
        // anything they sent before.
        RawClient other(server.port(), QStringLiteral("other"));
        QVERIFY(other.link() && other.request(QStringLiteral("CMD_CONNECT:Office ISP")));
        QVERIFY(writer.logged("R", QStringLiteral("Connected to Office ISP")));
        QVERIFY(reader.logged("R", QStringLiteral("Connected to Office ISP")));
        QCOMPARE(writer.count("S", QStringLiteral("CMD_MSG:")), 1);
        QCOMPARE(reader.count("S", QStringLiteral("CMD_MSG:")), 1);
        QVERIFY(writer.process().state() == QProcess::Running &&
                reader.process().state() == QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
