// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineTest.h"

#include <QElapsedTimer>

// The command line following a real interface (Interface=) through the kernel's events, in a
// namespace of its own (in-namespace.sh): the veth velmora1 made here is the line, its far end
// velmora1-far in the namespace "far"; the dial and hang-up commands bring velmora1 up and down,
// and the test brings the far end down and up from outside, and sends traffic across.
class TestInterface : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QByteArray config(const QString &accounting, const QByteArray &line = {}) const
    {
        return "[Server]\nAddress=127.0.0.1\nDisconnectSeconds=1\nAccountingFile=" +
               m_dir.filePath(accounting).toUtf8() + "\n[Line]\nBackend=command\n" + line +
               "[Command]\nInterface=velmora1\n"
               "Dial=ip link set velmora1 up && ip addr add 198.51.100.11/24 dev velmora1\n"
               "HangUp=ip addr flush dev velmora1 && ip link set velmora1 down\n"
               "DialTimeoutMs=5000\nCommandTimeoutMs=5000\n[Phonebook]\nUplink=\n";
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(sh(str("ip link add velmora1 type veth peer name velmora1-far netns far && "
                       "ip -n far link set velmora1-far up && "
                       "ip -n far addr add 198.51.100.2/24 dev velmora1-far")));
    }

    void followsTheInterface()
    {
        // Up before the server: nobody here dialled it, so the line is named after its interface.
        QVERIFY(sh(str("ip link set velmora1 up && ip addr add 198.51.100.11/24 dev velmora1")));
        ServerProcess server;
        QVERIFY(server.startWith(config(str("calls.csv")), {str("-p0")}));
        QVERIFY(server.waitForLog(str("The line is up on velmora1")));
        Desks desks(server.port());
        QVERIFY(desks.link());
        QVERIFY(desks.first.reads().contains(Protocol::StatusConnectedTo + str("velmora1")));
        // Taken down from outside, address first: no address, no line.
        QVERIFY(sh(str("ip addr flush dev velmora1")));
        QVERIFY(desks.hear(Protocol::StatusDisconnected, 1000));

        QVERIFY(desks.first.request(str("CMD_CONNECT:Uplink")));
        QVERIFY(desks.hear(str("Connect device|Connected to Uplink")));
        // The far end goes away: the line has fallen, and every desk knows within a second.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(sh(str("ip -n far link set velmora1-far down")));
        QVERIFY(desks.hear(str("Disconnected|Connection to Uplink lost")));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        // It comes back by itself.
        QVERIFY(sh(str("ip -n far link set velmora1-far up")));
        QVERIFY(desks.hear(Protocol::StatusConnectedTo + str("Uplink"), 1000));
        QVERIFY(sendTraffic(str("198.51.100.2")));

        // The desks' hang-up, with the vote, runs the hang-up command.
        QVERIFY(desks.first.request(Protocol::CmdDisconnect));
        QVERIFY(desks.second.expect(kQuestion) && desks.second.request(str("CMD_OK")));
        QVERIFY(desks.hear(str("Disconnecting|Disconnected")));
        QVERIFY(server.stop());
        // The fall ended one call, the hang-up the other, which carried the traffic.
        const QString accounting = m_dir.filePath(str("calls.csv"));
        QCOMPARE(accounted(accounting, str("down"), str("Uplink")), 2);
        QCOMPARE(accounted(accounting, str("down"), str("Uplink"), kTraffic), 1);
    }

    void anIdleCallEnds()
    {
        // A minute a second: the server judges idleness every two seconds, each time over two
        // of its minutes.
        qputenv("VELMORA_SERVER_TEST_CLOCK_RATE", "60");
        ServerProcess server;
        const bool started = server.startWith(
            config(str("idle.csv"), "IdleMinutes=1\nIdleBytes=2000\n"), {str("-p0")});
        qunsetenv("VELMORA_SERVER_TEST_CLOCK_RATE");
        QVERIFY(started);
        Desks desks(server.port());
        QVERIFY(desks.link());
        QVERIFY(desks.first.request(str("CMD_CONNECT:Uplink")));
        QVERIFY(desks.hear(Protocol::StatusConnectedTo + str("Uplink")));

        // Traffic across the line, well over IdleBytes between two of the server's checks, keeps
        // the call past its first check, and nobody is asked meanwhile.
        QElapsedTimer traffic;
        traffic.start();
        while (traffic.elapsed() < 3000) {
            QVERIFY(sendTraffic(str("198.51.100.2")));
            QVERIFY(saidNothingMore(desks.first) && saidNothingMore(desks.second));
        }

        // Quiet, it is idle: every desk is asked without a countdown, and nobody's lock keeps it.
        QVERIFY(desks.hear(Protocol::MsgDisconnectPrefix + str("0|Disconnecting|Disconnected")));
        QVERIFY(server.stop());
        // Ended as idle, once.
        const QString accounting = m_dir.filePath(str("idle.csv"));
        QCOMPARE(accounted(accounting, str("idle"), str("Uplink")), 1);
        QCOMPARE(accounted(accounting, str("down"), str("Uplink")), 1);
    }
};

QTEST_GUILESS_MAIN(TestInterface)
#include "tst_interface.moc"
