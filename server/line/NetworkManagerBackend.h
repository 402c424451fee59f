// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "LineBackend.h"
#include "NmCatalogue.h"

#include <QDBusConnection>
#include <QHash>
#include <QPointer>

class NmActiveConnectionProxy;
class NmDeviceProxy;
class NmPropertiesProxy;
class QDBusServiceWatcher;
class SecretAgent;

// A line that NetworkManager drives, over the system bus: each phonebook entry is one of its
// connections; dialling activates it, hanging up deactivates it. The line's state follows
// NetworkManager's own signals, so a connection that falls, or that someone brings up or down
// with nmcli or an applet, shows at once, and a restarted server finds the line as it is. A
// password typed at a desk goes only through the server's secret agent.
class NetworkManagerBackend : public LineBackend
{
    Q_OBJECT

public:
    explicit NetworkManagerBackend(const QDBusConnection &bus, QObject *parent = nullptr);
    ~NetworkManagerBackend() override;

    void start() override;
    void setPhonebook(const QList<PhonebookEntry> &phonebook) override;
    void dial(const PhonebookEntry &entry, const QString &password) override;
    void hangUp() override;
    QString interfaceName() const override { return m_interface; }

private:
    enum class Phase { Down, Looking, Activating, Up, Deactivating };

    // An active connection of NetworkManager that belongs to a phonebook entry.
    struct Active
    {
        NmActiveConnectionProxy *proxy = nullptr;
        QList<NmDeviceProxy *> devices;
        QString entry;
        uint state = 0;
        uint deviceReason = 0; // the first reason a device gave for leaving it
        bool known = false;    // its properties have been read
    };

    void onOwnerChanged(const QString &owner);
    void checkPhonebook();
    void readActiveConnections();
    void syncActive(const QList<QString> &paths);
    void track(const QString &path);
    void untrack(const QString &path);
    void onProperties(const QString &path, const QVariantMap &properties);
    void onState(const QString &path, uint state, uint reason);
    void activate(const PhonebookEntry &entry, const QString &password,
                  const QList<NmConnection> &connections);
    void onActivated(const QString &path);
    void deactivate();
    void fail(const QString &words, const QString &log);
    void becomeUp(const QString &path, const QString &entry);
    void becomeDown(const QString &reason);

    QDBusConnection m_bus;
    SecretAgent *m_agent;
    QDBusServiceWatcher *m_watcher;
    NmPropertiesProxy *m_manager;
    QString m_owner; // NetworkManager's unique bus name; empty while it is not running
    QList<PhonebookEntry> m_phonebook;
    QHash<QString, Active> m_active;
    Phase m_phase = Phase::Down;
    QString m_entry;
    QString m_path;      // the active connection the line is on, or being dialled on
    QString m_interface; // the network interface of the line that is up, or was last
    quint64 m_dial = 0;  // counts dials, so that a late answer to an abandoned one is ignored
};
