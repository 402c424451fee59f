#pragma once

#include <array>
#include <memory>
#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class SingleInstance;

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

    // ---- Server state shared by the link, the dispatcher and the icon --------------------
    qint16 iState = 0;

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

    // ---- Start-up and shut-down (core/frmMainLifecycle.cpp) ------------------------------
    void runStartup();
    void Form_Unload();
    void restoreFromElsewhere();

    // ---- Commands (mainwindow/frmMainCommands.cpp) ---------------------------------------
    void chkLock_Click();
    void chkAlert_Click();

    std::unique_ptr<SingleInstance> m_instance;
    bool m_closingFromCode = false;
    bool m_unloaded = false;
};
