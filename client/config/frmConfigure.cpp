// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmConfigure.h"

#include "Artwork.h"
#include "ConfigureRules.h"
#include "ErrorTrap.h"
#include "EventWait.h"
#include "frmMsg.h"
#include "frmWav.h"
#include "MessageBox.h"
#include "Protocol.h"
#include "RuntimeError.h"
#include "Settings.h"
#include "Sound.h"
#include "TcpClientSocket.h"
#include "Twips.h"

#include <functional>
#include <optional>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {

const QString loadProcedure = QStringLiteral("frmConfigure.Form_Load");
const QString saveProcedure = QStringLiteral("frmConfigure.cmdAction_Click");

QLabel *legend(QWidget *parent, const char *caption, int left, int top, int width)
{
    auto *label = new QLabel(QString::fromLatin1(caption), parent);
    Twips::place(label, left, top, width, 195);
    return label;
}

QLineEdit *textBox(QWidget *parent, int left, int top, int width, int height, int maxLength = 0)
{
    auto *box = new QLineEdit(parent);
    Twips::place(box, left, top, width, height);
    // The limit holds for what the user types or pastes, not for what the program puts in: a
    // stored value longer than the box takes is shown whole and saved unchanged.
    if (maxLength > 0) {
        box->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("^.{0,%1}$").arg(maxLength)), box));
    }
    return box;
}

QCheckBox *checkBox(QWidget *parent, const char *caption, int left, int top, int width)
{
    auto *box = new QCheckBox(QString::fromLatin1(caption), parent);
    Twips::place(box, left, top, width, 255);
    return box;
}

QPushButton *button(QWidget *parent, const char *caption, int left, int top, int width, int height)
{
    auto *b = new QPushButton(QString::fromLatin1(caption), parent);
    Twips::place(b, left, top, width, height);
    return b;
}

QString flag(const QCheckBox *box)
{
    return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

// The character a key press types, as the key filters see it; nothing for keys that type no
// character. Escape belongs to the Cancel button and Delete edits, so neither is filtered.
std::optional<int> typedCode(const QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Delete)
        return std::nullopt;
    const QString text = event->text();
    if (text.isEmpty())
        return std::nullopt;
    // A composed text of several characters is no single digit.
    return text.size() == 1 ? int(text.front().unicode()) : 0xFFFF;
}

} // namespace

frmConfigure::frmConfigure()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("Configure Velmora Client"));
    setWindowIcon(Artwork::applicationIcon());
    Twips::setFixedClientSize(this, 5070, 5490);

    static constexpr const char *tabCaptions[] = {"&Network", "A&lerts", "&Connections", "&Other"};
    for (int i = 0; i < PageCount; ++i) {
        cmdTab[i] = button(this, tabCaptions[i], 120 + 1200 * i, 120, 1215, 375);
        fraTab[i] = new QFrame(this);
        fraTab[i]->setFrameShape(QFrame::StyledPanel);
        Twips::place(fraTab[i], 120, 480, 4815, 4335);
        fraTab[i]->setVisible(i == PageNetwork);
    }
    QFont bold = cmdTab[PageNetwork]->font();
    bold.setBold(true);
    cmdTab[PageNetwork]->setFont(bold);
    cmdAction[ActionOk] = button(this, "OK", 2640, 4980, 1095, 375);
    cmdAction[ActionOk]->setDefault(true);
    cmdAction[ActionCancel] = button(this, "Cancel", 3840, 4980, 1095, 375);

    createNetworkPage();
    createAlertsPage();
    createConnectionsPage();
    createOtherPage();
    setTabOrders();
    connectHandlers();
    txtServerName->setFocus();

    Twips::centre(this);
}

