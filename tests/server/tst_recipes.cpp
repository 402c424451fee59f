// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerTestSupport.h"
#include "ShellCommand.h"

#include <optional>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The password in what pppd reads as an options file: the one option password "...", in which
// a backslash or double quote is escaped. The password in an nmcli passwd-file: the one line
// setting.password:..., in which a backslash or blank is escaped (nmcli strips blanks that are
// not). Nothing when such a character stands unescaped, for pppd or nmcli would then read the
// text otherwise (end the quote, strip a blank, end the line): stricter than either program's
// own reading, so that whatever they would read differently from the password typed fails.
std::optional<QByteArray> handedOver(const QByteArray &input, bool pppd)
{
    static const QRegularExpression options(QStringLiteral("^password \"(.*)\"\n$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression secrets(QStringLiteral("^[a-z0-9-]+\\.password:(.*)\n$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match =
        (pppd ? options : secrets).match(QString::fromLatin1(input));
    if (!match.hasMatch())
        return std::nullopt;
    const QByteArray raw = match.captured(1).toLatin1();
    const QByteArray escaped = pppd ? "\\\"" : "\\ \t\n";
    QByteArray value;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size() && escaped.contains(raw[i + 1]))
            value += raw[++i];
        else if (escaped.contains(raw[i]))
            return std::nullopt;
        else
            value += raw[i];
    }
    return value;
}

} // namespace

