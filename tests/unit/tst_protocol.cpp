#include "Cp1252.h"
#include "LeadingNumber.h"
#include "Protocol.h"

#include <QTest>

using Protocol::ServerMessage;

class TestProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void classify_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<ServerMessage>("kind");
        const auto row = [](const char *name, const char *message, ServerMessage kind) {
            QTest::newRow(name) << QString::fromLatin1(message) << kind;
        };
        row("disconnect", "MSG_DISCONNECT+30", ServerMessage::DisconnectRequest);
        row("disconnect alone", "MSG_DISCONNECT+", ServerMessage::DisconnectRequest);
        row("phonebook", "PHONEBOOK:a\x1c", ServerMessage::Phonebook);
        row("users", "USERS:", ServerMessage::Users);
        row("user message", "CMD_MSG:bob#hi", ServerMessage::UserMessage);
        row("connections", "CONNECTIONS:", ServerMessage::Connections);
        row("cancelled", "MSG_CANCELLED", ServerMessage::Cancelled);
        row("locked", "MSG_LOCKED", ServerMessage::Locked);
        row("ack", "MSG_ACK", ServerMessage::Ack);
        row("shutdown", "MSG_SHUTDOWN", ServerMessage::Shutdown);
        row("password", "MSG_PASSWORD", ServerMessage::Password);
        row("send id", "CMD_SEND_ID", ServerMessage::SendId);
        // Whole-message kinds match only whole: anything more is a status line.
        row("ack with tail", "MSG_ACKMSG_ACK", ServerMessage::Status);
        row("two messages in one read", "MSG_ACKCMD_SEND_ID", ServerMessage::Status);
        row("prefix wins over tail", "PHONEBOOK:MSG_ACK", ServerMessage::Phonebook);
        row("lower case keyword", "msg_ack", ServerMessage::Status);
        row("status", "Connected to Office", ServerMessage::Status);
        row("empty", "", ServerMessage::Status);
    }
    void classify()
    {
        QFETCH(QString, message);
        QFETCH(ServerMessage, kind);
        QCOMPARE(Protocol::classify(message), kind);
    }

    void lists()
    {
        const QChar fs(28);
        QCOMPARE(Protocol::parseList(QString()), QStringList());
        QCOMPARE(Protocol::parseList(QStringLiteral("a") + fs + QStringLiteral("b") + fs),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
        // Empty items are items; an unterminated tail is a last item, not a stall.
        QCOMPARE(Protocol::parseList(QString(fs) + fs), (QStringList{QString(), QString()}));
        QCOMPARE(Protocol::parseList(QStringLiteral("a") + fs + QStringLiteral("tail")),
                 (QStringList{QStringLiteral("a"), QStringLiteral("tail")}));
        const QStringList names{QStringLiteral("Office"), QString(), QStringLiteral("x y")};
        QCOMPARE(Protocol::parseList(Protocol::buildList(names)), names);
        QCOMPARE(Protocol::buildList({}), QString());
    }

    void userMessages()
    {
        auto m = Protocol::parseUserMessage(QStringLiteral("CMD_MSG:bob#a # b#c"));
        QCOMPARE(m.sender, QStringLiteral("bob"));
        QCOMPARE(m.text, QStringLiteral("a # b#c"));
        QVERIFY(m.hasSeparator);
        m = Protocol::parseUserMessage(QStringLiteral("CMD_MSG:#"));
        QCOMPARE(m.sender, QString());
        QCOMPARE(m.text, QString());
        // Without "#", the sender is the whole payload and the text the whole message.
        m = Protocol::parseUserMessage(QStringLiteral("CMD_MSG:nohash"));
        QVERIFY(!m.hasSeparator);
        QCOMPARE(m.sender, QStringLiteral("nohash"));
        QCOMPARE(m.text, QStringLiteral("CMD_MSG:nohash"));
        QCOMPARE(Protocol::userMessageRequest({QStringLiteral("a"), QStringLiteral("b")},
                                              QStringLiteral("hi#there")),
                 QStringLiteral("CMD_MSG:a#b#hi#there"));
    }

    void disconnectSeconds_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<bool>("fits");
        QTest::newRow("30") << QStringLiteral("MSG_DISCONNECT+30") << 30 << true;
        QTest::newRow("none") << QStringLiteral("MSG_DISCONNECT+") << 0 << true;
        QTest::newRow("leading digits") << QStringLiteral("MSG_DISCONNECT+12abc") << 12 << true;
        QTest::newRow("not a number") << QStringLiteral("MSG_DISCONNECT+abc") << 0 << true;
        QTest::newRow("negative") << QStringLiteral("MSG_DISCONNECT+-5") << -5 << true;
        QTest::newRow("blank first") << QStringLiteral("MSG_DISCONNECT+ 7") << 7 << true;
        QTest::newRow("fraction") << QStringLiteral("MSG_DISCONNECT+2.5") << 2 << true;
        QTest::newRow("largest") << QStringLiteral("MSG_DISCONNECT+32767") << 32767 << true;
        QTest::newRow("smallest") << QStringLiteral("MSG_DISCONNECT+-32768") << -32768 << true;
        QTest::newRow("too large") << QStringLiteral("MSG_DISCONNECT+32768") << 0 << false;
        QTest::newRow("huge") << QStringLiteral("MSG_DISCONNECT+99999999999999999999999") << 0
                              << false;
    }
    void disconnectSeconds()
    {
        QFETCH(QString, message);
        QFETCH(int, seconds);
        QFETCH(bool, fits);
        const auto n = Protocol::disconnectSeconds(message);
        QCOMPARE(n.has_value(), fits);
        if (fits)
            QCOMPARE(int(*n), seconds);
    }

    void connectedStatus()
    {
        QVERIFY(Protocol::isConnectedStatus(QStringLiteral("Connected")));
        QVERIFY(Protocol::isConnectedStatus(QStringLiteral("Connected to Office")));
        QVERIFY(!Protocol::isConnectedStatus(QStringLiteral("connected to Office")));
        QVERIFY(!Protocol::isConnectedStatus(QStringLiteral("Connect device")));
        QCOMPARE(Protocol::connectedEntry(QStringLiteral("Connected to Office")),
                 QStringLiteral("Office"));
        QCOMPARE(Protocol::connectedEntry(QStringLiteral("Connected")), QString());
        QCOMPARE(Protocol::connectedTail(QStringLiteral("Connected to Office")),
                 QStringLiteral(" to Office"));
        QCOMPARE(Protocol::connectedTail(QStringLiteral("Connected")), QString());
        QCOMPARE(Protocol::connectRequest(QStringLiteral("Office"), QStringLiteral("aPWD:b")),
                 QStringLiteral("CMD_CONNECT:OfficePWD:aPWD:b"));
    }

    void codePage()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(Cp1252::encode(Cp1252::decode(all)), all);
        QCOMPARE(Cp1252::decode(QByteArray("\x80\xe9\x1c")), QStringLiteral("\u20ac\u00e9\u001c"));
        QCOMPARE(Cp1252::encode(QStringLiteral("\u20acx\u4e2d")), QByteArray("\x80x?"));
    }

    void leadingNumbers()
    {
        QCOMPARE(leadingNumber(QStringLiteral("  42x")), 42.0);
        QCOMPARE(leadingNumber(QStringLiteral("-")), 0.0);
        QCOMPARE(leadingNumber(QStringLiteral(".5")), 0.5);
        QCOMPARE(roundToInt16(2.5), std::optional<qint16>(2));
        QCOMPARE(roundToInt16(3.5), std::optional<qint16>(4));
        QCOMPARE(roundToInt16(-32768.4), std::optional<qint16>(-32768));
        QVERIFY(!roundToInt16(32767.5).has_value());
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
