#include "Protocol.h"
#include "RawClient.h"

#include <csignal>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString str(const char *text)
{
    return QString::fromUtf8(text);
}

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runServer(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(VELMORA_SERVER_EXE), arguments);
    Run run;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

} // namespace

// The executable itself: its command line, its configuration file and its stopping.
class TestServerProcess : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeConfig(const QString &text)
    {
        const QString path = m_dir.filePath(QStringLiteral("server.conf"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        file.write(text.toUtf8());
        return path;
    }

private Q_SLOTS:
    void help()
    {
        const Run run = runServer({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        for (const char *option : {"--config <FILE>", "--port <N>", "--log-level <LEVEL>"})
            QVERIFY2(run.out.contains(str(option)), qPrintable(run.out));
    }

    void badCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown option")
            << QStringList{str("--bogus")} << str("velmora-server: Unknown option 'bogus'.");
        QTest::newRow("bad port") << QStringList{str("--port"), str("http")}
                                  << str("velmora-server: --port needs a number");
        QTest::newRow("bad level") << QStringList{str("--log-level"), str("chatty")}
                                   << str("velmora-server: --log-level needs");
        QTest::newRow("missing file") << QStringList{str("--config"), str("/nonexistent/v.conf")}
                                      << str("velmora-server: /nonexistent/v.conf: cannot read");
    }
    void badCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = runServer(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
        QVERIFY(!run.err.contains(str("Listening")));
    }

    void badConfigurationFile()
    {
        const QString path =
            writeConfig(str("[Server]\nAddress=127.0.0.1\nPort=0\nAckTimeoutMs=soon\n"));
        const Run run = runServer({str("--config"), path});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(path + str(": line 4: AckTimeoutMs: expected a whole number")),
                 qPrintable(run.err));
        QVERIFY(!run.err.contains(str("Listening")));
    }

    void aPortInUseIsReported()
    {
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost));
        const QString path = writeConfig(str("[Server]\nAddress=127.0.0.1\n"));
        const Run run = runServer(
            {str("--config"), path, str("--port"), QString::number(occupant.serverPort())});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(
            run.err.contains(str("Cannot listen on 127.0.0.1 port %1").arg(occupant.serverPort())),
            qPrintable(run.err));
    }

    void sigtermTellsTheClientsAndExitsCleanly()
    {
        const QString path = writeConfig(str("[Server]\nAddress=127.0.0.1\nPort=1\n"
                                             "[Phonebook]\nOffice=\n"));
        QProcess process;
        process.start(QStringLiteral(VELMORA_SERVER_EXE),
                      {str("--config"), path, str("-p"), str("0")});
        QVERIFY(process.waitForStarted());
        // The log tells the port actually taken.
        QString log;
        const QRegularExpression listening(str("Listening on 127\\.0\\.0\\.1:(\\d+)"));
        QRegularExpressionMatch match;
        for (int i = 0; i < 50 && !match.hasMatch(); ++i) {
            process.waitForReadyRead(100);
            log += QString::fromLocal8Bit(process.readAllStandardError());
            match = listening.match(log);
        }
        QVERIFY2(match.hasMatch(), qPrintable(log));
        const auto port = quint16(match.captured(1).toUInt());
        QVERIFY(port != 0);
        RawClient client(port, str("alpha"));
        QVERIFY(client.link());
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(client.expect(Protocol::MsgShutdown));
        client.send(Protocol::CmdEnd);
        QVERIFY(client.waitClosed());
        QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 5000);
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServerProcess)
#include "tst_serverprocess.moc"
