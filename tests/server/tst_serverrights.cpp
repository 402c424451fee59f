// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Admission.h"
#include "PasswordThrottle.h"
#include "ServerProcess.h"
#include "ServerTestSupport.h"

#include <csignal>
#include <QTest>

using Mode = RawClient::Mode;

// What a desk may do and from where: rights that fail closed, hosts counted as hosts, a reload
// that re-checks every link, a hang-up vote that its requester is not asked.
class TestServerRights : public LoggedServerTest
{
    Q_OBJECT

private:
    static QString rightsText(const Rights &r)
    {
        QStringList words;
        for (const auto &[held, word] :
             {std::pair{r.dial, "dial"}, std::pair{r.hangUp, "hangup"},
              std::pair{r.refuse, "refuse"}, std::pair{r.message, "message"}}) {
            if (held)
                words.append(str(word));
        }
        return words.isEmpty() ? str("none") : words.join(u' ');
    }

private Q_SLOTS:

    void rightsFailClosed_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("rights");
        const auto row = [](const char *name, const char *rules, const char *address,
                            const char *rights) {
            QTest::newRow(name) << str(rules) << str(address) << str(rights);
        };
        row("no rule: everything", "", "::1", "dial hangup refuse message");
        row("the named address", "127.0.0.1=message", "127.0.0.1", "message");
        // The same machine over IPv6 does not escape the rule.
        row("outside every range", "127.0.0.1=message", "::1", "message");
        row("outside, with *", "127.0.0.1=message\n*=dial hangup", "::1", "dial hangup");
        row("* alone", "*=none", "10.0.0.1", "none");
        row("the most specific range", "192.168.0.0/16=dial refuse message\n192.168.1.200=message",
            "192.168.1.20", "dial refuse message");
        row("the most specific address", "192.168.0.0/16=dial refuse message\n192.168.1.200=none",
            "192.168.1.200", "none");
    }
    void rightsFailClosed()
    {
        QFETCH(QString, rules);
        QFETCH(QString, address);
        QFETCH(QString, rights);
        const ConfigResult result = configFromText(str("[Rights]\n") + rules);
        QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
        QCOMPARE(rightsText(result.config.rightsFor(QHostAddress(address))), rights);
    }

    void hostsAreCountedByTheirSlash64_data()
    {
        // Two links from the first address, then one from the second; a wrong password from
        // the first holds up the second when both are the same host.
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("sameHost");
        QTest::newRow("same /64") << str("2001:db8::1") << str("2001:db8::ffff:1") << true;
        QTest::newRow("next /64") << str("2001:db8::1") << str("2001:db8:0:1::1") << false;
        QTest::newRow("IPv4 addresses") << str("192.0.2.1") << str("192.0.2.2") << false;
        QTest::newRow("IPv4-mapped") << str("::ffff:192.0.2.1") << str("192.0.2.1") << true;
    }
    void hostsAreCountedByTheirSlash64()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, sameHost);
        Admission admission;
        admission.setSettings(
            {{{QHostAddress(QHostAddress::AnyIPv4), 0}, {QHostAddress(QHostAddress::AnyIPv6), 0}},
             100,
             2});
        admission.linked(QHostAddress(first));
        admission.linked(QHostAddress(first));
        QCOMPARE(admission.refusal(QHostAddress(second)).isEmpty(), !sameHost);
        PasswordThrottle throttle;
        throttle.failed(QHostAddress(first), 0);
        QCOMPARE(throttle.remainingMs(QHostAddress(second), 1) > 0, sameHost);
    }

    void aReloadWithoutTheDefaultFileKeepsTheConfiguration()
    {
        if (QFileInfo::exists(QString(DefaultConfigPath)))
            QSKIP("this machine has a default configuration file");
        ServerProcess server;
        QVERIFY(server.start({str("-p0")}));
        ::kill(pid_t(server.pid()), SIGHUP);
        QVERIFY2(server.waitForLog(str("The new configuration is refused, the old one stays in "
                                       "force: %1 does not exist")
                                       .arg(QString(DefaultConfigPath))),
                 qPrintable(server.log()));
        QVERIFY(!server.log().contains(str("Configuration reloaded")));
        QVERIFY(server.stop());
    }

    void scenarios_data()
    {
        QTest::addColumn<Tweak>("tweak");
        QTest::addColumn<QString>("desks");
        QTest::addColumn<QString>("script");
        QTest::newRow("a rule holds over IPv6 too") << Tweak([](ServerConfig &c, bool) {
            c.addresses.append(QHostAddress(QHostAddress::LocalHostIPv6));
            c.rights = {{*AddressRange::parse(str("127.0.0.1")), {false, false, false, true}}};
        }) << str("alpha six@::1")
                                                    << str("1>CMD_CONNECT:Office|1<Dialling is not "
                                                           "allowed from this desk|0.");
        // The link from outside the new allow-list goes; the new rights apply to the others.
        QTest::newRow("a reload re-checks every link")
            << Tweak([](ServerConfig &c, bool reloaded) {
                   QString error;
                   if (reloaded)
                       c.allowFrom = AddressRange::parseList(str("127.0.0.1 127.0.0.3"), &error);
                   if (reloaded)
                       c.rights = {{*AddressRange::parse(str("127.0.0.1")), Rights()}};
               })
            << str("stays goes@127.0.0.2 demoted@127.0.0.3")
            << str("reload|1-|#1:Dropping the link of goes (127.0.0.2:|"
                   "#1:its address is no longer in AllowFrom|2>CMD_CONNECT:Office|"
                   "2<Dialling is not allowed from this desk|0>CMD_CONNECT:Office|0<Connect "
                   "device");
        // c1 holds a message unacknowledged, which keeps its question queued; it asks too,
        // twice, and joins the vote once.
        QTest::newRow("a requester is not asked its own question")
            << Tweak([](ServerConfig &c, bool) {
                   c.ackTimeoutMs = 20000;
                   c.disconnectSeconds = 30;
               })
            << str("c0 c1 c2")
            << str("up|1s|0>CMD_MSG:c1#wait|1<CMD_MSG:c0#wait|0>CMD_DISCONNECT|2<MSG_DISCONNECT+30|"
                   "1>CMD_DISCONNECT|1>CMD_DISCONNECT|2>CMD_CANCEL|0<MSG_CANCELLED|1d|"
                   "1<MSG_CANCELLED|1.|$/hang-up request,\"c0\",127.0.0.1,\"Office\",,,/"
                   "hang-up request,\"c1\",127.0.0.1,\"Office\",,,/refused,");
    }
    void scenarios()
    {
        QFETCH(Tweak, tweak);
        QFETCH(QString, desks);
        QFETCH(QString, script);
        scenario(tweak, desks, script);
    }
};

QTEST_GUILESS_MAIN(TestServerRights)
#include "tst_serverrights.moc"
