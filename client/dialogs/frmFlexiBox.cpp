// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmFlexiBox.h"

#include "Artwork.h"
#include "FlexiBoxLayout.h"
#include "frmMsg.h"
#include "MessageBox.h"
#include "NoticeText.h"
#include "RuntimeError.h"
#include "Sound.h"
#include "Twips.h"

#include <algorithm>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

namespace {

constexpr int SymbolTwips = 480;

struct TextMetrics
{
    int width = 0;
    int height = 0;
    int line = 0;
};

// Widest line and height of all lines, in the window's bold measuring font.
TextMetrics measure(const QWidget *window, const QString &text)
{
    QFont bold = window->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = text.split(lineBreak);
    int widest = 0;
    for (const QString &line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    TextMetrics m;
    m.width = Twips::fromPixels(widest, window);
    m.line = Twips::fromPixels(metrics.height(), window);
    m.height = m.line * int(lines.size());
    return m;
}

} // namespace

frmFlexiBox::frmFlexiBox()
{
    Twips::setFixedClientSize(this, FlexiBoxLayout::DesignClientWidth,
                              FlexiBoxLayout::DesignClientHeight);

    imgIcon = new QLabel(this);
    Twips::place(imgIcon, 120, 120, SymbolTwips, SymbolTwips);
    lblMsg = new QLabel(this);
    Twips::place(lblMsg, FlexiBoxLayout::LabelLeft, FlexiBoxLayout::LabelTop, 5055,
                 FlexiBoxLayout::LabelDesignHeight);
    lblMsg->setTextFormat(Qt::PlainText);
    lblMsg->setWordWrap(true);
    lblMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A received text is worth copying; the mouse can select it, the keys stay with the buttons.
    lblMsg->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdAction.append(new QPushButton(this));
    // Neither a default nor a cancel button: Enter answers only on a button, Escape nowhere.
    cmdAction[DesignedButton]->setAutoDefault(false);
    Twips::place(cmdAction[DesignedButton], 2400, 780, FlexiBoxLayout::ButtonWidth,
                 FlexiBoxLayout::ButtonHeight);
    connect(cmdAction[DesignedButton], &QPushButton::clicked, this,
            [this] { cmdAction_Click(DesignedButton); });

    int left = 3660;
    for (const int style : {MessageBox::Critical, MessageBox::Question, MessageBox::Exclamation,
                            MessageBox::Information}) {
        QLabel *symbol = new QLabel(this);
        Twips::place(symbol, left, 720, SymbolTwips, SymbolTwips);
        setSymbol(symbol, style);
        symbol->hide();
        imgIcons[style] = symbol;
        left += 540;
    }
    setSymbol(imgIcon, MessageBox::Information);
    cmdAction[DesignedButton]->setFocus();
}

void frmFlexiBox::setSymbol(QLabel *target, int style)
{
    const int side = Twips::toPixels(SymbolTwips, this);
    target->setPixmap(Artwork::messageSymbol(style).pixmap(QSize(side, side), devicePixelRatioF()));
    static const char *const names[] = {"Stop", "Question", "Exclamation", "Information"};
    target->setAccessibleName(QLatin1String(names[style / 16 - 1]));
}

void frmFlexiBox::setIcon(int piIcon)
{
    if (!imgIcons.count(piIcon))
        throw RuntimeError(RuntimeError::ControlArrayElementMissing,
                           QStringLiteral("Control array element '%1' doesn't exist").arg(piIcon));
    setSymbol(imgIcon, piIcon);
}

void frmFlexiBox::cmdAction_Click(int Index)
{
    Tag = QString::number(Index);
}

void frmFlexiBox::layOut(const QString &ptMsg, const QStringList &captions, bool singleCaption)
{
    if (captions.isEmpty())
        throw RuntimeError(RuntimeError::SubscriptOutOfRange,
                           QStringLiteral("Subscript out of range: the message box was given no "
                                          "button captions"));
    const TextMetrics text = measure(this, ptMsg);
    FlexiBoxLayout::Input in;
    in.textWidth = text.width;
    in.textHeight = text.height;
    in.lineHeight = text.line;
    in.lineBreaks = FlexiBoxLayout::lineBreaks(ptMsg);
    in.singleCaption = singleCaption;
    for (const QString &caption : captions)
        in.captionWidths.append(measure(this, caption).width);
    in.frameWidth = Twips::fromPixels(frameGeometry().width() - width(), this);
    const FlexiBoxLayout::Result r = FlexiBoxLayout::layOut(in);

    cmdAction[DesignedButton]->setText(captions.first());
    for (qsizetype i = 1; i < r.buttonLefts.size(); ++i) {
        auto *button = new QPushButton(captions.at(i), this);
        button->setFont(cmdAction[DesignedButton]->font());
        button->setAutoDefault(false);
        button->hide();
        setTabOrder(cmdAction.last(), button);
        const int index = int(i);
        connect(button, &QPushButton::clicked, this, [this, index] { cmdAction_Click(index); });
        cmdAction.append(button);
        button->show();
    }
    Twips::setFixedClientSize(this, r.clientWidth, r.clientHeight);
    for (qsizetype i = 0; i < cmdAction.size(); ++i)
        Twips::place(cmdAction[i], r.buttonLefts.at(i), r.buttonTop, r.buttonWidths.at(i),
                     FlexiBoxLayout::ButtonHeight);
    m_message = ptMsg;
    lblMsg->setText(NoticeText::displayed(ptMsg));
    Twips::place(lblMsg, FlexiBoxLayout::LabelLeft, FlexiBoxLayout::LabelTop, r.labelWidth,
                 r.labelHeight);
    Twips::place(imgIcon, 120, r.iconTop, SymbolTwips, SymbolTwips);
}

qint16 runFlexiBox(const QString &ptMsg, const QStringList &captions, bool singleCaption,
                   const QString &title)
{
    // Whatever happens, the next call starts from the design state.
    struct Unloader
    {
        ~Unloader() { frmFlexiBox::unload(); }
    } unloader;
    frmFlexiBox *box = frmFlexiBox::instance();
    box->layOut(ptMsg, captions, singleCaption);
    box->setWindowTitle(title);
    Twips::centre(box);
    Sound::beep();
    box->show();
    box->raise();
    box->activateWindow();
    box->cmdAction[frmFlexiBox::DesignedButton]->setFocus();
    const frmFlexiBox *answered = waitForAnswer<frmFlexiBox>();
    return answered ? answered->Tag.toShort() : qint16(1);
}

qint16 giMsgBox(const QString &ptMsg, const QString &ptSender)
{
    try {
        return runFlexiBox(ptMsg, {QStringLiteral("&Reply"), QStringLiteral("&Cancel")}, false,
                           ptSender + QStringLiteral(" has sent you a message"));
    } catch (const RuntimeError &error) {
        reportInNotice(QStringLiteral("giMsgBox"), error);
        return 0;
    }
}

qint16 giFlexiBox(const QString &ptMsg, qint16 piIcon,
                  const std::variant<QStringList, QString> &pvButtons,
                  const std::optional<QString> &pvTitle)
{
    try {
        frmFlexiBox::instance()->setIcon(piIcon);
    } catch (const RuntimeError &) {
        frmFlexiBox::unload();
        throw;
    }
    const bool single = std::holds_alternative<QString>(pvButtons);
    const QStringList captions =
        single ? QStringList{std::get<QString>(pvButtons)} : std::get<QStringList>(pvButtons);
    return runFlexiBox(ptMsg, captions, single, pvTitle.value_or(MessageBox::applicationTitle()));
}
