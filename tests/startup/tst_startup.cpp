// Start-up and shutdown of the whole program: the real main window, the real
// settings file in a temporary program folder and a real tray icon (run by
// with_tray_host.sh).
#include "MainM.h"
#include "Tray.h"
#include "app_globals.h"
#include "clsRadio.h"
#include "exit_question.h"
#include "frmForma.h"
#include "program_folder.h"
#include "real_tray_clicks.h"
#include "settings_file.h"
#include "station_numbers.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

using namespace RealClicks;

namespace {

std::optional<QByteArray> fileText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QImage imageOf(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

class TstStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString iniPath() const { return dir->filePath(QStringLiteral("Tolva.ini")); }

    void writeIni(const QByteArray& text)
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    // Opens the tray menu with a real right click and chooses an item of it.
    void chooseFromTray(QAction* item)
    {
        frmForma* const form = MainForm();
        QVERIFY(form && TrayData.icon);
        const QPoint at = waitForIcon(*TrayData.icon);
        QVERIFY2(!at.isNull(), "the tray did not take the icon");
        QVERIFY(click(at, Right));
        QTRY_VERIFY_WITH_TIMEOUT(form->pMenu->isVisible(), 5000);
        QTest::qWait(200);
        const QRect place = form->pMenu->actionGeometry(item);
        QVERIFY(click(form->pMenu->mapToGlobal(place.center()), Left));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        SetProgramFolder(dir->path());
        NomerRadio = 0;
        NomerSel = 0;
        FormVisible = 0;
        TrayData = {};
    }

    void cleanup()
    {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        DestroyMainForm();
        SetProgramFolder(QString());
        dir.reset();
    }

    // Start-up from whatever the folder holds, then closing the shown window:
    // no question, the station written where it can be, the icon gone, the end.
    void startAndClose_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("highlighted");
        QTest::addColumn<bool>("writable");

        QTest::newRow("first run, no settings file") << QString() << 0 << true;
        QTest::newRow("last station restored") << QStringLiteral("16") << 16 << true;
        QTest::newRow("station outside the catalog") << QStringLiteral("40") << 0 << true;
        QTest::newRow("malformed file") << QStringLiteral("junk") << 0 << true;
        QTest::newRow("unreadable settings file") << QStringLiteral("folder") << 0 << false;
        QTest::newRow("missing program folder") << QStringLiteral("missing") << 0 << false;
        QTest::newRow("program folder is a plain file") << QStringLiteral("plain") << 0 << false;
    }
    void startAndClose()
    {
        QFETCH(QString, setting);
        QFETCH(int, highlighted);
        QFETCH(bool, writable);

        bool ok = false;
        const int number = setting.toInt(&ok);
        if (ok) {
            writeIni(SettingsFile::Format(number));
        } else if (setting == QLatin1String("junk")) {
            writeIni("[nomerradio]\r\n 5 \r\n");
        } else if (setting == QLatin1String("folder")) {
            // As root no permission keeps a file from being read; a folder is never a file.
            QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("Tolva.ini")));
        } else if (setting == QLatin1String("missing")) {
            SetProgramFolder(dir->filePath(QStringLiteral("not/there")));
        } else if (setting == QLatin1String("plain")) {
            QFile plain(dir->filePath(QStringLiteral("plain")));
            QVERIFY(plain.open(QIODevice::WriteOnly));
            plain.close();
            SetProgramFolder(plain.fileName());
        }

        Main();

        frmForma* const form = MainForm();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QCOMPARE(int(FormVisible), -1);
        QCOMPARE(Radio().KolRadio(), 16);
        QCOMPARE(NomerSel, highlighted);
        QCOMPARE(NomerRadio, highlighted);
        // Nothing plays: the title is still the program's own.
        QCOMPARE(form->windowTitle(), ProgramTitle());

        QVERIFY(TrayData.icon && TrayData.icon->isVisible());
        QCOMPARE(TrayData.icon->toolTip(), QStringLiteral("Радиоприёмник Tolva"));
        const QPixmap picture = form->picIcon->pixmap();
        QVERIFY(!picture.isNull());
        QCOMPARE(imageOf(TrayData.icon->icon().pixmap(picture.size())), imageOf(picture));
        const QPointer<QSystemTrayIcon> icon = TrayData.icon;

        const QPointer<frmForma> alive(form);
        ExitQuestionAnswerer answerer(form, Answer::Enter);
        QVERIFY(form->close());
        QVERIFY(!answerer.question().asked);
        QTRY_VERIFY(!alive);
        // No window is left open, so the event loop of the program would end here.
        const QWidgetList left = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(left.begin(), left.end(), [](QWidget* w) { return w->isVisible(); }));
        QVERIFY(!MainForm());
        QVERIFY(!icon);

        const std::optional<QByteArray> text = fileText(SettingsFile::Path());
        QCOMPARE(text.has_value(), writable);
        if (writable)
            QCOMPARE(*text, SettingsFile::Format(highlighted));
        if (setting == QLatin1String("folder"))
            QVERIFY(QFileInfo(iniPath()).isDir());
    }

    // Hidden to the tray, then "Выход" from the tray menu: the window comes
    // back and asks; Enter answers No and nothing changes; the next exit,
    // with the window shown, ends without a question.
    void exitFromTrayWhileHidden()
    {
        writeIni(SettingsFile::Format(3));
        Main();
        frmForma* const form = MainForm();
        QVERIFY(form);
        form->pMenuHideShow_Click();
        QVERIFY(!form->isVisible());
        QCOMPARE(int(FormVisible), 0);
        NomerRadio = 8;  // as if station 8 had been tuned since

        ExitQuestionAnswerer answerer(form, Answer::Enter);
        chooseFromTray(form->pMenuExit);
        QTRY_VERIFY_WITH_TIMEOUT(answerer.question().asked, 5000);
        QTest::qWait(100);
        const ExitQuestion& q = answerer.question();
        QCOMPARE(q.text, QStringLiteral("Закрыть программу?"));
        QCOMPARE(q.title, ProgramTitle());
        QCOMPARE(q.icon, QMessageBox::Warning);
        QCOMPARE(q.defaultButton, QMessageBox::No);
        QVERIFY(q.ownerShown);

        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(MainForm(), form);
        QVERIFY(form->isVisible());
        QCOMPARE(int(FormVisible), -1);
        QCOMPARE(*fileText(iniPath()), SettingsFile::Format(3));
        QVERIFY(TrayData.icon && TrayData.icon->isVisible());

        const QPointer<frmForma> alive(form);
        ExitQuestionAnswerer second(form, Answer::Enter);
        chooseFromTray(form->pMenuExit);
        QTRY_VERIFY_WITH_TIMEOUT(!alive, 5000);
        QVERIFY(!second.question().asked);
        QCOMPARE(*fileText(iniPath()), SettingsFile::Format(8));
        QVERIFY(!TrayData.icon);
    }

    // Yes to the question writes the current station and ends the program.
    void yesWritesCurrentStation()
    {
        Main();
        frmForma* const form = MainForm();
        QVERIFY(form);
        form->pMenuHideShow_Click();
        NomerRadio = 5;
        const QPointer<frmForma> alive(form);
        ExitQuestionAnswerer answerer(form, Answer::Yes);
        QVERIFY(form->close());
        QVERIFY(answerer.question().asked);
        QTRY_VERIFY(!alive);
        QCOMPARE(*fileText(iniPath()), SettingsFile::Format(5));
        QVERIFY(!TrayData.icon);
    }

    // A double-click on the icon brings the hidden window back.
    void doubleClickShowsHiddenWindow()
    {
        Main();
        frmForma* const form = MainForm();
        QVERIFY(form);
        form->pMenuHideShow_Click();
        const QPoint at = waitForIcon(*TrayData.icon);
        QVERIFY(!at.isNull());
        QVERIFY(!form->isVisible());
        QVERIFY(click(at, Left, 2));
        QTRY_VERIFY_WITH_TIMEOUT(form->isVisible(), 5000);
        QCOMPARE(int(FormVisible), -1);
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
