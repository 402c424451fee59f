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
    void answersWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString tryHelp = QStringLiteral("Try 'velmora-client --help'");
        const auto row = [](const char *name, const QStringList &arguments, int exitCode,
                            const QString &out, const QString &err) {
            QTest::newRow(name) << arguments << exitCode << out << err;
        };
        row("help", {QStringLiteral("--help")}, 0, QStringLiteral("Usage: velmora-client"),
            QString());
        row("h", {QStringLiteral("-h")}, 0, QStringLiteral("--help-all"), QString());
        row("help-all", {QStringLiteral("--help-all")}, 0, QStringLiteral("-platform <name"),
            QString());
        row("version", {QStringLiteral("--version")}, 0,
            QStringLiteral("velmora-client " VELMORA_VERSION "\n"), QString());
        row("v", {QStringLiteral("-v")}, 0, QStringLiteral("velmora-client " VELMORA_VERSION),
            QString());
        row("unknown", {QStringLiteral("--bogus")}, 1, QString(),
            QStringLiteral("Unknown option 'bogus'.\n") + tryHelp);
        row("unknown after a Qt option",
            {QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("-bogus")}, 1,
            QString(), tryHelp);
        row("argument", {QStringLiteral("file.txt")}, 1, QString(),
            QStringLiteral("unexpected argument \"file.txt\"\n") + tryHelp);
        row("Qt option without its value", {QStringLiteral("-style")}, 1, QString(), tryHelp);
        row("no display", {}, 1, QString(),
            QStringLiteral("velmora-client: no display to show the window on: neither DISPLAY nor "
                           "WAYLAND_DISPLAY is set\n"));
    }
    void answersWithoutADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        client.setProcessEnvironment(environment);
        client.start(QStringLiteral(VELMORA_CLIENT_EXE), arguments);
        QVERIFY(client.waitForFinished(30000));
        const QString printed = QString::fromLocal8Bit(client.readAllStandardOutput());
        const QString complained = QString::fromLocal8Bit(client.readAllStandardError());
        QCOMPARE(client.exitStatus(), QProcess::NormalExit);
        QCOMPARE(client.exitCode(), exitCode);
        QVERIFY2(printed.contains(out), qPrintable(printed));
        QVERIFY2(complained.contains(err), qPrintable(complained));
        QCOMPARE(printed.isEmpty(), out.isEmpty());
        QCOMPARE(complained.isEmpty(), err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
