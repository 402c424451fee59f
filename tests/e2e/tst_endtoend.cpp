// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FakeServer.h"
#include "RawClient.h"
#include "ServerProcess.h"
#include "Settings.h"
#include "TestHome.h"

#include <csignal>
#include <memory>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Starts the server on a loopback port (any free one for 0) with a quick simulated line. The
// file takes only a real port; the command line may ask for any free one.
bool startServer(ServerProcess &server, quint16 port = 0)
{
    return server.startWith("[Server]\nAddress=127.0.0.1\nDisconnectSeconds=2\n[Simulated]\n"
                            "DialMs=200\nHangUpMs=200\n[Phonebook]\nOffice ISP=\n",
                            {QStringLiteral("--port"), QString::number(port)});
}

// A velmora-client process run from a folder of its own (its logs are written beside the
// executable), with the settings store of the test's home.
class ClientProcess
{
public:
    ClientProcess()
    {
        const QString exe = m_dir.filePath(QStringLiteral("velmora-client"));
        QFile::copy(QStringLiteral(VELMORA_CLIENT_EXE), exe);
        m_process.start(exe, {});
    }
    ~ClientProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    // Waits until the activity log holds the entry, whole, the given number of times: "S" for a
    // line sent, "R" for one received.
    bool logged(const char *direction, const QString &line, qsizetype times = 1) const
    {
        const QString entry = (qstrcmp(direction, "S") == 0 ? QStringLiteral("\tSendData\t")
                                                            : QStringLiteral("\tDataArrival\t")) +
                              line + QStringLiteral("\r\n");
        return QTest::qWaitFor(
            [&] {
                QFile file(m_dir.filePath(QStringLiteral("clientlog.txt")));
                return file.open(QIODevice::ReadOnly) &&
                       QString::fromUtf8(file.readAll()).count(entry) >= times;
            },
            15000);
    }
    QProcess &process() { return m_process; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace

// The real client against the real server: only what the pair of binaries can show. Each side's
// rules are the server's and the client's own tests.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsACallAndOutlivesTheServer()
    {
        TestHome home;
        std::unique_ptr<ClientProcess> client;
        quint16 port = 0;
        {
            ServerProcess first;
            QVERIFY(startServer(first));
            port = first.port();
            TestHome::seedServer(port);
            client = std::make_unique<ClientProcess>();
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

    // The client leaving with the desktop session or a termination signal.
    void signalsRunTheShutDownWithoutAsking_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signalsRunTheShutDownWithoutAsking()
    {
        QFETCH(int, signalNumber);
        TestHome home;
        FakeServer server;
        TestHome::seedServer(server.port());
        // Saved back as the box's "1" only by the shut-down.
        TestHome::seed(QStringLiteral("Alert"), QStringLiteral("2"));
        ClientProcess client;
        QVERIFY(server.waitForConnections(1, 20000));
        // Answered from the client's event loop: it runs, linked, with its handlers in place.
        QVERIFY(server.roundTrip(20000));

        QCOMPARE(::kill(pid_t(client.process().processId()), signalNumber), 0);
        QVERIFY(QTest::qWaitFor([&] { return client.process().state() == QProcess::NotRunning; },
                                20000));
        QCOMPARE(client.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(client.process().exitCode(), 0);
        QCOMPARE(server.requests(), QStringList{QStringLiteral("CMD_END")});
        QCOMPARE(Settings::text(Settings::Alert), QLatin1String("1"));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
