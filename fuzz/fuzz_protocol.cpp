// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The server's messages as the client reads them: the code page, the classification and every
// payload parser. Besides crashes, hangs and sanitizer reports, the properties below must hold
// for any bytes at all.
#include "Cp1252.h"
#include "LeadingNumber.h"
#include "Protocol.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString message = Cp1252::decode(bytes);
    // One byte is one character, and every byte comes back as it went.
    require(message.size() == bytes.size());
    require(Cp1252::encode(message) == bytes);

    using Protocol::ServerMessage;
    const ServerMessage kind = Protocol::classify(message);
    const auto list = [&](QLatin1String prefix) {
        const QStringList items = Protocol::parseList(Protocol::payload(message, prefix));
        // No item holds the terminator, and a list built from the items reads back the same.
        for (const QString &item : items)
            require(!item.contains(QChar(28)));
        require(Protocol::parseList(Protocol::buildList(items)) == items);
    };
    switch (kind) {
    case ServerMessage::Phonebook:
        list(Protocol::PhonebookPrefix);
        break;
    case ServerMessage::Users:
        list(Protocol::UsersPrefix);
        break;
    case ServerMessage::Connections:
        list(Protocol::ConnectionsPrefix);
        break;
    case ServerMessage::UserMessage: {
        const Protocol::UserMessage parsed = Protocol::parseUserMessage(message);
        require(!parsed.sender.contains(QLatin1Char('#')) || !parsed.hasSeparator);
        break;
    }
    case ServerMessage::DisconnectRequest:
        Protocol::disconnectSeconds(message);
        break;
    case ServerMessage::Status:
        if (Protocol::isConnectedStatus(message)) {
            Protocol::connectedEntry(message);
            Protocol::connectedTail(message);
        }
        break;
    default:
        break;
    }

    const double number = leadingNumber(message);
    if (const std::optional<qint16> rounded = roundToInt16(number))
        require(std::fabs(double(*rounded) - number) <= 0.5);
    if (const std::optional<qint32> rounded = roundToInt32(number))
        require(std::fabs(double(*rounded) - number) <= 0.5);
    return 0;
}
