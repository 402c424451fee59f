// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CommandBackend.h"
#include "Log.h"
#include "Protocol.h"
#include "RawClient.h"
#include "VelmoraServer.h"

#include <algorithm>
#include <memory>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

inline QString str(const char *text)
{
    return QString::fromUtf8(text);
}

inline const QString kFs(Protocol::ListTerminator);
inline const QString kQuestion = Protocol::MsgDisconnectPrefix + QStringLiteral("1");

// Loopback, any free port, short waits, a quick simulated line and one entry of each kind.
inline ServerConfig fastConfig()
{
    ServerConfig config;
    config.addresses = {QHostAddress(QHostAddress::LocalHost)};
    config.port = 0;
    config.disconnectSeconds = 1;
    config.sendGapMs = 15;
    config.simulated.dialMs = 30;
    config.simulated.hangUpMs = 30;
    config.simulated.linePassword = str("moon");
    config.phonebook = {{str("Office"), QString(), PasswordCheck::None},
                        {str("Branch"), str("secPWD:ret"), PasswordCheck::Server},
                        {str("Night"), QString(), PasswordCheck::Line}};
    return config;
}

// Commands that work on a flag file standing for the line; the status names what it holds.
inline CommandSettings flagCommands(const QString &flag)
{
    CommandSettings s;
    s.dial = QStringLiteral("touch '%1'").arg(flag);
    s.hangUp = QStringLiteral("rm -f '%1'").arg(flag);
    s.status = QStringLiteral("test -e '%1' && cat '%1'").arg(flag);
    s.statusIntervalMs = 100;
    s.dialTimeoutMs = 300;
    s.commandTimeoutMs = 300;
    return s;
}

// The reply to a request, which must come after its acknowledgement.
inline QString answer(RawClient &client, const QString &request)
{
    return client.request(request) ? client.next() : QString();
}

// Nothing more reaches client: a round trip brings back only its own answer.
inline bool saidNothingMore(RawClient &client)
{
    client.send(Protocol::CmdConfigureConnections);
    return client.next().startsWith(Protocol::ConnectionsPrefix) && client.next(0).isEmpty();
}

// How a row of scenarios changes the fast configuration, at the start or on a reload.
using Tweak = void (*)(ServerConfig &config, bool reloaded);
Q_DECLARE_METATYPE(Tweak)

// The base of the tests of a server in their own process: the server, the clients linked to it,
// the server's log kept line by line from the info level, and any Qt warning (two watches on one
// socket, say) taken as a fault.
class LoggedServerTest : public QObject
{
    Q_OBJECT

protected:
    std::unique_ptr<VelmoraServer> m_server;
    std::vector<std::unique_ptr<RawClient>> m_clients;
    QTemporaryDir m_dir;
    QStringList m_log;

