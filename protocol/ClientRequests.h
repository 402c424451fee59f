// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <QString>
#include <QStringList>

// The messages a client sends, as the server reads them. Like the server's messages they are
// told apart by exact, case-sensitive keywords; anything else is Unknown.
namespace ClientRequests {

enum class Kind {
    Ack,
    Identity,
    Connections,
    Connect,
    Disconnect,
    Ok,
    Cancel,
    Locked,
    Users,
    UserMessage,
    ConfigureConnections,
    End,
    Unknown,
};

struct Request
{
    Kind kind = Kind::Unknown;
    // Identity: what follows "ID:". Connect: the entry, up to the first "PWD:".
    // UserMessage: everything after "CMD_MSG:", recipients and text together.
    QString argument;
    // Connect only: everything after the first "PWD:", when there is one.
    std::optional<QString> password;
};

Request parse(const QString &message);

// A client acknowledges a message and sends its reply right after, so both may come in one
// read ("MSG_ACKID:host"). The acknowledgements at the front of a read are counted and the
// rest, empty when there is none, is the next message.
struct Read
{
    int acks = 0;
    QString rest;
};
Read splitLeadingAcks(const QString &read);

// The message with everything after its first "PWD:" written as "***": whatever a desk sends,
// a request glued to another or a message text holding one, a password may follow a "PWD:".
QString masked(const QString &message);

// Recipients each ended by "#", then the text, which may itself hold "#". Since nothing marks
// the last recipient, a field counts as one while isName accepts it; the first field always
// does, because a client never sends a message without a recipient. Without any "#" the whole
// body is the text and there is no recipient.
struct UserMessage
{
    QStringList recipients;
    QString text;
};
UserMessage splitUserMessage(const QString &body,
                             const std::function<bool(const QString &)> &isName);

} // namespace ClientRequests
