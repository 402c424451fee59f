// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTcpSocket>

// A bare TCP client for testing the server. Each read is one message, as the real client takes
// it, so two messages that arrive together show up merged. A disciplined client acknowledges
// every message but "MSG_ACK" at once and answers "CMD_SEND_ID" with its identity; a silent one
// sends only what the test tells it to.
class RawClient : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Disciplined, Silent };

    // from: the loopback address to link from (127.0.0.x, or ::1 to link over IPv6), so that
    // tests can vary the source.
    explicit RawClient(quint16 port, const QString &identity = QString(),
                       Mode mode = Mode::Disciplined, const QString &from = QString());

    // Waits for the link and for the first status line after "CMD_SEND_ID".
    bool link();
    void setMode(Mode mode) { m_mode = mode; }
    void sendRaw(const QByteArray &bytes);
    void send(const QString &message);
    // Sends and waits for the server's "MSG_ACK".
    bool request(const QString &message);

    // Every read so far, "MSG_ACK" included.
    const QStringList &reads() const { return m_reads; }
    // Waits for a read equal to message after the cursor and moves the cursor past it.
    bool expect(const QString &message, int timeoutMs = 5000);
    // Waits for the next read other than "MSG_ACK" and moves the cursor past it.
    QString next(int timeoutMs = 5000);
    // Moves the cursor past everything read so far.
    void skipAll() { m_cursor = m_reads.size(); }

    bool waitClosed();
    bool isClosed() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }
    void close() { m_socket.abort(); }

private:
    void onReadyRead();

    QTcpSocket m_socket;
    QString m_identity;
    Mode m_mode;
    QStringList m_reads;
    qsizetype m_cursor = 0;
};
