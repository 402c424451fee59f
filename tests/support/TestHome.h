// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A Latin-1 text, "|" standing for the list separator character of the store and the protocol.
inline QString str(const char *text)
{
    return QString::fromLatin1(text).replace(QLatin1Char('|'), QChar(28));
}

// A clean world for one test: an empty settings store in the test's own configuration home,
// a fresh program folder for the logs, no queued message-box answers, the real clock, and a
// record of every beep and wave asked for. It also makes the test strict: a Qt warning fails
// it, and so does a message box that no queued answer expects.
class TestHome
{
public:
    TestHome();
    ~TestHome();

    QString programFolder() const { return m_programFolder.path(); }
    QString settingsFile() const;

    // Seeds the store, as an administrator would.
    static void seed(const QString &key, const QString &value);
    // Seeds from "Key=value" pairs separated by ";".
    static void seed(const char *pairs);
    // A store that links to 127.0.0.1 on the given port.
    static void seedServer(quint16 port);

    // Sounds asked for since the test began: an empty entry is a beep, else a wave's path.
    const QStringList &sounds() const;
    int beeps() const;

    static QString readFile(const QString &path);

    // Message boxes without a queued answer show for real, for a test that closes them itself;
    // by default such a box fails the test at once, naming the box.
    static void allowShownMessageBoxes();

private:
    QTemporaryDir m_programFolder;
};
