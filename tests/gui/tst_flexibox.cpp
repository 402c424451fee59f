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
        QStringList captions;
        QList<QRect> buttons;
        QString title, symbol;
        int clientWidth = 0;
        auto watch = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
            for (const QPushButton *b : std::as_const(f->cmdAction)) {
                captions << b->text();
                buttons << b->geometry();
            }
            title = f->windowTitle();
            symbol = f->imgIcon->accessibleName();
            clientWidth = f->width();
            QTest::mouseClick(f->cmdAction[2], Qt::LeftButton);
        });
        QCOMPARE(giFlexiBox(QStringLiteral("Go on?"), 32,
                            QStringList{QStringLiteral("&Yes"), QStringLiteral("&No"), wide}),
                 qint16(2));
        QCOMPARE(captions, (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No"), wide}));
        QCOMPARE(title, QLatin1String("Velmora Client"));
        QCOMPARE(symbol, QLatin1String("Question"));
        const int design =
            Twips::toPixels(FlexiBoxLayout::ButtonWidth, static_cast<QWidget *>(nullptr));
        QCOMPARE(buttons[0].width(), design);
        QCOMPARE(buttons[1].width(), design);
        QVERIFY(buttons[2].width() > design);
        const int gap = Twips::toPixels(120, static_cast<QWidget *>(nullptr));
        QVERIFY(qAbs(buttons[1].left() - buttons[0].right() - 1 - gap) <= 1);
        QVERIFY(qAbs(buttons[0].left() - (clientWidth - buttons[2].right() - 1)) <= 2);
        QVERIFY(!frmFlexiBox::loaded());
        QCOMPARE(home.beeps(), 1);

        // A lone caption only names the one button; the close box still answers 1.
        captions.clear();
        buttons.clear();
        watch = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
            captions << f->cmdAction[0]->text();
            buttons << f->cmdAction[0]->geometry();
            title = f->windowTitle();
            symbol = f->imgIcon->accessibleName();
            QCOMPARE(f->cmdAction.size(), 1);
            f->close();
        });
        QCOMPARE(giFlexiBox(QStringLiteral("Stopped."), 16, wide, QStringLiteral("Halt")),
                 qint16(1));
        QCOMPARE(captions, QStringList{wide});
        QCOMPARE(buttons[0].width(), design);
        QCOMPARE(title, QLatin1String("Halt"));
        QCOMPARE(symbol, QLatin1String("Stop"));
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
        int buttons = 0;
        QString symbol;
        const auto watch = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
            buttons = int(f->cmdAction.size());
            symbol = f->imgIcon->accessibleName();
            f->cmdAction_Click(0);
        });
        QCOMPARE(giMsgBox(QStringLiteral("hello"), QStringLiteral("ann")), qint16(0));
        QCOMPARE(buttons, 2);
        QCOMPARE(symbol, QLatin1String("Information"));
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
        QRect label, button;
        int height = 0, needed = 0;
        const auto watch = whenShown<frmFlexiBox>([&](frmFlexiBox *f) {
            label = f->lblMsg->geometry();
            button = f->cmdAction[0]->geometry();
            height = f->height();
            needed = f->lblMsg->heightForWidth(label.width());
            f->cmdAction_Click(1);
        });
        QCOMPARE(giMsgBox(text, QStringLiteral("ann")), qint16(1));
        const QWidget *screen = nullptr;
        QCOMPARE(label.height() > Twips::toPixels(FlexiBoxLayout::LabelDesignHeight, screen),
                 taller);
        QVERIFY(button.top() > label.bottom());
        QVERIFY(height > button.bottom());
        QVERIFY(needed <= label.height());
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
