// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Artwork.h"
#include "frmConfigure.h"
#include "frmMain.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "NotifyIcon.h"
#include "Settings.h"
#include "TestHome.h"
#include "WhenShown.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Seeds the store from "Key=value" pairs separated by ";".
void seed(const char *settings)
{
    const QString all = QString::fromLatin1(settings);
    for (const QString &pair : all.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        TestHome::seed(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
}

enum Answer { CancelButton, Escape, CloseBox, OkWithoutServer, OkWithServer };

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // An unconfigured client first offers the configuration dialog, with the link timer
    // stopped; each way of declining it, OK with no server included, ends the program without
    // saving what was typed, as a stored value that does not convert does.
    void firstStart_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("box"); // empty: none, the program runs
        const auto row = [](const char *name, const char *settings, Answer how, const char *box) {
            QTest::newRow(name) << QByteArray(settings) << int(how) << QString::fromLatin1(box);
        };
        const char *unconfigured = "You cannot use the Velmora Client unless you specify an IP "
                                   "Address and a port number for the server.";
        row("empty store, cancel", "", CancelButton, unconfigured);
        row("empty store, escape", "", Escape, unconfigured);
        row("empty store, close box", "", CloseBox, unconfigured);
        row("empty store, OK without an address", "", OkWithoutServer, unconfigured);
        row("empty store, OK with a server", "", OkWithServer, "");
        row("no port", "ServerIPAddress=127.0.0.1;ServerName=modem", CancelButton, unconfigured);
        row("no host", "ServerPort=1000", CancelButton, unconfigured);
        row("bad stored value", "ServerIPAddress=127.0.0.1;ServerPort=1;Alert=often", CancelButton,
            "Type mismatch: the setting Alert holds \"often\", which is not a whole number");
    }
    void firstStart()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, how);
        QFETCH(QString, box);
        TestHome home;
        seed(settings.constData());
        frmMain w;
        bool offered = false;
        auto watch = whenShown<frmConfigure>([&](frmConfigure *d) {
            offered = !w.timConnect->isActive();
            QTest::keyClicks(d->txtServerName, QStringLiteral("typed"));
            if (how == OkWithServer) {
                QTest::keyClicks(d->txtIPAddress, QStringLiteral("127.0.0.1"));
                QTest::keyClick(d->txtIPAddress, Qt::Key_Return);
            } else if (how == CancelButton) {
                QTest::mouseClick(d->cmdAction[1], Qt::LeftButton);
            } else if (how == Escape) {
                QTest::keyClick(d->txtServerName, Qt::Key_Escape);
            } else if (how == CloseBox) {
                d->close();
            } else {
                d->txtServerName->clear();
                d->cmdAction[0]->click();
            }
        });
        const bool typeMismatch = box.startsWith(QLatin1String("Type"));
        if (!box.isEmpty())
            MessageBox::setNextAnswer(MessageBox::AnswerOk);
        QCOMPARE(w.Form_Load(), box.isEmpty());
        QCOMPARE(offered, !typeMismatch);
        QVERIFY(!frmConfigure::loaded());
        QCOMPARE(w.isVisible(), box.isEmpty());
        QCOMPARE(MessageBox::shownBoxes().size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty()) {
            QCOMPARE(MessageBox::shownBoxes().first().text, box);
            QCOMPARE(MessageBox::shownBoxes().first().style, typeMismatch ? 48 : 16);
            QCOMPARE(MessageBox::shownBoxes().first().title, QLatin1String("Velmora Client"));
        }
        // Ended at once: no unload, so nothing saved but what OK saved.
        QCOMPARE(Settings::text(Settings::ServerIPAddress, QStringLiteral("absent")),
                 QLatin1String(how == OkWithServer || settings.contains("Address") ? "127.0.0.1"
                               : how == OkWithoutServer                            ? ""
                                                                                   : "absent"));
        QCOMPARE(TestHome::readFile(MainModule::errorLogPath())
                     .contains(QLatin1String("\tfrmMain_Load\tType mismatch")),
                 typeMismatch);
    }

    void shownWindowFollowsTheSettingsAndAsksBeforeClosing()
    {
        TestHome home;
        seed("ServerName=modem;ServerPort=1000;Alert=1;MainScreenExit=1");
        writeFile(MainModule::activityLogPath(), "previous run\r\n");
        frmMain w;
        QVERIFY(w.Form_Load());
        QVERIFY(w.isVisible() && !QFile::exists(MainModule::activityLogPath()));
        QVERIFY(w.chkAlert->isChecked() && w.mnuSysTray[3]->isChecked());
        QCOMPARE(w.cmdAction[1]->text(), QLatin1String("Mi&nimize"));
        // Centred by its outer size, frame included, not half a frame off.
        const QPoint offCentre = w.frameGeometry().center() - w.screen()->geometry().center();
        QVERIFY2(w.frameGeometry().size() != w.size(), "the platform draws no frame");
        QVERIFY(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1);
        QCOMPARE(gNotifyIconData.szTip, QLatin1String("Unknown"));
        QCOMPARE(gNotifyIconData.hIcon, Artwork::stateIcon(0).toImage());
        // One picture: the installed icon is the window's icon and the logo.
        const QPixmap installed(QStringLiteral(VELMORA_DATA "/icons/32x32/velmora-client.png"));
        QVERIFY(!installed.isNull());
        QCOMPARE(w.windowIcon().pixmap(QSize(32, 32)).toImage(), installed.toImage());
        QCOMPARE(w.imgBrindor->pixmap().toImage(), w.windowIcon().pixmap(QSize(45, 45)).toImage());

        QSignalSpy ended(&w, &frmMain::programEnded);
        MessageBox::setNextAnswer(MessageBox::AnswerNo);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible() && ended.isEmpty());
        QCOMPARE(MessageBox::shownBoxes().last().text,
                 QStringLiteral("Are you SURE you want to shut down the Velmora Client?\rYou will "
                                "not be able to disconnect the server modem!"));
        QCOMPARE(MessageBox::shownBoxes().last().style, 308);
        w.chkAlert->setChecked(false);
        MessageBox::setNextAnswer(MessageBox::AnswerYes);
        QVERIFY(w.close());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(Settings::text(Settings::Alert), QLatin1String("0"));
    }

    void withoutANotificationAreaMinimisingKeepsTheWindow()
    {
        TestHome home;
        TestHome::seedServer(1);
        NotifyIcon::setAvailableForTests(false);
        frmMain w;
        QVERIFY(w.Form_Load());
        w.showMinimized();
        // The hiding, when there is one, is queued behind the state change.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(w.isVisible() && w.isMinimized());
    }

    void secondInstanceActivatesTheFirst()
    {
        TestHome home;
        TestHome::seedServer(1);
        frmMain first;
        QVERIFY(first.Form_Load());
        first.showMinimized();
        QTRY_VERIFY(!first.isVisible()); // minimised, the window hides
        writeFile(MainModule::activityLogPath(), "first run's log\r\n");

        frmMain second;
        QVERIFY(!second.Form_Load());
        QVERIFY(second.windowTitle().isEmpty() && !second.isVisible());
        QTRY_VERIFY(first.isVisible());
        QVERIFY(!first.isMinimized());
        QCOMPARE(TestHome::readFile(MainModule::activityLogPath()),
                 QLatin1String("first run's log\r\n"));
        QVERIFY(MessageBox::shownBoxes().isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
