// Start-up and shutdown of the whole program: the real main window, the real
// settings file in a temporary program folder and a real tray icon (run by
// with_tray_host.sh).
#include "MainM.h"
#include "SaveINIm.h"
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

    // Any close request while the window is hidden shows it and asks; a No
    // (Enter at once, or Escape) keeps everything and the next close, with the
    // window shown, ends without a question; a Yes writes the current station.
    void closeHidden_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("exits");
        QTest::newRow("Enter answers No") << int(Answer::Enter) << false;
        QTest::newRow("Escape answers No") << int(Answer::Escape) << false;
        QTest::newRow("Yes") << int(Answer::Yes) << true;
    }
    void closeHidden()
    {
        QFETCH(int, answer);
        QFETCH(bool, exits);

        writeIni(SettingsFile::Format(3));
        Main();
        frmForma* const form = MainForm();
        QVERIFY(form);
        form->pMenuHideShow_Click();
        QVERIFY(!form->isVisible());
        QCOMPARE(int(FormVisible), 0);
        NomerRadio = 8;  // as if station 8 had been tuned since
        const QPointer<frmForma> alive(form);
        const QPointer<QSystemTrayIcon> icon = TrayData.icon;

        ExitQuestionAnswerer answerer(form, static_cast<Answer>(answer));
        QCOMPARE(form->close(), exits);

        const ExitQuestion& q = answerer.question();
        QVERIFY(q.asked);
        QCOMPARE(q.text, QStringLiteral("Закрыть программу?"));
        QCOMPARE(q.title, QStringLiteral("Радиоприёмник Tolva"));
        QCOMPARE(q.icon, QMessageBox::Warning);
        QCOMPARE(q.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(q.defaultButton, QMessageBox::No);
        QCOMPARE(q.escapeButton, QMessageBox::No);
        QVERIFY(q.applicationModal);
        QVERIFY(q.ownerShown);
        QCOMPARE(int(FormVisible), -1);

        if (!exits) {
            QVERIFY(form->isVisible());
            QCOMPARE(*fileText(iniPath()), SettingsFile::Format(3));
            QVERIFY(icon && icon->isVisible());
            QCOMPARE(TrayData.icon, icon);

            ExitQuestionAnswerer second(form, Answer::Enter);
            QVERIFY(form->close());
            QVERIFY(!second.question().asked);
        }
        QTRY_VERIFY(!alive);
        QCOMPARE(*fileText(iniPath()), SettingsFile::Format(8));
        QVERIFY(!TrayData.icon);
        QVERIFY(!icon);
    }

    // The same through the tray menu itself, with real clicks: hidden, then
    // "Выход" brings the window back with the question; the next "Выход" ends.
    void exitFromTrayWhileHidden()
    {
        Main();
        frmForma* const form = MainForm();
        QVERIFY(form);
        form->pMenuHideShow_Click();

        ExitQuestionAnswerer answerer(form, Answer::Enter);
        chooseFromTray(form->pMenuExit);
        QTRY_VERIFY_WITH_TIMEOUT(answerer.question().asked, 5000);
        QCOMPARE(answerer.question().defaultButton, QMessageBox::No);
        QVERIFY(answerer.question().ownerShown);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(MainForm(), form);
        QVERIFY(form->isVisible());
        QVERIFY(!QFile::exists(iniPath()));

        const QPointer<frmForma> alive(form);
        ExitQuestionAnswerer second(form, Answer::Enter);
        chooseFromTray(form->pMenuExit);
        QTRY_VERIFY_WITH_TIMEOUT(!alive, 5000);
        QVERIFY(!second.question().asked);
        QCOMPARE(*fileText(iniPath()), SettingsFile::Format(0));
    }

    // Another close request while the question is open keeps the window; only
    // the answer decides, and the file is written once, after it.
    void closeWhileAsking()
    {
        Main();
        frmForma* const form = MainForm();
        QVERIFY(form);
        form->pMenuHideShow_Click();
        NomerRadio = 4;
        qint32 nested = -1;
        bool writtenWhileAsked = true;
        ExitQuestionAnswerer answerer(form, Answer::Yes, [&] {
            nested = SaveINI(*form);
            writtenWhileAsked = QFile::exists(iniPath());
        });
        const QPointer<frmForma> alive(form);
        QVERIFY(form->close());
        QVERIFY(answerer.question().asked);
        QCOMPARE(nested, 1);
        QVERIFY(!writtenWhileAsked);
        QTRY_VERIFY(!alive);
        QCOMPARE(*fileText(iniPath()), SettingsFile::Format(4));
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
