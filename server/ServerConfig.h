#pragma once

#include "Log.h"

#include <QHostAddress>
#include <QList>
#include <QString>

// Who judges the password of a phonebook entry.
enum class PasswordCheck {
    None,   // the entry is dialled without one
    Server, // the server knows it and dials only when the client's matches
    Line,   // the server asks the client for one and hands it to the line, which judges it
};

struct PhonebookEntry
{
    QString name;
    QString password; // Server: the password itself
    PasswordCheck check = PasswordCheck::None;
};

struct SimulatedSettings
{
    int dialMs = 3000;
    int hangUpMs = 1000;
    QString linePassword; // what the simulated far end accepts for a Line-checked entry
};

struct CommandSettings
{
    QString dial;
    QString hangUp;
    QString status; // optional: without it a command's exit code is the whole truth
    int statusIntervalMs = 3000;
    int dialTimeoutMs = 120000;
    int commandTimeoutMs = 60000;
};

enum class BackendKind { Simulated, Command };

struct ServerConfig
{
    QHostAddress address{QHostAddress::Any};
    quint16 port = 1000;
    Log::Level logLevel = Log::Level::Info;
    int disconnectSeconds = 30;
    int ackTimeoutMs = 10000;
    int sendGapMs = 50;
    int shutdownWaitMs = 3000;
    int maxMessageBytes = 65536;
    int maxMessagesPerSecond = 100;
    QList<PhonebookEntry> phonebook;
    BackendKind backend = BackendKind::Simulated;
    SimulatedSettings simulated;
    CommandSettings command;

    const PhonebookEntry *findEntry(const QString &name) const;
    QStringList entryNames() const;
};

inline constexpr QLatin1String DefaultConfigPath{"/etc/velmora/velmora-server.conf"};

struct ConfigResult
{
    ServerConfig config;
    QString error; // empty when the configuration is sound
};

// Reads the text of a configuration file; every fault names its line and what was expected.
ConfigResult configFromText(const QString &text);
ConfigResult loadConfig(const QString &path);
