// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ConfigKeys.h"

#include "ConfigHints.h"

#include <QRegularExpression>

QString ConfigKeys::readInt(const QString &value, int minimum, int maximum, int &out)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < minimum || number > maximum)
        return QStringLiteral("expected a whole number from %1 to %2")
            .arg(QString::number(minimum), QString::number(maximum));
    out = number;
    return QString();
}

namespace {

using ConfigKeys::readInt;
using ConfigKeys::Setter;

Setter integer(int ServerConfig::*field, int minimum, int maximum)
{
    return [=](ServerConfig &config, const QString &value) {
        return readInt(value, minimum, maximum, config.*field);
    };
}

template <typename Part>
Setter integer(Part ServerConfig::*part, int Part::*field, int minimum, int maximum)
{
    return [=](ServerConfig &config, const QString &value) {
        return readInt(value, minimum, maximum, config.*part.*field);
    };
}

template <typename Part> Setter text(Part ServerConfig::*part, QString Part::*field)
{
    return [=](ServerConfig &config, const QString &value) {
        config.*part.*field = value;
        return QString();
    };
}

QString readAddresses(const QString &value, QList<QHostAddress> &out)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList items = value.split(separators, Qt::SkipEmptyParts);
    if (items.isEmpty() || items == QStringList{QStringLiteral("any")}) {
        out = {QHostAddress(QHostAddress::Any)};
        return QString();
    }
    QList<QHostAddress> addresses;
    for (const QString &item : items) {
        QHostAddress address;
        if (!address.setAddress(item) || addresses.contains(address))
            return QStringLiteral("expected \"any\", or one or more different IP addresses") +
                   ConfigHints::hostNameNote(value);
        addresses.append(address);
    }
    out = addresses;
    return QString();
}

QString setAddress(ServerConfig &config, const QString &value)
{
    return readAddresses(value, config.addresses);
}

QString setWebAddress(ServerConfig &config, const QString &value)
{
    return readAddresses(value, config.web.addresses);
}

QString setWebEnabled(ServerConfig &config, const QString &value)
{
    if (value != QLatin1String("yes") && value != QLatin1String("no"))
        return QStringLiteral("expected yes or no");
    config.web.enabled = value == QLatin1String("yes");
    return QString();
}

QString setWebPort(ServerConfig &config, const QString &value)
{
    bool ok = false;
    const uint port = value.toUInt(&ok);
    if (!ok || port > 65535)
        return QStringLiteral("expected a port number from 0 (any free port) to 65535");
    config.web.port = static_cast<quint16>(port);
    return QString();
}

QString setWebHostNames(ServerConfig &config, const QString &value)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
    const QStringList names = value.split(separators, Qt::SkipEmptyParts);
    for (const QString &item : names) {
        if (!name.match(item).hasMatch())
            return QStringLiteral("expected host names (office-router, office-router.example) "
                                  "separated by commas or blanks");
    }
    config.web.hostNames = names;
    return QString();
}

template <QString WebSettings::*field>
QString setWebFile(ServerConfig &config, const QString &value)
{
    if (!value.isEmpty() && !value.startsWith(QLatin1Char('/')))
        return QStringLiteral("expected an absolute path, or nothing");
    config.web.*field = value;
    return QString();
}

QString setAllowFrom(ServerConfig &config, const QString &value)
{
    QString error;
    const QList<AddressRange> ranges = AddressRange::parseList(value, &error);
    if (error.isEmpty())
        config.allowFrom = ranges;
    else
        error += ConfigHints::hostNameNote(value);
    return error;
}

QString setAccountingFile(ServerConfig &config, const QString &value)
{
    if (!value.isEmpty() && !value.startsWith(QLatin1Char('/')))
        return QStringLiteral("expected an absolute path, or nothing");
    config.accountingFile = value;
    return QString();
}

QString setPort(ServerConfig &config, const QString &value)
{
    bool ok = false;
    const uint port = value.toUInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return QStringLiteral("expected a port number from 1 to 65535");
    config.port = static_cast<quint16>(port);
    return QString();
}

QString setLogLevel(ServerConfig &config, const QString &value)
{
    const auto level = Log::levelFromName(value);
    if (!level)
        return QStringLiteral("expected error, warning, info or debug");
    config.logLevel = *level;
    return QString();
}

QString setBackend(ServerConfig &config, const QString &value)
{
    if (value == QLatin1String("simulated"))
        config.backend = BackendKind::Simulated;
    else if (value == QLatin1String("command"))
        config.backend = BackendKind::Command;
    else if (value == QLatin1String("networkmanager"))
        config.backend = BackendKind::NetworkManager;
    else
        return QStringLiteral("expected simulated, command or networkmanager");
    return QString();
}

} // namespace

