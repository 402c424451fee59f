// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerApp.h"

#include "Accounting.h"
#include "Log.h"
#include "Options.h"
#include "ServerConfig.h"
#include "SignalWatcher.h"
#include "VelmoraServer.h"

#include <csignal>
#include <cstdio>
#include <QCoreApplication>
#include <QFileInfo>
#include <sys/resource.h>

namespace {

// A minute a second at most: enough for a test, and a forgotten setting still leaves the waits
// after wrong passwords more than a moment.
constexpr int kMaxClockRate = 60;

void printTo(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// The configuration to run with, or an error text. At start the default file may be missing,
// the built-in settings then apply; a file named on the command line must exist. A reload never
// falls back to the built-in settings, which would give every desk every right.
ConfigResult configFor(const Options &options, bool reloading = false)
{
    const bool named = !options.configPath.isEmpty();
    const QString path = named ? options.configPath : QString(DefaultConfigPath);
    if (!named && !QFileInfo::exists(path)) {
        if (reloading)
            return {{}, QStringLiteral("%1 does not exist").arg(path)};
        Log::warning(
            QStringLiteral("%1 does not exist; running with the built-in settings").arg(path));
        return {};
    }
    Log::info(QStringLiteral("Configuration: %1").arg(path));
    ConfigResult result = loadConfig(path);
    if (!result.error.isEmpty())
        result.error = QStringLiteral("%1: %2").arg(path, result.error);
    return result;
}

// Qt's own messages join the log in its form, so that the journal reads as one.
void onQtMessage(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    const QString line = QStringLiteral("Qt: %1").arg(text);
    switch (type) {
    case QtDebugMsg:
    case QtInfoMsg:
        Log::debug(line);
        break;
    case QtWarningMsg:
        Log::warning(line);
        break;
    case QtCriticalMsg:
    case QtFatalMsg:
        Log::error(line);
        break;
    }
}

} // namespace

quint64 raiseOpenFileLimit()
{
    rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur;
}

int runServer(int argc, char *argv[], const ServerExtension &extension)
{
    qInstallMessageHandler(onQtMessage);
    // Qt's own event loop instead of GLib's: GLib adds and removes a socket's watch by walking
    // the list of them all, and with thousands of links every write and read pays for that. The
    // variable goes once the loop exists, so that the line's commands do not inherit it.
    const bool noGlibSet = qEnvironmentVariableIsEmpty("QT_NO_GLIB");
    if (noGlibSet)
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    if (noGlibSet)
        qunsetenv("QT_NO_GLIB");
    QCoreApplication::setApplicationName(QStringLiteral("velmora-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

    const Options options = parseOptions(QCoreApplication::arguments());
    // Every line on standard error is a line of the log, a refusal to start too, so that the
    // journal and a terminal read the same.
    if (!options.error.isEmpty()) {
        QString why = options.error;
        if (why.endsWith(QLatin1Char('.')))
            why.chop(1);
        Log::error(QStringLiteral("%1; \"velmora-server --help\" lists the options").arg(why));
        return 2;
    }
    if (options.help) {
        printTo(stdout, optionsHelp());
        return 0;
    }
    if (options.version) {
        printTo(stdout, QStringLiteral("velmora-server %1\n").arg(QStringLiteral(VELMORA_VERSION)));
        return 0;
    }
    if (options.logLevel)
        Log::setLevel(*options.logLevel);
    ConfigResult loaded = configFor(options);
    if (!loaded.error.isEmpty()) {
        Log::error(loaded.error);
        return 2;
    }
    ServerConfig config = loaded.config;
    if (options.port)
        config.port = *options.port;
    Log::setLevel(options.logLevel.value_or(config.logLevel));

    Log::info(QStringLiteral("Velmora Server %1; up to %2 open files")
                  .arg(QStringLiteral(VELMORA_VERSION), QString::number(raiseOpenFileLimit())));
    Log::info(QStringLiteral("Line backend: %1; %2 phonebook entries")
                  .arg(config.backend == BackendKind::Command ? QStringLiteral("command")
                       : config.backend == BackendKind::NetworkManager
                           ? QStringLiteral("networkmanager")
                           : QStringLiteral("simulated"),
                       QString::number(config.phonebook.size())));
    QString error;
    // Found out at the first call, a log that cannot be written would already have lost it.
    if (!Accounting::writable(config.accountingFile, &error)) {
        Log::error(error + QStringLiteral(" (the server's user must be able to write it; "
                                          "without AccountingFile there is no accounting log)"));
        return 1;
    }
    SignalWatcher watcher({SIGTERM, SIGINT, SIGHUP, SIGUSR1});
    if (!watcher.install(&error)) {
        Log::error(error);
        return 1;
    }
    VelmoraServer server(config);
    // The tests of the real process run its clock fast instead of waiting minutes.
    const QByteArray rate = qgetenv("VELMORA_SERVER_TEST_CLOCK_RATE");
    if (!rate.isEmpty()) {
        const int times = rate.toInt();
        if (times < 1 || times > kMaxClockRate) {
            Log::error(QStringLiteral("VELMORA_SERVER_TEST_CLOCK_RATE=\"%1\": expected a whole "
                                      "number from 1 to %2")
                           .arg(QString::fromLocal8Bit(rate), QString::number(kMaxClockRate)));
            return 1;
        }
        server.clock().setRate(times);
        Log::warning(QStringLiteral("The server's clock runs %1 times as fast, for tests "
                                    "(VELMORA_SERVER_TEST_CLOCK_RATE)")
                         .arg(QString::number(times)));
    }
    if (!server.start(&error) || (extension && !extension(server, &error))) {
        Log::error(error);
        return 1;
    }
    QObject::connect(&watcher, &SignalWatcher::signalled, &server, [&](int number) {
        if (number == SIGHUP) {
            // A bad new file changes nothing: the server goes on with what it has.
            Log::info(QStringLiteral("SIGHUP received: reading the configuration again"));
            const ConfigResult reloaded = configFor(options, true);
            if (!reloaded.error.isEmpty())
                Log::error(QStringLiteral("The new configuration is refused, the old one stays "
                                          "in force: %1")
                               .arg(reloaded.error));
            else
                server.reload(reloaded.config);
            if (reloaded.error.isEmpty() && !options.logLevel)
                Log::setLevel(reloaded.config.logLevel);
            return;
        }
        static bool again = false;
        if (again) {
            Log::info(QStringLiteral("Second signal: stopping at once"));
            QCoreApplication::exit(0);
            return;
        }
        again = true;
        Log::info(QStringLiteral("Signal %1 received").arg(QString::number(number)));
        server.shutDown(number == SIGUSR1 ? VelmoraServer::Farewell::EndClients
                                          : VelmoraServer::Farewell::CloseLinks);
    });
    QObject::connect(&server, &VelmoraServer::stopped, &app, [] {
        Log::info(QStringLiteral("Stopped"));
        QCoreApplication::exit(0);
    });
    return QCoreApplication::exec();
}
