// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <memory>
#include <QTimer>

// Runs an action on a dialog as soon as it is loaded and shown. The action runs from the event
// loop, so it reaches the dialog even while the client sits in the wait for its answer. The
// watch ends with the returned handle, so an action never outlives the test that set it.
template <typename Form>
[[nodiscard]] std::unique_ptr<QTimer> whenShown(std::function<void(Form *)> action)
{
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(5);
    QTimer *timer = poll.get();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        Form *form = Form::loaded();
        if (!form || !form->isVisible())
            return;
        timer->stop();
        action(form);
    });
    timer->start();
    return poll;
}

// The same for every showing of an answering dialog: the action runs whenever the dialog is
// shown and has not answered yet, so it must leave an answer.
template <typename Form>
[[nodiscard]] std::unique_ptr<QTimer> whenEachShown(std::function<void(Form *)> action)
{
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(5);
    QObject::connect(poll.get(), &QTimer::timeout, poll.get(), [action] {
        Form *form = Form::loaded();
        if (form && form->isVisible() && form->Tag.isEmpty())
            action(form);
    });
    poll->start();
    return poll;
}
