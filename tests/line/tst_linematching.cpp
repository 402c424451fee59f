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
class TestLineMatching : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reasonsInWords_data()
    {
        QTest::addColumn<uint>("active");
        QTest::addColumn<uint>("device");
        QTest::addColumn<QString>("words");
        const auto row = [](const char *name, uint active, uint device, const char *words) {
            QTest::newRow(name) << active << device << QString::fromUtf8(words);
        };
        row("device says more", NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_DISCONNECTED,
            NM_DEVICE_STATE_REASON_MODEM_DIAL_TIMEOUT, "the modem did not answer");
        row("device without words", NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_DISCONNECTED,
            NM_DEVICE_STATE_REASON_NONE, "the device was disconnected");
        row("taken down by a user", NM_ACTIVE_CONNECTION_STATE_REASON_USER_DISCONNECTED,
            NM_DEVICE_STATE_REASON_CARRIER, "it was disconnected outside the server");
        row("login refused", NM_ACTIVE_CONNECTION_STATE_REASON_LOGIN_FAILED, 0,
            "the login was refused (wrong password?)");
        row("user-requested device", NM_ACTIVE_CONNECTION_STATE_REASON_UNKNOWN,
            NM_DEVICE_STATE_REASON_USER_REQUESTED, "it was disconnected outside the server");
        row("nothing known", NM_ACTIVE_CONNECTION_STATE_REASON_UNKNOWN, 0,
            "NetworkManager gave no reason it explains (code 0)");
        row("a future code", 999, 998, "NetworkManager gave no reason it explains (code 999)");
    }

    void reasonsInWords()
    {
        QFETCH(uint, active);
        QFETCH(uint, device);
        QFETCH(QString, words);
        QCOMPARE(NmReasons::describe(active, device), words);
    }

    // Every reason that can end a connection has words; these cannot, or only for kinds of
    // device a line is never on.
    void everyReasonThatCanOccurHasWords()
    {
        const QList<uint> silentDevice = {NM_DEVICE_STATE_REASON_NONE,
                                          NM_DEVICE_STATE_REASON_UNKNOWN,
                                          NM_DEVICE_STATE_REASON_NOW_MANAGED,
                                          NM_DEVICE_STATE_REASON_CONNECTION_ASSUMED,
                                          NM_DEVICE_STATE_REASON_SUPPLICANT_AVAILABLE,
                                          NM_DEVICE_STATE_REASON_INFINIBAND_MODE,
                                          NM_DEVICE_STATE_REASON_DCB_FCOE_FAILED,
                                          NM_DEVICE_STATE_REASON_TEAMD_CONTROL_FAILED,
                                          NM_DEVICE_STATE_REASON_MODEM_AVAILABLE,
                                          NM_DEVICE_STATE_REASON_PARENT_CHANGED,
                                          NM_DEVICE_STATE_REASON_PARENT_MANAGED_CHANGED,
                                          NM_DEVICE_STATE_REASON_OVSDB_FAILED,
                                          NM_DEVICE_STATE_REASON_SRIOV_CONFIGURATION_FAILED};
        for (uint code = 0; code <= NM_DEVICE_STATE_REASON_PEER_NOT_FOUND; ++code)
            QVERIFY2(NmReasons::device(code).isEmpty() == silentDevice.contains(code),
                     qPrintable(QString::number(code)));
        for (uint code = NM_ACTIVE_CONNECTION_STATE_REASON_USER_DISCONNECTED;
             code <= NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_REMOVED; ++code)
            QVERIFY2(!NmReasons::activeConnection(code).isEmpty(),
                     qPrintable(QString::number(code)));
    }

    void entriesFindTheirConnections_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("mapping");
        QTest::addColumn<QString>("path"); // empty: none
        const auto row = [](const char *name, const char *entry, const char *mapping,
                            const char *path) {
            QTest::newRow(name) << QString::fromUtf8(entry) << QString::fromUtf8(mapping)
                                << QString::fromUtf8(path);
        };
        row("by its name", "Mobile", "", "/1");
        row("by a mapped id", "Office ISP", "Backup", "/2");
        row("by a mapped UUID", "Office ISP", "bbbb-2", "/2");
        // A UUID wins over an id that happens to read the same.
        row("UUID before id", "Office ISP", "cccc-3", "/3");
        row("first of equal ids", "Twin", "", "/4");
        row("name is case-sensitive", "mobile", "", "");
        row("none", "Night", "", "");
    }

    void entriesFindTheirConnections()
    {
        QFETCH(QString, entry);
        QFETCH(QString, mapping);
        QFETCH(QString, path);
        // path, id, UUID and type; a UUID may read like another's id, and ids repeat.
        QList<NmConnection> connections;
        for (const char *row :
             {"/1 Mobile aaaa-1 gsm", "/5 cccc-3 eeee-5 vpn", "/2 Backup bbbb-2 pppoe",
              "/3 Third cccc-3 vpn", "/4 Twin dddd-4 gsm", "/6 Twin ffff-6 gsm"}) {
            const QStringList fields = QString::fromLatin1(row).split(u' ');
            connections.append({fields[0], fields[1], fields[2], fields[3]});
        }
        PhonebookEntry phonebookEntry;
        phonebookEntry.name = entry;
        phonebookEntry.connection = mapping;
        const NmConnection *found = NmMatch::connectionFor(phonebookEntry, connections);
        QCOMPARE(found ? found->path : QString(), path);
        QCOMPARE(NmMatch::missing({phonebookEntry}, connections).isEmpty(), !path.isEmpty());
        // And back: the active connection names its entry.
        if (found)
            QCOMPARE(NmMatch::entryFor({phonebookEntry}, found->id, found->uuid), entry);
    }

    // The setting a connection's password goes in (none: the agent has none to give), and the
    // agent's answer holding it there.
    void agentAnswersInThePasswordSetting()
    {
        const QString rows =
            QStringLiteral("gsm=gsm cdma=cdma pppoe=pppoe vpn=vpn 802-3-ethernet=802-1x "
                           "802-11-wireless=802-1x bluetooth= wireguard=");
        for (const QString &row : rows.split(u' ')) {
            const QString setting = row.section(u'=', 1);
            QCOMPARE(SecretAgent::passwordSetting(row.section(u'=', 0, 0)), setting);
            if (setting.isEmpty())
                continue;
            const NmSettings answer = SecretAgent::answer(setting, QStringLiteral("Night-Owl-42"));
            const QVariantMap values = answer.value(setting);
            // A VPN's password is one of its secrets.
            const QVariant secret = values.value(QStringLiteral("secrets"));
            const QString password =
                secret.isValid()
                    ? secret.value<QMap<QString, QString>>().value(QStringLiteral("password"))
                    : values.value(QStringLiteral("password")).toString();
            QCOMPARE(password, QStringLiteral("Night-Owl-42"));
            QCOMPARE(answer.keys(), QStringList{setting});
        }
    }

    // An interface's counters in a sysfs-like folder: there, with both; or none.
    void countersOfAnInterface()
    {
        QTemporaryDir sys;
        const auto write = [&sys](const char *file, const QByteArray &bytes) {
            QVERIFY(
                QDir(sys.path()).mkpath(QFileInfo(sys.filePath(QString::fromLatin1(file))).path()));
            QFile counter(sys.filePath(QString::fromLatin1(file)));
            QVERIFY(counter.open(QIODevice::WriteOnly) && counter.write(bytes) == bytes.size());
        };
        write("ppp0/statistics/rx_bytes", "18446744073709551615\n");
        write("ppp0/statistics/tx_bytes", "4711\n");
        write("wwan0/statistics/rx_bytes", "12\n"); // half written
        write("wwan0/statistics/tx_bytes", "");
        QCOMPARE(readCounters(QStringLiteral("ppp0"), sys.path()),
                 (Traffic{18446744073709551615ULL, 4711}));
        for (const char *none : {"ppp1", "", "../ppp0", "wwan0"})
            QVERIFY2(!readCounters(QString::fromLatin1(none), sys.path()), none);
    }

    void bytesBetweenTwoReadings()
    {
        QCOMPARE(CallTraffic::between({100, 200}, {150, 260}), (Traffic{50, 60}));
        // An interface made anew counts from zero.
        QCOMPARE(CallTraffic::between({100, 200}, {30, 260}), (Traffic{30, 60}));
    }
};

QTEST_GUILESS_MAIN(TestLineMatching)
#include "tst_linematching.moc"