const QHash<QString, ConfigKeys::Setter> &ConfigKeys::setters()
{
    static const QHash<QString, Setter> table = {
        {QStringLiteral("Server/Address"), setAddress},
        {QStringLiteral("Server/Port"), setPort},
        {QStringLiteral("Server/AllowFrom"), setAllowFrom},
        {QStringLiteral("Server/MaxLinks"), integer(&ServerConfig::maxLinks, 1, 1000000)},
        {QStringLiteral("Server/MaxLinksPerAddress"),
         integer(&ServerConfig::maxLinksPerAddress, 1, 1000000)},
        {QStringLiteral("Server/MaxQueuedMessages"),
         integer(&ServerConfig::maxQueuedMessages, 10, 1000000)},
        {QStringLiteral("Server/MaxQueuedBytes"),
         integer(&ServerConfig::maxQueuedBytes, 64 * 1024, 256 * 1024 * 1024)},
        {QStringLiteral("Server/MaxMissedAcks"), integer(&ServerConfig::maxMissedAcks, 1, 1000)},
        {QStringLiteral("Server/IdentifyTimeoutMs"),
         integer(&ServerConfig::identifyTimeoutMs, 100, 3600000)},
        {QStringLiteral("Server/WrongPasswordDelayMs"),
         integer(&ServerConfig::wrongPasswordDelayMs, 0, 600000)},
        {QStringLiteral("Server/AccountingFile"), setAccountingFile},
        {QStringLiteral("Server/LogLevel"), setLogLevel},
        {QStringLiteral("Server/DisconnectSeconds"),
         integer(&ServerConfig::disconnectSeconds, 0, 32767)},
        {QStringLiteral("Server/AckTimeoutMs"), integer(&ServerConfig::ackTimeoutMs, 1, 600000)},
        {QStringLiteral("Server/SendGapMs"), integer(&ServerConfig::sendGapMs, 0, 10000)},
        {QStringLiteral("Server/ShutdownWaitMs"), integer(&ServerConfig::shutdownWaitMs, 0, 60000)},
        {QStringLiteral("Server/MaxMessageBytes"),
         integer(&ServerConfig::maxMessageBytes, 1024, 16 * 1024 * 1024)},
        {QStringLiteral("Server/MaxMessagesPerSecond"),
         integer(&ServerConfig::maxMessagesPerSecond, 10, 100000)},
        {QStringLiteral("Line/Backend"), setBackend},
        {QStringLiteral("Line/IdleMinutes"), integer(&ServerConfig::idleMinutes, 0, 100000)},
        {QStringLiteral("Line/IdleBytes"), integer(&ServerConfig::idleBytes, 1, 1000000000)},
        {QStringLiteral("Web/Enabled"), setWebEnabled},
        {QStringLiteral("Web/Address"), setWebAddress},
        {QStringLiteral("Web/Port"), setWebPort},
        {QStringLiteral("Web/HostNames"), setWebHostNames},
        {QStringLiteral("Web/Certificate"), setWebFile<&WebSettings::certificate>},
        {QStringLiteral("Web/Key"), setWebFile<&WebSettings::key>},
        {QStringLiteral("Simulated/DialMs"),
         integer(&ServerConfig::simulated, &SimulatedSettings::dialMs, 0, 600000)},
        {QStringLiteral("Simulated/HangUpMs"),
         integer(&ServerConfig::simulated, &SimulatedSettings::hangUpMs, 0, 600000)},
        {QStringLiteral("Simulated/LinePassword"),
         text(&ServerConfig::simulated, &SimulatedSettings::linePassword)},
        {QStringLiteral("Command/Dial"), text(&ServerConfig::command, &CommandSettings::dial)},
        {QStringLiteral("Command/HangUp"), text(&ServerConfig::command, &CommandSettings::hangUp)},
        {QStringLiteral("Command/Status"), text(&ServerConfig::command, &CommandSettings::status)},
        {QStringLiteral("Command/Interface"),
         text(&ServerConfig::command, &CommandSettings::interface)},
        {QStringLiteral("Command/StatusIntervalMs"),
         integer(&ServerConfig::command, &CommandSettings::statusIntervalMs, 100, 3600000)},
        {QStringLiteral("Command/DialTimeoutMs"),
         integer(&ServerConfig::command, &CommandSettings::dialTimeoutMs, 100, 3600000)},
        {QStringLiteral("Command/CommandTimeoutMs"),
         integer(&ServerConfig::command, &CommandSettings::commandTimeoutMs, 100, 3600000)},
    };
    return table;
}
