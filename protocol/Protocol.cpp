// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Protocol.h"

#include "LeadingNumber.h"

namespace Protocol {

ServerMessage classify(const QString &message)
{
    struct Prefix
    {
        QLatin1String keyword;
        ServerMessage kind;
    };
    static constexpr Prefix prefixes[] = {
        {MsgDisconnectPrefix, ServerMessage::DisconnectRequest},
        {PhonebookPrefix, ServerMessage::Phonebook},
        {UsersPrefix, ServerMessage::Users},
        {UserMessagePrefix, ServerMessage::UserMessage},
        {ConnectionsPrefix, ServerMessage::Connections},
    };
    for (const Prefix &p : prefixes) {
        if (message.startsWith(p.keyword))
            return p.kind;
    }
    static constexpr Prefix wholes[] = {
        {MsgCancelled, ServerMessage::Cancelled},
        {MsgLocked, ServerMessage::Locked},
        {MsgAck, ServerMessage::Ack},
        {MsgShutdown, ServerMessage::Shutdown},
        {MsgPassword, ServerMessage::Password},
        {CmdSendId, ServerMessage::SendId},
    };
    for (const Prefix &w : wholes) {
        if (message == w.keyword)
            return w.kind;
    }
    return ServerMessage::Status;
}

QString payload(const QString &message, QLatin1String prefix)
{
    return message.startsWith(prefix) ? message.mid(prefix.size()) : QString();
}

QStringList parseList(const QString &list)
{
    QStringList items;
    qsizetype from = 0;
    while (from < list.size()) {
        const qsizetype end = list.indexOf(ListTerminator, from);
        if (end < 0) {
            items.append(list.mid(from));
            break;
        }
        items.append(list.mid(from, end - from));
        from = end + 1;
    }
    return items;
}

QString buildList(const QStringList &items)
{
    QString list;
    for (const QString &item : items) {
        list += item;
        list += ListTerminator;
    }
    return list;
}

UserMessage parseUserMessage(const QString &message)
{
    const QString body = payload(message, UserMessagePrefix);
    const qsizetype hash = body.indexOf(NameTerminator);
    if (hash < 0)
        return {body, message, false};
    return {body.left(hash), body.mid(hash + 1), true};
}

std::optional<qint16> disconnectSeconds(const QString &message)
{
    return roundToInt16(leadingNumber(payload(message, MsgDisconnectPrefix)));
}

bool isConnectedStatus(const QString &line)
{
    return line.startsWith(StatusConnected);
}

QString connectedEntry(const QString &line)
{
    return line.mid(StatusConnectedTo.size());
}

QString connectedTail(const QString &line)
{
    return line.mid(StatusConnected.size());
}

QString connectRequest(const QString &entry)
{
    return ConnectPrefix + entry;
}

QString connectRequest(const QString &entry, const QString &password)
{
    return ConnectPrefix + entry + PasswordSeparator + password;
}

QString userMessageRequest(const QStringList &recipients, const QString &text)
{
    QString line = UserMessagePrefix;
    for (const QString &name : recipients) {
        line += name;
        line += NameTerminator;
    }
    return line + text;
}

} // namespace Protocol
