// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AnsweringDialog.h"
#include "SharedForm.h"

#include <map>
#include <optional>
#include <QList>
#include <QStringList>
#include <variant>

class QLabel;
class QPushButton;

// A message box that fits itself to its text and makes its buttons from a list of captions.
// Its callers see a call that returns the index of the pressed button, but the window is not
// modal: the call waits while events run, so the link, the timers and other windows keep
// working. One call at a time; every call starts from the design state and unloads the window
// when it has its answer.
class frmFlexiBox : public AnsweringDialog, public SharedForm<frmFlexiBox>
{
    Q_OBJECT

public:
    QLabel *imgIcon = nullptr;
    QLabel *lblMsg = nullptr;
    // cmdAction(0) is designed; the others are made per call.
    static constexpr int DesignedButton = 0;
    QList<QPushButton *> cmdAction;
    // The symbols by their message-box style numbers: 16, 32, 48 and 64.
    std::map<int, QLabel *> imgIcons;

    // Records the answer; the window stays up until the waiting call closes it.
    void cmdAction_Click(int Index);

    // imgIcon takes the picture of imgIcons(piIcon); a style without a symbol is an error.
    void setIcon(int piIcon);

    // The message as the label was given it, line breaks as they came.
    QString message() const { return m_message; }

    // Escape is not an answer: the box has no cancel button, so only its buttons and its
    // close box answer.
    void reject() override {}

protected:
    void cancelByUser() override { cmdAction_Click(1); }

private:
    friend class SharedForm<frmFlexiBox>;
    friend qint16 runFlexiBox(const QString &, const QStringList &, bool, const QString &);
    frmFlexiBox();

    void setSymbol(QLabel *target, int style);
    void layOut(const QString &ptMsg, const QStringList &captions, bool singleCaption);

    QString m_message;
};

// Another user's message, with "&Reply" (0) and "&Cancel" (1); the close box answers 1. Errors
// are logged and shown in a notice, and then the answer is 0.
qint16 giMsgBox(const QString &ptMsg, const QString &ptSender);

// The general form: piIcon is 16, 32, 48 or 64; pvButtons a list of captions or a single
// caption; pvTitle the title, the program's when not given. Errors reach the caller.
qint16 giFlexiBox(const QString &ptMsg, qint16 piIcon,
                  const std::variant<QStringList, QString> &pvButtons,
                  const std::optional<QString> &pvTitle = std::nullopt);
