// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerConfig.h"

#include "ConfigHints.h"
#include "Cp1252.h"
#include "IniFile.h"
#include "Protocol.h"

#include <algorithm>
#include <functional>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

const PhonebookEntry *ServerConfig::findEntry(const QString &name) const
{
    for (const PhonebookEntry &entry : phonebook) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

QStringList ServerConfig::entryNames() const
{
    QStringList names;
    for (const PhonebookEntry &entry : phonebook)
        names.append(entry.name);
    return names;
}

Rights ServerConfig::rightsFor(const QHostAddress &address) const
{
    const RightsRule *best = nullptr;
    for (const RightsRule &rule : rights) {
        if (rule.range.contains(address) && (!best || rule.range.prefix > best->range.prefix))
            best = &rule;
    }
    if (best)
        return best->rights;
    // Fails closed: a rule for one address must not be escaped by another address of the
    // same machine (its IPv6 loopback, say).
    if (rights.isEmpty() && !otherRights)
        return Rights();
    return otherRights.value_or(Rights{false, false, false, true});
}

QString passwordFault(const QString &password)
{
    const bool control = std::any_of(password.cbegin(), password.cend(), [](QChar c) {
        return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator;
    });
    return control ? QStringLiteral("a password may not hold control characters (line breaks, "
                                    "tabs)")
                   : QString();
}

namespace {

// The value of one key: stores it and returns an error text, empty when it is acceptable.
using Setter = std::function<QString(ServerConfig &, const QString &)>;

QString readInt(const QString &value, int minimum, int maximum, int &out)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < minimum || number > maximum)
        return QStringLiteral("expected a whole number from %1 to %2")
            .arg(QString::number(minimum), QString::number(maximum));
    out = number;
    return QString();
}

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

const QHash<QString, Setter> &setters()
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

// A name the client could not send back intact: its connect request ends the entry at the
// first "PWD:", its lists end every item at the code-28 character, and the wire carries only
// what Windows-1252 can.
QString entryNameFault(const QString &name)
{
    if (name.contains(Protocol::PasswordSeparator))
        return QStringLiteral("an entry name may not contain \"PWD:\"");
    if (name.contains(Protocol::ListTerminator))
        return QStringLiteral("an entry name may not contain the character with code 28");
    QStringList foreign;
    for (const char32_t code : name.toUcs4()) {
        const QString character = QString::fromUcs4(&code, 1);
        const QString shown =
            QStringLiteral("\"%1\" (U+%2)")
                .arg(character,
                     QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0')));
        if (Cp1252::decode(Cp1252::encode(character)) != character && !foreign.contains(shown))
            foreign.append(shown);
    }
    if (!foreign.isEmpty())
        return QStringLiteral("an entry name may hold only characters of Windows-1252 (Western "
                              "European), which the clients can show and send back; %1 %2 not")
            .arg(foreign.join(QStringLiteral(", ")),
                 foreign.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
    return QString();
}

QString setRights(Rights &rights, const QString &value)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    rights = {false, false, false, false};
    const QStringList words = value.split(separators, Qt::SkipEmptyParts);
    if (words == QStringList{QStringLiteral("none")})
        return QString();
    for (const QString &word : words) {
        if (word == QLatin1String("dial"))
            rights.dial = true;
        else if (word == QLatin1String("hangup"))
            rights.hangUp = true;
        else if (word == QLatin1String("refuse"))
            rights.refuse = true;
        else if (word == QLatin1String("message"))
            rights.message = true;
        else if (word == QLatin1String("admin"))
            rights.admin = true;
        else
            return QStringLiteral("expected \"none\" or any of dial, hangup, refuse, message, "
                                  "admin");
    }
    return words.isEmpty() ? QStringLiteral("expected \"none\" or any of dial, hangup, refuse, "
                                            "message, admin")
                           : QString();
}

const QStringList &knownSections()
{
    static const QStringList names = {
        QStringLiteral("Server"),           QStringLiteral("Line"),
        QStringLiteral("Simulated"),        QStringLiteral("Command"),
        QStringLiteral("Phonebook"),        QStringLiteral("Rights"),
        QStringLiteral("MaxOnlineMinutes"), QStringLiteral("NetworkManager"),
        QStringLiteral("IdleMinutes"),      QStringLiteral("Web")};
    return names;
}

// Why a key is unknown in its section, with the key most likely meant.
QString unknownKey(const QString &section, const QString &key)
{
    QStringList here;
    QString elsewhere;
    for (auto it = setters().cbegin(); it != setters().cend(); ++it) {
        const QString known = it.key().section(QLatin1Char('/'), 1);
        if (it.key().section(QLatin1Char('/'), 0, 0) == section)
            here.append(known);
        else if (known == key)
            elsewhere = it.key().section(QLatin1Char('/'), 0, 0);
    }
    here.sort();
    const QString why = QStringLiteral("unknown setting in [%1]; ").arg(section);
    if (!elsewhere.isEmpty())
        return why + QStringLiteral("it belongs in [%1]").arg(elsewhere);
    const QString meant = ConfigHints::nearest(key, here);
    if (!meant.isEmpty())
        return why + QStringLiteral("did you mean %1?").arg(meant);
    return why + QStringLiteral("the settings are %1").arg(here.join(QStringLiteral(", ")));
}

PhonebookEntry entryFrom(const QString &name, const QString &value)
{
    if (value.isEmpty())
        return {name, QString(), PasswordCheck::None};
    if (value == QLatin1String("*"))
        return {name, QString(), PasswordCheck::Line};
    return {name, value, PasswordCheck::Server};
}

} // namespace

