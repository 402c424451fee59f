// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// A scripted server on loopback (127.0.0.1, or ::1 when told) for in-process tests of the client.
// It accepts one client at a time, records every message it receives (a read is one message, except
// that leading "MSG_ACK"s are split off, as the client sends its acknowledgement and its reply back
// to back), acknowledges or stays silent as told, sends lines, and closes on command.
class FakeServer : public QObject
{
    Q_OBJECT

public:
    // Listens on the loopback address, on a port the system chooses.
    explicit FakeServer(const QHostAddress &loopback = QHostAddress(QHostAddress::LocalHost));

    quint16 port() const { return m_server.serverPort(); }
    bool hasClient() const
    {
        return m_client && m_client->state() == QAbstractSocket::ConnectedState;
    }
    bool waitForConnections(int count, int timeoutMs = 5000);

    // Answer each received message except "MSG_ACK" with "MSG_ACK" (the default).
    void setAutoAck(bool on) { m_autoAck = on; }

    void send(const QString &message);
    // Sends a message and waits for the client's "MSG_ACK" to it.
    bool sendAndWaitForAck(const QString &message, int timeoutMs = 5000);
    void closeClient();
    // No further links: the port stops listening.
    void stopListening() { m_server.close(); }
    // Told of every message other than "MSG_ACK" as it arrives, after the automatic
    // acknowledgement if that is on.
    void setResponder(std::function<void(const QString &)> responder)
    {
        m_responder = std::move(responder);
    }

    QStringList received() const { return m_received; }
    // Messages received, "MSG_ACK"s left out.
    QStringList requests() const;
    bool waitForRequest(const QString &message, int timeoutMs = 5000);
    // A round trip: asks the client for its identity and waits for the answer, which the client
    // sends after everything it sent before. The marker's own exchange is left out of
    // received(), so that a test can then say that nothing more arrived.
    bool roundTrip(int timeoutMs = 5000);
    void clearReceived() { m_received.clear(); }

private:
    void onReadyRead(QTcpSocket *socket);

    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QStringList m_received;
    int m_accepted = 0;
    bool m_autoAck = true;
    std::function<void(const QString &)> m_responder;
};
