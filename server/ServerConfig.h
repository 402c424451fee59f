// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AddressRange.h"
#include "LineSettings.h"
#include "Log.h"

#include <optional>
#include <QHostAddress>
#include <QList>
#include <QString>

// What the desks of an address range may ask for.
struct Rights
{
    bool dial = true;
    bool hangUp = true;
    bool refuse = true; // refuse another desk's hang-up, or hold the line locked
    bool message = true;
    bool admin = false; // the web page's view of the accounting log

    bool operator==(const Rights &other) const = default;
};

struct RightsRule
{
    AddressRange range;
    Rights rights;

    bool operator==(const RightsRule &other) const = default;
};

// The web page: off unless enabled, on a listening socket of its own.
struct WebSettings
{
    bool enabled = false;
    QList<QHostAddress> addresses{QHostAddress(QHostAddress::Any)};
    quint16 port = 8080;   // 0: any free port
    QStringList hostNames; // names the page is reached by, besides its IP addresses
    QString certificate;   // both set: the page is served over TLS
    QString key;

    bool operator==(const WebSettings &other) const = default;
};

struct ServerConfig
{
    QList<QHostAddress> addresses{QHostAddress(QHostAddress::Any)};
    quint16 port = 1000;
    QList<AddressRange> allowFrom = AddressRange::local();
    int maxLinks = 1000;
    int maxLinksPerAddress = 50;
    Log::Level logLevel = Log::Level::Info;
    int disconnectSeconds = 30;
    int ackTimeoutMs = 10000;
    int sendGapMs = 50;
    int shutdownWaitMs = 3000;
    int maxMessageBytes = 65536;
    int maxMessagesPerSecond = 100;
    int maxQueuedMessages = 1000;
    int maxQueuedBytes = 1024 * 1024;
    int maxMissedAcks = 3;
    int identifyTimeoutMs = 15000;
    int wrongPasswordDelayMs = 2000;
    QString accountingFile; // empty: no accounting log
    QList<RightsRule> rights;
    // The rights of a desk in none of the ranges of rights, given by "*="; without it, once
    // any range is named, such a desk may send messages only.
    std::optional<Rights> otherRights;
    QList<PhonebookEntry> phonebook;
    BackendKind backend = BackendKind::Simulated;
    // A call during which fewer than idleBytes crossed the line in idleMinutes is hung up;
    // 0 minutes: never. An entry's own idle time overrides it.
    int idleMinutes = 0;
    int idleBytes = 1024;
    SimulatedSettings simulated;
    CommandSettings command;
    WebSettings web;

    const PhonebookEntry *findEntry(const QString &name) const;
    QStringList entryNames() const;
    // The rights of the most specific range that holds address. Without any rule, every desk
    // may do everything; once there is one, a desk in no range gets otherRights.
    Rights rightsFor(const QHostAddress &address) const;
};

inline constexpr QLatin1String DefaultConfigPath{"/etc/velmora/velmora-server.conf"};

struct ConfigResult
{
    ServerConfig config;
    QString error; // empty when the configuration is sound
};

// Why a password cannot be taken, or nothing when it can: a control character (a line break, a
// tab) could add lines or options to whatever a dial command writes the password into.
QString passwordFault(const QString &password);

// Reads the text of a configuration file; every fault names its line, quotes the offending
// value (never a password) and says what was expected.
ConfigResult configFromText(const QString &text);
// The file must be UTF-8, or passwords typed in another encoding could never match.
ConfigResult loadConfig(const QString &path);
