// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <QLatin1String>
#include <QString>
#include <QStringList>

// The messages of the link between a client and the server. A message is one send: no length,
// no terminator; each side sends its next message only after the peer's "MSG_ACK".
namespace Protocol {

// Server to client.
inline constexpr QLatin1String MsgAck{"MSG_ACK"};
inline constexpr QLatin1String CmdSendId{"CMD_SEND_ID"};
inline constexpr QLatin1String MsgDisconnectPrefix{"MSG_DISCONNECT+"};
inline constexpr QLatin1String MsgCancelled{"MSG_CANCELLED"};
inline constexpr QLatin1String MsgLocked{"MSG_LOCKED"};
inline constexpr QLatin1String MsgPassword{"MSG_PASSWORD"};
inline constexpr QLatin1String MsgShutdown{"MSG_SHUTDOWN"};
inline constexpr QLatin1String PhonebookPrefix{"PHONEBOOK:"};
inline constexpr QLatin1String UsersPrefix{"USERS:"};
inline constexpr QLatin1String UserMessagePrefix{"CMD_MSG:"}; // both directions
inline constexpr QLatin1String ConnectionsPrefix{"CONNECTIONS:"};

// Client to server.
inline constexpr QLatin1String IdPrefix{"ID:"};
inline constexpr QLatin1String CmdConnections{"CMD_CONNECTIONS"};
inline constexpr QLatin1String ConnectPrefix{"CMD_CONNECT:"};
inline constexpr QLatin1String PasswordSeparator{"PWD:"};
inline constexpr QLatin1String CmdDisconnect{"CMD_DISCONNECT"};
inline constexpr QLatin1String CmdOk{"CMD_OK"};
inline constexpr QLatin1String CmdCancel{"CMD_CANCEL"};
inline constexpr QLatin1String CmdLocked{"CMD_LOCKED"};
inline constexpr QLatin1String CmdUsers{"CMD_USERS"};
inline constexpr QLatin1String CmdConfigureConnections{"CMD_CONFIGURE_CONNECTIONS"};
inline constexpr QLatin1String CmdEnd{"CMD_END"};

// Status lines the client gives a meaning to; any other text is shown as it comes.
inline constexpr QLatin1String StatusConnected{"Connected"};
inline constexpr QLatin1String StatusConnectedTo{"Connected to "};
inline constexpr QLatin1String StatusDisconnecting{"Disconnecting"};
inline constexpr QLatin1String StatusDisconnected{"Disconnected"};
inline constexpr QLatin1String StatusConnectDevice{"Connect device"};

// Terminates every item of a name list, the last one included.
inline constexpr QChar ListTerminator{28};
// Ends each recipient of an outgoing user message and the sender of an incoming one.
inline constexpr QChar NameTerminator{u'#'};

enum class ServerMessage {
    DisconnectRequest,
    Phonebook,
    Users,
    UserMessage,
    Connections,
    Cancelled,
    Locked,
    Ack,
    Shutdown,
    Password,
    SendId,
    Status,
};

// The kind of a message received from the server. The tests run in a fixed order and the
// first that matches wins, so "MSG_DISCONNECT+..." is never mistaken for a status line.
ServerMessage classify(const QString &message);

// The payload of a prefixed message: everything after its keyword.
QString payload(const QString &message, QLatin1String prefix);

// Items of a name list. An item is taken up to its terminator; a tail without one is taken as
// a last item, so a sender that forgets the final terminator loses nothing.
QStringList parseList(const QString &list);
QString buildList(const QStringList &items);

// "CMD_MSG:" + sender + "#" + text. The sender ends at the first "#"; the text keeps any later
// one. Without a "#" the sender is the whole payload and hasSeparator is false.
struct UserMessage
{
    QString sender;
    QString text;
    bool hasSeparator = true;
};
UserMessage parseUserMessage(const QString &message);

// Seconds of a "MSG_DISCONNECT+" request: the leading number after the keyword (0 without
// one), rounded to 16 bits. Nothing when the count does not fit 16 bits.
std::optional<qint16> disconnectSeconds(const QString &message);

// A connected status line is any line whose first nine characters are "Connected".
bool isConnectedStatus(const QString &line);
// The entry named by a connected status line: everything after "Connected to ".
QString connectedEntry(const QString &line);
// What follows "Connected" in a connected status line (" to " + entry for a full line).
QString connectedTail(const QString &line);

QString connectRequest(const QString &entry);
QString connectRequest(const QString &entry, const QString &password);
QString userMessageRequest(const QStringList &recipients, const QString &text);

} // namespace Protocol
