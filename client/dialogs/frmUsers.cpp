// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmUsers.h"

#include "Sound.h"
#include "Twips.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QString onTheWire(QString typed)
{
    return typed.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

// A multi-line text box that holds at most a number of characters as they will be sent, a
// line break counting as the two it becomes. What does not fit is refused with a beep,
// whether typed or pasted.
class LimitedTextEdit : public QPlainTextEdit
{
public:
    LimitedTextEdit(int maxLength, QWidget *parent)
        : QPlainTextEdit(parent)
        , m_maxLength(maxLength)
    {
        setTabChangesFocus(true);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        QString typed = event->text();
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            typed = QStringLiteral("\n");
        const bool inserts = !typed.isEmpty() && (typed.at(0).isPrint() || typed == u"\n") &&
                             !(event->modifiers() & Qt::ControlModifier);
        if (inserts && room() < onTheWire(typed).size()) {
            Sound::beep();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }

    void insertFromMimeData(const QMimeData *source) override
    {
        QString text = source->text();
        text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
        qsizetype fits = 0;
        qsizetype used = 0;
        const qsizetype free = room();
        while (fits < text.size() && used + (text.at(fits) == u'\n' ? 2 : 1) <= free) {
            used += text.at(fits) == u'\n' ? 2 : 1;
            ++fits;
        }
        if (fits < text.size())
            Sound::beep();
        insertPlainText(text.left(fits));
    }

private:
    // Characters still free once the selection, which the insertion replaces, is gone.
    qsizetype room() const
    {
        const qsizetype used =
            onTheWire(toPlainText()).size() -
            onTheWire(textCursor().selectedText().replace(u'\u2029', u'\n')).size();
        return m_maxLength - used;
    }

    int m_maxLength;
};

} // namespace

frmUsers::frmUsers()
{
    setWindowTitle(QStringLiteral("Send Message to Another User"));
    Twips::setFixedClientSize(this, 5475, 2775);

    fraContainer[ContainerUsers] = new QGroupBox(QStringLiteral("Send Message To"), this);
    Twips::place(fraContainer[ContainerUsers], 120, 60, 1995, 2115);
    lstUsers = new QListWidget(fraContainer[ContainerUsers]);
    Twips::place(lstUsers, 180, 300, 1635, 1230);
    lstUsers->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cmdSelect = new QPushButton(QStringLiteral("&Select All"), fraContainer[ContainerUsers]);
    Twips::place(cmdSelect, 720, 1620, 1095, 375);

    fraContainer[ContainerMessage] = new QGroupBox(QStringLiteral("Message"), this);
    Twips::place(fraContainer[ContainerMessage], 2340, 60, 3015, 2115);
    txtMsg = new LimitedTextEdit(MaxLength, fraContainer[ContainerMessage]);
    Twips::place(txtMsg, 180, 300, 2655, 1635);

    cmdAction[ActionOk] = new QPushButton(QStringLiteral("&OK"), this);
    Twips::place(cmdAction[ActionOk], 3060, 2280, 1095, 375);
    cmdAction[ActionCancel] = new QPushButton(QStringLiteral("Cancel"), this);
    Twips::place(cmdAction[ActionCancel], 4260, 2280, 1095, 375);
    // No default button: Enter in the text box starts a new line.
    for (QPushButton *button : {cmdSelect, cmdAction[ActionOk], cmdAction[ActionCancel]})
        button->setAutoDefault(false);

    setTabOrder(lstUsers, txtMsg);
    setTabOrder(txtMsg, cmdAction[ActionOk]);
    setTabOrder(cmdAction[ActionOk], cmdAction[ActionCancel]);
    setTabOrder(cmdAction[ActionCancel], cmdSelect);
    lstUsers->setFocus();

    connect(cmdSelect, &QPushButton::clicked, this, &frmUsers::cmdSelect_Click);
    for (int i = 0; i < static_cast<int>(cmdAction.size()); ++i)
        connect(cmdAction[i], &QPushButton::clicked, this, [this, i] { cmdAction_Click(i); });

    Twips::centre(this);
}

void frmUsers::cmdSelect_Click()
{
    lstUsers->selectAll();
}

void frmUsers::cmdAction_Click(int Index)
{
    if (Index == ActionOk && (txtMsg->toPlainText().isEmpty() ||
                              (lstUsers->isEnabled() && lstUsers->selectedItems().isEmpty())))
        return;
    answer(QString::number(Index));
}

QString frmUsers::messageText() const
{
    return onTheWire(txtMsg->toPlainText());
}
