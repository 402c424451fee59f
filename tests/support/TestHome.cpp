// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestHome.h"

#include "Clock.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "NotifyIcon.h"
#include "Settings.h"
#include "SettingsBackend.h"
#include "Sound.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {
QStringList recordedSounds;
}

TestHome::TestHome()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    // Refuse to run anywhere but in the home ctest made for us: never touch a real user's.
    if (!config.startsWith(qEnvironmentVariable("VELMORA_TEST_HOME")) ||
        qEnvironmentVariableIsEmpty("VELMORA_TEST_HOME"))
        qFatal("Tests must run with XDG_CONFIG_HOME inside VELMORA_TEST_HOME (use ctest)");
    QDir(config).removeRecursively();
    QDir().mkpath(config);
    MainModule::setProgramFolder(m_programFolder.path());
    MessageBox::clearTestState();
    Clock::reset();
    recordedSounds.clear();
    Sound::setObserver([](const QString &path) { recordedSounds.append(path); });
    // The offscreen platform has no notification area; the tests run as on a desktop with one
    // unless they say otherwise.
    NotifyIcon::setAvailableForTests(true);
    MessageBox::setUnexpectedBoxHandler([](const MessageBox::Shown &box) {
        QTest::qFail(
            qPrintable(
                QStringLiteral("Unexpected message box \"%1\": %2").arg(box.title, box.text)),
            __FILE__, __LINE__);
    });
    // Every warning fails the test, except these, which the offscreen platform prints and which
    // say nothing about the client: it has no notification area to watch, and no window manager
    // to raise a window or to pass its size hints to.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(
        "^(?!.*(systemTrayWindowChanged|does not support (raise|propagateSizeHints)\\(\\))).*")));
}

void TestHome::allowShownMessageBoxes()
{
    MessageBox::setUnexpectedBoxHandler(nullptr);
}

TestHome::~TestHome()
{
    Sound::setObserver(nullptr);
    MessageBox::setUnexpectedBoxHandler(nullptr);
    NotifyIcon::setAvailableForTests(std::nullopt);
    MainModule::setProgramFolder(QString());
    Clock::reset();
}

QString TestHome::settingsFile() const
{
    return settingsFilePath(QStringLiteral("Velmora"));
}

void TestHome::seed(const QString &key, const QString &value)
{
    SaveSetting(QStringLiteral("Velmora"), QStringLiteral("Configuration"), key, value);
}

void TestHome::seed(const char *pairs)
{
    for (const QString &pair : str(pairs).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        seed(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
}

void TestHome::seedServer(quint16 port)
{
    seed(QStringLiteral("ServerIPAddress"), QStringLiteral("127.0.0.1"));
    seed(QStringLiteral("ServerPort"), QString::number(port));
}

const QStringList &TestHome::sounds() const
{
    return recordedSounds;
}

int TestHome::beeps() const
{
    return static_cast<int>(recordedSounds.count(QString()));
}

QString TestHome::readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
