// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ServerConfig.h"
#include "WebRules.h"

#include <memory>
#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHash>
#include <vector>

class QTcpServer;
class VelmoraServer;
class WebDesk;

// The web page: the page itself, its live stream and its requests, served beside the desks'
// links. Each page's user is a desk of the server (WebDesk), so that the rights, the vote and
// the accounting are the desks' own; this class only checks what comes over HTTP and passes it
// on. It uses the server through its narrow face for the page: the configuration in force,
// adopt() and upSeconds().
class WebServer : public QAbstractHttpServer
{
public:
    explicit WebServer(VelmoraServer &server, QObject *parent = nullptr);
    ~WebServer() override;

    // Listens as [Web] says; false with the reason when an address, the certificate or the
    // key cannot be had.
    bool start(const WebSettings &settings, QString *error);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    bool admit(QTcpSocket *socket);
    WebDesk *deskFor(const QHttpServerRequest &request, const QHostAddress &address) const;
    void serve(WebRules::Route route, const QHttpServerRequest &request, QTcpSocket *socket,
               const QHostAddress &address, WebDesk *desk);
    void openSession(const QJsonObject &body, QTcpSocket *socket, const QHostAddress &address);
    void dial(const QJsonObject &body, QTcpSocket *socket, WebDesk *desk);
    void message(const QJsonObject &body, QTcpSocket *socket, WebDesk *desk);
    void accounting(QTcpSocket *socket);
    void openStream(QTcpSocket *socket, WebDesk *desk);

    VelmoraServer &m_server;
    bool m_tls = false;
    std::vector<std::unique_ptr<QTcpServer>> m_listeners;
    QHash<QString, WebDesk *> m_desks;      // by session
    QHash<QHostAddress, int> m_connections; // open connections per address
    WebRules::RateLimit m_rate{60, 6};
    QElapsedTimer m_clock;
};
