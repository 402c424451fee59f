// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Cp1252.h"
#include "Protocol.h"

#include <limits>
#include <QTest>

using Protocol::ServerMessage;

namespace {

// A name list written with "|" for the separator character.
QString nameList(const char *text)
{
    return QString::fromLatin1(text).replace(QLatin1Char('|'), Protocol::ListTerminator);
}

constexpr int beyond16Bits = std::numeric_limits<int>::min();

} // namespace

// The wire protocol: the server's messages, name lists, the disconnection question's seconds and
// the code page.
class TestProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void classify_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<ServerMessage>("kind");
        const auto row = [](const char *message, ServerMessage kind) {
            QTest::newRow(message) << nameList(message) << kind;
        };
        using enum ServerMessage;
        row("MSG_DISCONNECT+30", DisconnectRequest);
        row("PHONEBOOK:a|", Phonebook);
        row("USERS:", Users);
        row("CMD_MSG:bob#hi", UserMessage);
        row("CONNECTIONS:", Connections);
        row("MSG_CANCELLED", Cancelled);
        row("MSG_LOCKED", Locked);
        row("MSG_ACK", Ack);
        row("MSG_SHUTDOWN", Shutdown);
        row("MSG_PASSWORD", Password);
        row("CMD_SEND_ID", SendId);
        // Whole-message kinds match only whole: anything more, or other case, is a status line.
        row("MSG_ACKCMD_SEND_ID", Status);
        row("PHONEBOOK:MSG_ACK", Phonebook);
        row("msg_ack", Status);
        row("Connected to Office", Status);
        row("", Status);
    }
    void classify()
    {
        QFETCH(QString, message);
        QFETCH(ServerMessage, kind);
        QCOMPARE(Protocol::classify(message), kind);
    }

    void lists()
    {
        QCOMPARE(Protocol::parseList(QString()), QStringList());
        QCOMPARE(Protocol::parseList(nameList("a|b|")),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
        // Empty items are items; an unterminated tail is a last item, not a stall.
        QCOMPARE(Protocol::parseList(nameList("||")), (QStringList{QString(), QString()}));
        QCOMPARE(Protocol::parseList(nameList("a|tail")),
                 (QStringList{QStringLiteral("a"), QStringLiteral("tail")}));
        const QStringList names{QStringLiteral("Office"), QString(), QStringLiteral("x y")};
        QCOMPARE(Protocol::parseList(Protocol::buildList(names)), names);
        QCOMPARE(Protocol::buildList({}), QString());
        // Recipients each end with "#", the text may hold more.
        QCOMPARE(Protocol::userMessageRequest({QStringLiteral("a"), QStringLiteral("b")},
                                              QStringLiteral("hi#there")),
                 QLatin1String("CMD_MSG:a#b#hi#there"));
    }

    // The count is the leading number of the payload, rounded half to even into 16 bits.
    void disconnectSeconds_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("seconds");
        const auto row = [](const char *count, int seconds) {
            QTest::newRow(count) << QString::fromLatin1(count) << seconds;
        };
        row("30", 30);
        row("12abc", 12);
        row("no number", 0);
        row(" \t7", 7);
        row(".6", 1);
        row("2.5", 2);
        row("3.5", 4);
        row("32767", 32767);
        row("-32768.4", -32768);
        row("32767.5", beyond16Bits);
        row("99999999999999999999999", beyond16Bits);
    }
    void disconnectSeconds()
    {
        QFETCH(QString, count);
        QFETCH(int, seconds);
        const auto n = Protocol::disconnectSeconds(QLatin1String("MSG_DISCONNECT+") + count);
        QCOMPARE(n ? int(*n) : beyond16Bits, seconds);
    }

    void connectedStatus()
    {
        QVERIFY(Protocol::isConnectedStatus(QStringLiteral("Connected")));
        QVERIFY(!Protocol::isConnectedStatus(QStringLiteral("connected to Office")));
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
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
