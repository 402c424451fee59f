// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QProcess>
#include <QTest>

// The real program, started as from a terminal without any display: what does not open a
// window answers and exits by itself.
class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answersWithoutADisplay()
    {
        const QString tryHelp = QStringLiteral("Try 'velmora-client --help'");
        // The arguments (blank-separated); the exit code, and what stdout and stderr hold.
        const std::tuple<const char *, int, QString, QString> rows[] = {
            {"--help-all", 0, QStringLiteral("-platform <name"), {}},
            {"-v", 0, QStringLiteral("velmora-client " VELMORA_VERSION "\n"), {}},
            {"--bogus", 1, {}, QStringLiteral("Unknown option 'bogus'.\n") + tryHelp},
            {"-platform xcb -bogus", 1, {}, tryHelp},
            {"file.txt", 1, {}, QStringLiteral("unexpected argument \"file.txt\"\n") + tryHelp},
            {"",
             1,
             {},
             QStringLiteral("no display to show the window on: neither DISPLAY nor "
                            "WAYLAND_DISPLAY is set\n")},
        };
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        for (const auto &[arguments, exitCode, out, err] : rows) {
            QProcess client;
            client.setProcessEnvironment(environment);
            client.start(
                QStringLiteral(VELMORA_CLIENT_EXE),
                QString::fromLatin1(arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts));
            QVERIFY(client.waitForFinished(30000));
            const QString printed = QString::fromLocal8Bit(client.readAllStandardOutput());
            const QString complained = QString::fromLocal8Bit(client.readAllStandardError());
            QCOMPARE(client.exitStatus(), QProcess::NormalExit);
            QVERIFY2(client.exitCode() == exitCode, arguments);
            QVERIFY2(printed.contains(out) && printed.isEmpty() == out.isEmpty(),
                     qPrintable(printed));
            QVERIFY2(complained.contains(err) && complained.isEmpty() == err.isEmpty(),
                     qPrintable(complained));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
