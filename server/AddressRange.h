// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <QHostAddress>
#include <QList>

// A range of addresses in CIDR form ("192.168.0.0/16", "fd00::/8"); a bare address is a range
// of that one address. IPv4 ranges hold IPv4 addresses only: a link over IPv6 from an
// IPv4-mapped address is compared as the IPv4 address it stands for.
struct AddressRange
{
    QHostAddress network;
    int prefix = 0;

    bool contains(const QHostAddress &address) const;
    QString toString() const;
    bool operator==(const AddressRange &other) const = default;

    static std::optional<AddressRange> parse(const QString &text);
    // Ranges separated by commas or blanks; "any" stands for every address. On a fault, the
    // error names the item that is not a range.
    static QList<AddressRange> parseList(const QString &text, QString *error);
    // Loopback, the private ranges and link-local addresses, of both families.
    static QList<AddressRange> local();
    // An IPv4-mapped IPv6 address as the IPv4 address it stands for; any other as it is.
    static QHostAddress plain(const QHostAddress &address);
    // The host an address stands for when links and wrong passwords are counted: an IPv4
    // address itself, an IPv6 address by its /64, since one machine may take any address of
    // its network's /64 for each link.
    static QHostAddress host(const QHostAddress &address);
};

bool anyContains(const QList<AddressRange> &ranges, const QHostAddress &address);
