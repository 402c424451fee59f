// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmMsg.h"

#include "Artwork.h"
#include "Clock.h"
#include "ErrorTrap.h"
#include "MessageBox.h"
#include "NoticeText.h"
#include "RuntimeError.h"
#include "Sound.h"
#include "Twips.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

frmMsg::frmMsg()
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint |
                           Qt::WindowStaysOnTopHint)
{
    setWindowTitle(MessageBox::applicationTitle());
    setWindowIcon(Artwork::applicationIcon());
    Twips::setFixedClientSize(this, 5595, 1815);

    imgInfo = new QLabel(this);
    Twips::place(imgInfo, 120, 120, 480, 480);
    imgInfo->setPixmap(
        Artwork::messageSymbol(MessageBox::Information).pixmap(QSize(32, 32), devicePixelRatioF()));
    imgInfo->setAccessibleName(QStringLiteral("Information"));
    lblMsg = new QLabel(this);
    Twips::place(lblMsg, 720, 120, 4755, 1035);
    lblMsg->setTextFormat(Qt::PlainText);
    lblMsg->setWordWrap(true);
    lblMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    Twips::place(cmdOK, 2250, 1320, 1095, 375);
    cmdOK->setDefault(true);

    timDismiss = new QTimer(this);
    timDismiss->setInterval(1000);

    connect(cmdOK, &QPushButton::clicked, this, &frmMsg::cmdOK_Click);
    connect(timDismiss, &QTimer::timeout, this, &frmMsg::timDismiss_Timer);
}

void frmMsg::setCaption(const QString &text)
{
    m_caption = text;
    lblMsg->setText(NoticeText::displayed(text));
}

void frmMsg::startDismissal()
{
    const NoticeText::Dismissal dismissal = NoticeText::dismissal();
    switch (dismissal.kind) {
    case NoticeText::Dismissal::Off:
        break;
    case NoticeText::Dismissal::After:
        miDismissTime = dismissal.seconds;
        mvShownAt = Clock::now();
        timDismiss->start();
        break;
    case NoticeText::Dismissal::Unreadable:
        timDismiss->stop();
        break;
    }
}

void frmMsg::cmdOK_Click()
{
    unload();
}

void frmMsg::timDismiss_Timer()
{
    if (NoticeText::dismissalDue(mvShownAt, miDismissTime))
        unload();
}

void frmMsg::closeEvent(QCloseEvent *event)
{
    event->accept();
    unload();
}

void frmMsg::keyPressEvent(QKeyEvent *event)
{
    // Enter answers the default button even when the window has not given it the focus yet.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        cmdOK->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void gShowInfo(const QString &ptMsg, std::optional<bool> pvNoTime, std::optional<QVariant> pvNoBeep)
{
    frmMsg *form = frmMsg::instance();
    form->setCaption(NoticeText::caption(ptMsg, pvNoTime, Clock::now()));
    Twips::centre(form);
    form->show();
    form->raise();
    form->activateWindow();
    if (NoticeText::beeps(pvNoBeep))
        Sound::beep();
    form->startDismissal();
}

void reportInNotice(const QString &procedure, const RuntimeError &error)
{
    logRuntimeError(procedure, error);
    // One substitution pass: a description may quote text that holds "%1" itself.
    gShowInfo(QStringLiteral("%1 error %2 : %3")
                  .arg(procedure, QString::number(error.number()), error.description()),
              true);
}
