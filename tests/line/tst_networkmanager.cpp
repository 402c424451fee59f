// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerProcess.h"
#include "ServerTestSupport.h"

#include <csignal>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QElapsedTimer>

// The real velmora-server driving a real NetworkManager. in-namespace.sh gives each run a
// network and mount namespace of its own, a private system bus and NetworkManager, and the veth
// pair velmora0 / velmora0-far as the line; the profiles are made here with nmcli.
class TestNetworkManager : public QObject
{
    Q_OBJECT

private:
    // Runs nmcli, keeping the event loop going so that the desks hear what happens meanwhile.
    static bool nmcli(const QStringList &arguments, QString *output = nullptr)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(str("nmcli"), arguments);
        const bool ended =
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
        const QString text = QString::fromUtf8(process.readAll());
        if (output)
            *output = text;
        if (!ended || process.exitCode() != 0)
            qWarning("nmcli %s: %s", qPrintable(arguments.join(u' ')), qPrintable(text));
        return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    static bool addProfile(const QString &name, const QStringList &settings)
    {
        return nmcli(QStringList{str("connection"), str("add"), str("con-name"), name,
                                 str("autoconnect"), str("no"), str("ipv6.method"),
                                 str("disabled")} +
                     settings);
    }

    // A wired profile on the line with a documentation address: it comes up at once.
    static QStringList staticLine()
    {
        return {str("type"),        str("ethernet"), str("ifname"),         str("velmora0"),
                str("ipv4.method"), str("manual"),   str("ipv4.addresses"), str("192.0.2.1/24")};
    }

    static bool isActive(const QString &name)
    {
        QString active;
        nmcli({str("-t"), str("-f"), str("NAME"), str("connection"), str("show"), str("--active")},
              &active);
        return active.split(u'\n').contains(name);
    }

    static QByteArray config(const QByteArray &phonebook, const QByteArray &more = {})
    {
        return "[Server]\nAddress=127.0.0.1\nDisconnectSeconds=1\n"
               "WrongPasswordDelayMs=0\n[Line]\nBackend=networkmanager\n[Phonebook]\n" +
               phonebook + more;
    }

    // Desks linked to server, each having heard the line's state.
    static bool linkAll(std::vector<std::unique_ptr<RawClient>> &desks, quint16 port, int count)
    {
        for (int i = 0; i < count; ++i) {
            desks.push_back(std::make_unique<RawClient>(port, str("desk%1").arg(i)));
            if (!desks.back()->link())
                return false;
        }
        return true;
    }

    static bool allHear(std::vector<std::unique_ptr<RawClient>> &desks, const QString &line,
                        int timeoutMs = 10000)
    {
        return std::all_of(desks.begin(), desks.end(),
                           [&](auto &desk) { return desk->expect(line, timeoutMs); });
    }

private Q_SLOTS:
    void cleanup()
    {
        QString names;
        nmcli({str("-t"), str("-f"), str("NAME"), str("connection"), str("show")}, &names);
        for (const QString &name : names.split(u'\n', Qt::SkipEmptyParts)) {
            if (name != QLatin1String("lo"))
                nmcli({str("connection"), str("delete"), name});
        }
    }

