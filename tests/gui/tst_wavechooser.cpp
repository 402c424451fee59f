// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FolderList.h"
#include "frmConfigure.h"
#include "frmMain.h"
#include "frmWav.h"
#include "TestHome.h"
#include "WhenShown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A short, real wave: 16-bit mono PCM at 8 kHz, a tenth of a second of silence.
QByteArray silentWave()
{
    static const char header[] = "RIFF\x64\x06\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0"
                                 "\x80\x3e\0\0\x02\0\x10\0data\x40\x06\0\0";
    return QByteArray(header, sizeof header - 1) + QByteArray(1600, '\0');
}

QString files(const QListWidget *list)
{
    QStringList names;
    for (int row = 0; row < list->count(); ++row)
        names << list->item(row)->text() +
                     (list->item(row)->isSelected() ? QLatin1String("*") : QLatin1String(""));
    return names.join(QLatin1Char(' '));
}

} // namespace

class TestWaveChooser : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_sounds;
    frmMain *m_main = nullptr;

    QString sound(const char *name) const { return m_sounds.filePath(QString::fromLatin1(name)); }

    // The configuration dialog with both wave options ticked.
    frmConfigure *openDialog()
    {
        frmConfigure *d = frmConfigure::instance();
        d->Form_Load(m_main->configureOpener());
        d->show();
        d->cmdTab_Click(1);
        d->chkMsg[1]->setChecked(true);
        d->chkMsg[3]->setChecked(true);
        return d;
    }

private Q_SLOTS:
    void initTestCase()
    {
        writeFile(sound("a.wav"), silentWave());
        writeFile(sound("B.WAV"), "not a wave at all");
        writeFile(sound("c.txt"), "notes");
        QVERIFY(QDir(m_sounds.path()).mkdir(QStringLiteral("more")));
        writeFile(sound("more/d.Wav"), silentWave());
    }

    void init()
    {
        // Sounds that cannot play, and machines without a sound device, stay silent in the log.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        m_main = new frmMain;
    }

    void cleanup()
    {
        frmWav::unload();
        frmConfigure::unload();
        delete m_main;
    }

    void chooserOpensOnTheStoredFileAndAnswersWithItsPath()
    {
        TestHome home;
        frmConfigure *d = openDialog();
        // The stored name differs from the file's in letter case only.
        d->txtWave[0]->setText(sound("b.wav"));
        bool checked = false;
        auto watch = whenShown<frmWav>([&](frmWav *w) {
            QCOMPARE(w->windowTitle(), QLatin1String("Select Wave to Play When Server Connects"));
            QVERIFY(w->isModal());
            QCOMPARE(w->filWavPath(), m_sounds.path());
            QCOMPARE(files(w->filWav), QLatin1String("a.wav B.WAV*"));
            QCOMPARE(w->dirWav->Path(), m_sounds.path());
            QCOMPARE(w->drvWav->itemText(0), QLatin1String("/"));
            QCOMPARE(w->drvWav->itemText(1), QDir::homePath());

            // Testing plays without choosing, whatever the file holds.
            QTest::mouseClick(w->cmdAction[0], Qt::LeftButton);
            const QRect first = w->filWav->visualItemRect(w->filWav->item(0));
            QTest::mouseClick(w->filWav->viewport(), Qt::LeftButton, {}, first.center());
            QTest::mouseDClick(w->filWav->viewport(), Qt::LeftButton, {}, first.center());
            QVERIFY(w->isVisible() && w->Tag.isEmpty());
            QCOMPARE(home.sounds(), (QStringList{sound("B.WAV"), sound("a.wav")}));

            // Opening a folder lists its waves; the chosen path is the folder's and the name.
            QTreeWidgetItem *more =
                w->dirWav->findItems(QStringLiteral("more"), Qt::MatchExactly | Qt::MatchRecursive)
                    .value(0);
            QVERIFY(more);
            Q_EMIT w->dirWav->itemActivated(more, 0);
            QCOMPARE(w->filWavPath(), sound("more"));
            QCOMPARE(files(w->filWav), QLatin1String("d.Wav"));
            w->filWav->setCurrentRow(0);
            checked = true;
            QTest::keyClick(w->filWav, Qt::Key_Return);
        });
        d->cmdWave[0]->click();
        QVERIFY(checked);
        QVERIFY(!frmWav::loaded());
        QCOMPARE(d->txtWave[0]->text(), sound("more/d.Wav"));
        QCOMPARE(d->txtWave[0]->cursorPosition(), d->txtWave[0]->text().size());
    }

    void givingUpLeavesTheBoxAlone_data()
    {
        QTest::addColumn<int>("how"); // 0 Cancel, 1 Escape, 2 close box
        QTest::newRow("cancel") << 0;
        QTest::newRow("escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void givingUpLeavesTheBoxAlone()
    {
        QFETCH(int, how);
        TestHome home;
        frmConfigure *d = openDialog();
        d->txtWave[1]->setText(sound("a.wav"));
        QString caption;
        auto watch = whenShown<frmWav>([&](frmWav *w) {
            caption = w->windowTitle();
            w->filWav->setCurrentRow(1);
            if (how == 0)
                QTest::mouseClick(w->cmdAction[2], Qt::LeftButton);
            else if (how == 1)
                QTest::keyClick(w->filWav, Qt::Key_Escape);
            else
                w->close();
        });
        d->cmdWave[1]->click();
        QCOMPARE(caption, QLatin1String("Select Wave to Play When Server Disconnects"));
        QVERIFY(!frmWav::loaded());
        QCOMPARE(d->txtWave[1]->text(), sound("a.wav"));
    }

    // The stored path's folder opens with nothing selected, an empty box the current folder;
    // "OK" with no file hands back the folder, which is not empty, so the box takes it.
    void openingFolderWithNothingSelected_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("listed");
        const QString waves = QStringLiteral("a.wav B.WAV");
        QTest::newRow("missing file") << sound("gone.wav") << m_sounds.path() << waves;
        QTest::newRow("missing folder") << sound("gone/x.wav") << m_sounds.path() << waves;
        QTest::newRow("folder alone")
            << m_sounds.path() + QLatin1Char('/') << m_sounds.path() << waves;
        QTest::newRow("empty box") << QString() << sound("more") << QStringLiteral("d.Wav");
    }
    void openingFolderWithNothingSelected()
    {
        QFETCH(QString, stored);
        QFETCH(QString, folder);
        QFETCH(QString, listed);
        TestHome home;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(sound("more")));
        frmConfigure *d = openDialog();
        d->txtWave[0]->setText(stored);
        QString shown;
        auto watch = whenShown<frmWav>([&](frmWav *w) {
            shown = w->filWavPath() + QLatin1Char(' ') + files(w->filWav);
            QTest::mouseClick(w->cmdAction[1], Qt::LeftButton);
        });
        d->cmdWave[0]->click();
        QDir::setCurrent(previous);
        QCOMPARE(shown, folder + QLatin1Char(' ') + listed);
        QCOMPARE(d->txtWave[0]->text(), folder + QLatin1Char('/'));
    }
};

QTEST_MAIN(TestWaveChooser)
#include "tst_wavechooser.moc"
