// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "LineSettings.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>

// One connection profile of NetworkManager.
struct NmConnection
{
    QString path; // its settings object
    QString id;
    QString uuid;
    QString type;
};

// How phonebook entries and NetworkManager's connections find each other: an entry names its
// connection by UUID or id in [NetworkManager], or else by its own name as the id.
namespace NmMatch {

QString target(const PhonebookEntry &entry);
// The connection entry dials; none when NetworkManager has no such connection.
const NmConnection *connectionFor(const PhonebookEntry &entry,
                                  const QList<NmConnection> &connections);
// The name of the entry that dials the connection with this id and UUID; empty for none.
QString entryFor(const QList<PhonebookEntry> &phonebook, const QString &id, const QString &uuid);
// The entries whose connection NetworkManager does not have.
QStringList missing(const QList<PhonebookEntry> &phonebook, const QList<NmConnection> &connections);

} // namespace NmMatch

// Reads NetworkManager's list of connection profiles, without waiting: done follows, from the
// event loop, and the object then deletes itself.
class NmCatalogue : public QObject
{
    Q_OBJECT

public:
    NmCatalogue(const QDBusConnection &bus, QObject *parent);
    void fetch();

Q_SIGNALS:
    // ok is false, with the reason, when NetworkManager could not be asked.
    void done(bool ok, const QList<NmConnection> &connections, const QString &error);

private:
    void finish(bool ok, const QString &error = QString());

    QDBusConnection m_bus;
    QList<NmConnection> m_connections;
    int m_waiting = 0;
};
