// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PaintCache.h"

#include <functional>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <utility>

namespace {

// A window with a status label and two buttons, as the main window places them.
struct Window
{
    QWidget window;
    QLabel *status = new QLabel(QStringLiteral("Unknown"), &window);
    QPushButton *connect = new QPushButton(QStringLiteral("&Connect"), &window);
    QPushButton *other = new QPushButton(QStringLiteral("E&xit"), &window);

    Window()
    {
        // The same colours active or not, so that the moment the window manager activates the
        // window at does not show in the pictures.
        QPalette palette = window.palette();
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto r = static_cast<QPalette::ColorRole>(role);
            palette.setBrush(QPalette::Inactive, r, palette.brush(QPalette::Active, r));
        }
        window.setPalette(palette);
        window.setFixedSize(330, 140);
        status->setGeometry(76, 28, 246, 13);
        connect->setGeometry(88, 108, 73, 25);
        other->setGeometry(168, 108, 73, 25);
    }

    QImage onScreen()
    {
        window.repaint();
        return window.screen()->grabWindow(window.winId()).toImage();
    }
};

} // namespace

class TestPaintCache : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The kept paintings look exactly like the controls' own, through more captions than are
    // kept, in every state that shows, and follow the window's look.
    void keptPaintingsLookLikeTheControls_data()
    {
        using Change = std::function<void(Window &)>;
        QTest::addColumn<Change>("change");
        const auto row = [](const char *name, Change change) {
            QTest::newRow(name) << std::move(change);
        };
        row("first painting", [](Window &) {});
        const QStringList lines{QStringLiteral("Connect device"),
                                QStringLiteral("Connected to Office line"),
                                QStringLiteral("Disconnecting"), QStringLiteral("Disconnected"),
                                QStringLiteral("Connected to Office line for 00:00:01")};
        for (int cycle = 0; cycle < 2; ++cycle) {
            for (const QString &line : lines) {
                row(qPrintable(QStringLiteral("%1, cycle %2").arg(line).arg(cycle)),
                    [line](Window &w) {
                        w.status->setText(line);
                        w.connect->setText(line.startsWith(QLatin1String("Disconnected"))
                                               ? QStringLiteral("&Connect")
                                               : QStringLiteral("&Disconnect"));
                    });
            }
        }
        row("disabled", [](Window &w) {
            w.connect->setEnabled(false);
            w.status->setEnabled(false);
        });
        row("focus", [](Window &w) { w.connect->setFocus(Qt::TabFocusReason); });
        row("pressed", [](Window &w) { w.other->setDown(true); });
        row("default button", [](Window &w) { w.other->setDefault(true); });
        row("another background", [](Window &w) {
            QPalette palette = w.window.palette();
            palette.setColor(QPalette::Window, QColor(0x40, 0x80, 0xc0));
            w.window.setPalette(palette);
        });
        row("another font", [](Window &w) {
            QFont font = w.window.font();
            font.setBold(true);
            w.window.setFont(font);
        });
        row("wider", [](Window &w) { w.status->resize(200, 20); });
        row("overlapped", [](Window &w) { w.other->move(120, 108); });
    }
    void keptPaintingsLookLikeTheControls()
    {
        QFETCH(std::function<void(Window &)>, change);
        // One window at a time, active, as the main window is while it is used.
        const auto picture = [&change](bool withCache) -> std::pair<QImage, QImage> {
            Window w;
            if (withCache) {
                for (QWidget *control :
                     {static_cast<QWidget *>(w.status), static_cast<QWidget *>(w.connect),
                      static_cast<QWidget *>(w.other)})
                    PaintCache::install(control);
            }
            w.window.show();
            w.window.activateWindow();
            if (!QTest::qWaitForWindowActive(&w.window))
                return {};
            // The same captions first, so that the cache holds paintings of earlier looks
            // when the row's own change comes.
            for (const char *text : {"Connect device", "Disconnected", "Disconnecting"}) {
                w.status->setText(QLatin1String(text));
                w.onScreen();
            }
            change(w);
            return {w.onScreen(), w.connect->grab().toImage()};
        };
        const auto expected = picture(false);
        QVERIFY(!expected.first.isNull());
        const auto cached = picture(true);
        QCOMPARE(cached.first, expected.first);
        QCOMPARE(cached.second, expected.second);
    }
};

QTEST_MAIN(TestPaintCache)
#include "tst_paintcache.moc"
