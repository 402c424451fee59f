// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <functional>
#include <memory>
#include <QDateTime>
#include <QStringList>
#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class NotifyIcon;
struct ConfigureOpener;
class SingleInstance;
class TcpClientSocket;

// The client's one primary window. It lives as long as the program: loading it starts the
// program and unloading it ends it. Its handlers belong to three subsystems and are spread over
// one file per subsystem's part, all in this folder.
class frmMain : public QWidget
{
    Q_OBJECT

public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // ---- Start-up and shut-down (frmMainLifecycle.cpp) -----------------------------------
    // Runs the start-up sequence. False when the program is to end at once: another
    // instance runs, no server is configured, or start-up failed before the window showed.
    bool Form_Load();
    // Closes the window from code: no exit question, straight to the shut-down.
    void closeFromCode();
    // The exit question of the close box, the Exit button and the menu's Exit; true for Yes.
    static bool confirmExit();

    // The values of iState, each also the index of its picture in imgIcon.
    static constexpr qint16 StateUnknown = 0;    // link down, server state not reported
    static constexpr qint16 StateLineDown = 1;   // linked, the server's line down
    static constexpr qint16 StateDialling = 2;   // the server dialling
    static constexpr qint16 StateLineUp = 3;     // the server's line up
    static constexpr std::size_t StateCount = 4; // the pictures in imgIcon
    // What lblConnection and the icon's tip read while the server's state is not known; the
    // link and the duration display test for it.
    static inline const QString UnknownStatus = QStringLiteral("Unknown");

    // The buttons of cmdAction, by index.
    enum ActionIndex : int {
        ActionConnect = 0,
        ActionExit = 1,
        ActionConfigure = 2,
        ActionMessage = 3,
        ActionCount = 4
    };
    // The items of mnuSysTray, by index; 1, 4, 8 and 10 are separators.
    enum SysTrayIndex : int {
        SysTrayRestore = 0,
        SysTrayLock = 2,
        SysTrayAlert = 3,
        SysTrayConfigure = 5,
        SysTrayConnect = 6,
        SysTrayMessage = 7,
        SysTrayAbout = 9,
        SysTrayExit = 11,
        SysTrayCount = 12
    };

    // ---- Controls, by their design names -------------------------------------------------
    QCheckBox *chkLock = nullptr;
    QCheckBox *chkAlert = nullptr;
    std::array<QPushButton *, ActionCount> cmdAction{};
    QLabel *lblLink = nullptr;
    QLabel *lblLegend = nullptr;
    QLabel *lblConnection = nullptr;
    QLabel *lblMsg = nullptr;
    QLabel *imgBrindor = nullptr;
    std::array<QLabel *, StateCount> imgIcon{};
    QTimer *timConnect = nullptr;
    QTimer *timOnline = nullptr;
    QMenu *mnuMain = nullptr;
    std::array<QAction *, SysTrayCount> mnuSysTray{};

    TcpClientSocket *wskClient = nullptr;

    // ---- The link (frmMainLink.cpp) ------------------------------------------------------
    // One link attempt; run by timConnect, at the end of start-up and when the server closes.
    void timConnect_Timer();
    // Sends "MSG_ACK" and waits (at most 10 s) until the socket has sent it.
    void fAcknowledge();
    // Sends a request and waits (at most 10 s) for the server's "MSG_ACK". A failing send
    // raises to the caller.
    void fSendMessage(const QString &ptMsg);

    // ---- The server's messages (frmMainDispatcher.cpp) -----------------------------------
    void wskClient_DataArrival(qint64 bytesTotal);

    // ---- The server's line state (frmMainStatus.cpp) -------------------------------------
    void timOnline_Timer();

    // ---- Commands (frmMainCommands.cpp) --------------------------------------------------
    void cmdAction_Click(int Index);
    void mnuSysTray_Click(int Index);
    void imgBrindor_Click();
    // The About notice: the version from the build, then our own maker lines.
    static QString aboutText();

