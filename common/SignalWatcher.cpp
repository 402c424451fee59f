// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SignalWatcher.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <QSocketNotifier>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

int gPipe[2] = {-1, -1};

void onSignal(int number)
{
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(gPipe[0], &byte, 1);
    errno = saved;
}

} // namespace

SignalWatcher::SignalWatcher(std::initializer_list<int> signalNumbers, QObject *parent)
    : QObject(parent)
    , m_signals(signalNumbers)
{}

SignalWatcher::~SignalWatcher()
{
    if (!m_notifier)
        return;
    for (const int number : std::as_const(m_signals))
        std::signal(number, SIG_DFL);
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

bool SignalWatcher::install(QString *error)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gPipe) != 0) {
        *error = QStringLiteral("cannot create the signal socket pair: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_notifier = new QSocketNotifier(gPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::onReadable);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : std::as_const(m_signals)) {
        if (::sigaction(number, &action, nullptr) != 0) {
            *error =
                QStringLiteral("cannot handle signal %1: %2")
                    .arg(QString::number(number), QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    return true;
}

void SignalWatcher::onReadable()
{
    char byte = 0;
    while (::read(gPipe[1], &byte, 1) == 1)
        Q_EMIT signalled(static_cast<unsigned char>(byte));
}