    void dialAndFallFromOutside()
    {
        QVERIFY(addProfile(str("Mobile"), staticLine()));
        ServerProcess server;
        QTemporaryDir dir;
        const QString accounting = dir.filePath(str("accounting.csv"));
        QVERIFY(server.startWith(
            config("Mobile=\n", "[Server]\nAccountingFile=" + accounting.toUtf8() + "\n"),
            {str("-p0")}));
        QVERIFY(server.waitForLog(str("NetworkManager has a connection for every phonebook")));
        std::vector<std::unique_ptr<RawClient>> desks;
        QVERIFY(linkAll(desks, server.port(), 3));
        QVERIFY(desks[0]->request(str("CMD_CONNECT:Mobile")));
        QVERIFY2(allHear(desks, Protocol::StatusConnectDevice), qPrintable(server.log()));
        QVERIFY(allHear(desks, Protocol::StatusConnectedTo + str("Mobile")));
        QVERIFY(isActive(str("Mobile")));
        // Traffic to the far end, counted from NetworkManager's device for the call.
        QProcess traffic;
        traffic.start(str("bash"),
                      {str("-c"), str("for i in $(seq 20); do echo velmora-traffic-"
                                      "velmora-traffic > /dev/udp/192.0.2.2/9; done")});
        QVERIFY(QTest::qWaitFor([&] { return traffic.state() == QProcess::NotRunning; }));

        // Brought down by someone else: every desk hears it within a second of the event.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(nmcli({str("connection"), str("down"), str("Mobile")}));
        const qint64 nmcliMs = clock.elapsed();
        QVERIFY(allHear(desks, Protocol::StatusDisconnected));
        QVERIFY(allHear(desks, str("Connection to Mobile lost: it was disconnected outside the "
                                   "server")));
        QVERIFY2(clock.elapsed() < nmcliMs + 1000,
                 qPrintable(str("%1 ms, nmcli took %2 ms").arg(clock.elapsed()).arg(nmcliMs)));

        // And brought up by someone else.
        QVERIFY(nmcli({str("connection"), str("up"), str("Mobile")}));
        QVERIFY(allHear(desks, Protocol::StatusConnectedTo + str("Mobile"), 1000));
        QVERIFY(server.stop());
        QVERIFY2(server.log().contains(str("Mobile is up, brought up outside the server")),
                 qPrintable(server.log()));
        QFile file(accounting);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList downs =
            QString::fromUtf8(file.readAll()).split(u'\n').filter(str(",down,,,\"Mobile\","));
        QVERIFY(!downs.isEmpty());
        // time,event,identity,address,entry,seconds,received,sent
        const QStringList fields = downs.first().split(u',');
        QVERIFY2(fields.value(6).toLongLong() > 0 && fields.value(7).toLongLong() >= 20 * 70,
                 qPrintable(downs.first()));
    }

    void restartFindsTheLineAndTheVoteHangsUp()
    {
        // Mapped by UUID: the entry's name is not the connection's.
        QVERIFY(addProfile(str("wired-uplink"), staticLine()));
        QString uuid;
        QVERIFY(nmcli({str("-g"), str("connection.uuid"), str("connection"), str("show"),
                       str("wired-uplink")},
                      &uuid));
        const QByteArray text =
            config("Office ISP=\n", "[NetworkManager]\nOffice ISP=" + uuid.trimmed().toUtf8());
        {
            ServerProcess first;
            QVERIFY(first.startWith(text, {str("-p0")}));
            RawClient desk(first.port(), str("desk"));
            QVERIFY(desk.link());
            QVERIFY(desk.request(str("CMD_CONNECT:Office ISP")));
            QVERIFY(desk.expect(Protocol::StatusConnectedTo + str("Office ISP")));
            // Stopping the server leaves the line up.
            QVERIFY(first.stop());
        }
        QVERIFY(isActive(str("wired-uplink")));
        ServerProcess second;
        QVERIFY(second.startWith(text, {str("-p0")}));
        QVERIFY2(second.waitForLog(str("The line is up on Office ISP")), qPrintable(second.log()));
        std::vector<std::unique_ptr<RawClient>> desks;
        QVERIFY(linkAll(desks, second.port(), 2));
        // The status line a desk hears on linking is the line as it is.
        QVERIFY(desks[0]->reads().contains(Protocol::StatusConnectedTo + str("Office ISP")));
        QVERIFY(!desks[0]->reads().contains(Protocol::StatusDisconnected));

        // A hang-up asks the other desk; its consent ends the call.
        QVERIFY(desks[0]->request(Protocol::CmdDisconnect));
        QVERIFY(desks[1]->expect(kQuestion));
        QVERIFY(desks[1]->request(str("CMD_OK")));
        QVERIFY(allHear(desks, Protocol::StatusDisconnecting));
        QVERIFY(allHear(desks, Protocol::StatusDisconnected));
        QVERIFY(!isActive(str("wired-uplink")));
        QVERIFY(second.stop());
    }

