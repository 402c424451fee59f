// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WebResponse.h"

#include <QJsonDocument>
#include <QTcpSocket>

namespace WebResponse {

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 202:
        return "Accepted";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Payload Too Large";
    case 421:
        return "Misdirected Request";
    case 415:
        return "Unsupported Media Type";
    case 429:
        return "Too Many Requests";
    default:
        return "Service Unavailable";
    }
}

} // namespace

QByteArray securityHeaders(bool tls)
{
    QByteArray headers = "Content-Security-Policy: default-src 'none'; script-src 'self'; "
                         "style-src 'self'; connect-src 'self'; img-src 'self'; "
                         "form-action 'none'; frame-ancestors 'none'; base-uri 'none'\r\n"
                         "X-Content-Type-Options: nosniff\r\n"
                         "X-Frame-Options: DENY\r\n"
                         "Referrer-Policy: no-referrer\r\n"
                         "Cross-Origin-Opener-Policy: same-origin\r\n"
                         "Cross-Origin-Resource-Policy: same-origin\r\n"
                         "Cache-Control: no-store\r\n";
    if (tls)
        headers += "Strict-Transport-Security: max-age=31536000\r\n";
    return headers;
}

void send(QTcpSocket *socket, int status, const QByteArray &contentType, const QByteArray &body,
          bool tls)
{
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n" +
                  "Content-Type: " + contentType + "\r\n" + "Content-Length: " +
                  QByteArray::number(body.size()) + "\r\n" + securityHeaders(tls) + "\r\n" + body);
}

void json(QTcpSocket *socket, int status, const QJsonObject &body, bool tls)
{
    send(socket, status, "application/json", QJsonDocument(body).toJson(QJsonDocument::Compact),
         tls);
}

void error(QTcpSocket *socket, int status, const QString &why, bool tls)
{
    json(socket, status, {{QStringLiteral("error"), why}}, tls);
}

void startStream(QTcpSocket *socket, bool tls)
{
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream; charset=utf-8\r\n" +
                  securityHeaders(tls) + "X-Accel-Buffering: no\r\n\r\n");
}

} // namespace WebResponse
