// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MessageBox.h"

#include <QMessageBox>
#include <QPointer>
#include <QScopeGuard>

namespace {

QList<int> queuedAnswers;
QList<MessageBox::Shown> shown;
QList<QPointer<QMessageBox>> openBoxes;
std::function<void(const MessageBox::Shown &)> unexpectedBox;

QMessageBox::Icon iconFor(int style)
{
    switch (style & 0x70) {
    case MessageBox::Critical:
        return QMessageBox::Critical;
    case MessageBox::Question:
        return QMessageBox::Question;
    case MessageBox::Exclamation:
        return QMessageBox::Warning;
    case MessageBox::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

namespace MessageBox {

QString applicationTitle()
{
    return QStringLiteral("Velmora Client");
}

int show(const QString &text, int style, const QString &title)
{
    const QString boxTitle = title.isEmpty() ? applicationTitle() : title;
    shown.append({text, style, boxTitle});
    if (!queuedAnswers.isEmpty())
        return queuedAnswers.takeFirst();
    if (unexpectedBox) {
        unexpectedBox(shown.last());
        return (style & 0x7) == YesNo ? AnswerNo : AnswerOk;
    }

    QString display = text;
    display.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    display.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(iconFor(style), boxTitle, display);
    box.setTextFormat(Qt::PlainText);
    openBoxes.append(&box);
    const auto closed = qScopeGuard([&box] { openBoxes.removeAll(&box); });
    if ((style & 0x7) == YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton((style & DefaultButton2) ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? AnswerYes : AnswerNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return AnswerOk;
}

void closeAll()
{
    const QList<QPointer<QMessageBox>> boxes = openBoxes;
    for (const QPointer<QMessageBox> &box : boxes) {
        // A box of one button answers "OK" whatever it is closed with.
        if (box)
            box->done(QMessageBox::No);
    }
}

void setUnexpectedBoxHandler(std::function<void(const Shown &)> handler)
{
    unexpectedBox = std::move(handler);
}

void setNextAnswer(int answer)
{
    queuedAnswers.append(answer);
}

const QList<Shown> &shownBoxes()
{
    return shown;
}

void clearTestState()
{
    queuedAnswers.clear();
    shown.clear();
}

} // namespace MessageBox
