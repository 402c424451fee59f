// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>
#include <utility>

// Every shared window that is loaded, whatever its class, so that the program's end can unload
// them all: a window left behind would keep its opener waiting and the program alive.
namespace SharedForms {

inline QList<QPointer<QWidget>> &loadedForms()
{
    static QList<QPointer<QWidget>> forms;
    return forms;
}

inline void unloadAll()
{
    const QList<QPointer<QWidget>> forms = std::exchange(loadedForms(), {});
    for (const QPointer<QWidget> &form : forms)
        delete form.data();
}

} // namespace SharedForms

// The life of a dialog window: one shared instance, created on first use and released again
// when it unloads, so that every use starts from the design state. Unloading deletes the
// window at once rather than later: the program's waits run events by hand, and a deferred
// delete would never happen inside them.
template <typename Form> class SharedForm
{
public:
    // The window, created and loaded if it is not loaded yet.
    static Form *instance()
    {
        if (!s_instance) {
            s_instance = new Form();
            QList<QPointer<QWidget>> &forms = SharedForms::loadedForms();
            forms.removeIf([](const QPointer<QWidget> &form) { return form.isNull(); });
            forms.append(s_instance.data());
        }
        return s_instance;
    }

    // The window if it is loaded, else nullptr; never creates it.
    static Form *loaded() { return s_instance; }

    static void unload() { delete s_instance.data(); }

private:
    static inline QPointer<Form> s_instance;
};
