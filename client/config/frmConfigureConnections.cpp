// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Alphabetical.h"
#include "frmConfigure.h"
#include "Protocol.h"
#include "Settings.h"
#include "Twips.h"

#include <QCheckBox>
#include <QListWidget>

// The "&Connections" page: for each of the three entry filters a check box and a list of the
// server's entry names, filled while the dialog is open and saved with the other settings.

namespace {

// The keys of the three lists, in the lists' order.
constexpr QLatin1String listKeys[] = {Settings::AlertConnections, Settings::AlertDisconnections,
                                      Settings::ConfirmDisconnections};

} // namespace

void frmConfigure::createConnectionsPage()
{
    QFrame *page = fraTab[PageConnections];
    static constexpr const char *captions[] = {
        "Only &alert me if connnected to:", "Only al&ert me if disconnected from:",
        "Only &confirm disconnection if connected to:"};
    static constexpr int tops[] = {240, 1620, 3000};
    static constexpr int widths[] = {3345, 2775, 3915};
    for (int i = 0; i < FilterCount; ++i) {
        chkIncludes[i] = new QCheckBox(QString::fromLatin1(captions[i]), page);
        Twips::place(chkIncludes[i], 180, tops[i], widths[i], 255);
        lstConnect[i] = new QListWidget(page);
        Twips::place(lstConnect[i], 180, tops[i] + 300, 4455, 840);
        lstConnect[i]->setSelectionMode(QAbstractItemView::ExtendedSelection);
        lstConnect[i]->setEnabled(false);
    }
}

void frmConfigure::fListConnections(const QString &ptConnections)
{
    m_listsFilled = true;
    QStringList names = Protocol::parseList(ptConnections);
    Alphabetical::sort(names);
    for (int i = 0; i < FilterCount; ++i) {
        QListWidget *list = lstConnect[i];
        list->clear();
        list->addItems(names);
        // Stored names select by exact text; a name the server no longer has selects nothing.
        for (const QString &stored : Protocol::parseList(Settings::text(listKeys[i]))) {
            for (int row = 0; row < list->count(); ++row) {
                if (list->item(row)->text() == stored) {
                    list->item(row)->setSelected(true);
                    break;
                }
            }
        }
    }
}

void frmConfigure::saveLists()
{
    if (!m_listsFilled)
        return;
    for (int i = 0; i < FilterCount; ++i) {
        QStringList selected;
        for (int row = 0; row < lstConnect[i]->count(); ++row) {
            if (lstConnect[i]->item(row)->isSelected())
                selected.append(lstConnect[i]->item(row)->text());
        }
        Settings::save(listKeys[i], Protocol::buildList(selected));
    }
}
