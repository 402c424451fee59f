// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmMain.h"
#include "MainModule.h"
#include "NotifyIcon.h"

#include <algorithm>
#include <QLabel>

void frmMain::fillNotifyIconData(const QString &ptTip)
{
    gNotifyIconData.hIcon =
        imgIcon[std::clamp<int>(iState, StateUnknown, StateLineUp)]->pixmap().toImage();
    gNotifyIconData.szTip = ptTip;
}

void frmMain::addNotifyIcon()
{
    m_notifyIcon = new NotifyIcon(mnuMain, this);
    connect(m_notifyIcon, &NotifyIcon::leftClicked, this, &frmMain::restoreFromElsewhere);
    fillNotifyIconData(UnknownStatus);
    m_notifyIcon->add(gNotifyIconData);
}

void frmMain::fUpdateTrayIcon(const QString &ptTip)
{
    fillNotifyIconData(ptTip);
    if (m_notifyIcon)
        m_notifyIcon->modify(gNotifyIconData);
}

void frmMain::removeNotifyIcon()
{
    if (m_notifyIcon)
        m_notifyIcon->remove();
}
