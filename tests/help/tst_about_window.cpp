#include "SaveFileUrlm.h"
#include "frmOprog.h"
#include "opened_urls.h"
#include "program_folder.h"
#include "tolva_config.h"

#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {
QRgb Rgb(int r, int g, int b)
{
    return qRgb(r, g, b);
}

// Runs the dialog modally, as the main window does, with `act` going first
// inside the modal loop; a watchdog keeps a broken close from hanging.
void ExecWith(frmOprog& dialog, const std::function<void()>& act)
{
    QTimer::singleShot(0, &dialog, act);
    QTimer::singleShot(5000, &dialog, [&dialog] { dialog.done(-1); });
    dialog.exec();
}
}  // namespace

class TestAboutWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<OpenedUrls> opened_;

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        SetProgramFolder(dir_->path());
        opened_ = std::make_unique<OpenedUrls>();
    }
    void cleanup()
    {
        opened_.reset();
        SetProgramFolder({});
    }

    void windowFrame()
    {
        frmOprog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(dialog.size(), QSize(356, 209));
        QCOMPARE(dialog.minimumSize(), QSize(356, 209));
        QCOMPARE(dialog.maximumSize(), QSize(356, 209));
        QCOMPARE(dialog.parentWidget(), nullptr);
        const Qt::WindowFlags flags = dialog.windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!dialog.isSizeGripEnabled());
        const QPoint screenCentre = dialog.screen()->availableGeometry().center();
        QVERIFY((dialog.frameGeometry().center() - screenCentre).manhattanLength() <= 2);
        const QImage image = dialog.grab().toImage();
        QCOMPARE(image.pixel(350, 3), Rgb(224, 224, 224));
        QCOMPARE(image.pixel(5, 205), Rgb(224, 224, 224));
        QCOMPARE(dialog.font().pointSize(), 12);
        QVERIFY(dialog.font().bold());
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QPoint>("position");

        QTest::newRow("link") << "Label1" << "tolva.example" << QPoint(152, 56);
        QTest::newRow("author") << "Label2_3" << "Автор: команда Tolva" << QPoint(104, 8);
        QTest::newRow("e-mail") << "Label2_4" << "E-mail: dev@tolva.example" << QPoint(104, 32);
        QTest::newRow("site") << "Label2_5" << "Сайт:" << QPoint(104, 56);
        QTest::newRow("version") << "Label2_6" << "Версия: v7.3" << QPoint(104, 80);
        QTest::newRow("first date") << "Label2_7" << "Дата: 1 июля 2010 год -" << QPoint(104, 104);
        QTest::newRow("second date") << "Label2_0" << "29 августа 2015 год" << QPoint(156, 128);
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QPoint, position);
        frmOprog dialog;
        const auto* label = dialog.findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->pos(), position);
        QCOMPARE(label->height(), 20);
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        // As wide as the text, and the text fits inside the window.
        const qreal textWidth = QFontMetricsF(label->font()).horizontalAdvance(text);
        QVERIFY(label->width() >= textWidth && label->width() < textWidth + 1);
        QVERIFY2(label->geometry().right() < 356 - 2, qPrintable(QString::number(label->geometry().right())));
        QVERIFY(QFontMetricsF(label->font()).height() <= 20);
        QVERIFY(label->font().bold());
    }

    void okButton()
    {
        frmOprog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const auto* ok = dialog.findChild<QPushButton*>("OK");
        QVERIFY(ok);
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(ok->geometry(), QRect(256, 164, 89, 33));
        QVERIFY(ok->isDefault());
        QCOMPARE(QApplication::focusWidget(), ok);
        QCOMPARE(ok->palette().color(QPalette::Button), QColor(224, 224, 224));
    }

    void link()
    {
        frmOprog dialog;
        const auto* link = dialog.findChild<QLabel*>("Label1");
        QVERIFY(link);
        QVERIFY(link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 192));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(dialog.findChild<QLabel*>("Label2_5")->cursor().shape(), Qt::ArrowCursor);
        // The link's text is really drawn in dark blue.
        const QImage image = dialog.grab().toImage();
        bool blue = false;
        for (int x = 152; x < link->geometry().right() && !blue; ++x)
            for (int y = 56; y < 76 && !blue; ++y)
                blue = image.pixel(x, y) == Rgb(0, 0, 192);
        QVERIFY(blue);
    }

    void pictureAndSeparator()
    {
        frmOprog dialog;
        const auto* image1 = dialog.findChild<QLabel*>("Image1_0");
        QVERIFY(image1);
        QCOMPARE(image1->geometry(), QRect(16, 8, 71, 126));
        QCOMPARE(image1->pixmap().size(), QSize(71, 126));

        const QImage image = dialog.grab().toImage();
        const QColor dark = QApplication::palette().color(QPalette::WindowText);
        const QColor light = QApplication::palette().color(QPalette::Base);
        for (const int x : {8, 100, 344}) {
            QCOMPARE(QColor(image.pixel(x, 152)), dark);
            QCOMPARE(QColor(image.pixel(x, 153)), light);
        }
        QCOMPARE(image.pixel(7, 152), Rgb(224, 224, 224));
        QCOMPARE(image.pixel(345, 152), Rgb(224, 224, 224));
        QCOMPARE(image.pixel(100, 151), Rgb(224, 224, 224));
        QCOMPARE(image.pixel(100, 154), Rgb(224, 224, 224));
    }

    void flagIsDrawnAtEveryOpening()
    {
        for (int opening = 0; opening < 2; ++opening) {
            frmOprog dialog;
            ExecWith(dialog, [&dialog] {
                const auto* picture = dialog.findChild<QLabel*>("Picture1");
                QVERIFY(picture);
                QCOMPARE(picture->geometry(), QRect(8, 160, 80, 45));
                const QImage window = dialog.grab().toImage();
                for (int y = 0; y < 45; ++y) {
                    const QRgb expected = y < 15 ? Rgb(255, 255, 255)
                        : y < 31                 ? Rgb(0, 0, 255)
                                                 : Rgb(255, 0, 0);
                    for (int x = 0; x < 80; ++x)
                        QCOMPARE(window.pixel(8 + x, 160 + y), expected);
                }
                // Nothing spills beyond the 80 x 45 surface.
                QCOMPARE(window.pixel(88, 170), Rgb(224, 224, 224));
                QCOMPARE(window.pixel(50, 205), Rgb(224, 224, 224));
                dialog.close();
            });
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        }
    }

    void closingWays_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Enter right after opening") << "enter";
        QTest::newRow("Return right after opening") << "return";
        QTest::newRow("OK clicked") << "ok";
        QTest::newRow("close box") << "close";
    }
    void closingWays()
    {
        QFETCH(QString, way);
        frmOprog dialog;
        ExecWith(dialog, [&dialog, &way] {
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QWidget* target = QApplication::focusWidget();
            QCOMPARE(target, dialog.findChild<QPushButton*>("OK"));
            if (way == "enter")
                QTest::keyClick(target, Qt::Key_Enter);
            else if (way == "return")
                QTest::keyClick(target, Qt::Key_Return);
            else if (way == "ok")
                QTest::mouseClick(dialog.findChild<QPushButton*>("OK"), Qt::LeftButton);
            else
                dialog.close();
        });
        // Every way ends the same: closed, with the same result as OK.
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void clickingSiteLabelDoesNothing()
    {
        frmOprog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.findChild<QLabel*>("Label2_5"), Qt::LeftButton);
        QApplication::processEvents();
        QVERIFY(opened_->urls.isEmpty());
        QVERIFY(!QFile::exists(dir_->filePath("0.html")));
        QVERIFY(dialog.isVisible());
    }

    void clickingLinkOpensSite()
    {
        frmOprog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* link = dialog.findChild<QLabel*>("Label1");
        Qt::CursorShape windowDuring = Qt::ArrowCursor;
        Qt::CursorShape overrideDuring = Qt::ArrowCursor;
        opened_->onOpen = [&](const QUrl&) {
            windowDuring = dialog.cursor().shape();
            overrideDuring = QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape()
                                                               : Qt::ArrowCursor;
        };
        QTest::mouseClick(link, Qt::LeftButton);

        QCOMPARE(opened_->urls, QList<QUrl>{QUrl::fromLocalFile(dir_->filePath("0.html"))});
        QFile page(dir_->filePath("0.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray text = page.readAll();
        const QByteArray start = "url=";
        const qsizetype from = text.indexOf(start) + start.size();
        QCOMPARE(text.mid(from, text.indexOf("'>") - from), QByteArray(TolvaConfig::SiteUrl));
        QCOMPARE(text, RedirectPage(QString::fromUtf8(TolvaConfig::SiteUrl)));

        QCOMPARE(windowDuring, Qt::WaitCursor);
        QCOMPARE(overrideDuring, Qt::WaitCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(dialog.isVisible());
    }

    void linkPressDraggedAwayIsNoClick()
    {
        frmOprog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* link = dialog.findChild<QLabel*>("Label1");
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(5, 40));
        QTest::mouseClick(link, Qt::RightButton);
        QVERIFY(opened_->urls.isEmpty());
    }

    void linkThatCannotBeWrittenLeavesWindowAsItWas()
    {
        SetProgramFolder(dir_->filePath("missing"));
        frmOprog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.findChild<QLabel*>("Label1"), Qt::LeftButton);
        QVERIFY(opened_->urls.isEmpty());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
        QVERIFY(dialog.isVisible());
    }

    void screenshot()
    {
        const QString path = qEnvironmentVariable("TOLVA_ABOUT_SCREENSHOT");
        if (path.isEmpty())
            QSKIP("set TOLVA_ABOUT_SCREENSHOT to a .png path to save a picture of the window");
        frmOprog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.grab().save(path));
    }
};

QTEST_MAIN(TestAboutWindow)
#include "tst_about_window.moc"