    // ---- Configuration (frmMainConfigure.cpp) --------------------------------------------
    // Opens the configuration dialog, or brings an open one to the front. Modal, it returns
    // when the dialog has closed; modeless, at once.
    void showConfiguration(bool modal);
    // What the configuration dialog may use of this window.
    ConfigureOpener configureOpener();

    // ---- Messages between users (frmMainMessages.cpp) ------------------------------------
    // Shows the queued messages one at a time; run by every change of lblMsg's caption.
    void lblMsg_Change();

    // ---- Notification icon (frmMainTray.cpp) ---------------------------------------------
    // Shows imgIcon(iState) with the tip; callers set iState first.
    void fUpdateTrayIcon(const QString &ptTip);

    // ---- Filters (frmMainFilters.cpp) ----------------------------------------------------
    bool fbAlertConnection(const QString &ptMsg) const;
    bool fbAlertDisconnection(const QString &ptMsg) const;
    bool fbConfirmDisconnection(const QString &ptMsg) const;

    // ---- State shared by the link, the dispatcher, the status display and the icon -------
    qint16 iState = StateUnknown;
    bool bAckReceived = false;
    bool bSendComplete = false;
    bool bCancelled = false;
    bool bIRequestedDisconnect = false;
    QDateTime dtConnected;
    QString sConnection;
    QString sPhonebookEntry;
    QStringList colMsgs;
    // lblMsg_Change is working through colMsgs; a nested change only queues.
    bool bShowingMsgs = false;

Q_SIGNALS:
    // The window has unloaded; the program ends.
    void programEnded();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // ---- Construction (frmMain.cpp) ------------------------------------------------------
    void createControls();
    void createMenu();

    // ---- The link (frmMainLink.cpp) ------------------------------------------------------
    void createLink();
    void linkAttempt();
    void enableLinkCommands(bool enabled);
    void wskClient_Close();
    void wskClient_SendProgress(qint64 bytesSent, qint64 bytesRemaining);

    // ---- The server's messages (frmMainDispatcher.cpp) -----------------------------------
    // One step of a handler: a run-time error in it is logged and shown, and the handler
    // goes on with its next step.
    void dispatchStep(const std::function<void()> &step);
    void onDisconnectRequest(const QString &message);
    void onPhonebook(const QString &message);
    void onUserMessage(const QString &message);
    // "USERS:" (frmMainMessages.cpp): the composer for a new message.
    void onUsers(const QString &message);
    void onCancelled();
    void onPassword();
    void onSendId();

    // ---- The server's line state (frmMainStatus.cpp) -------------------------------------
    // Each step that can fail is a step of the dispatcher's (dispatchStep).
    void onStatusLine(const QString &L);
    void setConnectCaption(const QString &caption);

    // ---- Notification icon (frmMainTray.cpp) ---------------------------------------------
    void fillNotifyIconData(const QString &ptTip);
    void addNotifyIcon();
    void removeNotifyIcon();

    // ---- Start-up and shut-down (frmMainLifecycle.cpp) -----------------------------------
    void runStartup();
    void Form_Unload();
    void restoreFromElsewhere();

    // ---- Commands (frmMainCommands.cpp) --------------------------------------------------
    void createCommands();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void chkLock_Click();
    void chkAlert_Click();

    // ---- Configuration (frmMainConfigure.cpp) --------------------------------------------
    void configureCommand();

    std::unique_ptr<SingleInstance> m_instance;
    bool m_closingFromCode = false;
    bool m_unloaded = false;
    // The shut-down is over: the handlers still on the stack send and show nothing more, and
    // their waits end at once.
    bool m_ended = false;
    bool m_linkAttemptRunning = false;
    // The first message of colMsgs was answered "&Reply" while a new message held the
    // composer; the reply opens when that composer is gone.
    bool m_replyOwed = false;
    NotifyIcon *m_notifyIcon = nullptr;
};
