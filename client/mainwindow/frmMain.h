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
// program and unloading it ends it. Its handlers are defined beside the subsystem they belong
// to: start-up and shut-down in core/, the link and the server's messages in link/, the
// user's commands in mainwindow/.
class frmMain : public QWidget
{
    Q_OBJECT

public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // ---- Start-up and shut-down (core/frmMainLifecycle.cpp) ----------------------------
    // Runs the start-up sequence. False when the program is to end at once: another
    // instance runs, no server is configured, or start-up failed before the window showed.
    bool Form_Load();
    // Closes the window from code: no exit question, straight to the shut-down.
    void closeFromCode();
    // The exit question of the close box, the Exit button and the menu's Exit; true for Yes.
    static bool confirmExit();

    // ---- Controls, by their design names -------------------------------------------------
    QCheckBox *chkLock = nullptr;
    QCheckBox *chkAlert = nullptr;
    std::array<QPushButton *, 4> cmdAction{};
    QLabel *lblLink = nullptr;
    QLabel *lblLegend = nullptr;
    QLabel *lblConnection = nullptr;
    QLabel *lblMsg = nullptr;
    QLabel *imgBrindor = nullptr;
    std::array<QLabel *, 4> imgIcon{};
    QTimer *timConnect = nullptr;
    QTimer *timOnline = nullptr;
    QMenu *mnuMain = nullptr;
    std::array<QAction *, 12> mnuSysTray{};

    TcpClientSocket *wskClient = nullptr;

    // ---- The link (link/frmMainLink.cpp) -------------------------------------------------
    // One link attempt; run by timConnect, at the end of start-up and when the server closes.
    void timConnect_Timer();
    // Sends "MSG_ACK" and waits (at most 10 s) until the socket has sent it.
    void fAcknowledge();
    // Sends a request and waits (at most 10 s) for the server's "MSG_ACK". A failing send
    // raises to the caller.
    void fSendMessage(const QString &ptMsg);

    // ---- The server's messages (link/frmMainDispatcher.cpp) ------------------------------
    void wskClient_DataArrival(qint64 bytesTotal);

    // ---- The server's line state (link/frmMainStatus.cpp) --------------------------------
    void timOnline_Timer();

    // ---- Commands (mainwindow/frmMainCommands.cpp) ---------------------------------------
    void cmdAction_Click(int Index);
    void mnuSysTray_Click(int Index);
    void imgBrindor_Click();
    // The About notice: the version from the build, then our own maker lines.
    static QString aboutText();

    // ---- Configuration (mainwindow/frmMainConfigure.cpp) ----------------------------------
    // Opens the configuration dialog, or brings an open one to the front. Modal, it returns
    // when the dialog has closed; modeless, at once.
    void showConfiguration(bool modal);
    // What the configuration dialog may use of this window.
    ConfigureOpener configureOpener();

    // ---- Messages between users (mainwindow/frmMainMessages.cpp) --------------------------
    // Shows the queued messages one at a time; run by every change of lblMsg's caption.
    void lblMsg_Change();

    // ---- Notification icon (mainwindow/frmMainTray.cpp) ----------------------------------
    // Shows imgIcon(iState) with the tip; callers set iState first.
    void fUpdateTrayIcon(const QString &ptTip);

    // ---- Filters (mainwindow/frmMainFilters.cpp) -----------------------------------------
    bool fbAlertConnection(const QString &ptMsg) const;
    bool fbAlertDisconnection(const QString &ptMsg) const;
    bool fbConfirmDisconnection(const QString &ptMsg) const;

    // ---- State shared by the link, the dispatcher, the status display and the icon -------
    qint16 iState = 0;
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
    // ---- Construction (mainwindow/frmMain.cpp) -------------------------------------------
    void createControls();
    void createMenu();

    // ---- The link (link/frmMainLink.cpp) -------------------------------------------------
    void createLink();
    void linkAttempt();
    void enableLinkCommands(bool enabled);
    void wskClient_Close();
    void wskClient_SendProgress(qint64 bytesSent, qint64 bytesRemaining);

    // ---- The server's messages (link/frmMainDispatcher.cpp) ------------------------------
    // One step of a handler: a run-time error in it is logged and shown, and the handler
    // goes on with its next step.
    void dispatchStep(const std::function<void()> &step);
    void onDisconnectRequest(const QString &message);
    void onPhonebook(const QString &message);
    void onUserMessage(const QString &message);
    // "USERS:" (mainwindow/frmMainMessages.cpp): the composer for a new message.
    void onUsers(const QString &message);
    void onCancelled();
    void onPassword();
    void onSendId();

    // ---- The server's line state (link/frmMainStatus.cpp) --------------------------------
    // Each step that can fail is a step of the dispatcher's (dispatchStep).
    void onStatusLine(const QString &L);
    void setConnectCaption(const QString &caption);

    // ---- Notification icon (mainwindow/frmMainTray.cpp) ----------------------------------
    void fillNotifyIconData(const QString &ptTip);
    void addNotifyIcon();
    void removeNotifyIcon();

    // ---- Start-up and shut-down (core/frmMainLifecycle.cpp) ------------------------------
    void runStartup();
    void Form_Unload();
    void restoreFromElsewhere();

    // ---- Commands (mainwindow/frmMainCommands.cpp) ---------------------------------------
    void createCommands();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void chkLock_Click();
    void chkAlert_Click();

    // ---- Configuration (mainwindow/frmMainConfigure.cpp) ----------------------------------
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
