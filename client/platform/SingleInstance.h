// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <QLockFile>
#include <QObject>

class QLocalServer;

// One running client per user and settings store. The first instance holds a lock file and
// listens on a local socket; a later one finds the lock taken, asks the first to bring its
// main window forward, and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The key names this user's instance; see defaultKey().
    explicit SingleInstance(QString key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the running instance. False when another one runs; that
    // one has then been asked to activate its window.
    bool claim();

    // velmora-client-<user>-<hash of the settings folder>: two users, or one user with two
    // separate settings stores, each get their own instance.
    static QString defaultKey();

Q_SIGNALS:
    // Another instance started and asked this one to come forward.
    void activationRequested();

private:
    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
