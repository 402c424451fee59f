// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <QImage>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

// What the notification-area icon shows: its picture and its tip.
struct NotifyIconData
{
    QImage hIcon;
    QString szTip;
};

// The notification-area icon. Its tip holds at most 63 characters; a longer text is cut.
// A left click asks for the main window; the right button opens the given menu.
class NotifyIcon : public QObject
{
    Q_OBJECT

public:
    static constexpr int TipLength = 63;

    explicit NotifyIcon(QMenu *menu, QObject *parent = nullptr);
    ~NotifyIcon() override;

    void add(const NotifyIconData &data);
    void modify(const NotifyIconData &data);
    void remove();

    static QString tipText(const QString &tip);

    // Whether the desktop has a notification area to show the icon in.
    static bool available();
    // Test hook: answers available() in place of the desktop; std::nullopt asks it again.
    static void setAvailableForTests(std::optional<bool> available);

Q_SIGNALS:
    void leftClicked();

private:
    void apply(const NotifyIconData &data);

    QSystemTrayIcon *m_icon;
    // The picture the tray shows now.
    QImage m_shownImage;
};
