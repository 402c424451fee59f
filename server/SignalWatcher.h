#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal. The handler only writes the signal's number to
// a socket pair; the event loop reads it, so nothing unsafe runs inside the handler.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

    // False, with the reason, when the socket pair or the handlers cannot be set up.
    bool install(QString *error);

Q_SIGNALS:
    void signalled(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};