// What the line's commands are handed and what the line makes of them. Only the dial command
// sees a password, and what it echoes is masked in the log. Every command line that docs/server.md
// offers an administrator, run as the server runs it with programs of the same names that record
// their arguments and their standard input: for a password of any printable characters, the line
// hands exactly one password, exactly as typed, to the program that reads it, and shows it on no
// command line.
class TestRecipes : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString records() const { return m_dir.filePath(QStringLiteral("records")); }
    QString recorded(const char *name) const
    {
        QFile file(m_dir.filePath(str(name)));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void initTestCase()
    {
        Log::setLevel(Log::Level::Warning);
        QVERIFY(m_dir.isValid());
        const QString stubs = m_dir.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(stubs));
        for (const char *program : {"pon", "poff", "pppd", "nmcli", "ip", "dhclient"}) {
            QFile stub(stubs + QLatin1Char('/') + str(program));
            QVERIFY(stub.open(QIODevice::WriteOnly));
            stub.write("#!/bin/sh\n"
                       "call=$(mktemp \"$VELMORA_RECORDS/call.XXXXXX\") || exit 99\n"
                       "printf '%s\\0' \"${0##*/}\" \"$@\" > \"$call.args\"\n"
                       "cat > \"$call.in\"\n");
            QVERIFY(stub.setPermissions(stub.permissions() | QFile::ExeOwner));
        }
        qputenv("PATH", (stubs + QLatin1Char(':')).toLocal8Bit() + qgetenv("PATH"));
    }

    void aRecipeHandsOverExactlyOnePassword_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("password");
        QFile doc(QStringLiteral(VELMORA_SERVER_DOC));
        QVERIFY(doc.open(QIODevice::ReadOnly));
        static const QRegularExpression recipe(QStringLiteral("^    (Dial|HangUp|Status)=(.+)$"),
                                               QRegularExpression::MultilineOption);
        // Split at "|", the empty password first.
        const QStringList passwords =
            str("|plain|it's \"quoted\"|back\\slash\\|\\\"|\"|\\|'| | lead and trail |two  blanks|"
                "#not a comment|a # b|$(touch pwned) `id`|%s%n%%|\\n\\t\\101\\x41\\s|"
                "-- plugin evil.so|password \"x\" plugin evil.so|\u00e9t\u00e9 \u20ac \u0178|"
                "x:y=z|&\\&\\1")
                .split(u'|');
        int recipes = 0;
        auto it = recipe.globalMatch(QString::fromUtf8(doc.readAll()));
        while (it.hasNext()) {
            const QString command = it.next().captured(2);
            ++recipes;
            // A line that does not name the password is run with one, to see it hand none on.
            const bool named = command.contains(str("$VELMORA_PASSWORD"));
            for (qsizetype i = named ? 0 : 2; i < (named ? passwords.size() : 3); ++i)
                QTest::addRow("recipe %d, password %d", recipes, int(i)) << command << passwords[i];
        }
        // Every example: the two for an interface the line follows, and the pppd and
        // NetworkManager ones, each with its status, hang-up and two dial commands.
        QCOMPARE(recipes, 12);
    }
    void aRecipeHandsOverExactlyOnePassword()
    {
        QFETCH(QString, command);
        QFETCH(QString, password);
        const QString entry = str("Backup DSL");
        QDir(records()).removeRecursively();
        QVERIFY(QDir().mkpath(records()));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VELMORA_RECORDS"), records());
        environment.insert(QStringLiteral("VELMORA_ENTRY"), entry);
        environment.insert(QStringLiteral("VELMORA_PASSWORD"), password);
        ShellCommand shell(command, environment, 10000);
        QSignalSpy finished(&shell, &ShellCommand::finished);
        shell.start();
        QTRY_COMPARE(finished.size(), 1);

        const QByteArray typed = password.toUtf8();
        QList<QByteArray> handed;
        // Each call's arguments, the program's name first, and its standard input.
        const QDir dir(records());
        const QStringList calls = dir.entryList({QStringLiteral("*.args")});
        QVERIFY(!calls.isEmpty());
        for (const QString &call : calls) {
            QFile argumentsFile(dir.filePath(call));
            QFile inputFile(dir.filePath(call.chopped(5) + QStringLiteral(".in")));
            QVERIFY(argumentsFile.open(QIODevice::ReadOnly) && inputFile.open(QIODevice::ReadOnly));
            QList<QByteArray> arguments = argumentsFile.readAll().split('\0');
            arguments.removeLast();
            const QByteArray input = inputFile.readAll();
            const QString shown = QString::fromUtf8(arguments.join(' '));
            const bool pppd = shown.contains(str(" file /dev/stdin"));
            if (pppd || shown.contains(str(" passwd-file /dev/stdin"))) {
                const std::optional<QByteArray> value = handedOver(input, pppd);
                QVERIFY2(value, qPrintable(QString::fromUtf8(input)));
                handed.append(*value);
            } else {
                QVERIFY2(input.isEmpty(), qPrintable(shown));
            }
            // On no command line, which every local user can read.
            if (!typed.isEmpty() && !command.contains(password) && !entry.contains(password)) {
                for (const QByteArray &argument : arguments)
                    QVERIFY2(!argument.contains(typed), qPrintable(shown));
            }
        }
        QCOMPARE(handed.size(), command.contains(str("$VELMORA_PASSWORD")) ? 1 : 0);
        for (const QByteArray &value : std::as_const(handed))
            QCOMPARE(QString::fromUtf8(value), password);
    }

    // The dial command of each row runs after recording what it sees, in the folder %1.
    void commands()
    {
        // The output stays in the log, masked before it is trimmed: it may echo the password.
        const char *echoes = "printf 'dialling\\n%s\\n' \"$VELMORA_PASSWORD\"; exit 3";
        const char *failed = "down Dialling Night line failed: the command ended with code 3";
        // The dial command, whether there is a status command, whether the entry asks a
        // password, what is typed, the outcome and what the log holds.
        const std::tuple<const char *, bool, bool, const char *, const char *, const char *>
            rows[] = {{"exit 0", false, false, "x\" connect \"/bin/sh", "up Night line", ""},
                      {"touch '%1/up'", true, true, " it's \"$x\" ", "up Night line", ""},
                      {echoes, false, true, " Owl 42 ", failed, "its last line of output: ***"},
                      {"true", true, false, "",
                       "down Dialling Night line failed: no connection within 0.3 s", ""},
                      // The child left in the background must end with the command's group.
                      {"sleep 30 & echo $! > '%1/pid'; wait", false, false, "",
                       "down Dialling Night line failed: no outcome within 0.3 s", ""}};
        for (const auto &[dialText, withStatus, asks, typedText, outcome, logged] : rows) {
            QString dial = str(dialText);
            const QString typed = str(typedText);
            for (const char *name : {"dial", "status", "hangup", "pid"})
                QFile::remove(m_dir.filePath(str(name)));
            const auto records = [this](const char *name, const char *format) {
                return str("printf '%1' \"$VELMORA_ENTRY\" \"${VELMORA_PASSWORD-unset}\" >> '%2'; ")
                    .arg(str(format), m_dir.filePath(str(name)));
            };
            CommandSettings settings = flagCommands(m_dir.filePath(str("up")));
            settings.dial = records("dial", "%s|%s") + dial.replace(str("%1"), m_dir.path());
            settings.status =
                withStatus ? records("status", "%.0s%s|") + settings.status : QString();
            settings.hangUp = records("hangup", "%.0s%s|") + settings.hangUp;
            QString log;
            Log::setSink([&log](const QString &line) { log += line; });
            CommandBackend backend(settings);
            QSignalSpy ups(&backend, &LineBackend::lineUp);
            QSignalSpy downs(&backend, &LineBackend::lineDown);
            backend.start();
            backend.dial(
                {str("Night line"), QString(), asks ? PasswordCheck::Line : PasswordCheck::None},
                typed);
            QVERIFY(ups.isEmpty() && downs.isEmpty());
            QTRY_COMPARE(ups.size() + downs.size(), 1);
            QCOMPARE(ups.isEmpty() ? str("down ") + downs.takeFirst().constFirst().toString()
                                   : str("up ") + ups.constFirst().constFirst().toString(),
                     str(outcome));
            if (!ups.isEmpty()) {
                backend.hangUp();
                QTRY_COMPARE(downs.size(), 1);
                QCOMPARE(downs.constFirst().constFirst().toString(), QString());
                QCOMPARE(recorded("hangup"), str("unset|"));
            }
            Log::setSink({});
            // Only the dial command sees the password, and only for an entry that asks one.
            QCOMPARE(recorded("dial"), str("Night line|") + (asks ? typed : QString()));
            QCOMPARE(recorded("status").isEmpty(), !withStatus);
            QCOMPARE(recorded("status").remove(str("unset|")), QString());
            QVERIFY2(log.contains(str(logged)), qPrintable(log));
            if (!typed.isEmpty())
                QVERIFY2(!log.contains(typed.trimmed()), qPrintable(log));
            if (!dial.contains(str("pid")))
                continue;
            const QString child = recorded("pid").trimmed();
            QVERIFY(child.toInt() > 0);
            // Gone, or a zombie waiting for whoever inherited it.
            const auto ended = [&child] {
                QFile stat(str("/proc/%1/stat").arg(child));
                if (!stat.open(QIODevice::ReadOnly))
                    return true;
                const QString state = QString::fromLatin1(stat.readAll()).section(u')', 1);
                return state.trimmed().startsWith(u'Z');
            };
            QTRY_VERIFY(ended());
        }
    }
};

QTEST_GUILESS_MAIN(TestRecipes)
#include "tst_recipes.moc"
