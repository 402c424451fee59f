// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerTestSupport.h"
#include "ShellCommand.h"

#include <cctype>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

// The words of an options file as pppd reads them: blanks separate words, "#" starts a comment,
// single or double quotes hold blanks, and a backslash escapes, inside quotes too (\n, \s, \t,
// octal and \x hex codes; any other character stands for itself).
QList<QByteArray> pppdWords(const QByteArray &text)
{
    QList<QByteArray> words;
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto at = [&](qsizetype k) { return k < n ? text[k] : '\0'; };
    for (;;) {
        bool comment = false;
        while (i < n) {
            const char c = text[i];
            if (c == '\n')
                comment = false;
            else if (!comment && c == '\\' && at(i + 1) == '\n')
                ++i;
            else if (!comment && c == '#')
                comment = true;
            else if (!comment && !isBlank(c))
                break;
            ++i;
        }
        if (i >= n)
            return words;
        QByteArray word;
        char quote = 0;
        while (i < n) {
            const char c = text[i];
            if (c == '\\') {
                const char e = at(++i);
                static const QByteArray plain("abfnrst");
                static const QByteArray meant("\a\b\f\n\r \t");
                if (e == '\n') {
                    ++i;
                } else if (plain.contains(e)) {
                    word += meant[plain.indexOf(e)];
                    ++i;
                } else if (isOctal(e)) {
                    int value = 0;
                    for (int k = 0; k < 3 && isOctal(at(i)); ++k, ++i)
                        value = value * 8 + (at(i) - '0');
                    word += char(value);
                } else if (e == 'x') {
                    int value = 0;
                    ++i;
                    for (int k = 0; k < 2 && std::isxdigit(static_cast<unsigned char>(at(i)));
                         ++k, ++i)
                        value = value * 16 + QByteArray(1, at(i)).toInt(nullptr, 16);
                    word += char(value);
                } else if (i < n) {
                    word += e;
                    ++i;
                }
                continue;
            }
            if (quote != 0 && c == quote) {
                quote = 0;
            } else if (quote == 0 && (c == '"' || c == '\'')) {
                quote = c;
            } else if (quote == 0 && (isBlank(c) || c == '#')) {
                break;
            } else {
                word += c;
            }
            ++i;
        }
        words.append(word);
    }
}

// The secrets of an nmcli passwd-file, "setting.property:value" a line: blanks before the value
// and after it are dropped unless escaped, and a backslash escapes (\n, \t..., octal codes; any
// other character stands for itself). A line without ":" or "=" yields a key of its own.
QList<std::pair<QByteArray, QByteArray>> nmcliSecrets(const QByteArray &text)
{
    QList<std::pair<QByteArray, QByteArray>> secrets;
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    for (const QString &line : QString::fromLatin1(text).split(breaks)) {
        QByteArray bytes = line.toLatin1();
        while (!bytes.isEmpty() && isBlank(bytes.front()))
            bytes.remove(0, 1);
        if (bytes.isEmpty() || bytes.startsWith('#'))
            continue;
        qsizetype colon = 0;
        while (colon < bytes.size() && bytes[colon] != ':' && bytes[colon] != '=')
            ++colon;
        const QByteArray raw = bytes.mid(colon + 1);
        QByteArray value;
        qsizetype kept = 0; // what an escape has written may not be stripped
        qsizetype i = 0;
        while (i < raw.size() && isBlank(raw[i]))
            ++i;
        while (i < raw.size()) {
            if (raw[i] != '\\') {
                value += raw[i++];
                continue;
            }
            const char e = i + 1 < raw.size() ? raw[i + 1] : '\0';
            i += 2;
            static const QByteArray plain("bfnrtv");
            static const QByteArray meant("\b\f\n\r\t\v");
            if (e >= '0' && e <= '9') {
                int v = e - '0';
                for (int k = 0; k < 2 && i < raw.size() && isOctal(raw[i]); ++k, ++i)
                    v = v * 8 + (raw[i] - '0');
                value += char(v);
            } else if (e != '\0') {
                value += plain.contains(e) ? meant[plain.indexOf(e)] : e;
            }
            kept = value.size();
        }
        while (value.size() > kept && isBlank(value.back()))
            value.chop(1);
        secrets.append({bytes.left(colon).trimmed(), value});
    }
    return secrets;
}

struct Call
{
    QList<QByteArray> arguments; // the program's name first
    QByteArray input;
};

bool hasPair(const QList<QByteArray> &arguments, const char *option, const char *value)
{
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == option && arguments[i + 1] == value)
            return true;
    }
    return false;
}

} // namespace

