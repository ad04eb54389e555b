// The exit routine on a stand-in main window whose close requests go through
// it, with a real tray icon (run by with_tray_host.sh).
#include "SaveINIm.h"
#include "Tray.h"
#include "app_globals.h"
#include "exit_question.h"
#include "program_folder.h"
#include "settings_file.h"
#include "station_numbers.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace {

class ExitForm : public QWidget {
public:
    QLabel* picIcon = new QLabel(this);
    QMenu* pMenu = new QMenu(this);
    int routineRuns = 0;

    ExitForm()
    {
        QPixmap picture(32, 32);
        picture.fill(Qt::darkBlue);
        picIcon->setPixmap(picture);
        picIcon->hide();
        resize(300, 200);
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++routineRuns;
        const qint16 Cancel = static_cast<qint16>(SaveINI(*this));
        Cancel != 0 ? event->ignore() : event->accept();
    }
};

std::optional<QByteArray> fileText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

}  // namespace

class TstExit : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ExitForm> form;

    QString iniPath() const { return dir->filePath(QStringLiteral("Tolva.ini")); }

    void putUpIcon()
    {
        TrayAdd(*form->picIcon, *form->pMenu, ProgramTitle());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        SetProgramFolder(dir->path());
        NomerRadio = 0;
        FormVisible = 0;
        TrayData = {};
        form = std::make_unique<ExitForm>();
    }

    void cleanup()
    {
        form.reset();
        SetProgramFolder(QString());
        dir.reset();
    }

    // Closing a shown window asks nothing, writes the station and removes the
    // icon, also where the file cannot be written.
    void closeShown_data()
    {
        QTest::addColumn<QString>("folder");  // relative to the temporary folder; "" is the folder itself
        QTest::addColumn<bool>("writable");
        QTest::newRow("writable folder") << QString() << true;
        QTest::newRow("missing folder") << QStringLiteral("gone/deeper") << false;
        QTest::newRow("folder is a plain file") << QStringLiteral("plain") << false;
        QTest::newRow("settings file is a folder") << QStringLiteral("iniDir") << false;
    }
    void closeShown()
    {
        QFETCH(QString, folder);
        QFETCH(bool, writable);
        if (folder == QLatin1String("plain")) {
            QFile plain(dir->filePath(folder));
            QVERIFY(plain.open(QIODevice::WriteOnly));
        } else if (folder == QLatin1String("iniDir")) {
            QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("Tolva.ini")));
            folder.clear();
        }
        SetProgramFolder(folder.isEmpty() ? dir->path() : dir->filePath(folder));

        NomerRadio = 11;
        FormVisible = -1;
        form->show();
        putUpIcon();
        QVERIFY(TrayData.icon);
        const QPointer<QSystemTrayIcon> icon = TrayData.icon;

        ExitQuestionAnswerer answerer(form.get(), Answer::Enter);
        QVERIFY(form->close());
        QVERIFY(!answerer.question().asked);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->routineRuns, 1);
        QVERIFY(!TrayData.icon);
        QTRY_VERIFY(!icon);

        const std::optional<QByteArray> text = fileText(SettingsFile::Path());
        QCOMPARE(text.has_value(), writable);
        if (writable)
            QCOMPARE(*text, QByteArray("[NomerRadio]\r\n 11 \r\n"));
        if (folder.isEmpty() && !writable)
            QVERIFY(QFileInfo(iniPath()).isDir());  // left as it was
    }

    // Closing a hidden window shows it and asks; a No (Enter at once, Escape or
    // the close box of the question) keeps everything, a Yes ends the program.
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

        // A file from an earlier run: a No must leave it alone.
        QFile old(iniPath());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(SettingsFile::Format(2));
        old.close();

        NomerRadio = 9;
        putUpIcon();
        const QPointer<QSystemTrayIcon> icon = TrayData.icon;
        QVERIFY(icon);
        QVERIFY(!form->isVisible());

        ExitQuestionAnswerer answerer(form.get(), static_cast<Answer>(answer));
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

        if (exits) {
            QVERIFY(!form->isVisible());
            QCOMPARE(*fileText(iniPath()), SettingsFile::Format(9));
            QVERIFY(!TrayData.icon);
            QTRY_VERIFY(!icon);
            return;
        }
        QVERIFY(form->isVisible());
        QCOMPARE(*fileText(iniPath()), SettingsFile::Format(2));
        QVERIFY(icon && icon->isVisible());
        QCOMPARE(TrayData.icon, icon);

        // Shown now, so the next close asks nothing and ends.
        ExitQuestionAnswerer second(form.get(), Answer::Enter);
        QVERIFY(form->close());
        QVERIFY(!second.question().asked);
        QCOMPARE(*fileText(iniPath()), SettingsFile::Format(9));
        QTRY_VERIFY(!icon);
    }

    // Another close request while the question is open keeps the window; only
    // the answer decides, and the file is written once, after it.
    void closeWhileAsking()
    {
        putUpIcon();
        NomerRadio = 4;
        qint32 nested = -1;
        bool writtenWhileAsked = true;
        ExitQuestionAnswerer answerer(form.get(), Answer::Yes, [&] {
            nested = SaveINI(*form);
            writtenWhileAsked = QFile::exists(iniPath());
        });
        QVERIFY(form->close());
        QVERIFY(answerer.question().asked);
        QCOMPARE(nested, 1);
        QVERIFY(!writtenWhileAsked);
        QCOMPARE(*fileText(iniPath()), SettingsFile::Format(4));
    }
};

QTEST_MAIN(TstExit)
#include "tst_exit.moc"
