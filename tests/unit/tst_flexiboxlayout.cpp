// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FlexiBoxLayout.h"

#include <QTest>

using FlexiBoxLayout::Input;
using FlexiBoxLayout::Result;

Q_DECLARE_METATYPE(Input)

namespace {

constexpr int Line = 195;

Input message(int textWidth, int lines, QList<int> captions, int frameWidth = 0, int breaks = 0)
{
    Input in;
    in.textWidth = textWidth;
    in.textHeight = lines * Line;
    in.lineHeight = Line;
    in.lineBreaks = breaks;
    in.captionWidths = std::move(captions);
    in.frameWidth = frameWidth;
    return in;
}

} // namespace

class TestFlexiBoxLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lineBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("breaks");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("one line") << QStringLiteral("Lunch at one?") << 0;
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << 1;
        QTest::newRow("two CR LF") << QStringLiteral("a\r\nb\r\nc") << 2;
        QTest::newRow("blank line") << QStringLiteral("a\r\n\r\nb") << 2;
        QTest::newRow("trailing CR LF") << QStringLiteral("a\r\n") << 1;
        QTest::newRow("lone CR") << QStringLiteral("a\rb") << 1;
        // The character after a carriage return is skipped unseen, even another one.
        QTest::newRow("CR CR") << QStringLiteral("a\r\rb") << 1;
        QTest::newRow("CR CR CR") << QStringLiteral("\r\r\r") << 2;
        QTest::newRow("line feed alone") << QStringLiteral("a\nb") << 0;
    }
    void lineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(int, breaks);
        QCOMPARE(FlexiBoxLayout::lineBreaks(text), breaks);
    }

    void layOut_data()
    {
        QTest::addColumn<Input>("in");
        QTest::addColumn<int>("clientWidth");
        QTest::addColumn<int>("clientHeight");
        QTest::addColumn<QList<int>>("lefts");
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<int>("labelHeight");

        // The worked example: one fitting line, "&Reply" and "&Cancel" narrower than a button.
        QTest::newRow("one line") << message(3000, 1, {600, 700}) << 5835 << 1200
                                  << QList<int>{1762, 2977} << QList<int>{1095, 1095} << 495;
        QTest::newRow("two CR LF")
            << message(300, 3, {600, 700}, 0, 2) << 5835 << 1590 << QList<int>{1762, 2977}
            << QList<int>{1095, 1095} << 495 + 2 * Line;
        // 30000 x 195 needs four more lines in a 5055-wide label: 5055 x 1275 >= 5850000.
        QTest::newRow("long single line")
            << message(30000, 1, {600, 700}) << 5835 << 1980 << QList<int>{1762, 2977}
            << QList<int>{1095, 1095} << 495 + 4 * Line;
        QTest::newRow("caption wider than a button")
            << message(100, 1, {1500, 1096}) << 5835 << 1200 << QList<int>{1559, 3179}
            << QList<int>{1500, 1096} << 495;
        // Five buttons make a 5955-wide row: the window becomes 6255 wide, the client 6165.
        QTest::newRow("enough buttons widen the window")
            << message(100, 1, {1095, 1095, 1095, 1095, 1095}, 90) << 6165 << 1200
            << QList<int>{105, 1320, 2535, 3750, 4965} << QList<int>{1095, 1095, 1095, 1095, 1095}
            << 495;
        // A 5925-wide window (frame 90) is widened at R + 240 = 5925 and kept at 5926.
        QTest::newRow("row at the limit") << message(100, 1, {1095, 4470}, 90) << 5895 << 1200
                                          << QList<int>{105, 1320} << QList<int>{1095, 4470} << 495;
        QTest::newRow("row that fits") << message(100, 1, {1095, 4469}, 90) << 5835 << 1200
                                       << QList<int>{75, 1290} << QList<int>{1095, 4469} << 495;
        // A lone caption only labels the button: no widening, the design centring stands.
        Input single = message(100, 1, {9000});
        single.singleCaption = true;
        QTest::newRow("single caption")
            << single << 5835 << 1200 << QList<int>{2370} << QList<int>{1095} << 495;
    }
    void layOut()
    {
        QFETCH(Input, in);
        QFETCH(int, clientWidth);
        QFETCH(int, clientHeight);
        QFETCH(QList<int>, lefts);
        QFETCH(QList<int>, widths);
        QFETCH(int, labelHeight);

        const Result r = FlexiBoxLayout::layOut(in);
        QCOMPARE(r.clientWidth, clientWidth);
        QCOMPARE(r.clientHeight, clientHeight);
        QCOMPARE(r.buttonLefts, lefts);
        QCOMPARE(r.buttonWidths, widths);
        QCOMPARE(r.labelHeight, labelHeight);
        QCOMPARE(r.labelWidth, clientWidth - 780);
        QCOMPARE(r.buttonTop, 120 + labelHeight + 120);
        QCOMPARE(r.iconTop, 120 + (labelHeight - 480) / 2);
        // Growth by area stops at the first whole line that holds the text.
        const int byArea = labelHeight - in.lineBreaks * in.lineHeight;
        QVERIFY(double(r.labelWidth) * byArea >= double(in.textWidth) * in.textHeight);
        if (byArea > 495)
            QVERIFY(double(r.labelWidth) * (byArea - Line) < double(in.textWidth) * in.textHeight);
    }

    // Metrics that a broken font could give must not stall the box.
    void zeroLineHeightEnds()
    {
        Input in = message(20000, 1, {600});
        in.textHeight = 4000;
        in.lineHeight = 0;
        const Result r = FlexiBoxLayout::layOut(in);
        QVERIFY(double(r.labelWidth) * r.labelHeight >= 20000.0 * 4000);
    }
};

QTEST_APPLESS_MAIN(TestFlexiBoxLayout)
#include "tst_flexiboxlayout.moc"