void frmConfigure::createNetworkPage()
{
    QFrame *page = fraTab[PageNetwork];
    // The legends end at 1620, just left of the fields.
    lblLegend[LegendServerName] = legend(page, "Server Name:", 645, 345, 975);
    txtServerName = textBox(page, 1680, 300, 1335, 315, 15);
    lblLegend[LegendServerAddress] = legend(page, "Server I.P. Address:", 210, 705, 1410);
    txtIPAddress = textBox(page, 1680, 660, 1335, 315, 15);
    lblLegend[LegendServerPort] = legend(page, "Server Port:", 780, 1065, 840);
    // Five digits: an unprivileged server listens above 1023, often on a five-digit port.
    txtPort = textBox(page, 1680, 1020, 495, 315, 4);
    lblLegend[LegendClientName] = legend(page, "Client Name:", 720, 1620, 900);
    lblName = legend(page, "Name", 1680, 1620, 420);
    lblLegend[LegendClientAddress] = legend(page, "Client I.P. Address:", 285, 1980, 1335);
    lblAddress = legend(page, "Client IP Address", 1680, 1980, 1200);
    for (int i : {LegendServerAddress, LegendServerPort, LegendClientAddress, LegendServerName,
                  LegendClientName})
        lblLegend[i]->setAlignment(Qt::AlignRight | Qt::AlignTop);
}

void frmConfigure::createAlertsPage()
{
    QFrame *page = fraTab[PageAlerts];
    chkMsg[MsgPopUpOnConnect] =
        checkBox(page, "&Display pop-up message on connection", 180, 240, 3135);
    chkMsg[MsgWaveOnConnect] = checkBox(page, "&Play wave on connection:", 180, 570, 2145);
    chkMsg[MsgPopUpOnDisconnect] =
        checkBox(page, "&Display pop-up message on disconnection", 180, 1620, 3315);
    chkMsg[MsgWaveOnDisconnect] = checkBox(page, "&Play wave on disconnection:", 180, 1950, 2335);
    for (int i = 0; i < WaveCount; ++i) {
        const int top = i == WaveConnect ? 870 : 2250;
        txtWave[i] = textBox(page, 660, top, 3015, 315);
        txtWave[i]->setEnabled(false);
        cmdWave[i] = button(page, "...", 3720, top, 315, 315);
        cmdWave[i]->setEnabled(false);
        cmdWave[i]->setAccessibleName(i == WaveConnect
                                          ? QStringLiteral("Choose the connection wave")
                                          : QStringLiteral("Choose the disconnection wave"));
        cmdTest[i] = button(page, "Test", 4080, top, 555, 315);
    }
}

void frmConfigure::createOtherPage()
{
    QFrame *page = fraTab[PageOther];
    chkBeep =
        checkBox(page, "&Beep for last 10 seconds of disconnection countdown", 180, 240, 4215);
    chkDismiss = checkBox(page, "Automatically dismiss pop-up messages after", 180, 720, 3435);
    txtDismiss = textBox(page, 3630, 690, 375, 285, 3);
    txtDismiss->setEnabled(false);
    lblLegend[LegendSeconds] = legend(page, "seconds", 4050, 735, 600);
    chkMinimize = checkBox(page, "Auto-&minimize after clicking on 'Connect' / 'Disconnect'", 180,
                           1170, 4275);
    optButton[ButtonExit] =
        new QRadioButton(QStringLiteral("Main screen has 'E&xit' button"), page);
    Twips::place(optButton[ButtonExit], 180, 1680, 2415, 255);
    optButton[ButtonMinimize] =
        new QRadioButton(QStringLiteral("Main screen has 'Mi&nimize' button"), page);
    Twips::place(optButton[ButtonMinimize], 180, 1980, 2775, 255);
}

