#include "ServerConfig.h"

#include "IniFile.h"
#include "Protocol.h"

#include <functional>
#include <QFile>
#include <QHash>

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

namespace {

// The value of one key: stores it and returns an error text, empty when it is acceptable.
using Setter = std::function<QString(ServerConfig &, const QString &)>;

QString readInt(const QString &value, int minimum, int maximum, int &out)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < minimum || number > maximum)
        return QStringLiteral("expected a whole number from %1 to %2").arg(minimum).arg(maximum);
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

QString setAddress(ServerConfig &config, const QString &value)
{
    if (value.isEmpty() || value == QLatin1String("any")) {
        config.address = QHostAddress(QHostAddress::Any);
        return QString();
    }
    QHostAddress address;
    if (!address.setAddress(value))
        return QStringLiteral("expected an IP address, or \"any\"");
    config.address = address;
    return QString();
}

QString setPort(ServerConfig &config, const QString &value)
{
    bool ok = false;
    const uint port = value.toUInt(&ok);
    if (!ok || port > 65535)
        return QStringLiteral("expected a port number from 0 to 65535");
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
    else
        return QStringLiteral("expected simulated or command");
    return QString();
}

const QHash<QString, Setter> &setters()
{
    static const QHash<QString, Setter> table = {
        {QStringLiteral("Server/Address"), setAddress},
        {QStringLiteral("Server/Port"), setPort},
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
        {QStringLiteral("Simulated/DialMs"),
         integer(&ServerConfig::simulated, &SimulatedSettings::dialMs, 0, 600000)},
        {QStringLiteral("Simulated/HangUpMs"),
         integer(&ServerConfig::simulated, &SimulatedSettings::hangUpMs, 0, 600000)},
        {QStringLiteral("Simulated/LinePassword"),
         text(&ServerConfig::simulated, &SimulatedSettings::linePassword)},
        {QStringLiteral("Command/Dial"), text(&ServerConfig::command, &CommandSettings::dial)},
        {QStringLiteral("Command/HangUp"), text(&ServerConfig::command, &CommandSettings::hangUp)},
        {QStringLiteral("Command/Status"), text(&ServerConfig::command, &CommandSettings::status)},
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
// first "PWD:", and its lists end every item at the code-28 character.
QString entryNameFault(const QString &name)
{
    if (name.contains(Protocol::PasswordSeparator))
        return QStringLiteral("an entry name may not contain \"PWD:\"");
    if (name.contains(Protocol::ListTerminator))
        return QStringLiteral("an entry name may not contain the character with code 28");
    return QString();
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
    const auto fail = [&](const IniFile::Item &item, const QString &why) {
        result.error = QStringLiteral("line %1: %2: %3").arg(item.line).arg(item.key, why);
        return result;
    };
    for (const IniFile::Item &item : parsed.items) {
        if (item.section == QLatin1String("Phonebook")) {
            const QString fault = entryNameFault(item.key);
            if (!fault.isEmpty())
                return fail(item, fault);
            result.config.phonebook.append(entryFrom(item.key, item.value));
            continue;
        }
        const auto setter = setters().constFind(item.section + QLatin1Char('/') + item.key);
        if (setter == setters().constEnd())
            return fail(item, QStringLiteral("unknown setting in [%1]").arg(item.section));
        const QString fault = (*setter)(result.config, item.value);
        if (!fault.isEmpty())
            return fail(item, fault);
    }
    const CommandSettings &command = result.config.command;
    if (result.config.backend == BackendKind::Command &&
        (command.dial.isEmpty() || command.hangUp.isEmpty()))
        result.error =
            QStringLiteral("the command line backend needs Dial and HangUp in [Command]");
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
    return configFromText(QString::fromUtf8(file.readAll()));
}
