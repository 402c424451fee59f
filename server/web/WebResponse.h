// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QJsonObject>

class QTcpSocket;

// The page's responses, each with the headers every one carries: a policy that lets the page
// run only its own script and style and reach only its own server, no sniffing of types, no
// framing, no caching, no referrer.
namespace WebResponse {

QByteArray securityHeaders(bool tls);
void send(QTcpSocket *socket, int status, const QByteArray &contentType, const QByteArray &body,
          bool tls);
void json(QTcpSocket *socket, int status, const QJsonObject &body, bool tls);
void error(QTcpSocket *socket, int status, const QString &why, bool tls);
// Starts a live stream (Server-Sent Events) on socket: headers only, the events follow.
void startStream(QTcpSocket *socket, bool tls);

} // namespace WebResponse
