// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The dispatcher in-process: a real offscreen main window, linked over loopback TCP to the
// tests' scripted server, takes random sequences of server messages while a simulated user
// gives random answers to every dialog they open.
//
// The input is a list of steps, one a line:
//   "@" choice [text]   an answer to an open dialog (ignored when none waits): the choice
//                       byte picks the dialog among those open and its button; the text goes
//                       into the password or the message being written
//   "!L", "!A"          the user clicks the Lock or the Alert box
//   anything else       one server message, sent once the previous one is acknowledged,
//                       also while a dialog waits (the next message then arrives inside it)
// When the steps run out, every dialog still open is cancelled and the countdown refused.
//
// The window and its link live across inputs; each input starts from a disconnected line, no
// messages queued, the real clock and unchecked boxes. A server shut-down ends the window,
// and the next input gets a new one. A wait in the client that never ends shows as a
// libFuzzer timeout.
#include "Clock.h"
#include "Cp1252.h"
#include "FakeServer.h"
#include "frmAlert.h"
#include "frmDUNPassword.h"
#include "frmFlexiBox.h"
#include "frmMain.h"
#include "frmMsg.h"
#include "frmPhonebook.h"
#include "frmUsers.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "NotifyIcon.h"
#include "Protocol.h"
#include "Sound.h"
#include "TcpClientSocket.h"
#include "TestHome.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <utility>

namespace {

constexpr int MaxSteps = 64;
// An acknowledgement over loopback takes well under a millisecond; a script that has not moved
// for this long waits for one that was lost.
constexpr qint64 StillMs = 200;
// A little more than the client's limit for an acknowledgement.
constexpr qint64 AckLimitMs = 11'000;

struct World
{
    QTemporaryDir home;
    std::unique_ptr<QApplication> app;
    std::unique_ptr<FakeServer> server;
    std::unique_ptr<frmMain> window;
    bool ended = false;
};

World *world = nullptr;

// Qt's warnings are findings, except those the offscreen platform prints about itself.
void onQtMessage(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    static const QRegularExpression platformNoise(QStringLiteral(
        "systemTrayWindowChanged|does not support (raise|propagateSizeHints)\\(\\)"));
    if (type == QtDebugMsg || type == QtInfoMsg || platformNoise.match(text).hasMatch())
        return;
    std::fprintf(stderr, "Qt message: %s\n", qPrintable(text));
    std::abort();
}

void runEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// A new window, loaded and linked to the scripted server.
void openWindow()
{
    world->ended = false;
    world->window = std::make_unique<frmMain>();
    QObject::connect(world->window.get(), &frmMain::programEnded, [] { world->ended = true; });
    if (!world->window->Form_Load()) {
        std::fprintf(stderr, "The window did not load\n");
        std::abort();
    }
    while (!world->server->hasClient() ||
           world->window->wskClient->State() != TcpClientSocket::StateConnected ||
           world->window->iState != 1)
        runEvents();
}

// One dialog that waits for the user's answer.
struct Waiting
{
    QPointer<QWidget> form;
    void (*answer)(QWidget *form, int choice, const QString &text);
};

template <typename Form> bool waiting(const Form *form)
{
    return form && form->isVisible() && form->Tag.isEmpty();
}

void selectRow(QListWidget *list, int choice)
{
    if (list->count() > 0)
        list->setCurrentRow(choice % list->count());
}

QList<Waiting> waitingDialogs()
{
    QList<Waiting> open;
    if (waiting(frmAlert::loaded()))
        open.append({frmAlert::loaded(), [](QWidget *form, int choice, const QString &) {
                         auto *alert = static_cast<frmAlert *>(form);
                         if (choice % 3 < 2) {
                             alert->cmdAction_Click(choice % 3);
                             return;
                         }
                         // The user lets the count run out.
                         Clock::advance((alert->lblCountdown->text().toLongLong() + 1) * 1000);
                     }});
    if (waiting(frmFlexiBox::loaded()))
        open.append({frmFlexiBox::loaded(), [](QWidget *form, int choice, const QString &) {
                         auto *box = static_cast<frmFlexiBox *>(form);
                         box->cmdAction_Click(choice % int(box->cmdAction.size()));
                     }});
    if (waiting(frmUsers::loaded()))
        open.append({frmUsers::loaded(), [](QWidget *form, int choice, const QString &text) {
                         auto *composer = static_cast<frmUsers *>(form);
                         if (composer->lstUsers->isEnabled())
                             selectRow(composer->lstUsers, choice / 2);
                         composer->txtMsg->setPlainText(text);
                         composer->cmdAction_Click(choice % 2);
                     }});
    if (waiting(frmDUNPassword::loaded()))
        open.append({frmDUNPassword::loaded(), [](QWidget *form, int choice, const QString &text) {
                         auto *prompt = static_cast<frmDUNPassword *>(form);
                         prompt->txtPassword->setText(text);
                         prompt->cmdAction_Click(choice % 2);
                     }});
    if (waiting(frmPhonebook::loaded()))
        open.append({frmPhonebook::loaded(), [](QWidget *form, int choice, const QString &) {
                         auto *chooser = static_cast<frmPhonebook *>(form);
                         selectRow(chooser->lstPhonebook, choice / 2);
                         chooser->cmdAction_Click(choice % 2);
                     }});
    return open;
}

// Plays one input's steps from the event loop, so that they also reach the client while it
// sits in one of its own waits.
class Script
{
public:
    explicit Script(QList<QByteArray> steps)
        : m_steps(std::move(steps))
    {}

