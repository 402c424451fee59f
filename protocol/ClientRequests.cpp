// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ClientRequests.h"

#include "Protocol.h"

namespace ClientRequests {

Request parse(const QString &message)
{
    using namespace Protocol;
    if (message.startsWith(IdPrefix))
        return {Kind::Identity, message.mid(IdPrefix.size()), std::nullopt};
    if (message.startsWith(ConnectPrefix)) {
        const QString body = message.mid(ConnectPrefix.size());
        const qsizetype separator = body.indexOf(PasswordSeparator);
        if (separator < 0)
            return {Kind::Connect, body, std::nullopt};
        return {Kind::Connect, body.left(separator),
                body.mid(separator + PasswordSeparator.size())};
    }
    if (message.startsWith(UserMessagePrefix))
        return {Kind::UserMessage, message.mid(UserMessagePrefix.size()), std::nullopt};
    struct Whole
    {
        QLatin1String keyword;
        Kind kind;
    };
    static constexpr Whole wholes[] = {
        {MsgAck, Kind::Ack},
        {CmdConnections, Kind::Connections},
        {CmdDisconnect, Kind::Disconnect},
        {CmdOk, Kind::Ok},
        {CmdCancel, Kind::Cancel},
        {CmdLocked, Kind::Locked},
        {CmdUsers, Kind::Users},
        {CmdConfigureConnections, Kind::ConfigureConnections},
        {CmdEnd, Kind::End},
    };
    for (const Whole &w : wholes) {
        if (message == w.keyword)
            return {w.kind, QString(), std::nullopt};
    }
    return {Kind::Unknown, QString(), std::nullopt};
}

Read splitLeadingAcks(const QString &read)
{
    Read result;
    qsizetype from = 0;
    while (QStringView(read).mid(from).startsWith(Protocol::MsgAck)) {
        ++result.acks;
        from += Protocol::MsgAck.size();
    }
    result.rest = read.mid(from);
    return result;
}

QString masked(const QString &message)
{
    const qsizetype secret = message.indexOf(Protocol::PasswordSeparator);
    if (secret < 0)
        return message;
    return message.left(secret + Protocol::PasswordSeparator.size()) + QStringLiteral("***");
}

UserMessage splitUserMessage(const QString &body,
                             const std::function<bool(const QString &)> &isName)
{
    UserMessage result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype hash = body.indexOf(Protocol::NameTerminator, from);
        if (hash < 0)
            break;
        const QString field = body.mid(from, hash - from);
        if (!result.recipients.isEmpty() && !isName(field))
            break;
        result.recipients.append(field);
        from = hash + 1;
    }
    result.text = body.mid(from);
    return result;
}

} // namespace ClientRequests
