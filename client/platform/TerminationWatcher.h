#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT (the session ending, a service manager, Ctrl+C) into a Qt signal, so
// that the client leaves through its orderly shut-down. The handler only writes the signal's
// number to a socket pair; the event loop reads it, so nothing unsafe runs inside the handler.
class TerminationWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

    // False, with the reason, when the socket pair or the handlers cannot be set up.
    bool install(QString *error);

Q_SIGNALS:
    void signalled(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};
