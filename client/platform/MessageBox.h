// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <QList>
#include <QString>

// Modal message boxes with the platform's style numbers and answers.
namespace MessageBox {

inline constexpr int YesNo = 4;
inline constexpr int Critical = 16;
inline constexpr int Question = 32;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;
inline constexpr int DefaultButton2 = 256;

inline constexpr int AnswerOk = 1;
inline constexpr int AnswerYes = 6;
inline constexpr int AnswerNo = 7;

// The title of a box that is given none.
QString applicationTitle();

// Shows the box and returns the button pressed. A carriage return in the text breaks the line.
int show(const QString &text, int style, const QString &title = QString());

// Closes every box still open, each with the answer of its Escape key: the program is ending.
void closeAll();

// Test hooks. A queued answer is returned by the next box instead of showing it; every box,
// shown or answered from the queue, is recorded.
struct Shown
{
    QString text;
    int style = 0;
    QString title;
};
void setNextAnswer(int answer);
// Told of a box that finds no queued answer, in place of showing it; it returns the box's
// Escape answer. Tests use it to fail at once instead of waiting for a user who never comes.
void setUnexpectedBoxHandler(std::function<void(const Shown &)> handler);
const QList<Shown> &shownBoxes();
void clearTestState();

} // namespace MessageBox
