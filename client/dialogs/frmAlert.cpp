// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmAlert.h"

#include "Artwork.h"
#include "Countdown.h"
#include "frmMsg.h"
#include "Settings.h"
#include "Sound.h"
#include "Twips.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

// Neither the default nor an automatic default: Enter on the focused button does nothing.
QPushButton *button(QWidget *parent, const QString &caption, int left)
{
    auto *b = new QPushButton(caption, parent);
    Twips::place(b, left, 1980, 1095, 375);
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmAlert::frmAlert()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint |
                           Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Velmora"));
    setWindowIcon(Artwork::applicationIcon());
    Twips::setFixedClientSize(this, 4470, 2505);
    createControls();

    Twips::centre(this);
    show();
    // No notice may cover the countdown.
    frmMsg::unload();
    mbBeep = Settings::text(Settings::Beep, QStringLiteral("0")) == QLatin1String("1");
    Sound::beep();
}

frmAlert::~frmAlert()
{
    // The filter must not outlive this class: a focus change reported while the base classes
    // tear the buttons down would reach a half-destroyed window.
    cmdAction[ActionCancel]->removeEventFilter(this);
}

void frmAlert::createControls()
{
    lblLegend = new QLabel(
        QStringLiteral("Another user has made a request to disconnect the current dial-up "
                       "connection. Hit 'Cancel' to prevent the connection from being dropped."),
        this);
    Twips::place(lblLegend, 60, 60, 4335, 675);
    lblLegend->setWordWrap(true);
    lblLegend->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fraContainer = new QGroupBox(QStringLiteral("Disconnect in"), this);
    Twips::place(fraContainer, 1590, 780, 1275, 975);
    lblCountdown = new QLabel(QStringLiteral("30"), fraContainer);
    Twips::place(lblCountdown, 330, 300, 615, 555);
    lblCountdown->setAlignment(Qt::AlignCenter);
    QFont countFont = lblCountdown->font();
    countFont.setPointSize(24);
    countFont.setBold(true);
    lblCountdown->setFont(countFont);
    cmdAction[ActionOk] = button(this, QStringLiteral("&OK"), 1080);
    cmdAction[ActionCancel] = button(this, QStringLiteral("&Cancel"), 2280);
    // Left of the client area, never seen: it takes the first focus, so a key typed as the
    // window pops up presses a button that does nothing.
    cmdDummy = button(this, QStringLiteral("Do not delete"), -1200);

    setTabOrder(cmdDummy, cmdAction[ActionOk]);
    setTabOrder(cmdAction[ActionOk], cmdAction[ActionCancel]);
    cmdDummy->setFocus();

    timCountdown = new QTimer(this);
    timCountdown->setInterval(1000);

    for (int i = 0; i < static_cast<int>(cmdAction.size()); ++i)
        connect(cmdAction[i], &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });
    cmdAction[ActionCancel]->installEventFilter(this);
    connect(timCountdown, &QTimer::timeout, this, &frmAlert::timCountdown_Timer);
    timCountdown->start();
}

void frmAlert::cmdAction_Click(int Index)
{
    Tag = Index == ActionOk ? QStringLiteral("OK") : QStringLiteral("CANCEL");
    hide();
}

void frmAlert::cmdAction_LostFocus(int Index)
{
    // Tabbing on from "Cancel" goes back to "OK", never to the hidden button. Moving the focus
    // inside a hidden window only chooses where it lands when the window shows again.
    if (Index == ActionCancel)
        cmdAction[ActionOk]->setFocus(Qt::TabFocusReason);
}

void frmAlert::timCountdown_Timer()
{
    const Countdown::Tick tick = Countdown::tick(lblCountdown->text(), mbBeep);
    lblCountdown->setText(tick.caption);
    if (tick.turnRed) {
        QPalette palette = lblCountdown->palette();
        palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
        lblCountdown->setPalette(palette);
    }
    if (tick.stop) {
        timCountdown->stop();
        hide();
    }
    if (tick.beep)
        Sound::beep();
}

void frmAlert::reject()
{
    // Escape is not an answer: a key typed as the window pops up must not decide for the user.
}

void frmAlert::closeEvent(QCloseEvent *event)
{
    // The program unloads the window by deleting it, so a close request always comes from the
    // user, who must answer with a button or let the count run out.
    event->ignore();
}

bool frmAlert::eventFilter(QObject *watched, QEvent *event)
{
    // Only a move within the window counts: losing the focus because another window came to
    // the front leaves it where the user put it.
    if (watched == cmdAction[ActionCancel] && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent *>(event)->reason() != Qt::ActiveWindowFocusReason)
        cmdAction_LostFocus(ActionCancel);
    return QDialog::eventFilter(watched, event);
}
