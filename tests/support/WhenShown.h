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