    void missingConnectionsAreNamed()
    {
        QVERIFY(addProfile(str("Mobile"), staticLine()));
        QTemporaryDir dir;
        QFile file(dir.filePath(str("server.conf")));
        const auto write = [&file](const QByteArray &text) {
            return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(text) == text.size() && (file.close(), true);
        };
        QVERIFY(write(config("Mobile=\nBackup DSL=\n")));
        ServerProcess server;
        QVERIFY(server.start({str("--config"), file.fileName(), str("-p0")}));
        QVERIFY(server.waitForLog(
            str("NetworkManager has no connection Backup DSL for the phonebook entry Backup DSL")));
        QVERIFY(!server.log().contains(str("no connection Mobile")));
        RawClient desk(server.port(), str("desk"));
        QVERIFY(desk.link());
        QVERIFY(desk.request(str("CMD_CONNECT:Backup DSL")));
        QVERIFY(desk.expect(Protocol::StatusDisconnected));
        QVERIFY(desk.expect(str("Dialling Backup DSL failed: NetworkManager has no connection "
                                "Backup DSL")));

        // A reload checks again: mapped to a connection that exists, and one that does not.
        QVERIFY(write(config("Mobile=\nBackup DSL=\n", "[NetworkManager]\nBackup DSL=Mobile\n")));
        ::kill(pid_t(server.pid()), SIGHUP);
        QVERIFY(server.waitForLog(str("NetworkManager has a connection for every phonebook")));
        QVERIFY(write(config("Mobile=\n", "[NetworkManager]\nMobile=Mobile 2\n")));
        ::kill(pid_t(server.pid()), SIGHUP);
        QVERIFY(server.waitForLog(
            str("NetworkManager has no connection Mobile 2 for the phonebook entry Mobile")));
        QVERIFY(server.stop());
    }

    void failedActivationSaysWhy_data()
    {
        QTest::addColumn<QStringList>("profile");
        QTest::addColumn<QString>("why");
        // No DHCP server answers on the line.
        QTest::newRow("no address") << QStringList{str("type"),
                                                   str("ethernet"),
                                                   str("ifname"),
                                                   str("velmora0"),
                                                   str("ipv4.method"),
                                                   str("auto"),
                                                   str("ipv4.dhcp-timeout"),
                                                   str("2")}
                                    << str("no address was obtained");
        // Bound to an interface the machine does not have: refused before it starts.
        QTest::newRow("no device")
            << QStringList{str("type"),           str("ethernet"),    str("ifname"),
                           str("nosuch0"),        str("ipv4.method"), str("manual"),
                           str("ipv4.addresses"), str("192.0.2.1/24")}
            << str("NetworkManager refused: No suitable device found for this connection");
    }

    void failedActivationSaysWhy()
    {
        QFETCH(QStringList, profile);
        QFETCH(QString, why);
        QVERIFY(addProfile(str("Backup"), profile));
        ServerProcess server;
        QVERIFY(server.startWith(config("Backup=\n"), {str("-p0")}));
        std::vector<std::unique_ptr<RawClient>> desks;
        QVERIFY(linkAll(desks, server.port(), 2));
        QVERIFY(desks[0]->request(str("CMD_CONNECT:Backup")));
        QVERIFY2(allHear(desks, Protocol::StatusConnectDevice), qPrintable(server.log()));
        QVERIFY(allHear(desks, Protocol::StatusDisconnected));
        const QString failed = desks[1]->next(10000);
        QVERIFY2(failed.startsWith(str("Dialling Backup failed: ") + why), qPrintable(failed));
        QVERIFY(server.stop());
    }
};

QTEST_GUILESS_MAIN(TestNetworkManager)
#include "tst_networkmanager.moc"
