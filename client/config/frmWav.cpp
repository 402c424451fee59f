// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmWav.h"

#include "ConfigureRules.h"
#include "FolderList.h"
#include "Sound.h"
#include "Twips.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>

namespace {

QStringList machineDrives()
{
    QList<ConfigureRules::Mount> mounts;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &volume : volumes) {
        if (volume.isValid() && volume.isReady())
            mounts.append({volume.rootPath(), QString::fromLocal8Bit(volume.device()),
                           QString::fromLatin1(volume.fileSystemType())});
    }
    return ConfigureRules::driveRoots(mounts, QDir::homePath());
}

// The folder itself when it can be listed, else the nearest folder above it that can.
QString nearestFolder(QString folder)
{
    while (!QDir(folder).isReadable() && folder != QLatin1String("/"))
        folder = QDir::cleanPath(folder + QLatin1String("/.."));
    return folder;
}

} // namespace

frmWav::frmWav()
{
    setWindowTitle(QStringLiteral("Select Wave File"));
    Twips::setFixedClientSize(this, 7350, 3390);

    drvWav = new QComboBox(this);
    Twips::place(drvWav, 120, 120, 3495, 315);
    dirWav = new FolderList(this);
    Twips::place(dirWav, 120, 600, 3495, 2115);
    filWav = new QListWidget(this);
    Twips::place(filWav, 3720, 120, 3495, 2625);
    filWav->setSelectionMode(QAbstractItemView::SingleSelection);
    static constexpr const char *captions[] = {"&Test", "OK", "Cancel"};
    for (int i = 0; i < ActionCount; ++i) {
        cmdAction[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
        Twips::place(cmdAction[i], 3720 + 1200 * i, 2880, 1095, 375);
        connect(cmdAction[i], &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });
    }
    cmdAction[ActionOk]->setDefault(true);
    setTabOrder(drvWav, dirWav);
    setTabOrder(dirWav, filWav);
    setTabOrder(filWav, cmdAction[ActionTest]);
    setTabOrder(cmdAction[ActionTest], cmdAction[ActionOk]);
    setTabOrder(cmdAction[ActionOk], cmdAction[ActionCancel]);

    m_driveRoots = machineDrives();
    drvWav->addItems(m_driveRoots);
    connect(drvWav, &QComboBox::activated, this, &frmWav::drvWav_Change);
    connect(dirWav, &FolderList::Change, this, &frmWav::dirWav_Change);
    connect(filWav, &QListWidget::itemDoubleClicked, this, &frmWav::filWav_DblClick);

    // At design the lists stand on the program's current folder.
    moveTo(QString());
    drvWav->setFocus();
    Twips::centre(this);
}

void frmWav::moveTo(const QString &path)
{
    const ConfigureRules::WaveLocation location =
        ConfigureRules::locateWave(path, QDir::currentPath());
    const QString folder = nearestFolder(location.folder);
    drvWav->setCurrentIndex(ConfigureRules::driveOf(folder, m_driveRoots));
    drvWav_Change();
    dirWav->setPath(folder);
    dirWav_Change();
    filWav->clearSelection();
    filWav->setCurrentItem(nullptr);
    if (location.fileName.isEmpty())
        return;
    for (int row = 0; row < filWav->count(); ++row) {
        if (filWav->item(row)->text().compare(location.fileName, Qt::CaseInsensitive) == 0) {
            filWav->setCurrentRow(row);
            filWav->scrollToItem(filWav->item(row));
            return;
        }
    }
}

QString frmWav::selectedPath() const
{
    const QList<QListWidgetItem *> selected = filWav->selectedItems();
    return ConfigureRules::wavePath(m_fileFolder,
                                    selected.isEmpty() ? QString() : selected.first()->text());
}

void frmWav::drvWav_Change()
{
    dirWav->setDrive(drvWav->currentText());
}

void frmWav::dirWav_Change()
{
    m_fileFolder = dirWav->Path();
    filWav->clear();
    // The pattern matches ignoring case, so "CHIME.WAV" is a wave file too.
    filWav->addItems(
        QDir(m_fileFolder)
            .entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void frmWav::filWav_DblClick()
{
    cmdAction_Click(ActionTest);
}

void frmWav::cmdAction_Click(int Index)
{
    switch (Index) {
    case ActionTest:
        Sound::playWave(selectedPath());
        break;
    case ActionOk:
        answer(selectedPath());
        break;
    default:
        answer(QString());
        break;
    }
}
