// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QQueue>
#include <QStringList>
#include <QTcpSocket>

// One simulated client of the load generator. It keeps the client's discipline: every message
// of the server but "MSG_ACK" is acknowledged at once, and a request leaves only once the one
// before it has been acknowledged. It answers "CMD_SEND_ID", agrees to every hang-up, and ends
// its link when the server stops.
class LoadClient : public QObject
{
    Q_OBJECT

public:
    // acked counts, for every message, the acknowledgements written by all clients together.
    LoadClient(int index, const QElapsedTimer &clock, QHash<QString, int> &acked,
               QObject *parent = nullptr);

    void connectTo(quint16 port);
    void request(const QString &message);
    bool isLinked() const { return m_linked; }
    bool isClosed() const { return m_closed; }
    // No request in flight nor waiting.
    bool isIdle() const { return !m_awaitingAck && m_requests.isEmpty(); }
    // The identity it reports: its index in base 36, short enough for a message to name
    // thousands of recipients.
    QString identity() const { return QString::number(m_index, 36); }
    // When the message last arrived and when its acknowledgement was written (ms on the shared
    // clock), or -1.
    qint64 receivedAt(const QString &message) const { return m_received.value(message, -1); }
    qint64 ackedAt(const QString &message) const { return m_acked.value(message, -1); }
    // When a message starting with prefix last arrived, or -1.
    qint64 receivedWith(const QString &prefix) const;
    // Reads that held an acknowledgement and a message together.
    int mergedReads() const { return m_merged; }
    // The last reads, for a report when something goes wrong.
    QString history() const;

private:
    void onReadyRead();
    void onAck();
    void onMessage(const QString &message);
    void write(const QString &message);

    int m_index;
    const QElapsedTimer &m_clock;
    QHash<QString, int> &m_ackCounts;
    QTcpSocket m_socket;
    QQueue<QString> m_requests;
    bool m_awaitingAck = false;
    bool m_linked = false;
    bool m_closed = false;
    int m_merged = 0;
    QHash<QString, qint64> m_received;
    QHash<QString, qint64> m_acked;
    QStringList m_history;
};
