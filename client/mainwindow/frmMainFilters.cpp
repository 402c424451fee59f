// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "EntryFilter.h"
#include "frmMain.h"
#include "Settings.h"

namespace {

// A reaction applies to every entry while its switch is off, else only to the listed ones.
bool applies(QLatin1String switchKey, QLatin1String listKey, const QString &ptMsg)
{
    if (!Settings::boolean(switchKey, QStringLiteral("0")))
        return true;
    return entryListContains(Settings::text(listKey), ptMsg);
}

} // namespace

bool frmMain::fbAlertConnection(const QString &ptMsg) const
{
    return applies(Settings::AlertCIfIncludes, Settings::AlertConnections, ptMsg);
}

bool frmMain::fbAlertDisconnection(const QString &ptMsg) const
{
    return applies(Settings::AlertDIfIncludes, Settings::AlertDisconnections, ptMsg);
}

bool frmMain::fbConfirmDisconnection(const QString &ptMsg) const
{
    return applies(Settings::ConfirmIfIncludes, Settings::ConfirmDisconnections, ptMsg);
}
