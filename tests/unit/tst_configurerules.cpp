// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ConfigureRules.h"

#include <QTest>

using namespace ConfigureRules;

namespace {

QStringList names(std::initializer_list<const char *> texts)
{
    QStringList result;
    for (const char *text : texts)
        result.append(QString::fromLatin1(text));
    return result;
}

Mount mount(const char *rootPath, const char *device, const char *type)
{
    return {QString::fromLatin1(rootPath), QString::fromLatin1(device), QString::fromLatin1(type)};
}

} // namespace

class TestConfigureRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addressFilter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("kept");
        const auto row = [](const char *name, const char *text, int key, bool kept) {
            QTest::newRow(name) << QString::fromLatin1(text) << key << kept;
        };
        row("first character a dot", "", '.', false);
        row("second dot in a row", "10.", '.', false);
        row("fourth dot", "10.0.0.1", '.', false);
        row("third dot", "10.0.0", '.', true);
        row("25 then 6", "192.168.1.25", '6', false);
        row("25 then 5", "192.168.1.25", '5', true);
        row("26 then 0", "26", '0', false);
        row("fourth digit", "100", '1', false);
        row("third digit of a small group", "10.10", '0', true);
        row("digit after a dot", "10.", '9', true);
        row("first digit", "", '9', true);
        row("digit at the start of a group of one", "1.2", '5', true);
        row("letter", "10", 'a', false);
        row("blank", "10", ' ', false);
        row("backspace after a full group", "255", 8, true);
        row("backspace in an empty box", "", 8, true);
        row("enter", "1.2.3.4", 13, true);
        row("code 14", "1", 14, false);
        row("a group pasted with letters counts their digits only", "1.a5", '9', true);
    }
    void addressFilter()
    {
        QFETCH(QString, text);
        QFETCH(int, key);
        QFETCH(bool, kept);
        QCOMPARE(keepAddressKey(text, key), kept);
    }

    void digitFilter()
    {
        for (int code = 0; code < 256; ++code) {
            const bool expected = code <= 13 || (code >= '0' && code <= '9');
            QVERIFY2(keepDigitKey(code) == expected, qPrintable(QString::number(code)));
        }
        QVERIFY(!keepDigitKey(0x0663)); // an Arabic-Indic digit is no port digit
    }

    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("digits") << QStringLiteral("30") << true;
        QTest::newRow("blanks around") << QStringLiteral(" 5 ") << true;
        QTest::newRow("pasted word") << QStringLiteral("ten") << false;
    }
    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, number);
        QCOMPARE(isNumber(text), number);
    }

    void restartCheck_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("needed");
        // The open link: opened to "Modem.Office", which is 10.0.0.5, on port 1000.
        const auto row = [](const char *what, const char *name, const char *address,
                            const char *port, bool needed) {
            QTest::newRow(what) << QString::fromLatin1(name) << QString::fromLatin1(address)
                                << QString::fromLatin1(port) << needed;
        };
        row("same name in other case, same port", "modem.OFFICE", "", "1000", false);
        row("same name, other port", "Modem.Office", "", "1001", true);
        row("other name", "backup", "", "1000", true);
        row("same address, same port", "", "10.0.0.5", "1000", false);
        row("same address written with leading zeros", "", "10.0.0.05", "1000", true);
        row("other address", "", "10.0.0.6", "1000", true);
        row("same port with leading zero", "", "10.0.0.5", "01000", false);
        row("empty port", "", "10.0.0.5", "", true);
        row("name wins over a stale address", "Modem.Office", "10.9.9.9", "1000", false);
    }
    void restartCheck()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(bool, needed);
        const Link link{QStringLiteral("Modem.Office"), QStringLiteral("10.0.0.5"), 1000};
        QCOMPARE(restartNeeded({name, address, port}, link), needed);
    }

    // A box's text splits into the folder the chooser opens and the file it selects, relative to
    // the current folder "/work"; the chooser's answer joins them again.
    void locatingAndForming_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("path");
        const auto row = [](const char *name, const char *text, const char *folder,
                            const char *file, const char *path) {
            QTest::newRow(name) << QString::fromLatin1(text) << QString::fromLatin1(folder)
                                << QString::fromLatin1(file) << QString::fromLatin1(path);
        };
        row("full path", "/home/ann/Ring.WAV", "/home/ann", "Ring.WAV", "/home/ann/Ring.WAV");
        row("a folder alone", "/home/ann/", "/home/ann", "", "/home/ann/");
        row("file in the root", "/ring.wav", "/", "ring.wav", "/ring.wav");
        row("the root alone", "/", "/", "", "/");
        row("empty", "", "/work", "", "/work/");
        row("name alone", "ring.wav", "/work", "ring.wav", "/work/ring.wav");
        row("relative folder", "sounds/ring.wav", "/work/sounds", "ring.wav",
            "/work/sounds/ring.wav");
        row("dotted folder", "/home/ann/../bob/x.wav", "/home/bob", "x.wav", "/home/bob/x.wav");
    }
    void locatingAndForming()
    {
        QFETCH(QString, text);
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(QString, path);
        const WaveLocation location = locateWave(text, QStringLiteral("/work"));
        QCOMPARE(location.folder, folder);
        QCOMPARE(location.fileName, file);
        QCOMPARE(wavePath(folder, file), path);
    }

    void drivesAndFolders()
    {
        const QStringList drives = names({"/", "/home/ann", "/media/ann/STICK"});
        QCOMPARE(driveOf(QStringLiteral("/home/ann/sounds"), drives), 1);
        QCOMPARE(driveOf(QStringLiteral("/home/anna"), drives), 0);
        QCOMPARE(driveOf(QStringLiteral("/media/ann/STICK"), drives), 2);
        QCOMPARE(driveOf(QStringLiteral("/etc"), drives), 0);

        QCOMPARE(folderChain(QStringLiteral("/"), QStringLiteral("/home/ann")),
                 names({"/", "/home", "/home/ann"}));
        QCOMPARE(folderChain(QStringLiteral("/home/ann"), QStringLiteral("/home/ann/a/b")),
                 names({"/home/ann", "/home/ann/a", "/home/ann/a/b"}));
        QCOMPARE(folderChain(QStringLiteral("/home/ann"), QStringLiteral("/home/ann")),
                 names({"/home/ann"}));
        QCOMPARE(folderChain(QStringLiteral("/home/ann"), QStringLiteral("/etc/sounds")),
                 names({"/", "/etc", "/etc/sounds"}));
    }

    void driveList()
    {
        const QList<Mount> mounts{
            mount("/", "/dev/sda2", "ext4"),
            mount("/proc", "proc", "proc"),
            mount("/sys", "sysfs", "sysfs"),
            mount("/run", "tmpfs", "tmpfs"),
            mount("/dev/shm", "tmpfs", "tmpfs"),
            mount("/boot/efi", "/dev/sda1", "vfat"),
            mount("/run/media/ann/STICK", "/dev/sdb1", "vfat"),
            mount("/mnt/backup", "/dev/sdc1", "ext4"),
            mount("/srv/share", "fileserver:/share", "nfs4"),
            mount("/snap/core/1", "/dev/loop0", "squashfs"),
            mount("/home", "/dev/sda3", "ext4"),
        };
        QCOMPARE(driveRoots(mounts, QStringLiteral("/home/ann")),
                 names({"/", "/home/ann", "/home", "/mnt/backup", "/run/media/ann/STICK",
                        "/srv/share"}));
        QCOMPARE(driveRoots({}, QStringLiteral("/")), names({"/"}));
    }
};

QTEST_APPLESS_MAIN(TestConfigureRules)
#include "tst_configurerules.moc"
