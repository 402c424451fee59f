#include "Artwork.h"
#include "frmMain.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "Settings.h"
#include "TestHome.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
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

const QString exitQuestion = QStringLiteral(
    "Are you SURE you want to shut down the Velmora Client?\rYou will not be able to "
    "disconnect the server modem!");

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unconfiguredStoreIsRefused_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("port");
        QTest::newRow("empty store") << QString() << QString() << QString();
        QTest::newRow("no port") << "127.0.0.1"
                                 << "modem" << QString();
        QTest::newRow("no host") << QString() << QString() << "1000";
    }
    void unconfiguredStoreIsRefused()
    {
        QFETCH(QString, address);
        QFETCH(QString, name);
        QFETCH(QString, port);
        TestHome home;
        TestHome::seed(QStringLiteral("ServerIPAddress"), address);
        TestHome::seed(QStringLiteral("ServerName"), name);
        TestHome::seed(QStringLiteral("ServerPort"), port);
        frmMain w;
        MessageBox::setNextAnswer(MessageBox::AnswerOk);
        QSignalSpy ended(&w, &frmMain::programEnded);
        QVERIFY(!w.Form_Load());
        QVERIFY(!w.isVisible());
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        const MessageBox::Shown box = MessageBox::shownBoxes().first();
        QCOMPARE(box.text, QStringLiteral("You cannot use the Velmora Client unless you specify "
                                          "an IP Address and a port number for the server."));
        QCOMPARE(box.style, 16);
        QCOMPARE(box.title, QStringLiteral("Velmora Client"));
        // Ended at once: no unload, so nothing saved.
        QCOMPARE(ended.size(), 0);
        QCOMPARE(Settings::text(Settings::Alert, QStringLiteral("absent")),
                 QStringLiteral("absent"));
    }

    void configuredStartShowsTheCentredWindow()
    {
        TestHome home;
        TestHome::seed(QStringLiteral("ServerName"), QStringLiteral("modem"));
        TestHome::seed(QStringLiteral("ServerPort"), QStringLiteral("1000"));
        writeFile(MainModule::activityLogPath(), "previous run\r\n");
        frmMain w;
        QVERIFY(w.Form_Load());
        QVERIFY(w.isVisible());
        QVERIFY(!QFile::exists(MainModule::activityLogPath()));
        QCOMPARE(w.windowTitle(), QStringLiteral("Velmora Client"));
        QCOMPARE(w.cmdAction[1]->text(), QStringLiteral("E&xit"));
        QVERIFY(!w.chkAlert->isChecked());
        QVERIFY(!w.mnuSysTray[3]->isChecked());
        QCOMPARE(w.lblConnection->text(), QStringLiteral("Unknown"));
        QVERIFY(!w.lblMsg->isVisible());
        const QRect screen = w.screen()->geometry();
        QVERIFY(qAbs(w.frameGeometry().center().x() - screen.center().x()) <= 2);
        QVERIFY(qAbs(w.frameGeometry().center().y() - screen.center().y()) <= 2);
        QCOMPARE(w.size(), QSize(329, 141)); // 4935 x 2115 twips at 96 dpi
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(gNotifyIconData.szTip, QStringLiteral("Unknown"));
        QCOMPARE(gNotifyIconData.hIcon, Artwork::stateIcon(0).toImage());
    }

    void settingsShapeTheWindow()
    {
        TestHome home;
        TestHome::seedServer(1);
        TestHome::seed(QStringLiteral("Alert"), QStringLiteral("1"));
        TestHome::seed(QStringLiteral("MainScreenExit"), QStringLiteral("1"));
        frmMain w;
        QVERIFY(w.Form_Load());
        QVERIFY(w.chkAlert->isChecked());
        QVERIFY(w.mnuSysTray[3]->isChecked());
        QCOMPARE(w.cmdAction[1]->text(), QStringLiteral("Mi&nimize"));
    }

    void badStoredValueIsReportedNotFatal()
    {
        TestHome home;
        TestHome::seedServer(1);
        TestHome::seed(QStringLiteral("Alert"), QStringLiteral("often"));
        frmMain w;
        MessageBox::setNextAnswer(MessageBox::AnswerOk);
        QVERIFY(!w.Form_Load());
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().first().style, 48);
        QVERIFY(MessageBox::shownBoxes().first().text.contains(QLatin1String("Alert")));
        const QString errors = TestHome::readFile(MainModule::errorLogPath());
        QVERIFY2(errors.contains(QLatin1String("\tfrmMain_Load\tType mismatch")),
                 qPrintable(errors));
    }

    void closeBoxAsksFirst()
    {
        TestHome home;
        TestHome::seedServer(1);
        frmMain w;
        QVERIFY(w.Form_Load());
        QSignalSpy ended(&w, &frmMain::programEnded);

        MessageBox::setNextAnswer(MessageBox::AnswerNo);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QCOMPARE(ended.size(), 0);
        QCOMPARE(MessageBox::shownBoxes().last().text, exitQuestion);
        QCOMPARE(MessageBox::shownBoxes().last().style, 308);

        w.chkAlert->setChecked(true);
        MessageBox::setNextAnswer(MessageBox::AnswerYes);
        QVERIFY(w.close());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(Settings::text(Settings::Alert), QStringLiteral("1"));
    }

    void closeFromCodeAsksNothing()
    {
        TestHome home;
        TestHome::seedServer(1);
        frmMain w;
        QVERIFY(w.Form_Load());
        QSignalSpy ended(&w, &frmMain::programEnded);
        w.closeFromCode();
        QCOMPARE(ended.size(), 1);
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(Settings::text(Settings::Alert), QStringLiteral("0"));
    }

    void minimiseHides()
    {
        TestHome home;
        TestHome::seedServer(1);
        frmMain w;
        QVERIFY(w.Form_Load());
        w.showMinimized();
        QTRY_VERIFY(!w.isVisible());
    }

    void secondInstanceActivatesTheFirst()
    {
        TestHome home;
        TestHome::seedServer(1);
        frmMain first;
        QVERIFY(first.Form_Load());
        first.showMinimized();
        QTRY_VERIFY(!first.isVisible());
        writeFile(MainModule::activityLogPath(), "first run's log\r\n");

        frmMain second;
        QVERIFY(!second.Form_Load());
        QCOMPARE(second.windowTitle(), QString());
        QVERIFY(!second.isVisible());
        QTRY_VERIFY(first.isVisible());
        QVERIFY(!first.isMinimized());
        QCOMPARE(TestHome::readFile(MainModule::activityLogPath()),
                 QStringLiteral("first run's log\r\n"));
        QVERIFY(MessageBox::shownBoxes().isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
