// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerProcess.h"
#include "ServerTestSupport.h"

#include <QElapsedTimer>

// The command line following a real interface (Interface=) through the kernel's events, in a
// namespace of its own (in-namespace.sh): the veth velmora1 made here is the line, its far end
// velmora1-far in the namespace "far"; the dial and hang-up commands bring velmora1 up and down,
// and the test brings the far end down and up from outside, and sends traffic across.
class TestInterface : public QObject
{
    Q_OBJECT

private:
    // Runs a command of the test's own, keeping the event loop going.
    static bool run(const QString &command)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(str("/bin/sh"), {str("-c"), command});
        const bool ended =
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000);
        if (!ended || process.exitCode() != 0)
            qWarning("%s: %s", qPrintable(command), process.readAll().constData());
        return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QTemporaryDir m_dir;

    QString accountingPath() const { return m_dir.filePath(str("accounting.csv")); }

    QByteArray config(const QByteArray &line = QByteArray()) const
    {
        return "[Server]\nAddress=127.0.0.1\nDisconnectSeconds=1\n"
               "AccountingFile=" +
               accountingPath().toUtf8() +
               "\n"
               "[Line]\nBackend=command\n" +
               line +
               "[Command]\nInterface=velmora1\n"
               "Dial=ip link set velmora1 up && ip addr add 198.51.100.11/24 dev velmora1\n"
               "HangUp=ip addr flush dev velmora1 && ip link set velmora1 down\n"
               "DialTimeoutMs=5000\nCommandTimeoutMs=5000\n[Phonebook]\nUplink=\n";
    }

    static bool allHear(RawClient &a, RawClient &b, const QString &line, int timeoutMs = 5000)
    {
        return a.expect(line, timeoutMs) && b.expect(line, timeoutMs);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(run(str("ip link add velmora1 type veth peer name velmora1-far netns far && "
                        "ip -n far link set velmora1-far up && "
                        "ip -n far addr add 198.51.100.2/24 dev velmora1-far")));
    }

    void cleanup()
    {
        qunsetenv("VELMORA_SERVER_TEST_CLOCK_RATE");
        QVERIFY(run(str("ip link del velmora1")));
    }

    void dialFallAndHangUp()
    {
        ServerProcess server;
        QVERIFY(server.startWith(config(), {str("-p0")}));
        RawClient desk(server.port(), str("desk"));
        RawClient other(server.port(), str("other"));
        QVERIFY(desk.link() && other.link());
        QVERIFY(desk.request(str("CMD_CONNECT:Uplink")));
        QVERIFY(allHear(desk, other, Protocol::StatusConnectDevice));
        QVERIFY(allHear(desk, other, Protocol::StatusConnectedTo + str("Uplink")));

        // The far end goes away: the line has fallen, and every desk knows within a second.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(run(str("ip -n far link set velmora1-far down")));
        QVERIFY(allHear(desk, other, Protocol::StatusDisconnected));
        QVERIFY(allHear(desk, other, str("Connection to Uplink lost")));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));

        // It comes back by itself.
        QVERIFY(run(str("ip -n far link set velmora1-far up")));
        QVERIFY(allHear(desk, other, Protocol::StatusConnectedTo + str("Uplink"), 1000));

        // Traffic to the far end is counted for the call, in both directions (the far end
        // answers with the address lookup and with "port unreachable").
        QVERIFY(run(str("bash -c 'for i in $(seq 20); do echo velmora-traffic-velmora-traffic "
                        "> /dev/udp/198.51.100.2/9; done'")));

        // The desks' hang-up, with the vote, runs the hang-up command.
        QVERIFY(desk.request(Protocol::CmdDisconnect));
        QVERIFY(other.expect(kQuestion));
        QVERIFY(other.request(str("CMD_OK")));
        QVERIFY(allHear(desk, other, Protocol::StatusDisconnecting));
        QVERIFY(allHear(desk, other, Protocol::StatusDisconnected));
        QVERIFY(server.stop());
        QVERIFY2(server.log().contains(str("The interface velmora1 is down")),
                 qPrintable(server.log()));
        QFile accounting(accountingPath());
        QVERIFY(accounting.open(QIODevice::ReadOnly));
        const QStringList downs =
            QString::fromUtf8(accounting.readAll()).split(u'\n').filter(str(",down,,,\"Uplink\","));
        QCOMPARE(downs.size(), 2);
        // time,event,identity,address,entry,seconds,received,sent
        const QStringList fields = downs.last().split(u',');
        QVERIFY2(fields.value(6).toLongLong() > 0 && fields.value(7).toLongLong() >= 20 * 70,
                 qPrintable(downs.last()));
    }

    void anIdleCallEnds()
    {
        // A minute a second: the server judges idleness every two seconds, each time over two
        // of its minutes.
        qputenv("VELMORA_SERVER_TEST_CLOCK_RATE", "60");
        QFile::remove(accountingPath()); // the tests share the folder
        ServerProcess server;
        QVERIFY(server.startWith(config("IdleMinutes=1\nIdleBytes=2000\n"), {str("-p0")}));
        RawClient desk(server.port(), str("desk"));
        RawClient other(server.port(), str("other"));
        QVERIFY(desk.link() && other.link());
        QVERIFY(desk.request(str("CMD_CONNECT:Uplink")));
        QVERIFY(allHear(desk, other, Protocol::StatusConnectedTo + str("Uplink")));

        // Traffic across the line, well over IdleBytes every two seconds, keeps the call for
        // five of the server's idle times.
        QElapsedTimer traffic;
        traffic.start();
        while (traffic.elapsed() < 5000) {
            QVERIFY(run(str("bash -c 'for i in $(seq 10); do echo velmora-traffic-velmora-traffic "
                            "> /dev/udp/198.51.100.2/9; done'")));
            QTest::qWait(200);
        }
        QVERIFY(saidNothingMore(desk) && saidNothingMore(other));

        // Quiet, it is idle: every desk is asked without a countdown, and nobody's lock keeps it.
        const QString question = Protocol::MsgDisconnectPrefix + str("0");
        QVERIFY(allHear(desk, other, question));
        QVERIFY(allHear(desk, other, Protocol::StatusDisconnecting));
        QVERIFY(allHear(desk, other, Protocol::StatusDisconnected));
        QVERIFY(server.stop());
        QVERIFY2(server.log().contains(str("The call on Uplink has been idle for 1 minute(s)")),
                 qPrintable(server.log()));
        QFile accounting(accountingPath());
        QVERIFY(accounting.open(QIODevice::ReadOnly));
        const QStringList events = QString::fromUtf8(accounting.readAll()).split(u'\n');
        QCOMPARE(events.filter(str(",idle,,,\"Uplink\",")).size(), 1);
        QCOMPARE(events.filter(str(",down,,,\"Uplink\",")).size(), 1);
    }

    void startFindsTheLineUp()
    {
        QVERIFY(run(str("ip link set velmora1 up && ip addr add 198.51.100.11/24 dev velmora1")));
        ServerProcess server;
        QVERIFY(server.startWith(config(), {str("-p0")}));
        // Nobody here dialled it: the line is named after its interface.
        QVERIFY(server.waitForLog(str("The line is up on velmora1")));
        RawClient desk(server.port(), str("desk"));
        QVERIFY(desk.link());
        QVERIFY(desk.reads().contains(Protocol::StatusConnectedTo + str("velmora1")));
        // Taken down from outside, address first: no address, no line.
        QVERIFY(run(str("ip addr flush dev velmora1")));
        QVERIFY(desk.expect(Protocol::StatusDisconnected, 1000));
        QVERIFY(server.stop());
    }
};

QTEST_GUILESS_MAIN(TestInterface)
#include "tst_interface.moc"
