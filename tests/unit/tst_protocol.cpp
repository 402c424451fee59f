// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ClientRequests.h"
#include "Cp1252.h"
#include "EntryFilter.h"
#include "NotifyIcon.h"
#include "Protocol.h"

#include <QTest>

using ClientRequests::Kind;
using Protocol::ServerMessage;

namespace {

// A text, with "|" for the name list separator.
QString text(const char *latin1)
{
    return QString::fromLatin1(latin1).replace(QLatin1Char('|'), Protocol::ListTerminator);
}

} // namespace

// The wire protocol: the client's reading of the server's messages (name lists, the disconnection
// question's seconds, the code page), the main window's rules on their texts, and the server's
// reading of what a client sends, the network-facing parser.
class TestProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void classify()
    {
        // Each kind's keyword is read from the server in the window's own tests; here, how
        // keywords match. Whole-message kinds match only whole: anything more, or other case, is
        // a status line.
        using enum ServerMessage;
        const std::pair<const char *, ServerMessage> rows[] = {
            {"MSG_ACK", Ack},    {"MSG_ACKCMD_SEND_ID", Status},  {"PHONEBOOK:MSG_ACK", Phonebook},
            {"msg_ack", Status}, {"Connected to Office", Status},
        };
        for (const auto &[message, kind] : rows)
            QVERIFY2(Protocol::classify(text(message)) == kind, message);
    }

    void listsSecondsAndCodePage()
    {
        QCOMPARE(Protocol::parseList(QString()), QStringList());
        // Empty items are items; an unterminated tail is a last item, not a stall.
        QCOMPARE(Protocol::parseList(text("||")), (QStringList{QString(), QString()}));
        QCOMPARE(Protocol::parseList(text("a|tail")), (QStringList{text("a"), text("tail")}));
        const QStringList names{text("Office"), QString(), text("x y")};
        QCOMPARE(Protocol::parseList(Protocol::buildList(names)), names);

        // The count is the leading number of the payload, rounded half to even into 16 bits.
        const std::pair<const char *, std::optional<qint16>> rows[] = {
            {"12abc", 12}, {"no number", 0}, {" \t7", 7},          {".6", 1},      {"2.5", 2},
            {"3.5", 4},    {"32767", 32767}, {"-32768.4", -32768}, {"32767.5", {}}};
        for (const auto &[count, seconds] : rows) {
            const QString message = QLatin1String("MSG_DISCONNECT+") + QLatin1String(count);
            QVERIFY2(Protocol::disconnectSeconds(message) == seconds, count);
        }

        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(Cp1252::encode(Cp1252::decode(all)), all);
        QCOMPARE(Cp1252::decode(QByteArray("\x80\xe9\x1c")), QStringLiteral("\u20ac\u00e9\u001c"));
        QCOMPARE(Cp1252::encode(QStringLiteral("\u20acx\u4e2d")), QByteArray("\x80x?"));
    }

    // The per-entry alert and confirmation lists: names compared in any case, items trimmed. And
    // the notification icon's tip, which keeps 63 characters.
    void mainWindowTexts()
    {
        const std::tuple<const char *, const char *, bool> rows[] = {
            {"Office|Home ISP|", "home isp", true},
            {"Office|Home ISP|", "Home ISP2", false},
            {" Office |", "Office", true},
            {"Office|Home ISP|", " Office", false},
            {"Office|Home", "home", true},
            {"Office\t|", "Office", false}, // a tab is part of a name
            {"", "", true},
            {"Office|", "", true},
            {"Office", "", false},
        };
        for (const auto &[list, entry, contained] : rows)
            QVERIFY2(entryListContains(text(list), text(entry)) == contained, entry);
        const QString tip(63, QLatin1Char('x'));
        QCOMPARE(NotifyIcon::tipText(tip + text("yz")), tip);
    }

    // The server's side: what a client sends.
    void serverReadsRequests()
    {
        // The message, its kind, its argument and its password (null: none, as against empty).
        // Every kind is read from real clients in the server's own tests; here, the arguments
        // and how keywords match.
        const std::tuple<const char *, Kind, const char *, const char *> rows[] = {
            {"CMD_CONNECT:Office ISP", Kind::Connect, "Office ISP", nullptr},
            {"CMD_CONNECT:BranchPWD:secret", Kind::Connect, "Branch", "secret"},
            {"CMD_CONNECT:BranchPWD:", Kind::Connect, "Branch", ""},
            // Only the first "PWD:" separates: the rest is the password.
            {"CMD_CONNECT:BranchPWD:aPWD:b", Kind::Connect, "Branch", "aPWD:b"},
            {"CMD_MSG:beta#hi", Kind::UserMessage, "beta#hi", nullptr},
            // Keywords are exact and case-sensitive; whole ones take nothing after them.
            {"cmd_users", Kind::Unknown, "", nullptr},
            {"CMD_OKCMD_OK", Kind::Unknown, "", nullptr},
            {"xxCMD_CONNECT:BranchPWD:secret", Kind::Unknown, "", nullptr},
        };
        for (const auto &[message, kind, argument, password] : rows) {
            const ClientRequests::Request request = ClientRequests::parse(text(message));
            QVERIFY2(request.kind == kind, message);
            QCOMPARE(std::tuple(request.argument, request.password.has_value(),
                                request.password.value_or(QString())),
                     std::tuple(text(argument), password != nullptr, text(password)));
        }

        // What one read held: the acknowledgements before the rest are taken apart; one after a
        // request is part of the request, not a second one.
        const ClientRequests::Read split =
            ClientRequests::splitLeadingAcks(text("MSG_ACKMSG_ACKCMD_OK"));
        QCOMPARE(std::pair(split.acks, split.rest), std::pair(2, text("CMD_OK")));
        QCOMPARE(ClientRequests::splitLeadingAcks(text("CMD_OKMSG_ACK")).acks, 0);

        // The body, its recipients (ending in "#") and its text, with alpha and beta linked.
        // The first field is a recipient whatever its name, even empty.
        const std::tuple<const char *, const char *, const char *> bodies[] = {
            {"alpha#beta#gamma#1", "alpha#beta#", "gamma#1"},
            {"hello", "", "hello"},
            {"beta#", "beta#", ""},
            {"#beta#x", "#beta#", "x"},
        };
        const auto linked = [](const QString &name) {
            return name == QLatin1String("alpha") || name == QLatin1String("beta");
        };
        for (const auto &[body, recipients, rest] : bodies) {
            const auto message = ClientRequests::splitUserMessage(text(body), linked);
            QStringList expected = text(recipients).split(QLatin1Char('#'));
            expected.removeLast();
            QCOMPARE(std::pair(message.recipients, message.text), std::pair(expected, text(rest)));
        }
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
