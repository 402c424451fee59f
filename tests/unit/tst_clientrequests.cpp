// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ClientRequests.h"

#include <QTest>

using ClientRequests::Kind;

Q_DECLARE_METATYPE(ClientRequests::Kind)

// The server's reading of what a client sends: the network-facing parser, in tables.
class TestClientRequests : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("argument");
        // "-" for no password at all, as opposed to an empty one.
        QTest::addColumn<QString>("password");
        const auto row = [](const char *message, Kind kind, const char *argument,
                            const char *password) {
            QTest::addRow("%s", message)
                << QString::fromUtf8(message) << kind << QString::fromUtf8(argument)
                << QString::fromUtf8(password);
        };
        row("MSG_ACK", Kind::Ack, "", "-");
        row("ID:reception-pc", Kind::Identity, "reception-pc", "-");
        row("ID:", Kind::Identity, "", "-");
        row("CMD_CONNECTIONS", Kind::Connections, "", "-");
        row("CMD_CONFIGURE_CONNECTIONS", Kind::ConfigureConnections, "", "-");
        row("CMD_CONNECT:Office ISP", Kind::Connect, "Office ISP", "-");
        row("CMD_CONNECT:BranchPWD:secret", Kind::Connect, "Branch", "secret");
        row("CMD_CONNECT:BranchPWD:", Kind::Connect, "Branch", "");
        // Only the first "PWD:" separates: the rest is the password.
        row("CMD_CONNECT:BranchPWD:aPWD:b", Kind::Connect, "Branch", "aPWD:b");
        row("CMD_CONNECT:", Kind::Connect, "", "-");
        row("CMD_DISCONNECT", Kind::Disconnect, "", "-");
        row("CMD_OK", Kind::Ok, "", "-");
        row("CMD_CANCEL", Kind::Cancel, "", "-");
        row("CMD_LOCKED", Kind::Locked, "", "-");
        row("CMD_USERS", Kind::Users, "", "-");
        row("CMD_MSG:beta#hi", Kind::UserMessage, "beta#hi", "-");
        row("CMD_END", Kind::End, "", "-");
        // Keywords are exact and case-sensitive; whole ones take nothing after them.
        row("cmd_users", Kind::Unknown, "", "-");
        row("CMD_USERS ", Kind::Unknown, "", "-");
        row("CMD_OKCMD_OK", Kind::Unknown, "", "-");
        row("xxCMD_CONNECT:BranchPWD:secret", Kind::Unknown, "", "-");
        row("", Kind::Unknown, "", "-");
    }
    void parse()
    {
        QFETCH(QString, message);
        QFETCH(Kind, kind);
        QFETCH(QString, argument);
        QFETCH(QString, password);
        const ClientRequests::Request request = ClientRequests::parse(message);
        QCOMPARE(request.kind, kind);
        QCOMPARE(request.argument, argument);
        QCOMPARE(request.password.value_or(QStringLiteral("-")), password);
    }

    void splitLeadingAcks_data()
    {
        QTest::addColumn<QString>("read");
        QTest::addColumn<int>("acks");
        QTest::addColumn<QString>("rest");
        QTest::newRow("ack alone") << QStringLiteral("MSG_ACK") << 1 << QString();
        QTest::newRow("ack and reply")
            << QStringLiteral("MSG_ACKID:host") << 1 << QStringLiteral("ID:host");
        QTest::newRow("two acks") << QStringLiteral("MSG_ACKMSG_ACKCMD_OK") << 2
                                  << QStringLiteral("CMD_OK");
        // An acknowledgement after a request is part of the request, not a second one.
        QTest::newRow("trailing ack")
            << QStringLiteral("CMD_OKMSG_ACK") << 0 << QStringLiteral("CMD_OKMSG_ACK");
        QTest::newRow("nothing") << QString() << 0 << QString();
    }
    void splitLeadingAcks()
    {
        QFETCH(QString, read);
        QFETCH(int, acks);
        QFETCH(QString, rest);
        const ClientRequests::Read split = ClientRequests::splitLeadingAcks(read);
        QCOMPARE(split.acks, acks);
        QCOMPARE(split.rest, rest);
    }

    void splitUserMessage_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<QString>("text");
        // Linked: alpha, beta.
        QTest::newRow("one") << QStringLiteral("beta#hi") << QStringList{QStringLiteral("beta")}
                             << QStringLiteral("hi");
        QTest::newRow("two, text with #")
            << QStringLiteral("alpha#beta#gamma#1")
            << QStringList{QStringLiteral("alpha"), QStringLiteral("beta")}
            << QStringLiteral("gamma#1");
        // The first field is a recipient whatever its name.
        QTest::newRow("unknown first")
            << QStringLiteral("nobody#beta#hi")
            << QStringList{QStringLiteral("nobody"), QStringLiteral("beta")}
            << QStringLiteral("hi");
        QTest::newRow("repeated") << QStringLiteral("beta#beta#beta#hi")
                                  << QStringList{QStringLiteral("beta"), QStringLiteral("beta"),
                                                 QStringLiteral("beta")}
                                  << QStringLiteral("hi");
        QTest::newRow("no #") << QStringLiteral("hello") << QStringList()
                              << QStringLiteral("hello");
        QTest::newRow("empty text")
            << QStringLiteral("beta#") << QStringList{QStringLiteral("beta")} << QString();
        QTest::newRow("empty first")
            << QStringLiteral("#beta#x") << QStringList{QStringLiteral(""), QStringLiteral("beta")}
            << QStringLiteral("x");
    }
    void splitUserMessage()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, recipients);
        QFETCH(QString, text);
        const auto linked = [](const QString &name) {
            return name == QLatin1String("alpha") || name == QLatin1String("beta");
        };
        const ClientRequests::UserMessage message = ClientRequests::splitUserMessage(body, linked);
        QCOMPARE(message.recipients, recipients);
        QCOMPARE(message.text, text);
    }

    void masked_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no password")
            << QStringLiteral("CMD_CONNECT:Office") << QStringLiteral("CMD_CONNECT:Office");
        QTest::newRow("password") << QStringLiteral("CMD_CONNECT:BranchPWD:secret")
                                  << QStringLiteral("CMD_CONNECT:BranchPWD:***");
        QTest::newRow("repeated") << QStringLiteral("CMD_CONNECT:BPWD:aPWD:b")
                                  << QStringLiteral("CMD_CONNECT:BPWD:***");
        QTest::newRow("inside a message text")
            << QStringLiteral("CMD_MSG:alpha#see CMD_CONNECT:BPWD: secret\nline")
            << QStringLiteral("CMD_MSG:alpha#see CMD_CONNECT:BPWD:***");
        QTest::newRow("empty password") << QStringLiteral("PWD:") << QStringLiteral("PWD:***");
    }
    void masked()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ClientRequests::masked(message), shown);
    }
};

QTEST_GUILESS_MAIN(TestClientRequests)
#include "tst_clientrequests.moc"