    // Starts a server and links one client per identity from 127.0.0.1: c(0), c(1)...
    bool start(const QStringList &identities, const ServerConfig &config = fastConfig())
    {
        QString error;
        m_server = std::make_unique<VelmoraServer>(config);
        return m_server->start(&error) &&
               std::all_of(identities.begin(), identities.end(),
                           [this](const QString &identity) { return link(identity); });
    }
    // Links one more client, from the given loopback address or 127.0.0.1.
    bool link(const QString &identity, const QString &from = QString())
    {
        m_clients.push_back(std::make_unique<RawClient>(m_server->port(), identity,
                                                        RawClient::Mode::Disciplined, from));
        return m_clients.back()->link();
    }
    // A link from the address that the server closes without a word.
    bool closedUnanswered(const QString &from) const
    {
        RawClient client(m_server->port(), QString(), RawClient::Mode::Silent, from);
        return client.waitClosed() && client.reads().isEmpty();
    }
    RawClient &c(int i) { return *m_clients[std::size_t(i)]; }
    // How many lines of the log contain text.
    qsizetype logged(const QString &text) const
    {
        return std::count_if(m_log.cbegin(), m_log.cend(),
                             [&text](const QString &line) { return line.contains(text); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        Log::setSink([this](const QString &line) { m_log.append(line); });
    }
    void cleanupTestCase() { Log::setSink({}); }
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        Log::setLevel(Log::Level::Info);
    }
    void cleanup()
    {
        m_clients.clear();
        m_server.reset();
        m_log.clear();
    }

protected:
    // The row's scenario: a server configured as fastConfig() and tweak leave it, its accounting
    // log in the test's folder, with desks linked ("name" from 127.0.0.1, "name@address" from
    // there), plays script.
    void scenario()
    {
        QFETCH(Tweak, tweak);
        QFETCH(QString, desks);
        QFETCH(QString, script);
        m_tweak = tweak;
        QFile::remove(m_dir.filePath(QStringLiteral("accounting.csv")));
        QVERIFY(start({}, configured(false)));
        for (const QString &desk : desks.split(u' ', Qt::SkipEmptyParts))
            QVERIFY(link(desk.section(u'@', 0, 0), desk.section(u'@', 1)));
        QCOMPARE(play(script), QString());
    }
    // Plays the desks' script, its steps split by "|": "2>M" has desk 2 send the request M and
    // take its acknowledgement, "2<M" checks that M is the next message it hears, "2~M" that it
    // hears M after whatever else, "2." that it hears nothing more, "2-" that its link closes,
    // "2x" closes its link, "2s" makes it silent, "2d" disciplined again with an acknowledgement
    // of what it holds, "+90" moves the server's clock 90 ms on, "up" has desk 0 dial "Office"
    // and every desk hear the line come up, "reload" reloads the configuration as the scenario's
    // tweak leaves it, "#3:T" checks that three lines of the log hold T, and "$T" that the
    // accounting log, each line but the header without its time and "/" between lines, holds T.
    // Returns the first step that fails, with what it found, or nothing.
    QString play(const QString &script)
    {
        for (const QString &step : script.split(u'|')) {
            const auto desk = [this, &step]() -> RawClient & { return c(step.at(0).digitValue()); };
            const QChar op = step.size() > 1 ? step.at(1) : QChar();
            const QString text = step.mid(2);
            if (step.startsWith(u'+')) {
                m_server->clock().advance(step.mid(1).toLongLong());
            } else if (step == QLatin1String("up")) {
                c(0).request(str("CMD_CONNECT:Office"));
                for (const auto &client : m_clients) {
                    if (!client->expect(str("Connected to Office")))
                        return step;
                }
            } else if (step == QLatin1String("reload")) {
                m_server->reload(configured(true));
            } else if (step.startsWith(u'#')) {
                if (logged(step.section(u':', 1)) != step.mid(1).section(u':', 0, 0).toInt())
                    return step + QStringLiteral(" logged: ") + m_log.join(u'/');
            } else if (step.startsWith(u'$')) {
                if (!accounted().contains(step.mid(1)))
                    return step + QStringLiteral(" accounted: ") + accounted();
            } else if (op == u'x') {
                desk().close();
            } else if (op == u's' || op == u'd') {
                desk().setMode(op == u's' ? RawClient::Mode::Silent : RawClient::Mode::Disciplined);
                if (op == u'd')
                    desk().send(Protocol::MsgAck);
            } else if (!(op == u'>'   ? desk().request(text)
                         : op == u'<' ? desk().next() == text
                         : op == u'~' ? desk().expect(text)
                         : op == u'-' ? desk().waitClosed()
                                      : op == u'.' && saidNothingMore(desk()))) {
                return step + QStringLiteral(" heard: ") + desk().reads().join(u'|');
            }
        }
        return QString();
    }

private:
    Tweak m_tweak = nullptr;

    ServerConfig configured(bool reloaded) const
    {
        ServerConfig config = fastConfig();
        config.accountingFile = m_dir.filePath(QStringLiteral("accounting.csv"));
        if (m_tweak)
            m_tweak(config, reloaded);
        return config;
    }
    QString accounted() const
    {
        QFile file(m_dir.filePath(QStringLiteral("accounting.csv")));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < lines.size(); ++i)
            lines[i] = lines[i].section(u',', 1);
        return lines.join(u'/');
    }
};