void frmConfigure::setTabOrders()
{
    const QList<QWidget *> order{txtServerName,
                                 txtIPAddress,
                                 txtPort,
                                 cmdAction[ActionOk],
                                 cmdAction[ActionCancel],
                                 cmdTab[PageNetwork],
                                 cmdTab[PageAlerts],
                                 cmdTab[PageConnections],
                                 cmdTab[PageOther],
                                 chkMsg[MsgPopUpOnConnect],
                                 chkMsg[MsgWaveOnConnect],
                                 txtWave[WaveConnect],
                                 cmdWave[WaveConnect],
                                 cmdTest[WaveConnect],
                                 chkMsg[MsgPopUpOnDisconnect],
                                 chkMsg[MsgWaveOnDisconnect],
                                 txtWave[WaveDisconnect],
                                 cmdWave[WaveDisconnect],
                                 cmdTest[WaveDisconnect],
                                 chkIncludes[FilterAlertConnect],
                                 lstConnect[FilterAlertConnect],
                                 chkIncludes[FilterAlertDisconnect],
                                 lstConnect[FilterAlertDisconnect],
                                 chkIncludes[FilterConfirmDisconnect],
                                 lstConnect[FilterConfirmDisconnect],
                                 chkBeep,
                                 chkDismiss,
                                 txtDismiss,
                                 chkMinimize,
                                 optButton[ButtonExit],
                                 optButton[ButtonMinimize]};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmConfigure::connectHandlers()
{
    for (int i = 0; i < PageCount; ++i) {
        // A page is chosen as the mouse goes down, and by a click from the keyboard.
        connect(cmdTab[i], &QPushButton::pressed, this, [this, i] { cmdTab_Click(i); });
        connect(cmdTab[i], &QPushButton::clicked, this, [this, i] { cmdTab_Click(i); });
    }
    for (int i = 0; i < ActionCount; ++i)
        connect(cmdAction[i], &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });
    for (int i = 0; i < WaveCount; ++i) {
        connect(cmdWave[i], &QPushButton::clicked, this, [this, i] { cmdWave_Click(i); });
        connect(cmdTest[i], &QPushButton::clicked, this, [this, i] { cmdTest_Click(i); });
    }

    // Name and address exclude each other: typing into one empties the other.
    connect(txtServerName, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!text.isEmpty())
            txtIPAddress->clear();
    });
    connect(txtIPAddress, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!text.isEmpty())
            txtServerName->clear();
    });

    // Dependent controls follow their box whenever its value changes, from code as well.
    connect(chkDismiss, &QCheckBox::toggled, txtDismiss, &QWidget::setEnabled);
    for (int i = 0; i < WaveCount; ++i) {
        QCheckBox *play = chkMsg[i == WaveConnect ? MsgWaveOnConnect : MsgWaveOnDisconnect];
        connect(play, &QCheckBox::toggled, txtWave[i], &QWidget::setEnabled);
        connect(play, &QCheckBox::toggled, cmdWave[i], &QWidget::setEnabled);
    }
    for (int i = 0; i < FilterCount; ++i)
        connect(chkIncludes[i], &QCheckBox::toggled, lstConnect[i], &QWidget::setEnabled);

    for (QLineEdit *box : {txtPort, txtDismiss, txtIPAddress})
        box->installEventFilter(this);
}

