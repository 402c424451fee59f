// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "SharedForm.h"

#include <array>
#include <functional>
#include <QDialog>
#include <QPointer>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class RuntimeError;
class TcpClientSocket;

// What the dialog needs of the main window that opens it: the link, to show its local
// address and to ask the server for the entry names, and the exit button, whose caption
// follows the "Other" page. The dialog stays below the main window this way.
struct ConfigureOpener
{
    TcpClientSocket *wskClient = nullptr;
    std::function<void(const QString &)> fSendMessage;
    QPushButton *exitButton = nullptr;
};

// The dialog in which the user edits the client's settings, on four pages chosen by the row
// of buttons along its top. "OK" checks the wave options, writes every setting and closes;
// "Cancel", Escape and the close box close without writing anything. The main window decides
// whether it is modal; while the link is up the dialog asks the server for its entry names,
// and the dispatcher hands the answer to fListConnections.
class frmConfigure : public QDialog, public SharedForm<frmConfigure>
{
    Q_OBJECT

public:
    // ---- Indices into the control arrays -------------------------------------------------
    // The pages: cmdTab and fraTab.
    enum PageIndex : int {
        PageNetwork = 0,
        PageAlerts = 1,
        PageConnections = 2,
        PageOther = 3,
        PageCount = 4
    };
    // cmdAction.
    enum ActionIndex : int { ActionOk = 0, ActionCancel = 1, ActionCount = 2 };
    // lblLegend; 5 to 7 are not used.
    enum LegendIndex : int {
        LegendServerAddress = 0,
        LegendServerPort = 1,
        LegendClientAddress = 2,
        LegendServerName = 3,
        LegendClientName = 4,
        LegendSeconds = 8,
        LegendCount = 9
    };
    // chkMsg.
    enum MsgIndex : int {
        MsgPopUpOnConnect = 0,
        MsgWaveOnConnect = 1,
        MsgPopUpOnDisconnect = 2,
        MsgWaveOnDisconnect = 3,
        MsgCount = 4
    };
    // The two waves: txtWave, cmdWave and cmdTest.
    enum WaveIndex : int { WaveConnect = 0, WaveDisconnect = 1, WaveCount = 2 };
    // The three filters: chkIncludes and lstConnect.
    enum FilterIndex : int {
        FilterAlertConnect = 0,
        FilterAlertDisconnect = 1,
        FilterConfirmDisconnect = 2,
        FilterCount = 3
    };
    // optButton: what the main window's second button does.
    enum ButtonIndex : int { ButtonExit = 0, ButtonMinimize = 1, ButtonCount = 2 };

    // ---- Controls, by their design names ------------------------------------------------
    std::array<QPushButton *, PageCount> cmdTab{};
    std::array<QFrame *, PageCount> fraTab{};
    std::array<QPushButton *, ActionCount> cmdAction{};
    std::array<QLabel *, LegendCount> lblLegend{};
    // "&Network"
    QLineEdit *txtServerName = nullptr;
    QLineEdit *txtIPAddress = nullptr;
    QLineEdit *txtPort = nullptr;
    QLabel *lblName = nullptr;
    QLabel *lblAddress = nullptr;
    // "A&lerts"
    std::array<QCheckBox *, MsgCount> chkMsg{};
    std::array<QLineEdit *, WaveCount> txtWave{};
    std::array<QPushButton *, WaveCount> cmdWave{};
    std::array<QPushButton *, WaveCount> cmdTest{};
    // "&Connections"
    std::array<QCheckBox *, FilterCount> chkIncludes{};
    std::array<QListWidget *, FilterCount> lstConnect{};
    // "&Other"
    QCheckBox *chkBeep = nullptr;
    QCheckBox *chkDismiss = nullptr;
    QLineEdit *txtDismiss = nullptr;
    QCheckBox *chkMinimize = nullptr;
    std::array<QRadioButton *, ButtonCount> optButton{};

    // Fills the controls from the settings and, while the link is up, asks the server for its
    // entry names. The main window runs it before it shows the dialog.
    void Form_Load(const ConfigureOpener &opener);

    // The entry names of the server's "CONNECTIONS:" answer: they replace the lists' contents,
    // sorted, and the stored names are selected again.
    void fListConnections(const QString &ptConnections);

    void cmdTab_Click(int Index);
    void cmdAction_Click(int Index);
    void cmdWave_Click(int Index);
    void cmdTest_Click(int Index);

    // Escape answers as "Cancel".
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    friend class SharedForm<frmConfigure>;
    frmConfigure();

    void createNetworkPage();
    void createAlertsPage();
    void createConnectionsPage();
    void createOtherPage();
    void setTabOrders();
    void connectHandlers();

    void loadSettings();
    void txtDismiss_LostFocus();
    bool keyPress(QObject *box, int keyAscii) const;
    bool saveSettings();
    void saveLists();
    void restartCheck();

    QPointer<TcpClientSocket> m_link;
    QPointer<QPushButton> m_exitButton;
    // Whether the server's entry names arrived: lists never filled leave the stored filters.
    bool m_listsFilled = false;
};
