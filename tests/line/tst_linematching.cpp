// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CallTraffic.h"
#include "NmCatalogue.h"
#include "NmReasons.h"
#include "SecretAgent.h"

#include <nm-dbus-interface.h>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// What the NetworkManager line decides without the bus: which words a desk reads for a reason,
// which connection an entry dials, and what the secret agent hands over.
using namespace Qt::StringLiterals;

class TestLineMatching : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The device's words where they say more, the connection's where the device's are none or
    // only restate that somebody asked for the end, and a code where neither has words.
    void reasonsInWords()
    {
        const struct
        {
            uint active;
            uint device;
            const char *words;
        } rows[] = {{NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_DISCONNECTED,
                     NM_DEVICE_STATE_REASON_MODEM_DIAL_TIMEOUT, "the modem did not answer"},
                    {NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_DISCONNECTED,
                     NM_DEVICE_STATE_REASON_NONE, "the device was disconnected"},
                    {NM_ACTIVE_CONNECTION_STATE_REASON_USER_DISCONNECTED,
                     NM_DEVICE_STATE_REASON_CARRIER, "it was disconnected outside the server"},
                    {999, 998, "NetworkManager gave no reason it explains (code 999)"}};
        for (const auto &row : rows)
            QCOMPARE(NmReasons::describe(row.active, row.device), QString::fromUtf8(row.words));
    }

    // Every reason that can end a connection has words; a device's have none only where they
    // cannot (none, unknown, now managed, assumed, supplicant available), or for kinds of device
    // a line is never on (InfiniBand, DCB/FCoE, teamd, modem available, parent changed, parent
    // managed changed, OVSDB, SR-IOV).
    void everyReasonThatCanOccurHasWords()
    {
        QList<uint> silent;
        for (uint code = 0; code <= NM_DEVICE_STATE_REASON_PEER_NOT_FOUND; ++code) {
            if (NmReasons::device(code).isEmpty())
                silent.append(code);
        }
        QCOMPARE(silent, (QList<uint>{0, 1, 2, 41, 42, 49, 55, 56, 58, 61, 62, 63, 66}));
        for (uint code = NM_ACTIVE_CONNECTION_STATE_REASON_USER_DISCONNECTED;
             code <= NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_REMOVED; ++code)
            QVERIFY2(!NmReasons::activeConnection(code).isEmpty(),
                     qPrintable(QString::number(code)));
    }

    // Entries ("name|mapping|path of the connection found"): by its name, by a mapped id, by a
    // UUID that another's id reads like, the first of equal ids, none for a name in another case.
    void entriesFindTheirConnections()
    {
        // path, id, UUID and type; a UUID may read like another's id, and ids repeat.
        QList<NmConnection> connections;
        for (const char *row :
             {"/1 Mobile aaaa-1 gsm", "/5 cccc-3 eeee-5 vpn", "/2 Backup bbbb-2 pppoe",
              "/3 Third cccc-3 vpn", "/4 Twin dddd-4 gsm", "/6 Twin ffff-6 gsm"}) {
            const QStringList fields = QString::fromLatin1(row).split(u' ');
            connections.append({fields[0], fields[1], fields[2], fields[3]});
        }
        for (const char *row : {"Mobile||/1", "Office ISP|Backup|/2", "Office ISP|cccc-3|/3",
                                "Twin||/4", "mobile||"}) {
            const QStringList fields = QString::fromLatin1(row).split(u'|');
            PhonebookEntry phonebookEntry;
            phonebookEntry.name = fields[0];
            phonebookEntry.connection = fields[1];
            const NmConnection *found = NmMatch::connectionFor(phonebookEntry, connections);
            QCOMPARE(found ? found->path : QString(), fields[2]);
            QCOMPARE(NmMatch::missing({phonebookEntry}, connections).isEmpty(), found != nullptr);
            // And back: the active connection names its entry.
            if (found)
                QCOMPARE(NmMatch::entryFor({phonebookEntry}, found->id, found->uuid), fields[0]);
        }
    }

    // The setting a connection's password goes in (none: the agent has none to give), and the
    // agent's answer holding it there: a VPN's among its secrets.
    void agentAnswersInThePasswordSetting()
    {
        const QString rows =
            QStringLiteral("gsm=gsm cdma=cdma pppoe=pppoe vpn=vpn 802-3-ethernet=802-1x "
                           "802-11-wireless=802-1x bluetooth= wireguard=");
        for (const QString &row : rows.split(u' '))
            QCOMPARE(SecretAgent::passwordSetting(row.section(u'=', 0, 0)), row.section(u'=', 1));
        const QString password = u"Night-Owl-42"_s;
        const QVariantMap plain{{u"password"_s, password}};
        QCOMPARE(SecretAgent::answer(u"802-1x"_s, password), (NmSettings{{u"802-1x"_s, plain}}));
        const QMap<QString, QString> secrets{{u"password"_s, password}};
        const QVariantMap vpn{{u"secrets"_s, QVariant::fromValue(secrets)}};
        QCOMPARE(SecretAgent::answer(u"vpn"_s, password), (NmSettings{{u"vpn"_s, vpn}}));
    }

    // An interface's counters in a sysfs-like folder: there, with both, or none; and the bytes
    // between two readings.
    void countersOfAnInterface()
    {
        QTemporaryDir sys;
        const auto write = [&sys](const char *file, const QByteArray &bytes) {
            QFile counter(sys.filePath(QString::fromLatin1(file)));
            QVERIFY(QDir().mkpath(QFileInfo(counter).path()) &&
                    counter.open(QIODevice::WriteOnly) && counter.write(bytes) == bytes.size());
        };
        write("ppp0/statistics/rx_bytes", "18446744073709551615\n");
        write("ppp0/statistics/tx_bytes", "4711\n");
        write("wwan0/statistics/rx_bytes", "12\n"); // half written
        write("wwan0/statistics/tx_bytes", "");
        QCOMPARE(readCounters(u"ppp0"_s, sys.path()), (Traffic{18446744073709551615ULL, 4711}));
        for (const char *none : {"ppp1", "", "../ppp0", "wwan0"})
            QVERIFY2(!readCounters(QString::fromLatin1(none), sys.path()), none);

        QCOMPARE(CallTraffic::between({100, 200}, {150, 260}), (Traffic{50, 60}));
        // An interface made anew counts from zero.
        QCOMPARE(CallTraffic::between({100, 200}, {30, 260}), (Traffic{30, 60}));
    }
};

QTEST_GUILESS_MAIN(TestLineMatching)
#include "tst_linematching.moc"
