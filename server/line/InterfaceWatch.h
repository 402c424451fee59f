// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QObject>
#include <QSet>

class QSocketNotifier;

// Follows one network interface (ppp0, wwan0...) through the kernel's own link and address
// events (rtnetlink), under the event loop, never polling. The interface counts as up while it
// exists, is up and running, and holds an address wider than its link (link-local addresses,
// which every interface gives itself, do not count). An interface that goes and comes back
// (pppd makes a new ppp0 for each call) is followed by its name.
class InterfaceWatch : public QObject
{
    Q_OBJECT

public:
    explicit InterfaceWatch(const QString &name, QObject *parent = nullptr);
    ~InterfaceWatch() override;

    // Opens the kernel's socket and reads the interface's state; changed follows when it is up.
    // False, with the reason, when the socket cannot be had.
    bool start(QString *error);
    bool isUp() const { return m_up; }
    QString name() const { return QString::fromUtf8(m_name); }

Q_SIGNALS:
    void changed(bool up);

private:
    enum class Dump { None, Links, Addresses };

    void request(int type);
    void onReadable();
    void handle(const void *message, int type, int length);
    void update();

    QByteArray m_name;
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    Dump m_dump = Dump::None;
    int m_index = 0; // the interface's index while it exists
    bool m_running = false;
    QSet<QByteArray> m_addresses;
    bool m_up = false;
    quint32 m_sequence = 0;
};
