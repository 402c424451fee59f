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
        const QList<uint> silentDevice = {
            NM_DEVICE_STATE_REASON_NONE,
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
            NM_DEVICE_STATE_REASON_SRIOV_CONFIGURATION_FAILED,
        };
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
        const QList<NmConnection> connections = {
            {QStringLiteral("/1"), QStringLiteral("Mobile"), QStringLiteral("aaaa-1"),
             QStringLiteral("gsm")},
            {QStringLiteral("/5"), QStringLiteral("cccc-3"), QStringLiteral("eeee-5"),
             QStringLiteral("vpn")},
            {QStringLiteral("/2"), QStringLiteral("Backup"), QStringLiteral("bbbb-2"),
             QStringLiteral("pppoe")},
            {QStringLiteral("/3"), QStringLiteral("Third"), QStringLiteral("cccc-3"),
             QStringLiteral("vpn")},
            {QStringLiteral("/4"), QStringLiteral("Twin"), QStringLiteral("dddd-4"),
             QStringLiteral("gsm")},
            {QStringLiteral("/6"), QStringLiteral("Twin"), QStringLiteral("ffff-6"),
             QStringLiteral("gsm")},
        };
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

    void agentAnswersInThePasswordSetting_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("setting");
        const auto row = [](const char *type, const char *setting) {
            QTest::newRow(type) << QString::fromUtf8(type) << QString::fromUtf8(setting);
        };
        row("gsm", "gsm");
        row("cdma", "cdma");
        row("pppoe", "pppoe");
        row("vpn", "vpn");
        row("802-3-ethernet", "802-1x");
        row("802-11-wireless", "802-1x");
        row("bluetooth", "");
        row("wireguard", "");
    }

    void agentAnswersInThePasswordSetting()
    {
        QFETCH(QString, type);
        QFETCH(QString, setting);
        QCOMPARE(SecretAgent::passwordSetting(type), setting);
        if (setting.isEmpty())
            return;
        const NmSettings answer = SecretAgent::answer(setting, QStringLiteral("Night-Owl-42"));
        QCOMPARE(answer.keys(), QStringList{setting});
        const QVariantMap values = answer.value(setting);
        const QVariant password = setting == QLatin1String("vpn")
                                      ? QVariant(values.value(QStringLiteral("secrets"))
                                                     .value<QMap<QString, QString>>()
                                                     .value(QStringLiteral("password")))
                                      : values.value(QStringLiteral("password"));
        QCOMPARE(password.toString(), QStringLiteral("Night-Owl-42"));
    }

    void countersOfAnInterface_data()
    {
        QTest::addColumn<QString>("interface");
        QTest::addColumn<bool>("found");
        QTest::newRow("present") << QStringLiteral("ppp0") << true;
        QTest::newRow("absent") << QStringLiteral("ppp1") << false;
        QTest::newRow("no name") << QString() << false;
        QTest::newRow("a path") << QStringLiteral("../ppp0") << false;
        QTest::newRow("half written") << QStringLiteral("wwan0") << false;
    }

    void countersOfAnInterface()
    {
        QFETCH(QString, interface);
        QFETCH(bool, found);
        QTemporaryDir sys;
        const auto write = [&sys](const QString &name, const QByteArray &rx, const QByteArray &tx) {
            QDir(sys.path()).mkpath(name + QStringLiteral("/statistics"));
            QFile r(sys.filePath(name + QStringLiteral("/statistics/rx_bytes")));
            QFile t(sys.filePath(name + QStringLiteral("/statistics/tx_bytes")));
            QVERIFY(r.open(QIODevice::WriteOnly) && t.open(QIODevice::WriteOnly));
            r.write(rx);
            t.write(tx);
        };
        write(QStringLiteral("ppp0"), "18446744073709551615\n", "4711\n");
        write(QStringLiteral("wwan0"), "12\n", "");
        const std::optional<Traffic> counters = readCounters(interface, sys.path());
        QCOMPARE(counters.has_value(), found);
        if (found)
            QCOMPARE(*counters, (Traffic{18446744073709551615ULL, 4711}));
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
