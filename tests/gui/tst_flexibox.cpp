// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Artwork.h"
#include "FlexiBoxLayout.h"
#include "frmFlexiBox.h"
#include "RuntimeError.h"
#include "TestHome.h"
#include "Twips.h"
#include "WhenShown.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestFlexiBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { frmFlexiBox::unload(); }

    // The general box: a chosen symbol, any row of buttons, widened to their captions and
    // centred, and a title that defaults to the program's.
    void generalBoxLaysOutItsButtons()
    {
        TestHome home;
        const QString wide = QStringLiteral("A caption far wider than any button");
        const QStringList captions{QStringLiteral("&Yes"), QStringLiteral("&No"), wide};
        const int design =
            Twips::toPixels(FlexiBoxLayout::ButtonWidth, static_cast<QWidget *>(nullptr));
        const int gap = Twips::toPixels(120, static_cast<QWidget *>(nullptr));
        // The checks run in a lambda of their own so that a failing one still lets the box answer.
        auto watch = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
            [&] {
                QStringList shown;
                for (const QPushButton *b : std::as_const(f->cmdAction))
                    shown << b->text();
                QCOMPARE(shown, captions);
                QCOMPARE(f->windowTitle(), QLatin1String("Velmora Client"));
                QCOMPARE(f->imgIcon->accessibleName(), QLatin1String("Question"));
                const QRect b0 = f->cmdAction[0]->geometry(), b1 = f->cmdAction[1]->geometry(),
                            b2 = f->cmdAction[2]->geometry();
                QCOMPARE(b0.width(), design);
                QCOMPARE(b1.width(), design);
                QVERIFY(b2.width() > design);
                QVERIFY(qAbs(b1.left() - b0.right() - 1 - gap) <= 1);
                QVERIFY(qAbs(b0.left() - (f->width() - b2.right() - 1)) <= 2);
            }();
            QTest::mouseClick(f->cmdAction[2], Qt::LeftButton);
        });
        QCOMPARE(giFlexiBox(QStringLiteral("Go on?"), 32, captions), qint16(2));
        QVERIFY(!frmFlexiBox::loaded());
        QCOMPARE(home.beeps(), 1);

        // A lone caption only names the one button; the close box still answers 1.
        watch = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
            [&] {
                QCOMPARE(f->cmdAction.size(), 1);
                QCOMPARE(f->cmdAction[0]->text(), wide);
                QCOMPARE(f->cmdAction[0]->width(), design);
                QCOMPARE(f->windowTitle(), QLatin1String("Halt"));
                QCOMPARE(f->imgIcon->accessibleName(), QLatin1String("Stop"));
            }();
            f->close();
        });
        QCOMPARE(giFlexiBox(QStringLiteral("Stopped."), 16, wide, QStringLiteral("Halt")),
                 qint16(1));
    }

    void generalBoxErrorsReachTheCaller()
    {
        TestHome home;
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 giFlexiBox(QStringLiteral("x"), 99, QStringLiteral("OK")));
        QVERIFY(!frmFlexiBox::loaded());
        QVERIFY_THROWS_EXCEPTION(RuntimeError, giFlexiBox(QStringLiteral("x"), 48, QStringList()));
        QVERIFY(!frmFlexiBox::loaded());
        QCOMPARE(home.beeps(), 0);
        // The next box starts from the design state.
        const auto watch = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
            [&] {
                QCOMPARE(f->cmdAction.size(), 2);
                QCOMPARE(f->imgIcon->accessibleName(), QLatin1String("Information"));
            }();
            f->cmdAction_Click(0);
        });
        QCOMPARE(giMsgBox(QStringLiteral("hello"), QStringLiteral("ann")), qint16(0));
    }

    // A long text and line breaks make the box taller; the buttons stay below the text.
    void theBoxFitsItsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("taller");
        QTest::newRow("one line") << QStringLiteral("See you at one.") << false;
        QTest::newRow("line breaks") << QStringLiteral("One\r\nTwo\r\nThree") << true;
        QTest::newRow("long line")
            << QStringLiteral("The printer on the second floor is out of paper again. ").repeated(8)
            << true;
    }
    void theBoxFitsItsText()
    {
        QFETCH(QString, text);
        QFETCH(bool, taller);
        TestHome home;
        const auto watch = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
            [&] {
                const QRect label = f->lblMsg->geometry(), button = f->cmdAction[0]->geometry();
                const QWidget *screen = nullptr;
                QCOMPARE(label.height() >
                             Twips::toPixels(FlexiBoxLayout::LabelDesignHeight, screen),
                         taller);
                QVERIFY(button.top() > label.bottom());
                QVERIFY(f->height() > button.bottom());
                QVERIFY(f->lblMsg->heightForWidth(label.width()) <= label.height());
            }();
            f->cmdAction_Click(1);
        });
        QCOMPARE(giMsgBox(text, QStringLiteral("ann")), qint16(1));
    }

    // Drawn, not scaled up: a large symbol fills its square as a small one does.
    void symbolsAreDrawnAtEverySize()
    {
        const auto coverage = [](const QPixmap &pixmap) {
            const QImage image = pixmap.toImage();
            int opaque = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    opaque += qAlpha(image.pixel(x, y)) > 128;
            return double(opaque) / (image.width() * image.height());
        };
        QList<QImage> large;
        for (const int style : {16, 32, 48, 64}) {
            const QIcon icon = Artwork::messageSymbol(style);
            const QPixmap small = icon.pixmap(QSize(32, 32), 1.0);
            const QPixmap big = icon.pixmap(QSize(64, 64), 4.0);
            QCOMPARE(big.size(), QSize(256, 256));
            QVERIFY(coverage(small) > 0.3);
            QVERIFY(qAbs(coverage(small) - coverage(big)) < 0.08);
            large << big.toImage();
        }
        for (int i = 0; i < large.size(); ++i)
            for (int j = i + 1; j < large.size(); ++j)
                QVERIFY(large[i] != large[j]);
        QVERIFY(Artwork::messageSymbol(0).isNull());
    }
};

QTEST_MAIN(TestFlexiBox)
#include "tst_flexibox.moc"
