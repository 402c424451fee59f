// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SecretAgent.h"
#include "ServerProcess.h"
#include "ServerTestSupport.h"

#include <nm-dbus-interface.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>

// The password's path from a desk to NetworkManager, through the server's secret agent, on a
// real NetworkManager in a namespace of its own (in-namespace.sh). The line is a wired profile
// with 802.1X, whose password NetworkManager asks of the agents before it starts the
// authentication; no authentication service runs here, so the dial then fails, after
// NetworkManager took the password. Whether the far end accepts it is not tested here.
class TestSecretAgent : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QProcess m_supplicant;
    QProcess m_authenticator;

    static bool nmcli(const QStringList &arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(str("nmcli"), arguments);
        const bool ended =
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
        if (!ended || process.exitCode() != 0)
            qWarning("nmcli: %s", process.readAll().constData());
        return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    // A wired 802.1X profile; flags 1: its password is the agents' to give.
    static bool add8021x(const QString &name, const QStringList &password)
    {
        return nmcli(QStringList{str("connection"),
                                 str("add"),
                                 str("con-name"),
                                 name,
                                 str("type"),
                                 str("ethernet"),
                                 str("ifname"),
                                 str("velmora0"),
                                 str("autoconnect"),
                                 str("no"),
                                 str("802-1x.eap"),
                                 str("md5"),
                                 str("802-1x.identity"),
                                 str("office"),
                                 str("ipv4.method"),
                                 str("manual"),
                                 str("ipv4.addresses"),
                                 str("192.0.2.1/24"),
                                 str("ipv6.method"),
                                 str("disabled")} +
                     password);
    }

    // A bus call that keeps the event loop going; the reply or the error.
    static QDBusMessage call(const QDBusMessage &message)
    {
        QDBusPendingCallWatcher watcher(QDBusConnection::systemBus().asyncCall(message));
        if (!QTest::qWaitFor([&] { return watcher.isFinished(); }, 10000))
            return QDBusMessage::createError(str("test.Timeout"), str("no reply in 10 s"));
        return watcher.reply();
    }

    static QDBusMessage nmCall(const QString &path, const QString &interface, const QString &method,
                               const QVariantList &arguments)
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(str(NM_DBUS_SERVICE), path, interface, method);
        message.setArguments(arguments);
        return call(message);
    }

    static QString settingsPath(const QString &uuid)
    {
        const QDBusMessage reply =
            nmCall(str(NM_DBUS_PATH_SETTINGS), str(NM_DBUS_INTERFACE_SETTINGS),
                   str("GetConnectionByUuid"), {uuid});
        return reply.arguments().value(0).value<QDBusObjectPath>().path();
    }

    static QString uuidOf(const QString &name)
    {
        QProcess process;
        process.start(str("nmcli"),
                      {str("-g"), str("connection.uuid"), str("connection"), str("show"), name});
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000))
            return QString();
        return QString::fromUtf8(process.readAll()).trimmed();
    }

    static QByteArray config(const QByteArray &phonebook)
    {
        return "[Server]\nAddress=127.0.0.1\nWrongPasswordDelayMs=0\n[Line]\n"
               "Backend=networkmanager\n[Phonebook]\n" +
               phonebook;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qDBusRegisterMetaType<NmSettings>();
        QVERIFY(QDBusConnection::systemBus().isConnected());
        QFile users(m_dir.filePath(str("eap_users")));
        QFile conf(m_dir.filePath(str("hostapd.conf")));
        QVERIFY(users.open(QIODevice::WriteOnly) && conf.open(QIODevice::WriteOnly));
        users.write("\"office\" MD5 \"Night-Owl-42\"\n");
        conf.write("interface=velmora0-far\ndriver=wired\nieee8021x=1\neap_server=1\n"
                   "eapol_version=2\nuse_pae_group_addr=1\neap_user_file=" +
                   users.fileName().toUtf8() + "\n");
        users.close();
        conf.close();
        m_authenticator.setProcessChannelMode(QProcess::MergedChannels);
        m_authenticator.start(
            str("ip"), {str("netns"), str("exec"), str("far"), str("hostapd"), conf.fileName()});
        m_supplicant.setProcessChannelMode(QProcess::MergedChannels);
        m_supplicant.start(str("wpa_supplicant"), {str("-u")});
        QVERIFY(m_authenticator.waitForStarted() && m_supplicant.waitForStarted());
        // wpa_supplicant is there once it has its name on the bus.
        QVERIFY(QTest::qWaitFor([] {
            return QDBusConnection::systemBus().interface()->isServiceRegistered(
                str("fi.w1.wpa_supplicant1"));
        }));
    }

    void cleanupTestCase()
    {
        m_supplicant.terminate();
        m_authenticator.terminate();
        QVERIFY(m_supplicant.waitForFinished() && m_authenticator.waitForFinished());
    }

    void cleanup()
    {
        QProcess remove;
        remove.start(str("/bin/sh"),
                     {str("-c"), str("nmcli -t -f NAME connection show | grep -vx lo | "
                                     "while read -r name; do nmcli connection delete \"$name\"; "
                                     "done")});
        QVERIFY(QTest::qWaitFor([&] { return remove.state() == QProcess::NotRunning; }, 30000));
    }

    // The password typed at the desk is what the far end judges.
    void typedPasswordReachesTheFarEnd_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("right") << str("Night-Owl-42") << str("Connected to Office LAN");
        QTest::newRow("wrong") << str("Sun-Owl-17")
                               << str("Dialling Office LAN failed: the password was not accepted");
    }

    void typedPasswordReachesTheFarEnd()
    {
        QFETCH(QString, password);
        QFETCH(QString, outcome);
        QVERIFY(add8021x(str("Office LAN"), {str("802-1x.password-flags"), str("1")}));
        ServerProcess server;
        QVERIFY(server.startWith(config("Office LAN=*\n"),
                                 {str("-p0"), str("--log-level"), str("debug")}));
        QVERIFY(server.waitForLog(str("Secret agent registered with NetworkManager")));
        RawClient desk(server.port(), str("desk"));
        QVERIFY(desk.link());
        QCOMPARE(answer(desk, str("CMD_CONNECT:Office LAN")), str("MSG_PASSWORD"));
        QVERIFY(desk.request(str("CMD_CONNECT:Office LANPWD:") + password));
        QVERIFY(desk.expect(Protocol::StatusConnectDevice));
        if (outcome.startsWith(str("Connected"))) {
            QCOMPARE(desk.next(60000), outcome);
            QVERIFY(desk.request(Protocol::CmdDisconnect));
            QVERIFY(desk.expect(Protocol::StatusDisconnected, 10000));
        } else {
            // The reason follows the state, so that it stays on the desk.
            QCOMPARE(desk.next(60000), Protocol::StatusDisconnected);
            QCOMPARE(desk.next(10000), outcome);
        }
        QVERIFY(server.stop());
        const QString log = server.log();
        QVERIFY2(log.contains(str("Secret agent: the password for 802-1x handed to "
                                  "NetworkManager")),
                 qPrintable(log));
        QVERIFY2(!log.contains(password), qPrintable(log));
    }

    void storedPasswordDialsWithoutAsking()
    {
        QVERIFY(add8021x(str("Stored LAN"), {str("802-1x.password"), str("Night-Owl-42")}));
        ServerProcess server;
        QVERIFY(server.startWith(config("Stored LAN=\n"), {str("-p0")}));
        RawClient desk(server.port(), str("desk"));
        QVERIFY(desk.link());
        QCOMPARE(answer(desk, str("CMD_CONNECT:Stored LAN")),
                 QString(Protocol::StatusConnectDevice));
        QCOMPARE(desk.next(30000), str("Connected to Stored LAN"));
        QVERIFY(desk.request(Protocol::CmdDisconnect));
        QVERIFY(desk.expect(Protocol::StatusDisconnected, 10000));
        QVERIFY(server.stop());
        QVERIFY2(!server.log().contains(str("Secret agent:")), qPrintable(server.log()));
    }

    // Somebody else activating the profile gets nothing from the server's agent.
    void otherActivationsGetNoPassword()
    {
        QVERIFY(add8021x(str("Guest LAN"), {str("802-1x.password-flags"), str("1")}));
        ServerProcess server;
        QVERIFY(server.startWith(config("Guest LAN=*\n"), {str("-p0")}));
        QVERIFY(server.waitForLog(str("Secret agent registered with NetworkManager")));
        RawClient desk(server.port(), str("desk"));
        QVERIFY(desk.link());
        const QString path = settingsPath(uuidOf(str("Guest LAN")));
        QVERIFY(!path.isEmpty());
        // This process has no agent of its own: the server's is the only one NetworkManager can
        // ask.
        const QDBusMessage reply =
            nmCall(str(NM_DBUS_PATH), str(NM_DBUS_INTERFACE), str("ActivateConnection"),
                   {QVariant::fromValue(QDBusObjectPath(path)),
                    QVariant::fromValue(QDBusObjectPath(str("/"))),
                    QVariant::fromValue(QDBusObjectPath(str("/")))});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QVERIFY(server.waitForLog(str("Secret agent: no password for %1: the server did not "
                                      "start it")
                                      .arg(path),
                                  10000));
        // The desks never saw the line move.
        RawClient witness(server.port(), str("witness"));
        QVERIFY(witness.link());
        QVERIFY(witness.reads().contains(Protocol::StatusDisconnected));
        QVERIFY(desk.pending().isEmpty());
        QVERIFY(server.stop());
    }

    // Called as NetworkManager calls it, but by another: refused.
    void onlyNetworkManagerIsAnswered()
    {
        ServerProcess server;
        QVERIFY(server.startWith(config("Office LAN=*\n"), {str("-p0")}));
        QVERIFY(server.waitForLog(str("Secret agent registered with NetworkManager")));
        // The server's unique name on the bus, found by its process.
        QString agent;
        const QStringList names =
            call(QDBusMessage::createMethodCall(str("org.freedesktop.DBus"),
                                                str("/org/freedesktop/DBus"),
                                                str("org.freedesktop.DBus"), str("ListNames")))
                .arguments()
                .value(0)
                .toStringList();
        for (const QString &name : names) {
            QDBusMessage pid = QDBusMessage::createMethodCall(
                str("org.freedesktop.DBus"), str("/org/freedesktop/DBus"),
                str("org.freedesktop.DBus"), str("GetConnectionUnixProcessID"));
            pid << name;
            if (name.startsWith(u':') &&
                call(pid).arguments().value(0).toLongLong() == server.pid())
                agent = name;
        }
        QVERIFY(!agent.isEmpty());
        const NmSettings connection{
            {str("connection"), {{str("type"), str("gsm")}, {str("id"), str("Office LAN")}}}};
        QDBusMessage getSecrets =
            QDBusMessage::createMethodCall(agent, str(NM_DBUS_PATH_SECRET_AGENT),
                                           str(NM_DBUS_INTERFACE_SECRET_AGENT), str("GetSecrets"));
        getSecrets << QVariant::fromValue(connection)
                   << QVariant::fromValue(
                          QDBusObjectPath(str("/org/freedesktop/NetworkManager/Settings/1")))
                   << str("gsm") << QStringList()
                   << uint(NM_SECRET_AGENT_GET_SECRETS_FLAG_ALLOW_INTERACTION);
        const QDBusMessage reply = call(getSecrets);
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), str(NM_DBUS_INTERFACE_SECRET_AGENT ".PermissionDenied"));
        QVERIFY(server.stop());
    }
};

QTEST_GUILESS_MAIN(TestSecretAgent)
#include "tst_secretagent.moc"
