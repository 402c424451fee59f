#include "RawClient.h"

#include <csignal>
#include <memory>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

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

// A velmora-server process on a loopback port, with a quick simulated line.
class ServerProcess
{
public:
    explicit ServerProcess(quint16 port = 0, const char *phonebook = "Office ISP=\n")
    {
        QFile config(m_dir.filePath(QStringLiteral("server.conf")));
        config.open(QIODevice::WriteOnly);
        config.write(QByteArray("[Server]\nAddress=127.0.0.1\nDisconnectSeconds=2\n"
                                "[Simulated]\nDialMs=200\nHangUpMs=200\n[Phonebook]\n") +
                     phonebook);
        config.close();
        // The file takes only a real port; the command line may ask for any free one.
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral(VELMORA_SERVER_EXE),
                        {QStringLiteral("--config"), config.fileName(), QStringLiteral("--port"),
                         QString::number(port)});
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
    // A port of 0 leaves the settings store empty, as on a first run.
    explicit ClientProcess(quint16 port)
    {
        const QString exe = m_dir.filePath(QStringLiteral("velmora-client"));
        QFile::copy(QStringLiteral(VELMORA_CLIENT_EXE), exe);
        QFile config(m_dir.filePath(QStringLiteral("config/Velmora/Velmora.conf")));
        QDir().mkpath(QFileInfo(config).path());
        if (port != 0) {
            config.open(QIODevice::WriteOnly);
            config.write(
                QStringLiteral("[Configuration]\nServerIPAddress=127.0.0.1\nServerPort=%1\n")
                    .arg(port)
                    .toUtf8());
            config.close();
        }
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
    // The client's settings store, as the client left it.
    QString setting(const char *key) const
    {
        const QSettings store(m_dir.filePath(QStringLiteral("config/Velmora/Velmora.conf")),
                              QSettings::IniFormat);
        return store.value(QStringLiteral("Configuration/") + QLatin1String(key)).toString();
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

// Drives the clients' windows as a user would, through the X server's input.
class Desktop
{
public:
    static bool available()
    {
        return qEnvironmentVariableIsSet("DISPLAY") &&
               !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
    }

    // The first visible window of the process whose title matches the pattern, once it shows.
    static QString window(const QProcess &owner, const QString &titlePattern)
    {
        QString id;
        const bool shown = QTest::qWaitFor(
            [&] {
                id = run({QStringLiteral("search"), QStringLiteral("--all"),
                          QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                          QString::number(owner.processId()), QStringLiteral("--name"),
                          titlePattern})
                         .section(QLatin1Char('\n'), 0, 0);
                return !id.isEmpty();
            },
            10000);
        return shown ? id : QString();
    }

    // Gives the window the keyboard, then types the text and presses the keys.
    static void keys(const QString &window, const QString &text, const QStringList &keys)
    {
        run({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        QTest::qWait(100);
        if (!text.isEmpty())
            run({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
        // A key may move the focus or open a page; the next one waits until that has happened.
        for (const QString &key : keys) {
            run({QStringLiteral("key"), key});
            QTest::qWait(100);
        }
    }

private:
    static QString run(const QStringList &arguments)
    {
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"), arguments);
        xdotool.waitForFinished(10000);
        return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
    }
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

    void configureWhileLinkedOffersTheServersEntries()
    {
        if (!Desktop::available())
            QSKIP("needs an X display and xdotool");
        ServerProcess server(0, "Office ISP=\nBackup=\n");
        const quint16 port = server.port();
        QVERIFY(port != 0);
        ClientProcess client(port);
        QVERIFY(client.logged("R", QStringLiteral("Disconnected")));

        const QString main = Desktop::window(client.process(), QStringLiteral("^Velmora Client$"));
        QVERIFY(!main.isEmpty());
        Desktop::keys(main, QString(), {QStringLiteral("alt+o")});
        QVERIFY(client.logged("S", QStringLiteral("CMD_CONFIGURE_CONNECTIONS")));
        const QChar fs(28);
        QVERIFY(client.logged("R", QStringLiteral("CONNECTIONS:Office ISP") + fs +
                                       QStringLiteral("Backup") + fs));
        // The "&Connections" page: tick the connection filter, pick the last entry in sorted
        // order, and save with Enter.
        const QString dialog =
            Desktop::window(client.process(), QStringLiteral("^Configure Velmora Client$"));
        QVERIFY(!dialog.isEmpty());
        Desktop::keys(dialog, QString(),
                      {QStringLiteral("alt+c"), QStringLiteral("space"), QStringLiteral("Tab"),
                       QStringLiteral("End"), QStringLiteral("Return")});
        QVERIFY(QTest::qWaitFor(
            [&] { return client.setting("AlertConnections") == QStringLiteral("Office ISP") + fs; },
            10000));
        QCOMPARE(client.setting("AlertCIfIncludes"), QLatin1String("1"));
        QCOMPARE(client.setting("AlertDisconnections"), QString());
        QCOMPARE(client.setting("ServerPort"), QString::number(port));
        QCOMPARE(client.process().state(), QProcess::Running);
    }

    void firstRunConfiguresAndLinks()
    {
        if (!Desktop::available())
            QSKIP("needs an X display and xdotool");
        // The port box takes four digits, as a user would type them.
        ServerProcess server(freeFourDigitPort());
        const quint16 port = server.port();
        QVERIFY(port != 0 && port < 10000);
        ClientProcess client(0);
        // The dialog opens on its first page, in the server name box.
        const QString dialog =
            Desktop::window(client.process(), QStringLiteral("^Configure Velmora Client$"));
        QVERIFY(!dialog.isEmpty());
        Desktop::keys(dialog, QString(), {QStringLiteral("Tab")});
        Desktop::keys(dialog, QStringLiteral("127.0.0.1"), {QStringLiteral("Tab")});
        Desktop::keys(dialog, QString::number(port), {QStringLiteral("Return")});
        QVERIFY(client.logged("R", QStringLiteral("CMD_SEND_ID")));
        QCOMPARE(client.setting("ServerIPAddress"), QLatin1String("127.0.0.1"));
        QCOMPARE(client.setting("ServerPort"), QString::number(port));
        QCOMPARE(client.setting("PopUpOnConnect"), QLatin1String("1"));
        QCOMPARE(client.process().state(), QProcess::Running);
    }

    // One user writes to another through the server; the other replies from the box.
    void usersMessageEachOther()
    {
        if (!Desktop::available())
            QSKIP("needs an X display and xdotool");
        ServerProcess server;
        const quint16 port = server.port();
        QVERIFY(port != 0);
        ClientProcess writer(port);
        ClientProcess reader(port);
        QVERIFY(writer.logged("R", QStringLiteral("Disconnected")));
        QVERIFY(reader.logged("R", QStringLiteral("Disconnected")));
        QVERIFY(writer.logged("S", QStringLiteral("ID:") + QHostInfo::localHostName()));
        QVERIFY(reader.logged("S", QStringLiteral("ID:") + QHostInfo::localHostName()));
        // Both report this machine's name; each is offered the other under it.
        const QString name = QHostInfo::localHostName();

        const QString main = Desktop::window(writer.process(), QStringLiteral("^Velmora Client$"));
        QVERIFY(!main.isEmpty());
        Desktop::keys(main, QString(), {QStringLiteral("alt+m")});
        QVERIFY(writer.logged("R", QStringLiteral("USERS:") + name + QChar(28)));
        // The one user offered arrives chosen, with the caret in the text box.
        const QString composer =
            Desktop::window(writer.process(), QStringLiteral("^Send Message to Another User$"));
        QVERIFY(!composer.isEmpty());
        Desktop::keys(composer, QStringLiteral("Lunch # at one?"), {QStringLiteral("alt+o")});
        const QString sent = QStringLiteral("CMD_MSG:") + name + QStringLiteral("#Lunch # at one?");
        QVERIFY(writer.logged("S", sent));
        QVERIFY(reader.logged("R", sent));

        const QString box =
            Desktop::window(reader.process(), QStringLiteral("^.* has sent you a message$"));
        QVERIFY(!box.isEmpty());
        Desktop::keys(box, QString(), {QStringLiteral("alt+r")});
        const QString reply =
            Desktop::window(reader.process(), QStringLiteral("^Reply to message from .*$"));
        QVERIFY(!reply.isEmpty());
        Desktop::keys(reply, QStringLiteral("Sure"), {QStringLiteral("alt+o")});
        const QString answer = QStringLiteral("CMD_MSG:") + name + QStringLiteral("#Sure");
        QVERIFY(reader.logged("S", answer));
        QVERIFY(writer.logged("R", answer));

        const QString answerBox =
            Desktop::window(writer.process(), QStringLiteral("^.* has sent you a message$"));
        QVERIFY(!answerBox.isEmpty());
        Desktop::keys(answerBox, QString(), {QStringLiteral("alt+c")});
        QTest::qWait(500);
        QCOMPARE(writer.log().count(QLatin1String("\tSendData\tCMD_MSG:")), 1);
        QCOMPARE(reader.log().count(QLatin1String("\tSendData\tCMD_MSG:")), 1);
        QCOMPARE(writer.process().state(), QProcess::Running);
        QCOMPARE(reader.process().state(), QProcess::Running);
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
