// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AddressRange.h"

#include <algorithm>
#include <iterator>
#include <QRegularExpression>

bool AddressRange::contains(const QHostAddress &address) const
{
    return plain(address).isInSubnet(network, prefix);
}

QString AddressRange::toString() const
{
    return network.toString() + QLatin1Char('/') + QString::number(prefix);
}

std::optional<AddressRange> AddressRange::parse(const QString &text)
{
    if (text.contains(QLatin1Char('/'))) {
        const QPair<QHostAddress, int> subnet = QHostAddress::parseSubnet(text);
        if (subnet.first.isNull() || subnet.second < 0)
            return std::nullopt;
        return AddressRange{subnet.first, subnet.second};
    }
    QHostAddress address;
    if (!address.setAddress(text))
        return std::nullopt;
    address = plain(address);
    return AddressRange{address, address.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128};
}

QList<AddressRange> AddressRange::parseList(const QString &text, QString *error)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    QList<AddressRange> ranges;
    for (const QString &item : text.split(separators, Qt::SkipEmptyParts)) {
        if (item == QLatin1String("any")) {
            ranges.append({QHostAddress(QHostAddress::AnyIPv4), 0});
            ranges.append({QHostAddress(QHostAddress::AnyIPv6), 0});
            continue;
        }
        const std::optional<AddressRange> range = parse(item);
        if (!range) {
            *error =
                QStringLiteral("\"%1\" is not an address range such as 192.168.0.0/16").arg(item);
            return {};
        }
        ranges.append(*range);
    }
    if (ranges.isEmpty())
        *error = QStringLiteral("expected one or more address ranges");
    return ranges;
}

QList<AddressRange> AddressRange::local()
{
    QList<AddressRange> ranges;
    for (const char *text : {"127.0.0.0/8", "10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16",
                             "169.254.0.0/16", "::1/128", "fc00::/7", "fe80::/10"})
        ranges.append(*parse(QString::fromLatin1(text)));
    return ranges;
}

QHostAddress AddressRange::plain(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

QHostAddress AddressRange::host(const QHostAddress &address)
{
    const QHostAddress plainAddress = plain(address);
    if (plainAddress.protocol() != QAbstractSocket::IPv6Protocol)
        return plainAddress;
    Q_IPV6ADDR bytes = plainAddress.toIPv6Address();
    std::fill(std::begin(bytes.c) + 8, std::end(bytes.c), quint8(0));
    return QHostAddress(bytes);
}

bool anyContains(const QList<AddressRange> &ranges, const QHostAddress &address)
{
    return std::any_of(ranges.cbegin(), ranges.cend(),
                       [&address](const AddressRange &range) { return range.contains(address); });
}
