// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerConfig.h"

#include "ConfigHints.h"
#include "ConfigKeys.h"
#include "Cp1252.h"
#include "IniFile.h"
#include "Protocol.h"

#include <algorithm>
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
    for (auto it = ConfigKeys::setters().cbegin(); it != ConfigKeys::setters().cend(); ++it) {
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
        const auto setter =
            ConfigKeys::setters().constFind(item.section + QLatin1Char('/') + item.key);
        if (setter == ConfigKeys::setters().constEnd())
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
        const QString fault = ConfigKeys::readInt(item.value, idle ? 0 : 1, 100000, minutes);
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
