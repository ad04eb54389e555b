// Start-up and shutdown of the whole program: the real main window, the real
// settings file in a temporary program folder and a real tray icon (run by
// with_tray_host.sh).
#include "MainM.h"
#include "SaveINIm.h"
#include "Tray.h"
#include "app_globals.h"
#include "frmForma.h"
#include "program_folder.h"
#include "settings_file.h"
#include "station_numbers.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("none");
}

// Answers the exit question once it is on screen, with Enter or Yes, and
// keeps what it looked like; first it makes another close request meanwhile.
struct Answerer : QObject {
    QString seen;
    qint32 nested = -1;
    QTimer poll;
    Answerer(QWidget* form, bool yes)
    {
        connect(&poll, &QTimer::timeout, this, [=, this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            seen = u"%1|%2|icon %3|buttons %4|default %5|shown %6"_s.arg(box->windowTitle(), box->text())
                       .arg(box->icon()).arg(box->standardButtons().toInt())
                       .arg(box->standardButton(box->defaultButton())).arg(form->isVisible());
            nested = SaveINI(*form);
            yes ? box->button(QMessageBox::Yes)->click() : QTest::keyClick(box, Qt::Key_Return);
        });
        poll.start(20);
    }
};

}  // namespace

class TstStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

private Q_SLOTS:
    void initTestCase() { QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000); }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        SetProgramFolder(dir->path());
        NomerRadio = NomerSel = FormVisible = 0;
        TrayData = {};
    }

    void cleanup() { DestroyMainForm(); }

    // Start-up from whatever the folder holds, then a close request. With the
    // window shown it ends without a question, writing the station where it
    // can. While hidden the window comes back and asks: No keeps everything
    // and the next close, now shown, ends without a question; Yes writes the
    // current station.
    void startAndClose_data()
    {
        QTest::addColumn<int>("stored");  // -1: no settings file
        QTest::addColumn<QString>("problem");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("first run, no settings file") << -1 << QString() << false << false << SettingsFile::Format(0);
        QTest::newRow("last station restored") << 16 << QString() << false << false << SettingsFile::Format(16);
        // As root no permission keeps a file from being read; a folder is never a file.
        QTest::newRow("settings file is a folder") << -1 << "unreadable" << false << false << QByteArray("none");
        QTest::newRow("program folder missing") << -1 << "unwritable" << false << false << QByteArray("none");
        QTest::newRow("hidden, Enter answers No") << 3 << QString() << true << false << SettingsFile::Format(8);
        QTest::newRow("hidden, Yes") << 3 << QString() << true << true << SettingsFile::Format(8);
    }
    void startAndClose()
    {
        QFETCH(int, stored);
        QFETCH(QString, problem);
        QFETCH(bool, hidden);
        QFETCH(bool, yes);
        QFETCH(QByteArray, written);
        QFile ini(dir->filePath(u"Tolva.ini"_s));
        if (stored >= 0)
            QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write(SettingsFile::Format(stored)) && ini.flush());
        ini.close();
        if (problem == u"unreadable")
            QVERIFY(QDir(dir->path()).mkdir(u"Tolva.ini"_s));
        if (problem == u"unwritable")
            SetProgramFolder(dir->filePath(u"not/there"_s));

        Main();
        frmForma* const form = MainForm();
        QVERIFY(form && form->isVisible());
        QCOMPARE(int(FormVisible), -1);
        QCOMPARE(QList<qint32>({NomerSel, NomerRadio}), QList<qint32>(2, qMax(stored, 0)));
        QCOMPARE(form->windowTitle(), ProgramTitle());  // nothing plays
        const QPointer<QSystemTrayIcon> icon = TrayData.icon;
        QVERIFY(icon && icon->isVisible());
        QCOMPARE(icon->toolTip(), u"Радиоприёмник Tolva"_s);
        if (hidden) {
            form->pMenuHideShow_Click();
            QVERIFY(!form->isVisible());
            NomerRadio = 8;  // as if station 8 had been tuned since
        }

        const QPointer<frmForma> alive(form);
        Answerer answerer(form, yes);
        QCOMPARE(form->close(), !hidden || yes);
        if (hidden) {
            QCOMPARE(answerer.seen, u"Радиоприёмник Tolva|Закрыть программу?|icon %1|buttons %2|default %3|shown 1"_s
                                        .arg(QMessageBox::Warning).arg((QMessageBox::Yes | QMessageBox::No).toInt())
                                        .arg(QMessageBox::No));
            QCOMPARE(answerer.nested, 1);  // the open question alone decides
            QCOMPARE(int(FormVisible), -1);
        } else {
            QVERIFY(answerer.seen.isEmpty());
        }
        if (hidden && !yes) {
            QVERIFY(form->isVisible());
            QCOMPARE(fileText(ini.fileName()), SettingsFile::Format(3));
            QVERIFY(icon && icon->isVisible());
            Answerer second(form, false);
            QVERIFY(form->close());
            QVERIFY(second.seen.isEmpty());
        }
        QTRY_VERIFY(!alive);
        QVERIFY(!icon);
        QCOMPARE(fileText(SettingsFile::Path()), written);
        QCOMPARE(QFileInfo(ini).isDir(), problem == u"unreadable");
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