bool frmConfigure::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const std::optional<int> code = typedCode(static_cast<QKeyEvent *>(event));
        if (code && !keyPress(watched, *code))
            return true;
    } else if (event->type() == QEvent::FocusOut && watched == txtDismiss) {
        // Only a move of the focus inside the dialog leaves the box; switching windows does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            txtDismiss_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

bool frmConfigure::keyPress(QObject *box, int keyAscii) const
{
    if (box == txtIPAddress)
        return ConfigureRules::keepAddressKey(txtIPAddress->text(), keyAscii);
    return ConfigureRules::keepDigitKey(keyAscii);
}

void frmConfigure::txtDismiss_LostFocus()
{
    if (!ConfigureRules::isNumber(txtDismiss->text()))
        chkDismiss->setChecked(false);
}

void frmConfigure::Form_Load(const ConfigureOpener &opener)
{
    m_link = opener.wskClient;
    m_exitButton = opener.exitButton;
    loadSettings();
    lblAddress->setText(m_link->LocalIP());
    lblAddress->adjustSize();
    lblName->setText(m_link->LocalHostName());
    lblName->adjustSize();

    if (m_link->State() == TcpClientSocket::StateConnected) {
        try {
            opener.fSendMessage(Protocol::CmdConfigureConnections);
        } catch (const RuntimeError &error) {
            reportInMessageBox(loadProcedure, error);
        }
    } else {
        cmdTab[PageConnections]->setEnabled(false);
    }
}

void frmConfigure::loadSettings()
{
    // A stored value that does not convert is reported once and leaves its control as
    // designed, so that the dialog still opens and a save repairs the setting.
    bool reported = false;
    const auto guarded = [&](const std::function<void()> &step) {
        try {
            step();
        } catch (const RuntimeError &error) {
            if (reported) {
                logRuntimeError(loadProcedure, error);
            } else {
                reportInMessageBox(loadProcedure, error);
                reported = true;
            }
        }
    };
    const auto check = [&](QCheckBox *box, QLatin1String key, const char *defaultValue) {
        guarded([&] {
            box->setChecked(Settings::integer16(key, QString::fromLatin1(defaultValue)) != 0);
        });
    };

    txtServerName->setText(Settings::text(Settings::ServerName));
    txtIPAddress->setText(Settings::text(Settings::ServerIPAddress));
    txtPort->setText(Settings::text(Settings::ServerPort, QStringLiteral("1000")));
    check(chkBeep, Settings::Beep, "0");
    check(chkMinimize, Settings::Minimize, "0");
    check(chkDismiss, Settings::Dismiss, "0");
    txtDismiss->setText(Settings::text(Settings::DismissTime, QStringLiteral("0")));
    check(chkMsg[MsgPopUpOnConnect], Settings::PopUpOnConnect, "1");
    check(chkMsg[MsgWaveOnConnect], Settings::WaveOnConnect, "0");
    // The end of a long path is the part worth seeing.
    txtWave[WaveConnect]->setText(Settings::text(Settings::ConnectWave));
    txtWave[WaveConnect]->end(false);
    check(chkMsg[MsgPopUpOnDisconnect], Settings::PopUpOnDisconnect, "0");
    check(chkMsg[MsgWaveOnDisconnect], Settings::WaveOnDisconnect, "0");
    txtWave[WaveDisconnect]->setText(Settings::text(Settings::DisconnectWave));
    txtWave[WaveDisconnect]->end(false);
    check(chkIncludes[FilterAlertConnect], Settings::AlertCIfIncludes, "0");
    check(chkIncludes[FilterAlertDisconnect], Settings::AlertDIfIncludes, "0");
    check(chkIncludes[FilterConfirmDisconnect], Settings::ConfirmIfIncludes, "0");
    guarded([&] {
        const qint16 n = Settings::leadingInteger16(Settings::MainScreenExit, QStringLiteral("0"));
        optButton[n == 0 ? ButtonExit : ButtonMinimize]->setChecked(true);
    });
}

void frmConfigure::cmdTab_Click(int Index)
{
    for (int k = 0; k < PageCount; ++k) {
        QFont font = cmdTab[k]->font();
        font.setBold(k == Index);
        cmdTab[k]->setFont(font);
        fraTab[k]->setVisible(k == Index);
    }
    QWidget *first[] = {txtServerName, chkMsg[MsgPopUpOnConnect], chkIncludes[FilterAlertConnect],
                        chkBeep};
    first[Index]->setFocus();
}

void frmConfigure::cmdWave_Click(int Index)
{
    frmWav *chooser = frmWav::instance();
    chooser->setWindowTitle(Index == WaveConnect
                                ? QStringLiteral("Select Wave to Play When Server Connects")
                                : QStringLiteral("Select Wave to Play When Server "
                                                 "Disconnects"));
    if (!txtWave[Index]->text().isEmpty())
        chooser->moveTo(txtWave[Index]->text());
    chooser->setWindowModality(Qt::ApplicationModal);
    chooser->show();
    const QPointer<frmConfigure> self(this);
    EventWait::waitWithoutLimit([] {
        const frmWav *open = frmWav::loaded();
        return !open || !open->isVisible();
    });
    const frmWav *answered = frmWav::loaded();
    if (self && answered && !answered->Tag.isEmpty()) {
        txtWave[Index]->setText(answered->Tag);
        txtWave[Index]->end(false);
    }
    frmWav::unload();
}

void frmConfigure::cmdTest_Click(int Index)
{
    Sound::playWave(txtWave[Index]->text());
}

void frmConfigure::cmdAction_Click(int Index)
{
    if (Index == ActionOk && !saveSettings())
        return;
    unload();
}

void frmConfigure::reject()
{
    cmdAction_Click(ActionCancel);
}

void frmConfigure::closeEvent(QCloseEvent *event)
{
    event->accept();
    cmdAction_Click(ActionCancel);
}

bool frmConfigure::saveSettings()
{
    // Enter saves without leaving the seconds box, so its focus-loss rule runs here as well.
    if (chkDismiss->isChecked())
        txtDismiss_LostFocus();
    if (chkMsg[MsgWaveOnConnect]->isChecked() && txtWave[WaveConnect]->text().isEmpty()) {
        MessageBox::show(QStringLiteral("Either specify a wave file to play when the server "
                                        "connects or turn off the 'Play wave when server "
                                        "connects' option."),
                         MessageBox::Exclamation);
        return false;
    }
    if (chkMsg[MsgWaveOnDisconnect]->isChecked() && txtWave[WaveDisconnect]->text().isEmpty()) {
        MessageBox::show(QStringLiteral("Either specify a wave file to play when the server "
                                        "disconnects or turn off the 'Play wave when server "
                                        "disconnects' option."),
                         MessageBox::Exclamation);
        return false;
    }
    try {
        Settings::save(Settings::ServerName, txtServerName->text());
        Settings::save(Settings::ServerIPAddress, txtIPAddress->text());
        Settings::save(Settings::ServerPort, txtPort->text());
        Settings::save(Settings::Beep, flag(chkBeep));
        Settings::save(Settings::Minimize, flag(chkMinimize));
        Settings::save(Settings::Dismiss, flag(chkDismiss));
        Settings::save(Settings::DismissTime, txtDismiss->text());
        Settings::save(Settings::PopUpOnConnect, flag(chkMsg[MsgPopUpOnConnect]));
        Settings::save(Settings::WaveOnConnect, flag(chkMsg[MsgWaveOnConnect]));
        Settings::save(Settings::PopUpOnDisconnect, flag(chkMsg[MsgPopUpOnDisconnect]));
        Settings::save(Settings::WaveOnDisconnect, flag(chkMsg[MsgWaveOnDisconnect]));
        Settings::save(Settings::ConnectWave, txtWave[WaveConnect]->text());
        Settings::save(Settings::DisconnectWave, txtWave[WaveDisconnect]->text());
        Settings::save(Settings::AlertCIfIncludes, flag(chkIncludes[FilterAlertConnect]));
        Settings::save(Settings::AlertDIfIncludes, flag(chkIncludes[FilterAlertDisconnect]));
        Settings::save(Settings::ConfirmIfIncludes, flag(chkIncludes[FilterConfirmDisconnect]));
        saveLists();
        restartCheck();
        const bool exitButton = optButton[ButtonExit]->isChecked();
        Settings::save(Settings::MainScreenExit,
                       exitButton ? QStringLiteral("0") : QStringLiteral("1"));
        if (m_exitButton)
            m_exitButton->setText(exitButton ? QStringLiteral("E&xit")
                                             : QStringLiteral("Mi&nimize"));
    } catch (const RuntimeError &error) {
        // Nothing is lost: the dialog stays open with every value the user entered.
        reportInMessageBox(saveProcedure, error);
        return false;
    }
    return true;
}

void frmConfigure::restartCheck()
{
    if (!m_link || m_link->State() != TcpClientSocket::StateConnected)
        return;
    const TcpClientSocket &link = *m_link;
    const ConfigureRules::Server stored{Settings::text(Settings::ServerName),
                                        Settings::text(Settings::ServerIPAddress),
                                        Settings::text(Settings::ServerPort)};
    if (ConfigureRules::restartNeeded(stored,
                                      {link.RemoteHost(), link.RemoteHostIP(), link.RemotePort()}))
        gShowInfo(QStringLiteral("You will need to restart the Velmora Client before the "
                                 "changes take effect."),
                  true);
}
