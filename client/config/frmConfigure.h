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
    // ---- Controls, by their design names ------------------------------------------------
    std::array<QPushButton *, 4> cmdTab{};
    std::array<QFrame *, 4> fraTab{};
    std::array<QPushButton *, 2> cmdAction{};
    std::array<QLabel *, 9> lblLegend{};
    // "&Network"
    QLineEdit *txtServerName = nullptr;
    QLineEdit *txtIPAddress = nullptr;
    QLineEdit *txtPort = nullptr;
    QLabel *lblName = nullptr;
    QLabel *lblAddress = nullptr;
    // "A&lerts"
    std::array<QCheckBox *, 4> chkMsg{};
    std::array<QLineEdit *, 2> txtWave{};
    std::array<QPushButton *, 2> cmdWave{};
    std::array<QPushButton *, 2> cmdTest{};
    // "&Connections"
    std::array<QCheckBox *, 3> chkIncludes{};
    std::array<QListWidget *, 3> lstConnect{};
    // "&Other"
    QCheckBox *chkBeep = nullptr;
    QCheckBox *chkDismiss = nullptr;
    QLineEdit *txtDismiss = nullptr;
    QCheckBox *chkMinimize = nullptr;
    std::array<QRadioButton *, 2> optButton{};

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