ConfigResult configFromText(const QString &text)
{
    ConfigResult result;
    const IniFile::Parsed parsed = IniFile::parse(text);
    if (!parsed.error.isEmpty()) {
        result.error = parsed.error;
        return result;
    }
    for (const IniFile::Section &section : parsed.sections) {
        if (!knownSections().contains(section.name)) {
            const QString meant = ConfigHints::nearest(section.name, knownSections());
            result.error =
                QStringLiteral("line %1: unknown section [%2]; %3")
                    .arg(QString::number(section.line), section.name,
                         meant.isEmpty() ? QStringLiteral("the sections are [%1]")
                                               .arg(knownSections().join(QStringLiteral("], [")))
                                         : QStringLiteral("did you mean [%1]?").arg(meant));
            return result;
        }
    }
    const auto fail = [&](const IniFile::Item &item, const QString &why) {
        result.error =
            QStringLiteral("line %1: %2: %3").arg(QString::number(item.line), item.key, why);
        return result;
    };
    // The value is quoted so that the administrator sees what the server read.
    const auto failValue = [&](const IniFile::Item &item, const QString &why) {
        result.error = QStringLiteral("line %1: %2=\"%3\": %4%5")
                           .arg(QString::number(item.line), item.key, item.value, why,
                                IniFile::commentNote(item.value));
        return result;
    };
    QList<IniFile::Item> limits;
    for (const IniFile::Item &item : parsed.items) {
        if (item.section == QLatin1String("Phonebook")) {
            QString fault = entryNameFault(item.key);
            if (fault.isEmpty())
                fault = passwordFault(item.value);
            if (!fault.isEmpty())
                return fail(item, fault);
            result.config.phonebook.append(entryFrom(item.key, item.value));
            continue;
        }
        if (item.section == QLatin1String("MaxOnlineMinutes") ||
            item.section == QLatin1String("NetworkManager") ||
            item.section == QLatin1String("IdleMinutes")) {
            limits.append(item);
            continue;
        }
        if (item.section == QLatin1String("Rights") && item.key == QLatin1String("*")) {
            Rights other;
            const QString fault = setRights(other, item.value);
            if (!fault.isEmpty())
                return failValue(item, fault);
            result.config.otherRights = other;
            continue;
        }
        if (item.section == QLatin1String("Rights")) {
            const std::optional<AddressRange> range = AddressRange::parse(item.key);
            if (!range)
                return fail(item, QStringLiteral("expected an address range such as "
                                                 "192.168.0.0/16, or *, before \"=\"") +
                                      ConfigHints::hostNameNote(item.key));
            RightsRule rule{*range, {}};
            const QString fault = setRights(rule.rights, item.value);
            if (!fault.isEmpty())
                return failValue(item, fault);
            result.config.rights.append(rule);
            continue;
        }
        const auto setter = setters().constFind(item.section + QLatin1Char('/') + item.key);
        if (setter == setters().constEnd())
            return fail(item, unknownKey(item.section, item.key));
        const QString fault = (*setter)(result.config, item.value);
        if (!fault.isEmpty())
            return failValue(item, fault);
    }
    for (const IniFile::Item &item : std::as_const(limits)) {
        auto entry = std::find_if(result.config.phonebook.begin(), result.config.phonebook.end(),
                                  [&item](const PhonebookEntry &e) { return e.name == item.key; });
        if (entry == result.config.phonebook.end())
            return fail(item, QStringLiteral("no such entry in [Phonebook]"));
        if (item.section == QLatin1String("NetworkManager")) {
            if (item.value.isEmpty())
                return fail(item, QStringLiteral("expected a NetworkManager connection's id or "
                                                 "UUID"));
            entry->connection = item.value;
            continue;
        }
        // An entry may be kept from ever going idle (0); a limit of 0 would be no limit.
        const bool idle = item.section == QLatin1String("IdleMinutes");
        int minutes = 0;
        const QString fault = readInt(item.value, idle ? 0 : 1, 100000, minutes);
        if (!fault.isEmpty())
            return failValue(item, fault);
        (idle ? entry->idleMs : entry->maxOnlineMs) = minutes * 60000LL;
    }
    const CommandSettings &command = result.config.command;
    if (result.config.backend == BackendKind::Command &&
        (command.dial.isEmpty() || command.hangUp.isEmpty())) {
        const auto backend = std::find_if(parsed.items.cbegin(), parsed.items.cend(), [](auto &i) {
            return i.section == QLatin1String("Line") && i.key == QLatin1String("Backend");
        });
        return fail(*backend, QStringLiteral("the command line backend needs Dial and HangUp in "
                                             "[Command]"));
    }
    const WebSettings &web = result.config.web;
    if (web.certificate.isEmpty() != web.key.isEmpty()) {
        const auto half = std::find_if(parsed.items.cbegin(), parsed.items.cend(), [](auto &i) {
            return i.section == QLatin1String("Web") &&
                   (i.key == QLatin1String("Certificate") || i.key == QLatin1String("Key"));
        });
        return fail(*half, QStringLiteral("TLS needs both Certificate and Key in [Web]"));
    }
    return result;
}

ConfigResult loadConfig(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ConfigResult result;
        result.error = QStringLiteral("cannot read it: %1").arg(file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        // The decoder runs only when its result is turned into text, hence the unused text.
        const QString text = decoder.decode(lines[i]); // clazy:exclude=unused-non-trivial-variable
        if (decoder.hasError()) {
            ConfigResult result;
            result.error = QStringLiteral("line %1: not UTF-8 text; save the file as UTF-8")
                               .arg(QString::number(i + 1));
            return result;
        }
    }
    return configFromText(QString::fromUtf8(bytes));
}
