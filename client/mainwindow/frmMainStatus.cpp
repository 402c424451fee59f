// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clock.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "Protocol.h"
#include "Settings.h"
#include "Sound.h"
#include "StatusText.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

const QString connectedNotice = QStringLiteral("The Velmora Server is connected");

struct AlertSettings
{
    QLatin1String popUp;
    QLatin1String wave;
    QLatin1String waveFile;
};

// The notice (no heading; the wave setting's text as its no-beep argument, so never a beep)
// and the wave, each as its settings say.
void giveAlert(const QString &notice, const AlertSettings &keys)
{
    if (Settings::boolean(keys.popUp, QStringLiteral("0")))
        gShowInfo(notice, true, Settings::text(keys.wave, QStringLiteral("0")));
    if (Settings::boolean(keys.wave, QStringLiteral("0"))) {
        const QString file = Settings::text(keys.waveFile);
        if (!file.isEmpty())
            Sound::playWave(file);
    }
}

} // namespace

void frmMain::setConnectCaption(const QString &caption)
{
    cmdAction[ActionConnect]->setText(caption);
    mnuSysTray[SysTrayConnect]->setText(caption);
}

void frmMain::onStatusLine(const QString &L)
{
    // A line that comes back up while it was being hung up: the duration resumes from the
    // old start, and nothing else changes.
    if (Protocol::isConnectedStatus(L) && lblConnection->text() == Protocol::StatusDisconnecting) {
        lblConnection->setText(L);
        fUpdateTrayIcon(L);
        return;
    }
    if (lblConnection->text() != L)
        lblConnection->setText(L);

    if (Protocol::isConnectedStatus(L)) {
        dtConnected = Clock::now();
        // Enabled, not restarted: the display keeps its once-a-second rhythm.
        if (!timOnline->isActive())
            timOnline->start();
        if (iState != StateLineUp) {
            sConnection = Protocol::connectedEntry(L);
            iState = StateLineUp;
            // A bad stored setting fails the alert alone: the state, the button and the icon
            // still change.
            dispatchStep([&] {
                if (chkAlert->isChecked() && fbAlertConnection(sConnection))
                    giveAlert(
                        connectedNotice + Protocol::connectedTail(L),
                        {Settings::PopUpOnConnect, Settings::WaveOnConnect, Settings::ConnectWave});
            });
        }
        setConnectCaption(QStringLiteral("&Disconnect"));
    } else if (L == Protocol::StatusDisconnected) {
        const bool lineWasUp = timOnline->isActive();
        timOnline->stop();
        bIRequestedDisconnect = false;
        iState = StateLineDown;
        // A connected notice still on screen is out of date now.
        if (const frmMsg *notice = frmMsg::loaded();
            notice && (notice->caption().isEmpty() || notice->caption().contains(connectedNotice)))
            frmMsg::unload();
        setConnectCaption(QStringLiteral("&Connect"));
        dispatchStep([&] {
            if (chkAlert->isChecked() && lineWasUp && fbAlertDisconnection(sConnection))
                giveAlert(QStringLiteral("The Velmora Server has disconnected from ") + sConnection,
                          {Settings::PopUpOnDisconnect, Settings::WaveOnDisconnect,
                           Settings::DisconnectWave});
        });
    } else if (L == Protocol::StatusConnectDevice) {
        iState = StateDialling;
        setConnectCaption(QStringLiteral("&Disconnect"));
    }
    fUpdateTrayIcon(L);
}

void frmMain::timOnline_Timer()
{
    const QString shown = lblConnection->text();
    if (shown == Protocol::StatusDisconnecting || shown == Protocol::StatusDisconnected ||
        shown == UnknownStatus)
        return;
    lblConnection->setText(Protocol::StatusConnectedTo + sConnection + QStringLiteral(" for ") +
                           durationText(Clock::wholeSecondsSince(dtConnected)));
}