    // Called on every pass of whichever event loop runs.
    void step()
    {
        if (world->ended)
            return;
        letTimePassWhenStill();
        if (m_next >= m_steps.size()) {
            refuseAll();
            return;
        }
        const QByteArray &line = m_steps.at(m_next);
        if (line.startsWith('@')) {
            ++m_next;
            const QList<Waiting> open = waitingDialogs();
            if (open.isEmpty())
                return;
            const int choice = line.size() > 1 ? quint8(line.at(1)) : 0;
            const Waiting &target = open.at((choice / 16) % open.size());
            target.answer(target.form, choice % 16, Cp1252::decode(line.mid(2)));
        } else if (line == "!L" || line == "!A") {
            ++m_next;
            (line == "!L" ? world->window->chkLock : world->window->chkAlert)->click();
        } else if (acknowledged() && !clientAwaitsAck()) {
            ++m_next;
            m_message = Cp1252::decode(line);
            m_acksBefore = acks();
            world->server->send(m_message);
        }
    }

    // Told of every request of the client as the server acknowledges it.
    void onRequest() { m_requestOpen = true; }

    // At the top of the event loop: no handler of the client is still running.
    bool finished() const { return world->ended || (m_next >= m_steps.size() && acknowledged()); }

private:
    // The client's acknowledgements so far. The server takes one read as one message too, so
    // an acknowledgement can arrive joined to a request of the client's before or after it.
    static qsizetype acks()
    {
        qsizetype count = 0;
        for (const QString &message : world->server->received())
            count += message.count(Protocol::MsgAck);
        return count;
    }

    // Every message but a lone "MSG_ACK" is acknowledged, until the window ends.
    bool acknowledged() const
    {
        return m_message.isEmpty() || m_message == Protocol::MsgAck || world->ended ||
               acks() > m_acksBefore;
    }

    // The client takes what one read brings as one message, so a message sent while the
    // acknowledgement of its request is on the way would join it, and the client would wait
    // out its limit for an acknowledgement it missed. A server sends nothing then.
    bool clientAwaitsAck()
    {
        if (world->window->bAckReceived)
            m_requestOpen = false;
        return m_requestOpen;
    }

    // A message of the server can still join an acknowledgement, or a request of the client
    // one that went before it, whatever the script waits for; the client then waits out the
    // limit of an acknowledgement it missed. When nothing has moved for a while, the script
    // lets that time pass on the program's clock. A wait that only an event would end, and
    // none comes, still shows as a timeout.
    void letTimePassWhenStill()
    {
        const auto moved = std::make_pair(m_next, world->server->received().size());
        if (moved != m_lastMove || !m_stillSince.isValid()) {
            m_lastMove = moved;
            m_stillSince.start();
        } else if (m_stillSince.elapsed() > StillMs) {
            Clock::advance(AckLimitMs);
            m_requestOpen = false;
            m_stillSince.start();
        }
    }

    static void refuseAll()
    {
        for (const Waiting &open : waitingDialogs()) {
            if (open.form)
                open.answer(open.form, 1, QString());
        }
    }

    QList<QByteArray> m_steps;
    qsizetype m_next = 0;
    QString m_message;
    qsizetype m_acksBefore = 0;
    bool m_requestOpen = false;
    std::pair<qsizetype, qsizetype> m_lastMove;
    QElapsedTimer m_stillSince;
};

// Back to the start of every input: a disconnected line, nothing queued or shown, the real
// clock, the boxes unchecked, empty logs.
QList<QByteArray> resetSteps()
{
    frmMain &w = *world->window;
    Clock::reset();
    MessageBox::clearTestState();
    world->server->clearReceived();
    frmMsg::unload();
    w.colMsgs.clear();
    if (w.chkLock->isChecked())
        w.chkLock->click();
    if (w.chkAlert->isChecked())
        w.chkAlert->click();
    QFile::remove(MainModule::activityLogPath());
    QFile::remove(MainModule::errorLogPath());
    if (w.lblConnection->text() != Protocol::StatusDisconnected)
        return {QString(Protocol::StatusDisconnected).toLatin1()};
    return {};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    world = new World;
    const QString home = world->home.path();
    const auto setFolder = [&home](const char *variable, const char *folder) {
        const QString path = home + QLatin1Char('/') + QLatin1String(folder);
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(variable, QFile::encodeName(path));
    };
    setFolder("XDG_CONFIG_HOME", "config");
    setFolder("XDG_STATE_HOME", "state");
    setFolder("XDG_RUNTIME_DIR", "runtime");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TZ", "UTC");
    qInstallMessageHandler(onQtMessage);
    world->app = std::make_unique<QApplication>(*argc, *argv);
    MainModule::setProgramFolder(home);
    Sound::setObserver([](const QString &) {});
    NotifyIcon::setAvailableForTests(true);
    MessageBox::setUnexpectedBoxHandler([](const MessageBox::Shown &) {});
    world->server = std::make_unique<FakeServer>();
    TestHome::seedServer(world->server->port());
    // With the Alert box checked, connections and hang-ups also show their notices.
    TestHome::seed(QStringLiteral("PopUpOnConnect"), QStringLiteral("1"));
    TestHome::seed(QStringLiteral("PopUpOnDisconnect"), QStringLiteral("1"));
    openWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (world->ended) {
        world->window.reset();
        openWindow();
    }
    QList<QByteArray> steps = resetSteps();
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QByteArray &line : input.split('\n')) {
        if (!line.isEmpty() && steps.size() < MaxSteps)
            steps.append(line);
    }
    Script script(std::move(steps));
    world->server->setResponder([&script](const QString &) { script.onRequest(); });
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&script] { script.step(); });
    pump.start(0);
    while (!script.finished())
        runEvents();
    world->server->setResponder(nullptr);
    return 0;
}
