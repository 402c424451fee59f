// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ConfigureRules.h"

#include <QDir>

namespace {

constexpr int LastControlCode = 13;

bool isDigit(int keyAscii)
{
    return keyAscii >= '0' && keyAscii <= '9';
}

// The value of the digits of a text, as far as they go; 0 without any.
int digitsValue(QStringView text)
{
    int value = 0;
    for (const QChar c : text) {
        if (!c.isDigit())
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

bool isUnder(const QString &path, const QString &root)
{
    if (root == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

} // namespace

namespace ConfigureRules {

bool keepDigitKey(int keyAscii)
{
    return keyAscii <= LastControlCode || isDigit(keyAscii);
}

bool keepAddressKey(const QString &text, int keyAscii)
{
    if (keyAscii <= LastControlCode)
        return true;
    if (keyAscii == '.')
        return text.count(QLatin1Char('.')) < 3 && !text.isEmpty() &&
               !text.endsWith(QLatin1Char('.'));
    if (!isDigit(keyAscii))
        return false;
    // The group being typed: the characters after the last dot.
    const qsizetype groupLength = text.size() - text.lastIndexOf(QLatin1Char('.')) - 1;
    if (groupLength >= 3)
        return false;
    if (groupLength == 2)
        return 10 * digitsValue(QStringView(text).right(2)) + (keyAscii - '0') <= 255;
    return true;
}

bool isNumber(const QString &text)
{
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

bool restartNeeded(const Server &stored, const Link &link)
{
    bool portIsNumber = false;
    const int port = stored.port.trimmed().toInt(&portIsNumber);
    if (!portIsNumber || port != link.port)
        return true;
    if (stored.name.isEmpty())
        return link.hostIP != stored.address;
    return link.host.toLower() != stored.name.toLower();
}

QString wavePath(const QString &folder, const QString &fileName)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + fileName
                                             : folder + QLatin1Char('/') + fileName;
}

WaveLocation locateWave(const QString &text, const QString &currentFolder)
{
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return {currentFolder, text};
    const QString folder = QDir::cleanPath(QDir(currentFolder).filePath(text.left(slash + 1)));
    return {folder, text.mid(slash + 1)};
}

int driveOf(const QString &path, const QStringList &driveRoots)
{
    int best = 0;
    qsizetype bestLength = -1;
    for (int i = 0; i < driveRoots.size(); ++i) {
        if (isUnder(path, driveRoots[i]) && driveRoots[i].size() > bestLength) {
            best = i;
            bestLength = driveRoots[i].size();
        }
    }
    return best;
}

QStringList folderChain(const QString &root, const QString &folder)
{
    const QString top = isUnder(folder, root) ? root : QStringLiteral("/");
    QStringList chain{top};
    const QString rest = folder.mid(top.size());
    QString path = top;
    for (const QString &name : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path = wavePath(path, name);
        chain.append(path);
    }
    return chain;
}

QStringList driveRoots(const QList<Mount> &mounts, const QString &homeFolder)
{
    static const QStringList systemFolders{QStringLiteral("/boot"), QStringLiteral("/dev"),
                                           QStringLiteral("/proc"), QStringLiteral("/run"),
                                           QStringLiteral("/snap"), QStringLiteral("/sys"),
                                           QStringLiteral("/tmp"),  QStringLiteral("/var")};
    static const QStringList networkTypes{QStringLiteral("nfs"),   QStringLiteral("nfs4"),
                                          QStringLiteral("cifs"),  QStringLiteral("smb3"),
                                          QStringLiteral("smbfs"), QStringLiteral("fuse.sshfs")};

    QStringList drives{QStringLiteral("/")};
    if (!homeFolder.isEmpty() && !drives.contains(homeFolder))
        drives.append(homeFolder);
    QStringList others;
    for (const Mount &mount : mounts) {
        const bool system =
            std::any_of(systemFolders.begin(), systemFolders.end(), [&](const QString &folder) {
                return isUnder(mount.rootPath, folder) &&
                       !isUnder(mount.rootPath, QStringLiteral("/run/media"));
            });
        const bool userFacing = mount.device.startsWith(QLatin1String("/dev/")) ||
                                networkTypes.contains(mount.fileSystemType);
        if (!system && userFacing && !drives.contains(mount.rootPath) &&
            !others.contains(mount.rootPath))
            others.append(mount.rootPath);
    }
    others.sort();
    return drives + others;
}

} // namespace ConfigureRules
