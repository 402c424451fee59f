// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineTest.h"
#include "SecretAgent.h"

#include <csignal>
#include <nm-dbus-interface.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QElapsedTimer>

// The real velmora-server driving a real NetworkManager. in-namespace.sh gives each run a
// network and mount namespace of its own, a private system bus and NetworkManager, and the veth
// pair velmora0 / velmora0-far as the line, and hostapd on its far end judging 802.1X passwords;
// the profiles are made here with nmcli. A password reaches NetworkManager only through the
// server's secret agent.
class TestNetworkManager : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static bool addProfile(const QString &name, const QString &settings)
    {
        return sh(str("nmcli connection add con-name '%1' type ethernet autoconnect no "
                      "ipv6.method disabled %2")
                      .arg(name, settings));
    }

    QByteArray config(const QString &phonebook) const
    {
        return "[Server]\nAddress=127.0.0.1\nDisconnectSeconds=1\nWrongPasswordDelayMs=0\n"
               "AccountingFile=" +
               m_dir.filePath(str("calls.csv")).toUtf8() +
               "\n[Line]\nBackend=networkmanager\n[Phonebook]\n" + phonebook.toUtf8();
    }

private Q_SLOTS:
    void initTestCase() { qDBusRegisterMetaType<NmSettings>(); }

    void cleanup()
    {
        QVERIFY(sh(str("nmcli -g UUID,TYPE connection show | grep -v :loopback$ | cut -d: -f1 | "
                       "xargs -r nmcli connection delete")));
    }

    // A desk dials the phonebook's first entry: NetworkManager's profile for it (none where
    // empty), the password typed (none asked where empty), what the desk hears after its
    // request in turn ("|" between them), and what the server's log holds ("!": does not hold).
    void dial()
    {
        // On the line with a documentation address, it comes up at once; 802.1X fails only when
        // authenticating has taken too long.
        const QString line = str("ifname velmora0 ipv4.method manual ipv4.addresses 192.0.2.1/24");
        const QString eap = line + str(" 802-1x.eap md5 802-1x.identity office 802-1x.auth-timeout "
                                       "5 802-1x.password-flags 1");
        const char *handed = "Secret agent: the password for 802-1x handed to NetworkManager";
        const struct
        {
            QString profile;
            const char *phonebook, *password, *heard, *logged;
        } rows[] = {
            {eap, "Office=*\n", "Night-Owl-42", "Connect device|Connected to Office", handed},
            {eap, "Office=*\n", "Sun-Owl-17",
             "Connect device|Disconnected|Dialling Office failed: the password was not accepted",
             handed},
            // Mapped by UUID.
            {line + str(" connection.uuid 0a7e4c39-5d59-4d45-9f37-2b1c3f52b6a1"),
             "Office ISP=\n[NetworkManager]\nOffice ISP=0a7e4c39-5d59-4d45-9f37-2b1c3f52b6a1\n", "",
             "Connect device|Connected to Office ISP", "a connection for every phonebook entry"},
            // No DHCP server answers on the line.
            {str("ifname velmora0 ipv4.method auto ipv4.dhcp-timeout 1"), "Office=\n", "",
             "Connect device|Disconnected|Dialling Office failed: no address was obtained",
             "!no connection"},
            // Bound to an interface the machine does not have: refused before it starts.
            {str("ifname nosuch0"), "Office=\n", "",
             "Connect device|Disconnected|Dialling Office failed: NetworkManager refused: No "
             "suitable",
             ""},
            {QString(), "Office=\n", "",
             "Connect device|Disconnected|Dialling Office failed: NetworkManager has no connection "
             "Office",
             "NetworkManager has no connection Office for the phonebook entry Office"}};
        for (const auto &row : rows) {
            const QString entry = str(row.phonebook).section(u'=', 0, 0);
            const QString password = str(row.password);
            const QString logged = str(row.logged);
            QVERIFY(row.profile.isEmpty() || addProfile(entry, row.profile));
            ServerProcess server;
            QVERIFY(server.startWith(config(str(row.phonebook)), {str("-p0")}));
            QVERIFY(server.waitForLog(str("Secret agent registered with NetworkManager")));
            RawClient desk(server.port(), str("desk"));
            QVERIFY(desk.link());
            // Where a password is typed, the desk is asked for it first.
            QVERIFY(password.isEmpty() ||
                    answer(desk, str("CMD_CONNECT:") + entry) == str("MSG_PASSWORD"));
            QVERIFY(desk.request(str("CMD_CONNECT:") + entry +
                                 (password.isEmpty() ? QString() : str("PWD:") + password)));
            // A failure's reason follows the state, so that it stays on the desk.
            for (const QString &heard : str(row.heard).split(u'|')) {
                const QString read = desk.next(30000);
                QVERIFY2(read.startsWith(heard), qPrintable(read));
            }
            QVERIFY(server.stop());
            const QString log = server.log();
            QVERIFY2(logged.startsWith(u'!') ? !log.contains(logged.mid(1)) : log.contains(logged),
                     qPrintable(log));
            QVERIFY(password.isEmpty() || !log.contains(password));
            cleanup();
        }
    }

    // Brought down and up outside the server, the line is followed; a new server finds it up,
    // and the desks' vote hangs it up.
    void followedFromOutside()
    {
        QVERIFY(addProfile(str("Mobile"),
                           str("ifname velmora0 ipv4.method manual ipv4.addresses 192.0.2.1/24")));
        {
            ServerProcess first;
            QVERIFY(first.startWith(config(str("Mobile=\n")), {str("-p0")}));
            Desks desks(first.port());
            QVERIFY(desks.link());
            QVERIFY(desks.first.request(str("CMD_CONNECT:Mobile")));
            QVERIFY(desks.hear(str("Connect device|Connected to Mobile")));
            QVERIFY(sendTraffic(str("192.0.2.2")));
            // Every desk hears it within a second of the event.
            QElapsedTimer clock;
            clock.start();
            QVERIFY(sh(str("nmcli connection down Mobile")));
            const qint64 nmcliMs = clock.elapsed();
            QVERIFY(desks.hear(str(
                "Disconnected|Connection to Mobile lost: it was disconnected outside the server")));
            QVERIFY2(clock.elapsed() < nmcliMs + 1000,
                     qPrintable(str("%1 ms, nmcli took %2 ms").arg(clock.elapsed()).arg(nmcliMs)));
            QVERIFY(sh(str("nmcli connection up Mobile")));
            QVERIFY(desks.hear(Protocol::StatusConnectedTo + str("Mobile"), 1000));
            QVERIFY(first.stop());
        }
        QCOMPARE(accounted(m_dir.filePath(str("calls.csv")), str("down"), str("Mobile"), kTraffic),
                 1);

        ServerProcess second;
        QVERIFY(second.startWith(config(str("Mobile=\n")), {str("-p0")}));
        // Stopping the server left the line up.
        QVERIFY2(second.waitForLog(str("The line is up on Mobile")), qPrintable(second.log()));
        Desks desks(second.port());
        QVERIFY(desks.link());
        // The status line a desk hears on linking is the line as it is.
        QVERIFY(desks.first.reads().contains(Protocol::StatusConnectedTo + str("Mobile")));
        QVERIFY(!desks.first.reads().contains(Protocol::StatusDisconnected));
        QVERIFY(desks.first.request(Protocol::CmdDisconnect));
        QVERIFY(desks.second.expect(kQuestion) && desks.second.request(str("CMD_OK")));
        QVERIFY(desks.hear(str("Disconnecting|Disconnected")));
        QVERIFY(sh(str("! nmcli -g NAME connection show --active | grep -qx Mobile")));
        // A reload checks the connections again.
        QVERIFY(!second.writeConfig(config(str("Mobile=\n[NetworkManager]\nMobile=Mobile 2\n")))
                     .isEmpty());
        ::kill(pid_t(second.pid()), SIGHUP);
        QVERIFY(second.waitForLog(
            str("NetworkManager has no connection Mobile 2 for the phonebook entry Mobile")));
        QVERIFY(second.stop());
    }

    // The agent answers NetworkManager only, and only for the server's own dials: somebody else
    // activating a profile gets nothing from it, and the desks never see the line move; called
    // as NetworkManager calls it, but by another, it refuses.
    void onlyTheServersDialsGetAPassword()
    {
        QVERIFY(addProfile(str("Guest"), str("ifname velmora0 802-1x.eap md5 802-1x.identity "
                                             "office 802-1x.password-flags 1")));
        ServerProcess server;
        QVERIFY(server.startWith(config(str("Guest=*\n")), {str("-p0")}));
        QVERIFY(server.waitForLog(str("Secret agent registered with NetworkManager")));
        RawClient desk(server.port(), str("desk"));
        QVERIFY(desk.link());
        QString path;
        QVERIFY(sh(str("nmcli -g NAME,DBUS-PATH connection show | sed -n 's/^Guest://p'"), &path));
        // dbus-send has no agent of its own: the server's is the only one NetworkManager can ask.
        QVERIFY(sh(str("dbus-send --system --print-reply --dest=" NM_DBUS_SERVICE " " NM_DBUS_PATH
                       " " NM_DBUS_INTERFACE ".ActivateConnection objpath:%1 objpath:/ objpath:/")
                       .arg(path)));
        QVERIFY(server.waitForLog(
            str("Secret agent: no password for %1: the server did not start it").arg(path), 10000));
        QVERIFY(saidNothingMore(desk));

        // The server's unique name on the bus, found by its process.
        QDBusConnectionInterface *bus = QDBusConnection::systemBus().interface();
        QString agent;
        for (const QString &name : bus->registeredServiceNames().value()) {
            if (name.startsWith(u':') && bus->servicePid(name).value() == server.pid())
                agent = name;
        }
        QDBusMessage getSecrets =
            QDBusMessage::createMethodCall(agent, str(NM_DBUS_PATH_SECRET_AGENT),
                                           str(NM_DBUS_INTERFACE_SECRET_AGENT), str("GetSecrets"));
        getSecrets << QVariant::fromValue(NmSettings())
                   << QVariant::fromValue(QDBusObjectPath(path)) << str("gsm") << QStringList()
                   << 0u;
        // Answered by the server, a process apart: this one may wait without its event loop.
        const QDBusMessage reply = QDBusConnection::systemBus().call(getSecrets);
        QCOMPARE(reply.errorName(), str(NM_DBUS_INTERFACE_SECRET_AGENT ".PermissionDenied"));
        QVERIFY(server.stop());
    }
};

QTEST_GUILESS_MAIN(TestNetworkManager)
#include "tst_networkmanager.moc"
