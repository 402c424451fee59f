// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "NetworkManagerBackend.h"

#include "Log.h"
#include "NmProxies.h"
#include "NmReasons.h"
#include "SecretAgent.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>

namespace {

const QString kService = QStringLiteral(NM_DBUS_SERVICE);
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QList<QString> pathsIn(const QVariant &value)
{
    QList<QString> paths;
    const auto objects = qdbus_cast<QList<QDBusObjectPath>>(value);
    for (const QDBusObjectPath &object : objects)
        paths.append(object.path());
    return paths;
}

} // namespace

NetworkManagerBackend::NetworkManagerBackend(const QDBusConnection &bus, QObject *parent)
    : LineBackend(parent)
    , m_bus(bus)
    , m_agent(new SecretAgent(bus, this))
    , m_watcher(
          new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this))
    , m_manager(new NmPropertiesProxy(QStringLiteral(NM_DBUS_PATH), bus, this))
{}

NetworkManagerBackend::~NetworkManagerBackend() = default;

void NetworkManagerBackend::start()
{
    if (!m_bus.isConnected()) {
        Log::error(QStringLiteral("Cannot reach the system bus: %1; the line stays down")
                       .arg(m_bus.lastError().message()));
        return;
    }
    QString error;
    if (!m_agent->publish(&error))
        Log::error(error);
    connect(
        m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString &, const QString &, const QString &owner) { onOwnerChanged(owner); });
    connect(m_manager, &NmPropertiesProxy::PropertiesChanged, this,
            [this](const QString &interface, const QVariantMap &changed, const QStringList &) {
                const auto active = changed.constFind(QStringLiteral("ActiveConnections"));
                if (interface == QLatin1String(NM_DBUS_INTERFACE) && active != changed.constEnd())
                    syncActive(pathsIn(*active));
            });
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    call << kService;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QString> reply = *w;
        if (reply.isError())
            Log::warning(QStringLiteral("NetworkManager is not running; the line stays down "
                                        "until it starts"));
        else
            onOwnerChanged(reply.value());
    });
}

void NetworkManagerBackend::onOwnerChanged(const QString &owner)
{
    if (owner == m_owner)
        return;
    m_owner = owner;
    if (owner.isEmpty()) {
        Log::warning(QStringLiteral("NetworkManager stopped"));
        for (auto it = m_active.begin(); it != m_active.end(); ++it) {
            delete it->proxy;
            qDeleteAll(it->devices);
        }
        m_active.clear();
        if (m_phase == Phase::Up)
            becomeDown(
                QStringLiteral("Connection to %1 lost: NetworkManager stopped").arg(m_entry));
        else if (m_phase != Phase::Down)
            fail(QStringLiteral("NetworkManager stopped"),
                 QStringLiteral("NetworkManager stopped"));
        return;
    }
    Log::info(QStringLiteral("NetworkManager is running"));
    m_agent->registerWith(owner);
    checkPhonebook();
    readActiveConnections();
}

void NetworkManagerBackend::setPhonebook(const QList<PhonebookEntry> &phonebook)
{
    m_phonebook = phonebook;
    if (!m_owner.isEmpty())
        checkPhonebook();
}

void NetworkManagerBackend::checkPhonebook()
{
    auto *catalogue = new NmCatalogue(m_bus, this);
    connect(catalogue, &NmCatalogue::done, this,
            [this](bool ok, const QList<NmConnection> &connections, const QString &error) {
                if (!ok) {
                    Log::warning(
                        QStringLiteral("Cannot read NetworkManager's connections: %1").arg(error));
                    return;
                }
                const QStringList missing = NmMatch::missing(m_phonebook, connections);
                for (const QString &name : missing) {
                    const PhonebookEntry *entry = nullptr;
                    for (const PhonebookEntry &e : std::as_const(m_phonebook)) {
                        if (e.name == name)
                            entry = &e;
                    }
                    Log::warning(QStringLiteral("NetworkManager has no connection %1 for the "
                                                "phonebook entry %2")
                                     .arg(NmMatch::target(*entry), name));
                }
                if (missing.isEmpty())
                    Log::info(QStringLiteral("NetworkManager has a connection for every "
                                             "phonebook entry"));
            });
    catalogue->fetch();
}

void NetworkManagerBackend::readActiveConnections()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral(NM_DBUS_PATH),
                                                       kProperties, QStringLiteral("Get"));
    call << QStringLiteral(NM_DBUS_INTERFACE) << QStringLiteral("ActiveConnections");
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (reply.isError())
            Log::warning(QStringLiteral("Cannot read NetworkManager's active connections: %1")
                             .arg(reply.error().message()));
        else
            syncActive(pathsIn(reply.value().variant()));
    });
}

