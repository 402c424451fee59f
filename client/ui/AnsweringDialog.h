// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "EventWait.h"

#include <QDialog>
#include <QString>

// A dialog that answers its opener: it writes the answer into Tag and hides, and the opener,
// which waits for Tag without a time limit, reads the controls it needs and unloads the
// window. Because that wait has no limit, every way the user can close the window leaves an
// answer: Escape, the close box and Alt+F4 answer as the cancelling button does.
class AnsweringDialog : public QDialog
{
    Q_OBJECT

public:
    // The answer: empty until the window has answered.
    QString Tag;

    // Escape answers as the cancelling button does.
    void reject() override;

    // Whether the window answered with the button at Index of its cmdAction: the dialogs whose
    // buttons answer with their own index.
    bool answeredWith(int Index) const { return Tag == QString::number(Index); }

protected:
    // Fixed frame with a title, a system menu and a close box; no help button.
    static constexpr Qt::WindowFlags frameFlags =
        Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
        Qt::MSWindowsFixedSizeDialogHint;

    explicit AnsweringDialog(Qt::WindowFlags flags = frameFlags);

    // Records the answer and hides; the window stays loaded until the opener unloads it.
    void answer(const QString &ptAnswer);

    // What the user's own ways of closing the window do: the cancelling button's click.
    virtual void cancelByUser() = 0;

    void closeEvent(QCloseEvent *event) override;
    // Enter on a button presses it, also where no button is the default; elsewhere it reaches
    // the default button, if there is one.
    void keyPressEvent(QKeyEvent *event) override;
};

// Waits, running events, until the shared dialog Form has answered. Returns the dialog while it
// is still loaded, so that its controls can be read, or nullptr when something unloaded it
// meanwhile.
template <typename Form> Form *waitForAnswer()
{
    EventWait::waitWithoutLimit([] {
        const Form *open = Form::loaded();
        return !open || !open->Tag.isEmpty();
    });
    return Form::loaded();
}
