#include "ClientRequests.h"
#include "IniFile.h"
#include "Options.h"
#include "ServerConfig.h"

#include <QTest>

using ClientRequests::Kind;

class TestServerConfig : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void iniKeepsOrderAndTakesValuesLiterally()
    {
        const IniFile::Parsed parsed = IniFile::parse(QStringLiteral(
            "; comment\n# comment\n[Phonebook]\n  Zeta = a=b;c, d  \nAlpha=\n[Command]\n"
            "Dial=pon \"$VELMORA_ENTRY\"\r\n"));
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        QCOMPARE(parsed.items.size(), 3);
        QCOMPARE(parsed.items[0].key, QStringLiteral("Zeta"));
        QCOMPARE(parsed.items[0].value, QStringLiteral("a=b;c, d"));
        QCOMPARE(parsed.items[0].line, 4);
        QCOMPARE(parsed.items[1].key, QStringLiteral("Alpha"));
        QCOMPARE(parsed.items[2].section, QStringLiteral("Command"));
        QCOMPARE(parsed.items[2].value, QStringLiteral("pon \"$VELMORA_ENTRY\""));
    }

    void configErrors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const auto row = [](const char *name, const char *text, const char *error) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(error);
        };
        row("key before section", "Port=1", "line 1: \"Port\" comes before any [section]");
        row("no equals", "[Server]\nPort 1000", "line 2: expected key=value");
        row("bad header", "[Server", "line 1: a section header reads [Name]");
        row("repeated key", "[Server]\nPort=1\n\nPort=2", "line 4: \"Port\" appears twice");
        row("unknown key", "[Server]\nPrt=1", "line 2: Prt: unknown setting in [Server]");
        row("unknown section", "[Sever]\nPort=1", "line 2: Port: unknown setting in [Sever]");
        row("port not a number", "[Server]\nPort=abc", "line 2: Port: expected a port number");
        row("port too large", "[Server]\nPort=65536", "line 2: Port: expected a port number");
        row("bad address", "[Server]\nAddress=nowhere", "line 2: Address: expected an IP");
        row("bad level", "[Server]\nLogLevel=loud", "line 2: LogLevel: expected error,");
        row("countdown too long", "[Server]\nDisconnectSeconds=40000",
            "line 2: DisconnectSeconds: expected a whole number from 0 to 32767");
        row("zero ack time-out", "[Server]\nAckTimeoutMs=0", "line 2: AckTimeoutMs: expected");
        row("bad backend", "[Line]\nBackend=modem", "line 2: Backend: expected simulated or");
        row("entry with PWD:", "[Phonebook]\nAPWD:B=", "line 2: APWD:B: an entry name may not");
        row("entry with terminator", "[Phonebook]\nA\x1c=", "may not contain the character");
        row("command without dial", "[Line]\nBackend=command\n[Command]\nHangUp=poff",
            "the command line backend needs Dial and HangUp");
    }
    void configErrors()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        const ConfigResult result = configFromText(text);
        QVERIFY2(result.error.startsWith(error) || result.error.contains(error),
                 qPrintable(result.error));
    }

    void configValues()
    {
        const ConfigResult result = configFromText(QStringLiteral(
            "[Server]\nAddress=127.0.0.1\nPort=0\nLogLevel=debug\nDisconnectSeconds=5\n"
            "AckTimeoutMs=200\nSendGapMs=0\n[Line]\nBackend=command\n[Command]\nDial=pon\n"
            "HangUp=poff\nStatus=true\nStatusIntervalMs=500\n[Phonebook]\nOffice=\n"
            "Branch=s3cret\nNight=*\n"));
        QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
        const ServerConfig &c = result.config;
        QCOMPARE(c.address, QHostAddress(QHostAddress::LocalHost));
        QCOMPARE(c.port, quint16(0));
        QCOMPARE(c.logLevel, Log::Level::Debug);
        QCOMPARE(c.disconnectSeconds, 5);
        QCOMPARE(c.ackTimeoutMs, 200);
        QCOMPARE(c.sendGapMs, 0);
        QCOMPARE(c.backend, BackendKind::Command);
        QCOMPARE(c.command.status, QStringLiteral("true"));
        QCOMPARE(c.command.statusIntervalMs, 500);
        QCOMPARE(c.entryNames(), (QStringList{QStringLiteral("Office"), QStringLiteral("Branch"),
                                              QStringLiteral("Night")}));
        QCOMPARE(c.findEntry(QStringLiteral("Office"))->check, PasswordCheck::None);
        QCOMPARE(c.findEntry(QStringLiteral("Branch"))->check, PasswordCheck::Server);
        QCOMPARE(c.findEntry(QStringLiteral("Branch"))->password, QStringLiteral("s3cret"));
        QCOMPARE(c.findEntry(QStringLiteral("Night"))->check, PasswordCheck::Line);
        QVERIFY(!c.findEntry(QStringLiteral("office")));
    }

    void defaultsAndExample()
    {
        const ConfigResult empty = configFromText(QString());
        QVERIFY(empty.error.isEmpty());
        QCOMPARE(empty.config.port, quint16(1000));
        QCOMPARE(empty.config.disconnectSeconds, 30);
        QCOMPARE(empty.config.ackTimeoutMs, 10000);
        QCOMPARE(empty.config.sendGapMs, 50);
        QCOMPARE(empty.config.backend, BackendKind::Simulated);
        // The example shipped to administrators must itself be a sound configuration.
        const ConfigResult example = loadConfig(QStringLiteral(VELMORA_SERVER_EXAMPLE));
        QVERIFY2(example.error.isEmpty(), qPrintable(example.error));
        QVERIFY(!example.config.phonebook.isEmpty());
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("port");
        QTest::newRow("none") << QStringList() << QString() << -1;
        QTest::newRow("port") << QStringList{QStringLiteral("--port"), QStringLiteral("0")}
                              << QString() << 0;
        QTest::newRow("short port")
            << QStringList{QStringLiteral("-p"), QStringLiteral("4000")} << QString() << 4000;
        QTest::newRow("bad port") << QStringList{QStringLiteral("--port=x")}
                                  << QStringLiteral("--port needs a number") << -1;
        QTest::newRow("bad level") << QStringList{QStringLiteral("--log-level=loud")}
                                   << QStringLiteral("--log-level needs") << -1;
        QTest::newRow("unknown") << QStringList{QStringLiteral("--daemon")}
                                 << QStringLiteral("Unknown option 'daemon'") << -1;
        QTest::newRow("positional") << QStringList{QStringLiteral("extra")}
                                    << QStringLiteral("Unexpected argument: extra") << -1;
        QTest::newRow("missing value")
            << QStringList{QStringLiteral("--config")} << QStringLiteral("Missing value") << -1;
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QFETCH(int, port);
        const Options o = parseOptions(QStringList{QStringLiteral("velmora-server")} + arguments);
        QVERIFY2(error.isEmpty() ? o.error.isEmpty() : o.error.contains(error),
                 qPrintable(o.error));
        QCOMPARE(o.port ? int(*o.port) : -1, error.isEmpty() ? port : -1);
    }

    void requests_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("password"); // "-" when there is none
        const auto row = [](const char *message, Kind kind, const char *argument = "",
                            const char *password = "-") {
            QTest::newRow(message)
                << QString::fromLatin1(message) << kind << QString::fromLatin1(argument)
                << QString::fromLatin1(password);
        };
        row("MSG_ACK", Kind::Ack);
        row("ID:host-1", Kind::Identity, "host-1");
        row("ID:", Kind::Identity);
        row("CMD_CONNECTIONS", Kind::Connections);
        row("CMD_CONNECT:Office", Kind::Connect, "Office");
        row("CMD_CONNECT:OfficePWD:", Kind::Connect, "Office", "");
        row("CMD_CONNECT:OfficePWD:aPWD:b", Kind::Connect, "Office", "aPWD:b");
        row("CMD_CONNECT:PWD:x", Kind::Connect, "", "x");
        row("CMD_DISCONNECT", Kind::Disconnect);
        row("CMD_OK", Kind::Ok);
        row("CMD_CANCEL", Kind::Cancel);
        row("CMD_LOCKED", Kind::Locked);
        row("CMD_USERS", Kind::Users);
        row("CMD_MSG:a#b#hi", Kind::UserMessage, "a#b#hi");
        row("CMD_CONFIGURE_CONNECTIONS", Kind::ConfigureConnections);
        row("CMD_END", Kind::End);
        row("CMD_ENDX", Kind::Unknown);
        row("cmd_end", Kind::Unknown);
        row("CMD_CONNECTIONS ", Kind::Unknown);
        row("", Kind::Unknown);
    }
    void requests()
    {
        QFETCH(QString, message);
        QFETCH(Kind, kind);
        QFETCH(QString, argument);
        QFETCH(QString, password);
        const ClientRequests::Request r = ClientRequests::parse(message);
        QCOMPARE(r.kind, kind);
        QCOMPARE(r.argument, argument);
        QCOMPARE(r.password.value_or(QStringLiteral("-")), password);
    }

    void leadingAcks_data()
    {
        QTest::addColumn<QString>("read");
        QTest::addColumn<int>("acks");
        QTest::addColumn<QString>("rest");
        QTest::newRow("ack") << QStringLiteral("MSG_ACK") << 1 << QString();
        QTest::newRow("ack and reply")
            << QStringLiteral("MSG_ACKID:host") << 1 << QStringLiteral("ID:host");
        QTest::newRow("two acks and reply")
            << QStringLiteral("MSG_ACKMSG_ACKCMD_OK") << 2 << QStringLiteral("CMD_OK");
        QTest::newRow("no ack") << QStringLiteral("CMD_OK") << 0 << QStringLiteral("CMD_OK");
        QTest::newRow("ack later")
            << QStringLiteral("CMD_OKMSG_ACK") << 0 << QStringLiteral("CMD_OKMSG_ACK");
        QTest::newRow("partial") << QStringLiteral("MSG_AC") << 0 << QStringLiteral("MSG_AC");
    }
    void leadingAcks()
    {
        QFETCH(QString, read);
        QFETCH(int, acks);
        QFETCH(QString, rest);
        const ClientRequests::Read split = ClientRequests::splitLeadingAcks(read);
        QCOMPARE(split.acks, acks);
        QCOMPARE(split.rest, rest);
    }

    void userMessageRecipients_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<QString>("text");
        const auto names = [](const char *a, const char *b = nullptr) {
            QStringList list{QString::fromLatin1(a)};
            if (b)
                list.append(QString::fromLatin1(b));
            return list;
        };
        QTest::newRow("one") << QStringLiteral("bob#hi") << names("bob") << QStringLiteral("hi");
        QTest::newRow("two") << QStringLiteral("bob#eve#hi") << names("bob", "eve")
                             << QStringLiteral("hi");
        QTest::newRow("hash in text") << QStringLiteral("bob#issue #5 #done") << names("bob")
                                      << QStringLiteral("issue #5 #done");
        QTest::newRow("text starts with a name")
            << QStringLiteral("bob#eve#eve is #1") << names("bob", "eve")
            << QStringLiteral("eve is #1");
        QTest::newRow("first unknown still a recipient")
            << QStringLiteral("zed#hi") << names("zed") << QStringLiteral("hi");
        QTest::newRow("empty text") << QStringLiteral("bob#") << names("bob") << QString();
        QTest::newRow("no recipient")
            << QStringLiteral("hello") << QStringList() << QStringLiteral("hello");
    }
    void userMessageRecipients()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, recipients);
        QFETCH(QString, text);
        const auto known = [](const QString &name) {
            return name == QLatin1String("bob") || name == QLatin1String("eve");
        };
        const ClientRequests::UserMessage m = ClientRequests::splitUserMessage(body, known);
        QCOMPARE(m.recipients, recipients);
        QCOMPARE(m.text, text);
    }
};

QTEST_GUILESS_MAIN(TestServerConfig)
#include "tst_serverconfig.moc"
