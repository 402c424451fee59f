// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FolderList.h"

#include "ConfigureRules.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

namespace {

constexpr int PathRole = Qt::UserRole;

} // namespace

FolderList::FolderList(QWidget *parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setIndentation(12);
    connect(this, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { setPath(item->data(0, PathRole).toString()); });
}

void FolderList::setDrive(const QString &root)
{
    m_root = root;
    if (!setPath(root))
        rebuild();
}

bool FolderList::setPath(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isExecutable())
        return false;
    const QString path = QDir::cleanPath(info.absoluteFilePath());
    const bool changed = path != m_path;
    m_path = path;
    rebuild();
    if (changed)
        Q_EMIT Change();
    return true;
}

void FolderList::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QTreeWidget::keyPressEvent(event);
        return;
    }
    // The list's own activation would open the folder and pass Enter on to the default button
    // as well, answering with a folder the user never chose.
    const QTreeWidgetItem *item = currentItem();
    const QString folder = item ? item->data(0, PathRole).toString() : QString();
    if (!folder.isEmpty() && QDir::cleanPath(folder) != m_path) {
        setPath(folder);
        event->accept();
        return;
    }
    event->ignore();
}

void FolderList::rebuild()
{
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QTreeWidgetItem *parentItem = nullptr;
    const QStringList chain = ConfigureRules::folderChain(m_root, m_path);
    for (const QString &folder : chain) {
        const QString name = parentItem ? QFileInfo(folder).fileName() : folder;
        auto *item = parentItem ? new QTreeWidgetItem(parentItem, {name})
                                : new QTreeWidgetItem(this, {name});
        item->setIcon(0, open);
        item->setData(0, PathRole, folder);
        parentItem = item;
    }
    const QStringList children =
        QDir(m_path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &child : children) {
        auto *item = new QTreeWidgetItem(parentItem, {child});
        item->setIcon(0, closed);
        item->setData(0, PathRole, ConfigureRules::wavePath(m_path, child));
    }
    expandAll();
    setCurrentItem(parentItem);
}
