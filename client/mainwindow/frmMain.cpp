// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmMain.h"

#include "Artwork.h"
#include "MessageBox.h"
#include "SingleInstance.h"
#include "Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace {

QPushButton *button(QWidget *parent, const char *caption, int left, int top)
{
    auto *b = new QPushButton(QString::fromLatin1(caption), parent);
    Twips::place(b, left, top, 1095, 375);
    return b;
}

QLabel *label(QWidget *parent, const char *caption, int left, int top, int width, int height)
{
    auto *l = new QLabel(QString::fromLatin1(caption), parent);
    Twips::place(l, left, top, width, height);
    return l;
}

} // namespace

frmMain::frmMain(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(MessageBox::applicationTitle());
    setWindowIcon(Artwork::applicationIcon());
    Twips::setFixedClientSize(this, 4935, 2115);
    createControls();
    createMenu();
    createLink();
    createCommands();
}

frmMain::~frmMain() = default;

void frmMain::createControls()
{
    chkLock = new QCheckBox(QStringLiteral("&Lock connection"), this);
    Twips::place(chkLock, 120, 900, 1515, 195);
    chkAlert = new QCheckBox(QStringLiteral("&Alert me when the server (dis)connects"), this);
    Twips::place(chkAlert, 120, 1200, 3045, 255);
    cmdAction[ActionConfigure] = button(this, "C&onfigure", 120, 1620);
    cmdAction[ActionConnect] = button(this, "&Connect", 1320, 1620);
    cmdAction[ActionMessage] = button(this, "&Message", 2520, 1620);
    cmdAction[ActionExit] = button(this, "E&xit", 3720, 1620);
    lblLink =
        label(this, "Cannot link to server on 255.255.255.255 port 0000", 120, 120, 4740, 195);
    lblLegend = label(this, "Server status:", 120, 420, 975, 195);
    lblConnection = label(this, "", 1140, 420, 3690, 195);
    lblConnection->setText(UnknownStatus);
    lblMsg = label(this, "Do not delete", 2940, 720, 1035, 195);
    lblMsg->hide();
    imgBrindor = label(this, "", 3930, 840, 675, 675);
    imgBrindor->setPixmap(Artwork::logo());
    imgBrindor->setAccessibleName(QStringLiteral("Velmora logo: About"));
    imgBrindor->setCursor(Qt::PointingHandCursor);
    for (int i = StateUnknown; i <= StateLineUp; ++i) {
        imgIcon[i] = label(this, "", 1740 + 300 * i, 780, 240, 240);
        imgIcon[i]->setPixmap(Artwork::stateIcon(i));
        imgIcon[i]->setAccessibleName(QStringLiteral("Server state %1").arg(i));
        imgIcon[i]->hide();
    }
    setTabOrder(chkLock, chkAlert);
    setTabOrder(chkAlert, cmdAction[ActionConfigure]);
    setTabOrder(cmdAction[ActionConfigure], cmdAction[ActionConnect]);
    setTabOrder(cmdAction[ActionConnect], cmdAction[ActionMessage]);
    setTabOrder(cmdAction[ActionMessage], cmdAction[ActionExit]);

    timConnect = new QTimer(this);
    timConnect->setInterval(10000);
    timOnline = new QTimer(this);
    timOnline->setInterval(1000);

    // A value set from code runs the click handler too, as the configuration and the load
    // rely on: toggled, not clicked.
    connect(chkLock, &QCheckBox::toggled, this, &frmMain::chkLock_Click);
    connect(chkAlert, &QCheckBox::toggled, this, &frmMain::chkAlert_Click);
}

void frmMain::createMenu()
{
    mnuMain = new QMenu(QStringLiteral("&SysTray"), this);
    static constexpr const char *captions[] = {"&Restore",
                                               "-",
                                               "&Lock Connection",
                                               "&Alert me when the server connects",
                                               "-",
                                               "C&onfigure",
                                               "&Connect",
                                               "&Message",
                                               "-",
                                               "A&bout",
                                               "-",
                                               "E&xit"};
    for (std::size_t i = 0; i < mnuSysTray.size(); ++i) {
        if (QLatin1String(captions[i]) == QLatin1String("-"))
            mnuSysTray[i] = mnuMain->addSeparator();
        else
            mnuSysTray[i] = mnuMain->addAction(QString::fromLatin1(captions[i]));
    }
    mnuSysTray[SysTrayLock]->setCheckable(true);
    mnuSysTray[SysTrayAlert]->setCheckable(true);
}
