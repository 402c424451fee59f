// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SecretAgent.h"

#include "Log.h"

#include <nm-dbus-interface.h>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>

namespace {

const QString kAgentPath = QStringLiteral(NM_DBUS_PATH_SECRET_AGENT);
const QString kAgentManagerPath = QStringLiteral(NM_DBUS_PATH_AGENT_MANAGER);
const QString kNoSecrets = QStringLiteral(NM_DBUS_INTERFACE_SECRET_AGENT ".NoSecrets");
const QString kNotAuthorized = QStringLiteral(NM_DBUS_INTERFACE_SECRET_AGENT ".PermissionDenied");
// The name NetworkManager lists the agent under.
const QString kIdentifier = QStringLiteral("org.velmora.server");

} // namespace

SecretAgent::SecretAgent(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    qDBusRegisterMetaType<NmSettings>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
}

SecretAgent::~SecretAgent()
{
    if (m_published)
        m_bus.unregisterObject(kAgentPath);
}

bool SecretAgent::publish(QString *error)
{
    if (!m_bus.registerObject(kAgentPath, this, QDBusConnection::ExportAllSlots)) {
        *error = QStringLiteral("cannot publish the secret agent on the system bus: %1")
                     .arg(m_bus.lastError().message());
        return false;
    }
    m_published = true;
    return true;
}

void SecretAgent::registerWith(const QString &networkManagerOwner)
{
    m_owner = networkManagerOwner;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral(NM_DBUS_SERVICE), kAgentManagerPath,
                                       QStringLiteral(NM_DBUS_INTERFACE_AGENT_MANAGER),
                                       QStringLiteral("RegisterWithCapabilities"));
    call << kIdentifier << uint(NM_SECRET_AGENT_CAPABILITY_NONE);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError())
            Log::warning(QStringLiteral("NetworkManager refused the secret agent (%1): %2; "
                                        "passwords typed at the desks cannot reach it")
                             .arg(w->error().name(), w->error().message()));
        else
            Log::info(QStringLiteral("Secret agent registered with NetworkManager"));
    });
}

void SecretAgent::expect(const QString &connection, const QString &password)
{
    m_connection = connection;
    m_password = password;
    m_answered = false;
    m_refusedAgain = false;
}

void SecretAgent::forget()
{
    m_connection.clear();
    m_password.clear();
    m_answered = false;
    m_refusedAgain = false;
}

QString SecretAgent::passwordSetting(const QString &connectionType)
{
    if (connectionType == QLatin1String("gsm") || connectionType == QLatin1String("cdma") ||
        connectionType == QLatin1String("pppoe") || connectionType == QLatin1String("vpn"))
        return connectionType;
    if (connectionType == QLatin1String("802-3-ethernet") ||
        connectionType == QLatin1String("802-11-wireless"))
        return QStringLiteral("802-1x");
    return QString();
}

NmSettings SecretAgent::answer(const QString &setting, const QString &password)
{
    if (setting == QLatin1String("vpn")) {
        const QMap<QString, QString> secrets{{QStringLiteral("password"), password}};
        return {{setting, {{QStringLiteral("secrets"), QVariant::fromValue(secrets)}}}};
    }
    return {{setting, {{QStringLiteral("password"), password}}}};
}

NmSettings SecretAgent::refuse(const QString &why)
{
    Log::info(QStringLiteral("Secret agent: %1").arg(why));
    sendErrorReply(kNoSecrets, why);
    return {};
}

NmSettings SecretAgent::GetSecrets(const NmSettings &connection,
                                   const QDBusObjectPath &connectionPath,
                                   const QString &settingName, const QStringList &, uint)
{
    if (message().service() != m_owner || m_owner.isEmpty()) {
        Log::warning(QStringLiteral("Secret agent: %1, which is not NetworkManager, asked for a "
                                    "password; refused")
                         .arg(message().service()));
        sendErrorReply(kNotAuthorized, QStringLiteral("only NetworkManager is answered"));
        return {};
    }
    const QString type =
        connection.value(QStringLiteral("connection")).value(QStringLiteral("type")).toString();
    if (m_connection.isEmpty() || connectionPath.path() != m_connection)
        return refuse(QStringLiteral("no password for %1: the server did not start it")
                          .arg(connectionPath.path()));
    if (settingName != passwordSetting(type))
        return refuse(QStringLiteral("no secrets for the setting %1 of a %2 connection")
                          .arg(settingName, type));
    // A second request for the same activation means the password was wrong; asking the desk
    // again is the dial's business, not NetworkManager's.
    if (m_answered) {
        m_refusedAgain = true;
        return refuse(QStringLiteral("the password given for %1 was not accepted")
                          .arg(connectionPath.path()));
    }
    m_answered = true;
    Log::info(QStringLiteral("Secret agent: the password for %1 handed to NetworkManager")
                  .arg(settingName));
    return answer(settingName, m_password);
}

void SecretAgent::CancelGetSecrets(const QDBusObjectPath &, const QString &)
{
    // Every request is answered at once, so there is never one to cancel.
}

void SecretAgent::SaveSecrets(const NmSettings &, const QDBusObjectPath &)
{
    // The agent keeps no secret beyond the activation it serves.
}

void SecretAgent::DeleteSecrets(const NmSettings &, const QDBusObjectPath &)
{}