void NetworkManagerBackend::syncActive(const QList<QString> &paths)
{
    for (const QString &path : paths) {
        if (!m_active.contains(path))
            track(path);
    }
    // One that left the list without telling its end has ended all the same.
    const QList<QString> tracked = m_active.keys();
    for (const QString &path : tracked) {
        if (!paths.contains(path))
            onState(path, NM_ACTIVE_CONNECTION_STATE_DEACTIVATED,
                    NM_ACTIVE_CONNECTION_STATE_REASON_UNKNOWN);
    }
}

void NetworkManagerBackend::track(const QString &path)
{
    Active &active = m_active[path];
    active.proxy = new NmActiveConnectionProxy(path, m_bus, this);
    // Subscribed before the state is read, so that no change falls between the two.
    connect(active.proxy, &NmActiveConnectionProxy::StateChanged, this,
            [this, path](uint state, uint reason) { onState(path, state, reason); });
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("GetAll"));
    call << QStringLiteral(NM_DBUS_INTERFACE_ACTIVE_CONNECTION);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QVariantMap> reply = *w;
                if (!m_active.contains(path))
                    return;
                if (reply.isError())
                    onState(path, NM_ACTIVE_CONNECTION_STATE_DEACTIVATED,
                            NM_ACTIVE_CONNECTION_STATE_REASON_UNKNOWN);
                else
                    onProperties(path, reply.value());
            });
}

void NetworkManagerBackend::untrack(const QString &path)
{
    const auto it = m_active.constFind(path);
    if (it == m_active.constEnd())
        return;
    it->proxy->deleteLater();
    for (NmDeviceProxy *device : it->devices)
        device->deleteLater();
    m_active.erase(it);
}

void NetworkManagerBackend::onProperties(const QString &path, const QVariantMap &properties)
{
    Active &active = m_active[path];
    active.entry = NmMatch::entryFor(m_phonebook, properties.value(QStringLiteral("Id")).toString(),
                                     properties.value(QStringLiteral("Uuid")).toString());
    if (active.entry.isEmpty() && path != m_path) {
        untrack(path);
        return;
    }
    active.known = true;
    const QList<QString> devices = pathsIn(properties.value(QStringLiteral("Devices")));
    for (const QString &device : devices) {
        auto *proxy = new NmDeviceProxy(device, m_bus, this);
        active.devices.append(proxy);
        connect(proxy, &NmDeviceProxy::StateChanged, this,
                [this, path](uint newState, uint, uint reason) {
                    const auto it = m_active.find(path);
                    if (it != m_active.end() && it->deviceReason == 0 &&
                        reason > NM_DEVICE_STATE_REASON_UNKNOWN &&
                        (newState == NM_DEVICE_STATE_FAILED ||
                         newState == NM_DEVICE_STATE_DEACTIVATING ||
                         newState == NM_DEVICE_STATE_DISCONNECTED))
                        it->deviceReason = reason;
                });
    }
    // A change signalled while the properties were on their way is newer than they are.
    const uint state =
        active.state ? active.state : properties.value(QStringLiteral("State")).toUInt();
    onState(path, state, NM_ACTIVE_CONNECTION_STATE_REASON_NONE);
}

void NetworkManagerBackend::onState(const QString &path, uint state, uint reason)
{
    const auto it = m_active.find(path);
    if (it == m_active.end())
        return;
    it->state = state;
    if (!it->known && state != NM_ACTIVE_CONNECTION_STATE_DEACTIVATED)
        return;
    const QString entry = it->entry;
    const uint deviceReason = it->deviceReason;
    if (state == NM_ACTIVE_CONNECTION_STATE_DEACTIVATED)
        untrack(path);
    if (path == m_path) {
        if (state == NM_ACTIVE_CONNECTION_STATE_ACTIVATED && m_phase == Phase::Activating) {
            becomeUp(path, m_entry);
        } else if (state == NM_ACTIVE_CONNECTION_STATE_DEACTIVATED) {
            const QString words = m_agent->passwordRefused()
                                      ? QStringLiteral("the password was not accepted")
                                      : NmReasons::describe(reason, deviceReason);
            const QString codes = QStringLiteral("NetworkManager's reason %1, the device's %2")
                                      .arg(QString::number(reason), QString::number(deviceReason));
            if (m_phase == Phase::Deactivating) {
                becomeDown(QString());
            } else if (m_phase == Phase::Activating) {
                fail(words, QStringLiteral("%1 (%2)").arg(words, codes));
            } else if (m_phase == Phase::Up) {
                Log::warning(
                    QStringLiteral("The line to %1 fell: %2 (%3)").arg(m_entry, words, codes));
                becomeDown(QStringLiteral("Connection to %1 lost: %2").arg(m_entry, words));
            }
        }
        return;
    }
    if (state == NM_ACTIVE_CONNECTION_STATE_ACTIVATED && m_phase == Phase::Down &&
        !entry.isEmpty()) {
        Log::info(QStringLiteral("%1 is up, brought up outside the server").arg(entry));
        becomeUp(path, entry);
    }
}

