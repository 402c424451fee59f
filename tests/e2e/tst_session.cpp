// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FakeServer.h"
#include "Settings.h"
#include "TestHome.h"

#include <csignal>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The client process leaving with the desktop session or a termination signal.
class TestSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        // Its own folder: the client writes its logs beside itself.
        QTemporaryDir folder;
        const QString exe = folder.filePath(QStringLiteral("velmora-client"));
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_CLIENT_EXE), exe));
        QProcess client;
        client.setProcessChannelMode(QProcess::ForwardedChannels);
        client.start(exe, {});
        QVERIFY(client.waitForStarted());
        QVERIFY(server.waitForConnections(1, 20000));
        // Answered from the client's event loop: it runs, linked, with its handlers in place.
        QVERIFY(server.roundTrip(20000));

        QCOMPARE(::kill(pid_t(client.processId()), signalNumber), 0);
        QVERIFY(QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, 20000));
        QCOMPARE(client.exitStatus(), QProcess::NormalExit);
        QCOMPARE(client.exitCode(), 0);
        QCOMPARE(server.requests(), QStringList{QStringLiteral("CMD_END")});
        QCOMPARE(Settings::text(Settings::Alert), QLatin1String("1"));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
