// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>
#include <QVariantMap>

// NetworkManager's nested dictionaries of settings (a{sa{sv}}).
using NmSettings = QMap<QString, QVariantMap>;

// The server's secret agent on the system bus: the way a password typed at a desk reaches
// NetworkManager, never through a command line, an environment or a file. It answers
// NetworkManager only, and only for the activation the server started, with the password the
// desk gave, in the setting that holds the password for the connection's kind (mobile
// broadband, PPPoE, VPN, 802.1X). It never stores a secret.
class SecretAgent : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.SecretAgent")

public:
    explicit SecretAgent(const QDBusConnection &bus, QObject *parent = nullptr);
    ~SecretAgent() override;

    // Puts the agent on the bus; false, with the reason, when the bus refuses its object.
    bool publish(QString *error);
    // Tells NetworkManager (the unique bus name owner) that the agent is there; done again
    // whenever NetworkManager starts.
    void registerWith(const QString &networkManagerOwner);

    // The password for the next request about connection (a settings object path).
    void expect(const QString &connection, const QString &password);
    void forget();
    // Whether NetworkManager asked again for the activation after the password was given: the
    // far end did not accept it.
    bool passwordRefused() const { return m_refusedAgain; }

    // The setting that holds the password of a connection of type connectionType, or empty
    // when a desk's password cannot serve it.
    static QString passwordSetting(const QString &connectionType);
    // The answer to NetworkManager: setting's password (a VPN's "password" secret).
    static NmSettings answer(const QString &setting, const QString &password);

    // NetworkManager's calls. Their names and signatures are those of its interface.
public Q_SLOTS:
    NmSettings GetSecrets(const NmSettings &connection, const QDBusObjectPath &connectionPath,
                          const QString &settingName, const QStringList &hints, uint flags);
    void CancelGetSecrets(const QDBusObjectPath &connectionPath, const QString &settingName);
    void SaveSecrets(const NmSettings &connection, const QDBusObjectPath &connectionPath);
    void DeleteSecrets(const NmSettings &connection, const QDBusObjectPath &connectionPath);

private:
    NmSettings refuse(const QString &why);

    QDBusConnection m_bus;
    QString m_owner; // NetworkManager's unique name: the only caller answered
    QString m_connection;
    QString m_password;
    bool m_answered = false;
    bool m_refusedAgain = false;
    bool m_published = false;
};

Q_DECLARE_METATYPE(NmSettings)
