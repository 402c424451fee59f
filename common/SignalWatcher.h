// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <initializer_list>
#include <QList>
#include <QObject>

class QSocketNotifier;

// Turns process signals (a service manager's SIGTERM, Ctrl+C, the session ending, SIGHUP) into a
// Qt signal. The handler only writes the signal's number to a socket pair; the event loop reads
// it, so nothing unsafe runs inside the handler. One watcher at a time per process.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~SignalWatcher() override;

    // False, with the reason, when the socket pair or the handlers cannot be set up.
    bool install(QString *error);

Q_SIGNALS:
    void signalled(int signalNumber);

private:
    void onReadable();

    QList<int> m_signals;
    QSocketNotifier *m_notifier = nullptr;
};
