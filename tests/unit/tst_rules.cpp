// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Alphabetical.h"
#include "ClientRequests.h"
#include "ConfigureRules.h"
#include "Countdown.h"
#include "Cp1252.h"
#include "EntryFilter.h"
#include "FlexiBoxLayout.h"
#include "GeneralDate.h"
#include "NoticeText.h"
#include "NotifyIcon.h"
#include "Protocol.h"
#include "TestHome.h"

#include <QTest>

using namespace ConfigureRules;
using ClientRequests::Kind;
using FlexiBoxLayout::Input;
using Protocol::ServerMessage;

namespace {

constexpr int Line = 195;

Input message(int textWidth, int lines, QList<int> captions, int frameWidth = 0, int breaks = 0)
{
    return {textWidth, lines * Line, Line, breaks, std::move(captions), false, frameWidth};
}

// A list of paths written with blanks between them.
QStringList paths(const char *text)
{
    return str(text).split(QLatin1Char(' '));
}

} // namespace

// The client's rules, each a table: the wire protocol (the client's reading of the server's
// messages, the main window's rules on their texts, and the server's reading of what a client
// sends, the network-facing parser), and the dialogs' rules: the configure dialog's boxes and
// wave chooser, the flexible box's layout in twips, the notice's text and dismissal, and the
// disconnection question's countdown; and the sort order of names. The keys the address and port
// boxes take are decided here alone: the configure dialog's own test only checks that its boxes ask
// these rules.
class TestRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void classify()
    {
        // Each kind's keyword is read from the server in the window's own tests; here, how
        // keywords match. Whole-message kinds match only whole: anything more, or other case, is
        // a status line.
        using enum ServerMessage;
        const std::pair<const char *, ServerMessage> rows[] = {
            {"MSG_ACK", Ack},    {"MSG_ACKCMD_SEND_ID", Status},  {"PHONEBOOK:MSG_ACK", Phonebook},
            {"msg_ack", Status}, {"Connected to Office", Status},
        };
        for (const auto &[message, kind] : rows)
            QVERIFY2(Protocol::classify(str(message)) == kind, message);
    }

    void listsSecondsAndCodePage()
    {
        QCOMPARE(Protocol::parseList(QString()), QStringList());
        // Empty items are items; an unterminated tail is a last item, not a stall.
        QCOMPARE(Protocol::parseList(str("||")), (QStringList{QString(), QString()}));
        QCOMPARE(Protocol::parseList(str("a|tail")), (QStringList{str("a"), str("tail")}));
        const QStringList names{str("Office"), QString(), str("x y")};
        QCOMPARE(Protocol::parseList(Protocol::buildList(names)), names);

        // The count is the leading number of the payload, rounded half to even into 16 bits.
        const std::pair<const char *, std::optional<qint16>> rows[] = {
            {"12abc", 12}, {"no number", 0}, {" \t7", 7},          {".6", 1},      {"2.5", 2},
            {"3.5", 4},    {"32767", 32767}, {"-32768.4", -32768}, {"32767.5", {}}};
        for (const auto &[count, seconds] : rows) {
            const QString message = QLatin1String("MSG_DISCONNECT+") + QLatin1String(count);
            QVERIFY2(Protocol::disconnectSeconds(message) == seconds, count);
        }

        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(Cp1252::encode(Cp1252::decode(all)), all);
        QCOMPARE(Cp1252::decode(QByteArray("\x80\xe9\x1c")), QStringLiteral("\u20ac\u00e9\u001c"));
        QCOMPARE(Cp1252::encode(QStringLiteral("\u20acx\u4e2d")), QByteArray("\x80x?"));
    }

    // The per-entry alert and confirmation lists: names compared in any case, items trimmed. And
    // the notification icon's tip, which keeps 63 characters.
    void mainWindowTexts()
    {
        const std::tuple<const char *, const char *, bool> rows[] = {
            {"Office|Home ISP|", "home isp", true},
            {" Office |", "Office", true},
            {"Office|Home ISP|", " Office", false},
            {"Office\t|", "Office", false}, // a tab is part of a name
            {"Office|", "", true},
            {"Office", "", false},
        };
        for (const auto &[list, entry, contained] : rows)
            QVERIFY2(entryListContains(str(list), str(entry)) == contained, entry);
        const QString tip(63, QLatin1Char('x'));
        QCOMPARE(NotifyIcon::tipText(tip + str("yz")), tip);
    }

    // The server's side: what a client sends.
    void serverReadsRequests()
    {
        // The message, its kind, its argument and its password (null: none, as against empty).
        // Every kind is read from real clients in the server's own tests; here, the arguments
        // and how keywords match.
        const std::tuple<const char *, Kind, const char *, const char *> rows[] = {
            {"CMD_CONNECT:Office ISP", Kind::Connect, "Office ISP", nullptr},
            {"CMD_CONNECT:BranchPWD:", Kind::Connect, "Branch", ""},
            // Only the first "PWD:" separates: the rest is the password.
            {"CMD_CONNECT:BranchPWD:aPWD:b", Kind::Connect, "Branch", "aPWD:b"},
            {"CMD_MSG:beta#hi", Kind::UserMessage, "beta#hi", nullptr},
            // Whole keywords take nothing after them; a request's keyword starts the message.
            {"CMD_OKCMD_OK", Kind::Unknown, "", nullptr},
            {"xxCMD_CONNECT:BranchPWD:secret", Kind::Unknown, "", nullptr},
        };
        for (const auto &[message, kind, argument, password] : rows) {
            const ClientRequests::Request request = ClientRequests::parse(str(message));
            QVERIFY2(request.kind == kind, message);
            QCOMPARE(std::tuple(request.argument, request.password.has_value(),
                                request.password.value_or(QString())),
                     std::tuple(str(argument), password != nullptr, str(password)));
        }

        // What one read held: the acknowledgements before the rest are taken apart; one after a
        // request is part of the request, not a second one.
        const ClientRequests::Read split =
            ClientRequests::splitLeadingAcks(str("MSG_ACKMSG_ACKCMD_OK"));
        QCOMPARE(std::pair(split.acks, split.rest), std::pair(2, str("CMD_OK")));
        QCOMPARE(ClientRequests::splitLeadingAcks(str("CMD_OKMSG_ACK")).acks, 0);

        // The body, its recipients (ending in "#") and its text, with alpha and beta linked.
        // The first field is a recipient whatever its name, even empty.
        const std::tuple<const char *, const char *, const char *> bodies[] = {
            {"alpha#beta#gamma#1", "alpha#beta#", "gamma#1"},
            {"hello", "", "hello"},
            {"#beta#x", "#beta#", "x"},
        };
        const auto linked = [](const QString &name) {
            return name == QLatin1String("alpha") || name == QLatin1String("beta");
        };
        for (const auto &[body, recipients, rest] : bodies) {
            const auto message = ClientRequests::splitUserMessage(str(body), linked);
            QStringList expected = str(recipients).split(QLatin1Char('#'));
            expected.removeLast();
            QCOMPARE(std::pair(message.recipients, message.text), std::pair(expected, str(rest)));
        }
    }

    void configureBoxes()
    {
        // The text before the key, the key, and whether the address box keeps it. It keeps the
        // third dot, 255, a digit after a dot, a group of one growing, a pasted group counting
        // its digits only, and enter, the last control code; it drops a dot first, two dots in
        // a row, a fourth dot, 256, a fourth digit, a letter, and the first control code.
        const std::tuple<const char *, int, bool> keys[] = {
            {"10.0.0", '.', 1},   {"192.168.1.25", '5', 1}, {"10.", '9', 1}, {"1.2", '5', 1},
            {"1.a5", '9', 1},     {"1.2.3.4", 13, 1},       {"", '.', 0},    {"10.", '.', 0},
            {"10.0.0.1", '.', 0}, {"192.168.1.25", '6', 0}, {"100", '1', 0}, {"10", 'a', 0},
            {"1", 14, 0},
        };
        for (const auto &[text, key, kept] : keys)
            QVERIFY2(keepAddressKey(str(text), key) == kept, text);
        // The port box keeps the digits and the control codes alone: not "/" and ":" around the
        // digits, nor an Arabic-Indic digit.
        const std::pair<int, bool> digits[] = {{13, 1},  {'0', 1}, {'9', 1},   {14, 0},
                                               {'/', 0}, {':', 0}, {0x0663, 0}};
        for (const auto &[key, kept] : digits)
            QVERIFY2(keepDigitKey(key) == kept, qPrintable(QString::number(key)));

        // The open link: opened to "Modem.Office", which is 10.0.0.5, on port 1000.
        const Link link{str("Modem.Office"), str("10.0.0.5"), 1000};
        // The stored name, address and port, and whether the link must be opened again. A name
        // is compared in any case and wins over a stale address; an address is compared as
        // written, a port as a number.
        const std::tuple<const char *, const char *, const char *, bool> servers[] = {
            {"modem.OFFICE", "", "1000", false}, {"backup", "", "1000", true},
            {"", "10.0.0.05", "1000", true},     {"", "10.0.0.5", "01000", false},
            {"", "10.0.0.5", "", true},          {"Modem.Office", "10.9.9.9", "1000", false},
        };
        for (const auto &[name, address, port, needed] : servers)
            QVERIFY2(restartNeeded({str(name), str(address), str(port)}, link) == needed, name);
    }

    // A box's text splits into the folder the chooser opens and the file it selects, relative to
    // the current folder "/work".
    void waveChooser()
    {
        const std::tuple<const char *, const char *, const char *> rows[] = {
            {"/home/ann/Ring.WAV", "/home/ann", "Ring.WAV"},
            {"/home/ann/", "/home/ann", ""},
            {"/ring.wav", "/", "ring.wav"},
            {"sounds/ring.wav", "/work/sounds", "ring.wav"},
            {"/home/ann/../bob/x.wav", "/home/bob", "x.wav"},
            {"", "/work", ""},
        };
        for (const auto &[text, folder, file] : rows) {
            const WaveLocation location = locateWave(str(text), str("/work"));
            QCOMPARE(std::pair(location.folder, location.fileName),
                     std::pair(str(folder), str(file)));
        }

        const QStringList drives = paths("/ /home/ann");
        QCOMPARE(driveOf(str("/home/ann/sounds"), drives), 1);
        QCOMPARE(driveOf(str("/home/anna"), drives), 0);
        QCOMPARE(folderChain(str("/"), str("/home/ann")), paths("/ /home /home/ann"));
        QCOMPARE(folderChain(str("/home/ann"), str("/home/ann/a")), paths("/home/ann /home/ann/a"));
        QCOMPARE(folderChain(str("/home/ann"), str("/etc/sounds")), paths("/ /etc /etc/sounds"));

        // Mounts as "root device type": system folders, pseudo and loop devices are no drives;
        // removable media under /run/media and network shares are.
        QList<Mount> mounts;
        for (const char *line : {"/ /dev/sda2 ext4", "/proc proc proc", "/boot/efi /dev/sda1 vfat",
                                 "/run/media/ann/STICK /dev/sdb1 vfat",
                                 "/mnt/backup /dev/sdc1 ext4", "/srv/share fileserver:/share nfs4",
                                 "/snap/core/1 /dev/loop0 squashfs", "/home /dev/sda3 ext4"}) {
            const QStringList field = paths(line);
            mounts.append({field[0], field[1], field[2]});
        }
        QCOMPARE(driveRoots(mounts, str("/home/ann")),
                 paths("/ /home/ann /home /mnt/backup /run/media/ann/STICK /srv/share"));
        QCOMPARE(driveRoots({}, str("/")), paths("/"));
    }

    void flexibleBox()
    {
        // The character after a carriage return is skipped unseen, even another one.
        const std::pair<const char *, int> texts[] = {
            {"a\r\n\r\nb", 2}, {"a\r\rb", 1}, {"\r\r\r", 2}, {"a\nb", 0}};
        for (const auto &[text, breaks] : texts)
            QCOMPARE(FlexiBoxLayout::lineBreaks(str(text)), breaks);

        Input single = message(100, 1, {9000});
        single.singleCaption = true;
        const QList<int> five(5, 1095);
        // The input; the client's width and height; the buttons' lefts and widths; the label's
        // height and the icon's top.
        const std::tuple<Input, int, int, QList<int>, QList<int>, int, int> boxes[] = {
            // The worked example: one fitting line, "&Reply" and "&Cancel" narrower than a button.
            {message(3000, 1, {600, 700}), 5835, 1200, {1762, 2977}, {1095, 1095}, 495, 127},
            {message(300, 3, {600, 700}, 0, 2), 5835, 1590, {1762, 2977}, {1095, 1095}, 885, 322},
            // 30000 x 195 needs four more lines in a 5055-wide label: 5055 x 1275 >= 5850000.
            {message(30000, 1, {600, 700}), 5835, 1980, {1762, 2977}, {1095, 1095}, 1275, 517},
            // Five buttons make a 5955-wide row: the window becomes 6255 wide, the client 6165.
            {message(100, 1, five, 90), 6165, 1200, {105, 1320, 2535, 3750, 4965}, five, 495, 127},
            // A 5925-wide window (frame 90) is widened once R + 240 reaches it: here R = 5685.
            {message(100, 1, {1095, 4470}, 90), 5895, 1200, {105, 1320}, {1095, 4470}, 495, 127},
            // A lone caption only labels the button: no widening, the design centring stands.
            {single, 5835, 1200, {2370}, {1095}, 495, 127},
            // Metrics that a broken font could give must not stall the box: it grows a twip at
            // a time, to 5055 x 15826 >= 20000 x 4000.
            {Input{20000, 4000, 0, 0, {600}, false, 0}, 5835, 16531, {2370}, {1095}, 15826, 7793},
        };
        for (const auto &[in, width, height, lefts, widths, labelHeight, iconTop] : boxes) {
            const FlexiBoxLayout::Result r = FlexiBoxLayout::layOut(in);
            QCOMPARE(std::tuple(r.clientWidth, r.clientHeight, r.buttonLefts, r.buttonWidths,
                                r.labelHeight, r.iconTop),
                     std::tuple(width, height, lefts, widths, labelHeight, iconTop));
        }
    }

    void notice()
    {
        // The heading's date is the locale's short date and long time, its zone left out: in Low
        // German a zone in brackets, which leaves no empty brackets behind.
        const QDateTime when(QDate(2026, 3, 4), QTime(17, 5, 9));
        const QLocale lowGerman(QLocale::LowGerman, QLocale::Germany);
        const QString heading = str("Message received at 4.03.26 Klock 17.05:09\r\r");
        const QString text = str("a\rb");
        QCOMPARE(NoticeText::caption(text, std::nullopt, when, lowGerman), heading + text);
        QCOMPARE(NoticeText::caption(text, true, when, lowGerman), text);
        QCOMPARE(withoutTimeZone(str("t h:mm:ss AP tttt")), QLatin1String("h:mm:ss AP"));
        QCOMPARE(withoutTimeZone(str("HH:mm 'o''t' t")), QLatin1String("HH:mm 'o''t'"));
        QCOMPARE(NoticeText::displayed(str("at 10:00\r\rhello\r\nbye")),
                 str("at 10:00\n\nhello\nbye"));

        using D = NoticeText::Dismissal;
        // "Dismiss" and "DismissTime" as stored (null: absent), and what the notice makes of them.
        const std::tuple<const char *, const char *, D::Kind, int> rows[] = {
            {nullptr, nullptr, D::Off, 0}, {"0", "soon", D::Off, 0},
            {"1", nullptr, D::After, 0},   {"1", "12", D::After, 12},
            {"1", "", D::Unreadable, 0},   {"often", "5", D::Unreadable, 0},
        };
        for (const auto &[dismiss, dismissTime, kind, seconds] : rows) {
            TestHome home;
            if (dismiss)
                TestHome::seed(str("Dismiss"), str(dismiss));
            if (dismissTime)
                TestHome::seed(str("DismissTime"), str(dismissTime));
            NoticeText::Dismissal got;
            QVERIFY_THROWS_NO_EXCEPTION(got = NoticeText::dismissal());
            QCOMPARE(std::pair(got.kind, int(got.seconds)), std::pair(kind, seconds));
        }
    }

    // The count is read back from whatever the caption holds: a caption the opener did not
    // write as a plain whole number still gives a readable count and never an exponent, and
    // only a tick that writes exactly "10" or "0" turns the count red or stops it.
    void countdownTicks()
    {
        const QString overflowing(400, QLatin1Char('9'));
        // The caption, the beep option; the next caption, the beep, and "red", "stop" or nothing.
        const std::tuple<QString, bool, const char *, bool, const char *> rows[] = {
            {str("12"), true, "11", false, ""},
            {str("11"), true, "10", true, "red"},
            {str("11.0"), false, "10", false, "red"},
            {str("1.0"), true, "0", true, "stop"},
            {str("0.25"), true, "-0.75", true, ""},
            {str("100000000000000000001"), true, "100000000000000000000", false, ""},
            {overflowing, true, "-1", true, ""},
        };
        for (const auto &[caption, beepOn, next, beep, then] : rows) {
            const Countdown::Tick tick = Countdown::tick(caption, beepOn);
            QCOMPARE(
                std::tuple(tick.caption, tick.beep, tick.turnRed, tick.stop),
                std::tuple(str(next), beep, qstrcmp(then, "red") == 0, qstrcmp(then, "stop") == 0));
        }
    }

    void sortsByTheAlphabetIgnoringCase()
    {
        // Names, and the same sorted: case alone decides last, digits come before letters, a
        // prefix first. That capitals do not come first the configure dialog's test shows.
        const std::pair<const char *, const char *> rows[] = {
            {"office Office OFFICE", "OFFICE Office office"},
            {"b 2 a 10", "10 2 a b"},
            {"Officer Office", "Office Officer"},
        };
        for (const auto &[names, sorted] : rows) {
            QStringList list = str(names).split(QLatin1Char(' '));
            Alphabetical::sort(list);
            QCOMPARE(list.join(QLatin1Char(' ')), QLatin1String(sorted));
        }
    }
};

QTEST_GUILESS_MAIN(TestRules)
#include "tst_rules.moc"
