// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QTimer>

class QTcpSocket;
class VelmoraServer;

// One web page user's desk: a link to the server like any desk's, over a socket pair inside the
// process, so that the server admits, judges, asks and accounts the page's user as it does a
// desk. It keeps the desk's discipline (acknowledges every message, sends the next request
// after the server's acknowledgement) and turns what the server says into events for the
// page's live streams.
class WebDesk : public QObject
{
    Q_OBJECT

public:
    // identity: "name (web, address)", the name the vote and the accounting log give it.
    WebDesk(const QString &identity, const QHostAddress &address, QObject *parent = nullptr);
    ~WebDesk() override;

    // Links to server; false with the reason when the address may not link now.
    bool link(VelmoraServer &server, QString *refusal);
    QString identity() const { return m_identity; }
    QHostAddress address() const { return m_address; }

    // Queues a request to the server; it leaves once the one before it is acknowledged.
    void request(const QString &message);
    // A live stream of the page: gets the current state at once, then every change.
    void attach(QTcpSocket *stream);
    qsizetype streams() const { return m_streams.size(); }

Q_SIGNALS:
    // The desk has no stream left for a while, or its link is gone: it may be forgotten.
    void finished(WebDesk *desk);

private:
    void onRead();
    void onMessage(const QString &message);
    void sendNext();
    void push(const QJsonObject &event);
    void pushTo(QTcpSocket *stream, const QJsonObject &event);
    QJsonObject statusEvent() const;
    void onStreamGone(QTcpSocket *stream);

    QString m_identity;
    QHostAddress m_address;
    VelmoraServer *m_server = nullptr;
    QTcpSocket *m_socket = nullptr;
    QQueue<QString> m_requests;
    bool m_awaitingAck = false;
    QList<QPointer<QTcpSocket>> m_streams;
    QString m_status;      // the line's last status line
    QString m_reason;      // a line that says why, after the last state it named
    qint64 m_voteDue = -1; // when this desk's countdown ends (ms since epoch); -1: none
    QTimer m_idle;         // ends a desk that no page follows
    QTimer m_keepAlive;    // writes to the streams now and then, so that a dead one shows
};
