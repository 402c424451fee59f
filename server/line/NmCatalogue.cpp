// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "NmCatalogue.h"

#include "SecretAgent.h"

#include <nm-dbus-interface.h>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace NmMatch {

QString target(const PhonebookEntry &entry)
{
    return entry.connection.isEmpty() ? entry.name : entry.connection;
}

const NmConnection *connectionFor(const PhonebookEntry &entry,
                                  const QList<NmConnection> &connections)
{
    // A UUID is unique; ids need not be, and then the first one NetworkManager lists serves.
    const QString wanted = target(entry);
    for (const NmConnection &connection : connections) {
        if (connection.uuid == wanted)
            return &connection;
    }
    for (const NmConnection &connection : connections) {
        if (connection.id == wanted)
            return &connection;
    }
    return nullptr;
}

QString entryFor(const QList<PhonebookEntry> &phonebook, const QString &id, const QString &uuid)
{
    for (const PhonebookEntry &entry : phonebook) {
        if (target(entry) == uuid)
            return entry.name;
    }
    for (const PhonebookEntry &entry : phonebook) {
        if (target(entry) == id)
            return entry.name;
    }
    return QString();
}

QStringList missing(const QList<PhonebookEntry> &phonebook, const QList<NmConnection> &connections)
{
    QStringList names;
    for (const PhonebookEntry &entry : phonebook) {
        if (!connectionFor(entry, connections))
            names.append(entry.name);
    }
    return names;
}

} // namespace NmMatch

NmCatalogue::NmCatalogue(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{}

void NmCatalogue::fetch()
{
    const QDBusMessage list = QDBusMessage::createMethodCall(
        QStringLiteral(NM_DBUS_SERVICE), QStringLiteral(NM_DBUS_PATH_SETTINGS),
        QStringLiteral(NM_DBUS_INTERFACE_SETTINGS), QStringLiteral("ListConnections"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(list), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QList<QDBusObjectPath>> reply = *w;
        if (reply.isError()) {
            finish(false, reply.error().message());
            return;
        }
        const QList<QDBusObjectPath> paths = reply.value();
        // In NetworkManager's order, whatever order the answers come in.
        m_connections.resize(paths.size());
        m_waiting = int(paths.size());
        if (m_waiting == 0)
            finish(true);
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const QDBusMessage get = QDBusMessage::createMethodCall(
                QStringLiteral(NM_DBUS_SERVICE), paths[i].path(),
                QStringLiteral(NM_DBUS_INTERFACE_SETTINGS_CONNECTION),
                QStringLiteral("GetSettings"));
            auto *one = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
            connect(one, &QDBusPendingCallWatcher::finished, this,
                    [this, i, path = paths[i].path()](QDBusPendingCallWatcher *settingsWatcher) {
                        settingsWatcher->deleteLater();
                        const QDBusPendingReply<NmSettings> settings = *settingsWatcher;
                        // A profile deleted in the meantime is simply not there.
                        if (!settings.isError()) {
                            const QVariantMap c =
                                settings.value().value(QStringLiteral("connection"));
                            m_connections[i] = {path, c.value(QStringLiteral("id")).toString(),
                                                c.value(QStringLiteral("uuid")).toString(),
                                                c.value(QStringLiteral("type")).toString()};
                        }
                        if (--m_waiting == 0)
                            finish(true);
                    });
        }
    });
}

void NmCatalogue::finish(bool ok, const QString &error)
{
    m_connections.removeIf([](const NmConnection &c) { return c.path.isEmpty(); });
    Q_EMIT done(ok, m_connections, error);
    deleteLater();
}
