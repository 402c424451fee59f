// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "SharedForm.h"

#include <optional>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QWidget>

class QLabel;
class RuntimeError;
class QPushButton;
class QTimer;

// Tells the user something without asking anything, and returns at once.
// pvNoTime: given and true -> the text alone, else the "Message received at " heading.
// pvNoBeep: given with ANY value -> no beep; missing -> one beep.
void gShowInfo(const QString &ptMsg, std::optional<bool> pvNoTime = std::nullopt,
               std::optional<QVariant> pvNoBeep = std::nullopt);

// The error log line, then the pop-up notice "<procedure> error <number> : <description>", shown
// alone (no received-at heading), with its beep.
void reportInNotice(const QString &procedure, const RuntimeError &error);

// The one-button information window behind gShowInfo: topmost, never modal, and closing
// itself after the configured time when the user asks for that. OK, Enter, the close box and
// the timer all unload it, so the next notice starts from the design state.
class frmMsg : public QWidget, public SharedForm<frmMsg>
{
    Q_OBJECT

public:
    QLabel *lblMsg = nullptr;
    QPushButton *cmdOK = nullptr;
    QLabel *imgInfo = nullptr;
    QTimer *timDismiss = nullptr;

    // The caption as set by gShowInfo, carriage returns included (the label shows them as
    // line breaks). The status display reads it to find a stale "connected" notice.
    QString caption() const { return m_caption; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    friend class SharedForm<frmMsg>;
    friend void gShowInfo(const QString &, std::optional<bool>, std::optional<QVariant>);

    frmMsg();

    void setCaption(const QString &text);
    void startDismissal();
    void cmdOK_Click();
    void timDismiss_Timer();

    QString m_caption;
    qint16 miDismissTime = 0;
    QDateTime mvShownAt;
};
