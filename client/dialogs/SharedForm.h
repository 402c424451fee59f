#pragma once

#include <QPointer>

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
        if (!s_instance)
            s_instance = new Form();
        return s_instance;
    }

    // The window if it is loaded, else nullptr; never creates it.
    static Form *loaded() { return s_instance; }

    static void unload() { delete s_instance.data(); }

private:
    static inline QPointer<Form> s_instance;
};
