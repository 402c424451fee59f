#include "RawClient.h"

#include <csignal>
#include <memory>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A velmora-server process on a loopback port, with a quick simulated line.
class ServerProcess
{
public:
    explicit ServerProcess(quint16 port = 0)
    {
        QFile config(m_dir.filePath(QStringLiteral("server.conf")));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("[Server]\nAddress=127.0.0.1\nPort=%1\nDisconnectSeconds=2\n"
                                    "[Simulated]\nDialMs=200\nHangUpMs=200\n"
                                    "[Phonebook]\nOffice ISP=\n")
                         .arg(port)
                         .toUtf8());
        config.close();
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral(VELMORA_SERVER_EXE),
                        {QStringLiteral("--config"), config.fileName()});
    }
    ~ServerProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    // The port from the server's "Listening on" line; 0 when it never said.
    quint16 port()
    {
        static const QRegularExpression listening(QStringLiteral("Listening on [^:]+:(\\d+)"));
        const bool said = QTest::qWaitFor([&] {
            m_log += QString::fromUtf8(m_process.readAllStandardError());
            return listening.match(m_log).hasMatch();
        });
        return said ? static_cast<quint16>(listening.match(m_log).captured(1).toUInt()) : 0;
    }
    QProcess &process() { return m_process; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_log;
};

// A velmora-client process run from a folder of its own (its logs are written beside the
// executable) with its own settings store.
class ClientProcess
{
public:
    explicit ClientProcess(quint16 port)
    {
        const QString exe = m_dir.filePath(QStringLiteral("velmora-client"));
        QFile::copy(QStringLiteral(VELMORA_CLIENT_EXE), exe);
        QFile config(m_dir.filePath(QStringLiteral("config/Velmora/Velmora.conf")));
        QDir().mkpath(QFileInfo(config).path());
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("[Configuration]\nServerIPAddress=127.0.0.1\nServerPort=%1\n")
                         .arg(port)
                         .toUtf8());
        config.close();
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
    // Waits until the activity log holds the entry: "S" for a line sent, "R" for one received.
    bool logged(const char *direction, const QString &line, int timeoutMs = 10000) const
    {
        const QString entry = (qstrcmp(direction, "S") == 0 ? QStringLiteral("\tSendData\t")
                                                            : QStringLiteral("\tDataArrival\t")) +
                              line + QStringLiteral("\r\n");
        return QTest::qWaitFor([&] { return log().contains(entry); }, timeoutMs);
    }
    QProcess &process() { return m_process; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linksDialsAndHangsUp()
    {
        ServerProcess server;
        const quint16 port = server.port();
        QVERIFY(port != 0);
        ClientProcess client(port);
        QVERIFY(client.logged("R", QStringLiteral("CMD_SEND_ID")));
        QVERIFY(client.logged("R", QStringLiteral("Disconnected")));
        // The identity question is acknowledged before it is answered.
        const QString log = client.log();
        const qsizetype question = log.indexOf(QLatin1String("\tDataArrival\tCMD_SEND_ID"));
        const qsizetype ack = log.indexOf(QLatin1String("\tSendData\tMSG_ACK"), question);
        QVERIFY(question >= 0 && ack > question &&
                ack < log.indexOf(QLatin1String("\tSendData\tID:")));

        // Another user dials: this client follows the line up.
        RawClient other(port, QStringLiteral("other"));
        QVERIFY(other.link());
        QVERIFY(other.request(QStringLiteral("CMD_CONNECT:Office ISP")));
        QVERIFY(client.logged("R", QStringLiteral("Connect device")));
        QVERIFY(client.logged("R", QStringLiteral("Connected to Office ISP")));

        // The other user hangs up: this client counts down, nobody answers, the line drops.
        QVERIFY(other.request(QStringLiteral("CMD_DISCONNECT")));
        QVERIFY(client.logged("R", QStringLiteral("MSG_DISCONNECT+2")));
        QVERIFY(client.logged("R", QStringLiteral("Disconnecting")));
        // The link's own set-up logged one "Disconnected" already: the hang-up brings a second.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return client.log().count(QLatin1String("\tDataArrival\tDisconnected\r\n")) == 2;
            },
            10000));
        QVERIFY(!client.log().contains(QLatin1String("\tSendData\tCMD_OK")));
        QVERIFY(!client.log().contains(QLatin1String("\tSendData\tCMD_CANCEL")));
        QCOMPARE(client.process().state(), QProcess::Running);
    }

    void stoppingServerEndsTheClient()
    {
        ServerProcess server;
        const quint16 port = server.port();
        ClientProcess client(port);
        QVERIFY(client.logged("R", QStringLiteral("Disconnected")));
        ::kill(static_cast<pid_t>(server.process().processId()), SIGTERM);
        QVERIFY(client.logged("R", QStringLiteral("MSG_SHUTDOWN")));
        QVERIFY(client.logged("S", QStringLiteral("CMD_END")));
        QVERIFY(client.process().waitForFinished(10000));
        QCOMPARE(client.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(client.process().exitCode(), 0);
        QVERIFY(server.process().waitForFinished(10000));
        QCOMPARE(server.process().exitCode(), 0);
    }

    void clientRelinksWhenTheServerReturns()
    {
        quint16 port = 0;
        std::unique_ptr<ClientProcess> client;
        {
            ServerProcess first;
            port = first.port();
            client = std::make_unique<ClientProcess>(port);
            QVERIFY(client->logged("R", QStringLiteral("Disconnected")));
        } // killed without a word, as a crash or a power cut would
        ServerProcess second(port);
        QCOMPARE(second.port(), port);
        // The client tries again at once on the close and then every 10 seconds.
        QVERIFY(QTest::qWaitFor(
            [&] { return client->log().count(QLatin1String("\tDataArrival\tCMD_SEND_ID")) == 2; },
            15000));
        QCOMPARE(client->process().state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
