#include "CommandBackend.h"
#include "Protocol.h"
#include "RawClient.h"
#include "ServerTestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString str(const char *text)
{
    return QString::fromUtf8(text);
}

const PhonebookEntry kOffice{QStringLiteral("Office"), QString(), PasswordCheck::None};

} // namespace

// The line driven by real shell commands, as an office drives pppd or NetworkManager. The
// commands work on a flag file in a temporary folder that stands for the line.
class TestCommandBackend : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString flag() const { return m_dir.filePath(QStringLiteral("up")); }

    CommandSettings withStatus() const
    {
        CommandSettings s;
        s.dial = QStringLiteral("touch '%1'").arg(flag());
        s.hangUp = QStringLiteral("rm -f '%1'").arg(flag());
        s.status = QStringLiteral("test -e '%1' && cat '%1'").arg(flag());
        s.statusIntervalMs = 100;
        s.dialTimeoutMs = 5000;
        s.commandTimeoutMs = 5000;
        return s;
    }

    static CommandSettings exitCodesOnly(const QString &dial)
    {
        CommandSettings s;
        s.dial = dial;
        s.hangUp = QStringLiteral("true");
        s.commandTimeoutMs = 5000;
        return s;
    }

private Q_SLOTS:
    void cleanup() { QFile::remove(flag()); }

    void dialOutcomes_data()
    {
        QTest::addColumn<QString>("dial");
        QTest::addColumn<bool>("up");
        QTest::addColumn<QString>("reason");
        QTest::newRow("success") << str("exit 0") << true << QString();
        QTest::newRow("failure with output") << str("echo dialling; echo 'NO CARRIER' >&2; exit 3")
                                             << false << str("Dialling Office failed: NO CARRIER");
        QTest::newRow("failure without output")
            << str("exit 4") << false
            << str("Dialling Office failed: the command ended with code 4");
        QTest::newRow("too slow") << str("sleep 10") << false
                                  << str("Dialling Office failed: no outcome within 0.3 s");
    }
    void dialOutcomes()
    {
        QFETCH(QString, dial);
        QFETCH(bool, up);
        QFETCH(QString, reason);
        CommandSettings settings = exitCodesOnly(dial);
        settings.commandTimeoutMs = 300;
        CommandBackend backend(settings);
        QSignalSpy ups(&backend, &LineBackend::lineUp);
        QSignalSpy downs(&backend, &LineBackend::lineDown);
        backend.dial(kOffice, QString());
        QVERIFY(ups.isEmpty() && downs.isEmpty());
        QTRY_COMPARE(ups.size() + downs.size(), 1);
        if (up) {
            QCOMPARE(ups.first().first().toString(), str("Office"));
            backend.hangUp();
            QTRY_COMPARE(downs.size(), 1);
            QCOMPARE(downs.first().first().toString(), QString());
        } else {
            QCOMPARE(downs.first().first().toString(), reason);
        }
    }

    void commandsSeeTheEntryAndPassword()
    {
        const QString out = m_dir.filePath(QStringLiteral("env"));
        CommandBackend backend(exitCodesOnly(
            QStringLiteral("printf '%s|%s' \"$VELMORA_ENTRY\" \"$VELMORA_PASSWORD\" > '%1'")
                .arg(out)));
        QSignalSpy ups(&backend, &LineBackend::lineUp);
        backend.dial({str("Night line"), QString(), PasswordCheck::Line}, str("it's \"$x\""));
        QTRY_COMPARE(ups.size(), 1);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), str("Night line|it's \"$x\""));
    }

    void theStatusCommandTellsTheState()
    {
        CommandBackend backend(withStatus());
        QSignalSpy ups(&backend, &LineBackend::lineUp);
        QSignalSpy downs(&backend, &LineBackend::lineDown);
        backend.start();
        backend.dial(kOffice, QString());
        QTRY_COMPARE(ups.size(), 1);
        QCOMPARE(ups.takeFirst().first().toString(), str("Office"));
        // The line falls by itself.
        QVERIFY(QFile::remove(flag()));
        QTRY_COMPARE(downs.size(), 1);
        QCOMPARE(downs.takeFirst().first().toString(), str("Connection to Office lost"));
        // Someone brings it up outside the server; the status command names the entry.
        QFile file(flag());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Backup\n");
        file.close();
        QTRY_COMPARE(ups.size(), 1);
        QCOMPARE(ups.takeFirst().first().toString(), str("Backup"));
        backend.hangUp();
        QTRY_COMPARE(downs.size(), 1);
        QCOMPARE(downs.first().first().toString(), QString());
        QVERIFY(!QFile::exists(flag()));
    }

    void aDialThatNeverConnectsFails()
    {
        CommandSettings settings = withStatus();
        settings.dial = QStringLiteral("true");
        settings.dialTimeoutMs = 400;
        CommandBackend backend(settings);
        QSignalSpy ups(&backend, &LineBackend::lineUp);
        QSignalSpy downs(&backend, &LineBackend::lineDown);
        backend.start();
        backend.dial(kOffice, QString());
        QTRY_COMPARE(downs.size(), 1);
        QCOMPARE(downs.first().first().toString(),
                 str("Dialling Office failed: no connection within 0.4 s"));
        QVERIFY(ups.isEmpty());
    }

    void hangingUpDuringADialAbandonsIt()
    {
        CommandBackend backend(exitCodesOnly(str("sleep 10")));
        QSignalSpy ups(&backend, &LineBackend::lineUp);
        QSignalSpy downs(&backend, &LineBackend::lineDown);
        backend.dial(kOffice, QString());
        backend.hangUp();
        QTRY_COMPARE(downs.size(), 1);
        QCOMPARE(downs.first().first().toString(), QString());
        QTest::qWait(200);
        QVERIFY(ups.isEmpty());
    }

    void aFallenLineEndsAHangUpRequest()
    {
        ServerConfig config = fastConfig();
        config.backend = BackendKind::Command;
        config.command = withStatus();
        config.disconnectSeconds = 30;
        auto server = startServer(config);
        RawClient requester(server->port(), str("alpha"));
        QVERIFY(requester.link());
        RawClient other(server->port(), str("beta"));
        QVERIFY(other.link());
        QVERIFY(requester.request(str("CMD_CONNECT:Office")));
        QVERIFY(other.expect(str("Connected to Office")));
        QVERIFY(requester.request(Protocol::CmdDisconnect));
        QVERIFY(other.expect(Protocol::MsgDisconnectPrefix + QStringLiteral("30")));
        QVERIFY(QFile::remove(flag()));
        // The countdown still open is closed; the requester learns from the status lines.
        QCOMPARE(other.next(), QString(Protocol::MsgCancelled));
        QCOMPARE(other.next(), str("Connection to Office lost"));
        QCOMPARE(other.next(), QString(Protocol::StatusDisconnected));
        QVERIFY(requester.expect(Protocol::StatusDisconnected));
        QVERIFY(!requester.pending().contains(Protocol::MsgCancelled));
    }
};

QTEST_GUILESS_MAIN(TestCommandBackend)
#include "tst_commandbackend.moc"
