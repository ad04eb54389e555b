#include "SaveFileUrlm.h"
#include "frmOprog.h"
#include "opened_urls.h"
#include "program_folder.h"
#include "tolva_config.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestAboutWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    OpenedUrls opened_;

private Q_SLOTS:
    void initTestCase() { SetProgramFolder(dir_.path()); }

    void windowFrame()
    {
        frmOprog dialog;
        QCOMPARE(dialog.size(), QSize(356, 209));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    }

    void labels_data()
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
    void labels()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QPoint, position);
        frmOprog dialog;
        const auto* label = dialog.findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->pos(), position);
    }

    // Two openings in a row, run modally as the main window does, closed first
    // by Enter, then by the close box; a watchdog keeps a broken close from hanging.
    void flagAndClosingAtEachOpening()
    {
        for (const bool enter : {true, false}) {
            frmOprog dialog;
            QTimer::singleShot(5000, &dialog, [&dialog] { dialog.done(-1); });
            QTimer::singleShot(0, &dialog, [&dialog, enter] {
                QVERIFY(QTest::qWaitForWindowActive(&dialog));
                QCOMPARE(dialog.findChild<QLabel*>("Picture1")->geometry(), QRect(8, 160, 80, 45));
                const QImage window = dialog.grab().toImage();
                for (int y = 0; y < 45; ++y) {
                    const QRgb expected = y < 15 ? qRgb(255, 255, 255) : y < 31 ? qRgb(0, 0, 255) : qRgb(255, 0, 0);
                    for (int x = 0; x < 80; ++x)
                        QCOMPARE(window.pixel(8 + x, 160 + y), expected);
                }
                auto* ok = dialog.findChild<QPushButton*>("OK");
                QCOMPARE(QApplication::focusWidget(), ok);
                if (enter)
                    QTest::keyClick(ok, Qt::Key_Enter);
                else
                    dialog.close();
            });
            dialog.exec();
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), int(QDialog::Rejected));  // not the watchdog's -1
        }
    }

    void clickingLinkOpensSite()
    {
        frmOprog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* link = dialog.findChild<QLabel*>("Label1");
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        // Neither the site label, nor a press dragged off the link, nor a
        // right click opens anything.
        QTest::mouseClick(dialog.findChild<QLabel*>("Label2_5"), Qt::LeftButton);
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(5, 40));
        QTest::mouseClick(link, Qt::RightButton);
        QApplication::processEvents();
        QVERIFY(opened_.urls.isEmpty());
        QVERIFY(!QFile::exists(dir_.filePath("0.html")));
        Qt::CursorShape windowDuring = Qt::ArrowCursor;
        Qt::CursorShape overrideDuring = Qt::ArrowCursor;
        opened_.onOpen = [&](const QUrl&) {
            windowDuring = dialog.cursor().shape();
            if (QGuiApplication::overrideCursor())
                overrideDuring = QGuiApplication::overrideCursor()->shape();
        };
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(opened_.urls, QList<QUrl>{QUrl::fromLocalFile(dir_.filePath("0.html"))});
        QFile page(dir_.filePath("0.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        QCOMPARE(page.readAll(), RedirectPage(QString::fromUtf8(TolvaConfig::SiteUrl)));
        QCOMPARE(windowDuring, Qt::WaitCursor);
        QCOMPARE(overrideDuring, Qt::WaitCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    }
};

QTEST_MAIN(TestAboutWindow)
#include "tst_about_window.moc"
