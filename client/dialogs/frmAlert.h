// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "SharedForm.h"

#include <array>
#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

// The disconnection countdown: another user asked the server to hang up, and this user may
// agree or refuse before the count in lblCountdown runs out. The window pops up on its own,
// topmost, as it loads; the opener sets the start count, waits for Tag ("OK", "CANCEL", or
// still empty when the count reached zero) and unloads the window. The user cannot close it
// through its frame, and neither Enter nor Escape answers: a key typed just as the window
// pops up must not decide whether the line drops.
class frmAlert : public QDialog, public SharedForm<frmAlert>
{
    Q_OBJECT

public:
    ~frmAlert() override;

    QLabel *lblLegend = nullptr;
    QGroupBox *fraContainer = nullptr;
    QLabel *lblCountdown = nullptr;
    // The buttons of cmdAction, by index.
    enum ActionIndex : int { ActionOk = 0, ActionCancel = 1, ActionCount = 2 };
    std::array<QPushButton *, ActionCount> cmdAction{};
    QPushButton *cmdDummy = nullptr;
    QTimer *timCountdown = nullptr;

    // The answer: empty until a button answers.
    QString Tag;

    void cmdAction_Click(int Index);
    void cmdAction_LostFocus(int Index);
    void timCountdown_Timer();

    // Escape does not answer.
    void reject() override;

protected:
    // The close box and Alt+F4 are refused.
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class SharedForm<frmAlert>;
    frmAlert();
    void createControls();

    bool mbBeep = false;
};
