// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerProcess.h"
#include "ServerTestSupport.h"

#include <csignal>
#include <QTcpServer>

// The executable as an administrator meets it: what its log may never show, how it keeps
// accepting when it runs out of files, a reload by SIGHUP, what it says when it starts, how it
// refuses to start and how it stops.
class TestServerProcess : public LoggedServerTest
{
    Q_OBJECT

private Q_SLOTS:
    void aPasswordAppearsNowhere()
    {
        // The dial command echoes the password on both outputs, then fails.
        ServerProcess server;
        QVERIFY(server.startWith(
            "[Server]\nAddress=127.0.0.1\nLogLevel=debug\nWrongPasswordDelayMs=0\n[Line]\n"
            "Backend=command\n[Command]\nDial=echo \"dialling $VELMORA_ENTRY with "
            "$VELMORA_PASSWORD\"; echo \"$VELMORA_PASSWORD\" >&2; exit 1\nHangUp=true\n"
            "[Phonebook]\nBranch=Sesame-1138\nNight=*\n",
            {str("-p0")}));
        const QStringList passwords = {str("Sesame-1138"), str("Wrong-4711"), str("Night-Owl-42")};
        for (const char *name : {"desk", "bystander"}) {
            m_clients.push_back(std::make_unique<RawClient>(server.port(), str(name)));
            QVERIFY(m_clients.back()->link());
        }
        const QString failed = str("1~Disconnected|1~Dialling %1 failed: the command ended with "
                                   "code 1|0~Dialling %1 failed: the command ended with code 1");
        // Right, wrong, then a password of the line, which the failing command echoes; then a
        // repeated "PWD:".
        QCOMPARE(play(str("0>CMD_CONNECT:BranchPWD:Sesame-1138|%1|0>CMD_CONNECT:BranchPWD:"
                          "Wrong-4711|0<MSG_PASSWORD|0>CMD_CONNECT:NightPWD:Night-Owl-42|%2|"
                          "0>CMD_CONNECT:BranchPWD:Wrong-4711PWD:Sesame-1138|0<MSG_PASSWORD")
                          .arg(failed.arg(str("Branch")), failed.arg(str("Night")))),
                 QString());
        // An acknowledgement merged with the request; a password with a line break, refused
        // before it reaches the line and not shown; garbled and split requests, which arrive as
        // unknown messages.
        c(0).skipAll();
        c(0).sendRaw("MSG_ACKCMD_CONNECT:NightPWD:Night-Owl-42");
        QCOMPARE(play(failed.arg(str("Night")) +
                      str("|0>CMD_CONNECT:NightPWD:Night-Owl-42\nplugin evil.so|0<The password "
                          "for Night was not accepted: it holds a control character|"
                          "0>xxCMD_CONNECT:BranchPWD:Sesame-1138|0>Night-Owl-42|"
                          "0>PWD:Wrong-4711|0>cmd_connect:BranchPWD:Sesame-1138|"
                          "0>CMD_CONNECT:BranchPWD:|0>Sesame-1138")),
                 QString());
        // A name glued to a password.
        RawClient garbledName(server.port(), QString(), RawClient::Mode::Silent);
        QVERIFY(garbledName.expect(Protocol::CmdSendId));
        garbledName.send(str("MSG_ACKID:hostPWD:Sesame-1138"));
        QVERIFY(garbledName.expect(Protocol::MsgAck));
        QCOMPARE(answer(c(1), Protocol::CmdUsers), Protocol::UsersPrefix + str("desk") + kFs);
        QVERIFY(server.stop());
        const QString log = server.log();
        // The command's output did reach the log, masked.
        QVERIFY2(log.contains(str("its last line of output: ***")), qPrintable(log));
        QVERIFY2(log.contains(str("unknown message (11 characters, not shown)")), qPrintable(log));
        QVERIFY2(log.contains(str("holding a control character (not shown)")), qPrintable(log));
        const QString heard =
            c(0).reads().join(u'|') + c(1).reads().join(u'|') + garbledName.reads().join(u'|');
        for (const QString &password : passwords) {
            QVERIFY2(!log.contains(password), qPrintable(password + str(" in the log")));
            QVERIFY2(!heard.contains(password), qPrintable(password + str(" sent to a desk")));
        }
    }

    void acceptingResumesWhenFilesAreFreed()
    {
#ifdef __SANITIZE_ADDRESS__
        // The sanitizers' runtime needs descriptors of its own to check memory (a pipe per
        // check); with none left it reports sound objects as broken and ends the server.
        QSKIP("the sanitizer runtime cannot run out of file descriptors");
#endif
        ServerProcess server;
        // Few files: the server runs out after a few links.
        QVERIFY(server.start(
            {str("--config"), server.writeConfig("[Server]\nAddress=127.0.0.1\n"), str("-p0")},
            {str("sh"), str("-c"), str("ulimit -n 32 && exec \"$0\" \"$@\"")}));
        // Each new client is either greeted or left waiting, which the log tells.
        bool full = false;
        for (int i = 0; i < 40 && !full; ++i) {
            m_clients.push_back(std::make_unique<RawClient>(server.port(), str("c%1").arg(i)));
            QVERIFY(QTest::qWaitFor([&] {
                full = server.log().contains(str("Cannot accept a link"));
                return full || !m_clients.back()->reads().isEmpty();
            }));
        }
        QVERIFY2(full, qPrintable(server.log()));
        // Files come free; the waiting client is taken without a restart.
        for (int i = 0; i < 4; ++i)
            c(i).close();
        QVERIFY(m_clients.back()->expect(Protocol::CmdSendId, 10000));
        QVERIFY(server.stop());
    }

