// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <nm-dbus-interface.h>
#include <QDBusAbstractInterface>
#include <QStringList>
#include <QVariantMap>

// NetworkManager's signals as Qt signals: a signal declared here is subscribed on the bus when
// something connects to it. Their names are those of NetworkManager's interfaces.

class NmPropertiesProxy : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    NmPropertiesProxy(const QString &path, const QDBusConnection &bus, QObject *parent)
        : QDBusAbstractInterface(QStringLiteral(NM_DBUS_SERVICE), path,
                                 "org.freedesktop.DBus.Properties", bus, parent)
    {}

Q_SIGNALS:
    void PropertiesChanged(const QString &interface, const QVariantMap &changed,
                           const QStringList &invalidated);
};

class NmActiveConnectionProxy : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    NmActiveConnectionProxy(const QString &path, const QDBusConnection &bus, QObject *parent)
        : QDBusAbstractInterface(QStringLiteral(NM_DBUS_SERVICE), path,
                                 NM_DBUS_INTERFACE_ACTIVE_CONNECTION, bus, parent)
    {}

Q_SIGNALS:
    void StateChanged(uint state, uint reason);
};

class NmDeviceProxy : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    NmDeviceProxy(const QString &path, const QDBusConnection &bus, QObject *parent)
        : QDBusAbstractInterface(QStringLiteral(NM_DBUS_SERVICE), path, NM_DBUS_INTERFACE_DEVICE,
                                 bus, parent)
    {}

Q_SIGNALS:
    void StateChanged(uint newState, uint oldState, uint reason);
};
