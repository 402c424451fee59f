// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "NotifyIcon.h"

#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace {
std::optional<bool> availableOverride;
}

bool NotifyIcon::available()
{
    return availableOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void NotifyIcon::setAvailableForTests(std::optional<bool> available)
{
    availableOverride = available;
}

NotifyIcon::NotifyIcon(QMenu *menu, QObject *parent)
    : QObject(parent)
    , m_icon(new QSystemTrayIcon(this))
{
    m_icon->setContextMenu(menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    Q_EMIT leftClicked();
            });
}

NotifyIcon::~NotifyIcon() = default;

QString NotifyIcon::tipText(const QString &tip)
{
    return tip.left(TipLength);
}

// The tray is told only of what changed: most status lines leave the picture as it is, and on
// a desktop each change is a message to the tray's host.
void NotifyIcon::apply(const NotifyIconData &data)
{
    if (m_icon->icon().isNull() || data.hIcon != m_shownImage) {
        m_icon->setIcon(QIcon(QPixmap::fromImage(data.hIcon)));
        m_shownImage = data.hIcon;
    }
    const QString tip = tipText(data.szTip);
    if (m_icon->toolTip() != tip)
        m_icon->setToolTip(tip);
}

void NotifyIcon::add(const NotifyIconData &data)
{
    apply(data);
    m_icon->show();
}

void NotifyIcon::modify(const NotifyIconData &data)
{
    apply(data);
}

void NotifyIcon::remove()
{
    m_icon->hide();
}