    void reloadBySighup()
    {
        ServerProcess server;
        const QString path = server.writeConfig("[Server]\nAddress=127.0.0.1, 127.0.0.2\n"
                                                "[Phonebook]\nOffice=\nBranch=secret\n");
        QVERIFY(server.start({str("--config"), path, str("-p0")}));
        // The start-up names the file, the backend, the entries and every address listened on.
        const QString port = QString::number(server.port());
        QVERIFY2(server.waitForLog(str("Listening on 127.0.0.1:%1, 127.0.0.2:%1").arg(port)),
                 qPrintable(server.log()));
        QVERIFY(server.log().contains(str("Configuration: ") + path));
        QVERIFY(server.log().contains(str("Line backend: simulated; 2 phonebook entries")));
        RawClient client(server.port(), str("alpha"), RawClient::Mode::Disciplined,
                         str("127.0.0.2"));
        QVERIFY(client.link());
        server.writeConfig("[Server]\nAddress=127.0.0.1, 127.0.0.2\n"
                           "[Phonebook]\nOffice=\nNight=*\nBranch=secret\n");
        ::kill(pid_t(server.pid()), SIGHUP);
        QVERIFY2(server.waitForLog(str("Configuration reloaded: 3 phonebook entries")),
                 qPrintable(server.log()));
        const QString entries = str("Office") + kFs + str("Night") + kFs + str("Branch") + kFs;
        QCOMPARE(answer(client, Protocol::CmdConnections), Protocol::PhonebookPrefix + entries);
        // A bad file is refused and the configuration in force stays, links and all.
        server.writeConfig("[Server]\nPort=1000\n[Servre]\n[Phonebook]\nOffice=\n");
        ::kill(pid_t(server.pid()), SIGHUP);
        QVERIFY2(server.waitForLog(str("The new configuration is refused, the old one stays in "
                                       "force: %1: line 3: unknown section [Servre]")
                                       .arg(path)),
                 qPrintable(server.log()));
        QCOMPARE(answer(client, Protocol::CmdConnections), Protocol::PhonebookPrefix + entries);
        QVERIFY(server.stop());
        QVERIFY(client.waitClosed() && !client.reads().contains(Protocol::MsgShutdown));
    }

    // A configuration of "" is none; "%1" in the output stands for the configuration's path.
    void refusalsToStart()
    {
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost));
        const QString port = QString::number(occupant.serverPort());
        const QByteArray local = "[Server]\nAddress=127.0.0.1\n";
        // The configuration, the arguments (a variable for the server first, if any), the exit
        // code and the output, %2 standing for the port.
        const std::tuple<QByteArray, QStringList, int, const char *> rows[] = {
            {"", {str("--help")}, 0, "--port <N>"},
            {"", {str("--bogus")}, 2, "error   Unknown option 'bogus'; "},
            {"", {str("-p"), str("http")}, 2, "error   --port needs a number"},
            {"", {str("--log-level"), str("loud")}, 2, "error   --log-level needs error, warning"},
            {"[Phonebook]\nB\xe9ziers=\n", {}, 2, "%1: line 2: not UTF-8 text"},
            {"[Phonebook]\nBranch Sesame-1138\n", {}, 2, "key=value (the line is not shown)"},
            // Even root cannot open a folder as the log.
            {local + "AccountingFile=/\n", {}, 1, "Cannot write the accounting log /"},
            {local,
             {str("VELMORA_SERVER_TEST_CLOCK_RATE=600")},
             1,
             "VELMORA_SERVER_TEST_CLOCK_RATE=\"600\": expected a whole number from 1 to 60"},
            {local, {str("--port"), port}, 1, "Cannot listen on 127.0.0.1 port %2"}};
        for (const auto &[config, arguments, exitCode, output] : rows) {
            ServerProcess files; // only for its folder
            const QString path = files.writeConfig(config);
            const qsizetype variables = arguments.value(0).contains(u'=') ? 1 : 0;
            QStringList command = arguments.mid(0, variables) << str(VELMORA_SERVER_EXE);
            if (!config.isEmpty())
                command << str("--config") << path;
            QProcess process;
            process.setProcessChannelMode(QProcess::MergedChannels);
            process.start(str("env"), command + arguments.mid(variables));
            QVERIFY(process.waitForFinished(10000));
            const QString out = QString::fromUtf8(process.readAll());
            QVERIFY2(out.contains(str(output).replace(str("%1"), path).replace(str("%2"), port)),
                     qPrintable(out));
            QVERIFY(!out.contains(str("Sesame")));
            QCOMPARE(process.exitCode(), exitCode);
            // A refusal is a line of the log like any other, time stamp and level first.
            QVERIFY(exitCode == 0 || inLogForm(out));
        }
    }

    // SIGUSR1 ends the clients; a deaf one never ends, and the server stops after its wait all
    // the same. SIGTERM, which only closes the links, is reloadBySighup's stop.
    void stopping()
    {
        ServerProcess server;
        QVERIFY(server.startWith("[Server]\nAddress=127.0.0.1\nShutdownWaitMs=300\n",
                                 {str("-p0"), str("--log-level"), str("info")}));
        RawClient polite(server.port(), str("polite"));
        RawClient deaf(server.port(), str("deaf"));
        QVERIFY(polite.link() && deaf.link());
        deaf.setMode(RawClient::Mode::Silent);
        ::kill(pid_t(server.pid()), SIGUSR1);
        QVERIFY(polite.expect(Protocol::MsgShutdown) && deaf.expect(Protocol::MsgShutdown));
        polite.send(Protocol::CmdEnd);
        QVERIFY(polite.waitClosed());
        QVERIFY(server.ended());
        QVERIFY(deaf.waitClosed());
    }
};

QTEST_GUILESS_MAIN(TestServerProcess)
#include "tst_serverprocess.moc"