void NetworkManagerBackend::dial(const PhonebookEntry &entry, const QString &password)
{
    m_phase = Phase::Looking;
    m_entry = entry.name;
    m_path.clear();
    const quint64 dial = ++m_dial;
    auto *catalogue = new NmCatalogue(m_bus, this);
    connect(catalogue, &NmCatalogue::done, this,
            [this, entry, password, dial](bool ok, const QList<NmConnection> &connections,
                                          const QString &error) {
                if (dial != m_dial || m_phase != Phase::Looking)
                    return;
                if (!ok)
                    fail(QStringLiteral("NetworkManager cannot be reached"),
                         QStringLiteral("NetworkManager cannot be reached: %1").arg(error));
                else
                    activate(entry, password, connections);
            });
    catalogue->fetch();
}

void NetworkManagerBackend::activate(const PhonebookEntry &entry, const QString &password,
                                     const QList<NmConnection> &connections)
{
    const NmConnection *connection = NmMatch::connectionFor(entry, connections);
    if (!connection) {
        const QString words =
            QStringLiteral("NetworkManager has no connection %1").arg(NmMatch::target(entry));
        fail(words, words);
        return;
    }
    if (entry.check == PasswordCheck::Line)
        m_agent->expect(connection->path, password);
    m_phase = Phase::Activating;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral(NM_DBUS_PATH),
                                                       QStringLiteral(NM_DBUS_INTERFACE),
                                                       QStringLiteral("ActivateConnection"));
    call << QVariant::fromValue(QDBusObjectPath(connection->path))
         << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")))
         << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")));
    const quint64 dial = m_dial;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, dial](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *w;
                if (dial != m_dial)
                    return;
                if (reply.isError()) {
                    if (m_phase == Phase::Deactivating) {
                        becomeDown(QString());
                        return;
                    }
                    fail(QStringLiteral("NetworkManager refused: %1").arg(reply.error().message()),
                         QStringLiteral("NetworkManager refused (%1): %2")
                             .arg(reply.error().name(), reply.error().message()));
                    return;
                }
                onActivated(reply.value().path());
            });
}

void NetworkManagerBackend::onActivated(const QString &path)
{
    m_path = path;
    if (m_phase == Phase::Deactivating) {
        deactivate();
        return;
    }
    const auto it = m_active.find(path);
    if (it == m_active.end())
        track(path);
    else if (it->known)
        onState(path, it->state, NM_ACTIVE_CONNECTION_STATE_REASON_NONE);
}

void NetworkManagerBackend::hangUp()
{
    switch (m_phase) {
    case Phase::Down:
    case Phase::Looking:
        // Never from inside the call that asked.
        m_phase = Phase::Deactivating;
        QTimer::singleShot(0, this, [this] {
            if (m_phase == Phase::Deactivating && m_path.isEmpty())
                becomeDown(QString());
        });
        break;
    case Phase::Activating:
    case Phase::Up:
        m_phase = Phase::Deactivating;
        if (!m_path.isEmpty())
            deactivate();
        break;
    case Phase::Deactivating:
        break;
    }
}

void NetworkManagerBackend::deactivate()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral(NM_DBUS_PATH),
                                                       QStringLiteral(NM_DBUS_INTERFACE),
                                                       QStringLiteral("DeactivateConnection"));
    call << QVariant::fromValue(QDBusObjectPath(m_path));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    const QString path = m_path;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                // Refused mostly because it has ended already; its end may have come first.
                if (w->isError() && m_phase == Phase::Deactivating && m_path == path) {
                    Log::warning(
                        QStringLiteral("Hanging up %1: %2").arg(m_entry, w->error().message()));
                    becomeDown(QString());
                }
            });
}

void NetworkManagerBackend::fail(const QString &words, const QString &log)
{
    Log::warning(QStringLiteral("Dialling %1 failed: %2").arg(m_entry, log));
    becomeDown(QStringLiteral("Dialling %1 failed: %2").arg(m_entry, words));
}

void NetworkManagerBackend::becomeUp(const QString &path, const QString &entry)
{
    m_phase = Phase::Up;
    m_path = path;
    m_entry = entry;
    m_agent->forget();
    m_interface.clear();
    // The line is reported up once its interface is known, so that the call's bytes are counted
    // from its start.
    const auto it = m_active.constFind(path);
    if (it == m_active.constEnd() || it->devices.isEmpty()) {
        Q_EMIT lineUp(entry);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, it->devices.first()->path(),
                                                       kProperties, QStringLiteral("Get"));
    call << QStringLiteral(NM_DBUS_INTERFACE_DEVICE) << QStringLiteral("IpInterface");
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    const quint64 dial = m_dial;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path, entry, dial](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *w;
                if (dial != m_dial || m_phase != Phase::Up || path != m_path)
                    return;
                if (!reply.isError())
                    m_interface = reply.value().variant().toString();
                Q_EMIT lineUp(entry);
            });
}

void NetworkManagerBackend::becomeDown(const QString &reason)
{
    m_phase = Phase::Down;
    m_path.clear();
    ++m_dial;
    m_agent->forget();
    Q_EMIT lineDown(reason);
}