// What the line's commands are handed. Only the dial command sees a password, and what it
// echoes is masked in the log. Every command line that docs/server.md offers an administrator,
// run as the server runs it with programs of the same names that record their arguments and
// their standard input: for a password of any printable characters, the line hands exactly one
// password, exactly as typed, to the program that reads it, and shows it on no command line.
class TestRecipes : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString records() const { return m_dir.filePath(QStringLiteral("records")); }
    QString flag() const { return m_dir.filePath(QStringLiteral("up")); }

    QList<Call> calls() const
    {
        QList<Call> result;
        const QDir dir(records());
        for (const QString &name : dir.entryList({QStringLiteral("*.args")})) {
            QFile arguments(dir.filePath(name));
            QFile input(dir.filePath(name.chopped(5) + QStringLiteral(".in")));
            if (!arguments.open(QIODevice::ReadOnly) || !input.open(QIODevice::ReadOnly))
                return {};
            QList<QByteArray> words = arguments.readAll().split('\0');
            words.removeLast();
            result.append({words, input.readAll()});
        }
        return result;
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
        const QStringList passwords = {
            str(""),
            str("plain"),
            str("it's \"quoted\""),
            str("back\\slash\\"),
            str("\\\""),
            str("\""),
            str("\\"),
            str("'"),
            str(" "),
            str(" lead and trail "),
            str("two  blanks"),
            str("#not a comment"),
            str("a # b"),
            str("$(touch pwned) `id`"),
            str("%s%n%%"),
            str("\\n\\t\\101\\x41\\s"),
            str("-- plugin evil.so"),
            str("password \"x\" plugin evil.so"),
            str("\u00e9t\u00e9 \u20ac \u0178"),
            str("x:y=z"),
            str("&\\&\\1"),
        };
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
        const QList<Call> recorded = calls();
        QVERIFY(!recorded.isEmpty());
        for (const Call &call : recorded) {
            const QString shown = QString::fromUtf8(call.arguments.join(' '));
            if (hasPair(call.arguments, "file", "/dev/stdin")) {
                const QList<QByteArray> words = pppdWords(call.input);
                QVERIFY2(words.size() == 2 && words[0] == "password",
                         qPrintable(QString::fromUtf8(call.input)));
                handed.append(words[1]);
            } else if (hasPair(call.arguments, "passwd-file", "/dev/stdin")) {
                const auto secrets = nmcliSecrets(call.input);
                QVERIFY2(secrets.size() == 1 && secrets[0].first.endsWith(".password"),
                         qPrintable(QString::fromUtf8(call.input)));
                handed.append(secrets[0].second);
            } else {
                QVERIFY2(call.input.isEmpty(), qPrintable(shown));
            }
            // On no command line, which every local user can read.
            if (!typed.isEmpty() && !command.contains(password) && !entry.contains(password)) {
                for (const QByteArray &argument : call.arguments)
                    QVERIFY2(!argument.contains(typed), qPrintable(shown));
            }
        }
        QCOMPARE(handed.size(), command.contains(str("$VELMORA_PASSWORD")) ? 1 : 0);
        for (const QByteArray &value : std::as_const(handed))
            QCOMPARE(QString::fromUtf8(value), password);
    }

    void onlyTheDialSeesThePassword_data()
    {
        QTest::addColumn<int>("check");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("dialSees");
        QTest::newRow("entry that asks none")
            << int(PasswordCheck::None) << str("x\" connect \"/bin/sh") << QString();
        QTest::newRow("server judges")
            << int(PasswordCheck::Server) << str("Sesame") << str("Sesame");
        QTest::newRow("line judges")
            << int(PasswordCheck::Line) << str(" Owl 42 ") << str(" Owl 42 ");
    }
    void onlyTheDialSeesThePassword()
    {
        QFETCH(int, check);
        QFETCH(QString, typed);
        QFETCH(QString, dialSees);
        const auto records = [this](const char *name, const char *format) {
            QFile::remove(m_dir.filePath(str(name)));
            return str("printf '%1' \"${VELMORA_PASSWORD-unset}\" >> '%2'")
                .arg(str(format), m_dir.filePath(str(name)));
        };
        CommandSettings settings = flagCommands(flag());
        settings.dial = records("dial", "%s") + str("; touch '%1'").arg(flag());
        settings.status = records("status", "%s|") + str("; test -e '%1'").arg(flag());
        settings.hangUp = records("hangup", "%s|") + str("; rm -f '%1'").arg(flag());
        CommandBackend backend(settings);
        QSignalSpy ups(&backend, &LineBackend::lineUp);
        QSignalSpy downs(&backend, &LineBackend::lineDown);
        backend.start();
        backend.dial({str("Night"), QString(), PasswordCheck(check)}, typed);
        QTRY_COMPARE(ups.size(), 1);
        backend.hangUp();
        QTRY_COMPARE(downs.size(), 1);
        const auto recorded = [this](const char *name) {
            QFile file(m_dir.filePath(str(name)));
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : str("none");
        };
        QCOMPARE(recorded("dial"), dialSees);
        QCOMPARE(recorded("hangup"), str("unset|"));
        const QStringList probes = recorded("status").split(u'|', Qt::SkipEmptyParts);
        QVERIFY(!probes.isEmpty());
        for (const QString &seen : probes)
            QCOMPARE(seen, str("unset"));
    }

    void aFailedDialsOutputIsMaskedBeforeItIsTrimmed_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("blanks at both ends") << str(" Owl 42 ");
        QTest::newRow("blank at the end") << str("Owl 42 ");
        QTest::newRow("blank at the start") << str(" Owl 42");
    }
    void aFailedDialsOutputIsMaskedBeforeItIsTrimmed()
    {
        QFETCH(QString, password);
        QString log;
        Log::setSink([&log](const QString &line) { log += line; });
        CommandSettings settings = flagCommands(flag());
        settings.status.clear();
        settings.dial = str("printf 'dialling\\n%s\\n' \"$VELMORA_PASSWORD\"; exit 1");
        CommandBackend backend(settings);
        QSignalSpy downs(&backend, &LineBackend::lineDown);
        backend.dial({str("Night"), QString(), PasswordCheck::Line}, password);
        QTRY_COMPARE(downs.size(), 1);
        Log::setSink({});
        QVERIFY2(log.contains(str("its last line of output: ***")), qPrintable(log));
        QVERIFY2(!log.contains(str("Owl")), qPrintable(log));
    }
};

QTEST_GUILESS_MAIN(TestRecipes)
#include "tst_recipes.moc"
