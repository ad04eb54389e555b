#include "SaveFileUrlm.h"
#include "frmOprog.h"
#include "opened_urls.h"
#include "program_folder.h"
#include "tolva_config.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

class TestAboutWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    OpenedUrls opened_;

private Q_SLOTS:
    void initTestCase() { SetProgramFolder(dir_.path()); }

    // Two openings in a row, run modally as the main window does, closed first
    // by Enter, then by the close box; a watchdog keeps a broken close from hanging.
    void flagAndClosingAtEachOpening()
    {
        for (const bool enter : {true, false}) {
            frmOprog dialog;
            QTimer::singleShot(5000, &dialog, [&dialog] { dialog.done(-1); });
            QTimer::singleShot(0, &dialog, [&dialog, enter] {
                QVERIFY(QTest::qWaitForWindowActive(&dialog));
                QCOMPARE(dialog.geometry().size(), QSize(356, 209));
                QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
                QCOMPARE(dialog.findChild<QLabel*>("Picture1")->geometry(), QRect(8, 160, 80, 45));
                const QImage window = dialog.grab().toImage();
                for (int y = 0; y < 45; ++y) {
                    const QRgb expected = y < 15 ? qRgb(255, 255, 255) : y < 31 ? qRgb(0, 0, 255) : qRgb(255, 0, 0);
                    for (int x = 0; x < 80; ++x)
                        QCOMPARE(window.pixel(8 + x, 160 + y), expected);
                }
                auto* ok = dialog.findChild<QPushButton*>("OK");
                QCOMPARE(QApplication::focusWidget(), ok);
                QCOMPARE(window.pixel(ok->x() + 6, ok->y() + 6), qRgb(224, 224, 224));  // its grey shows
                QCOMPARE(dialog.frameGeometry().center(), dialog.screen()->availableGeometry().center());
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
        QTest::mouseClick(dialog.findChild<QLabel*>("Label2_5"), Qt::LeftButton);  // "Сайт:" is no link
        QApplication::processEvents();
        QVERIFY(opened_.urls.isEmpty());
        Qt::CursorShape windowDuring = Qt::ArrowCursor;
        Qt::CursorShape overrideDuring = Qt::ArrowCursor;
        opened_.onOpen = [&](const QUrl&) {
            windowDuring = dialog.cursor().shape();
            if (QGuiApplication::overrideCursor())
                overrideDuring = QGuiApplication::overrideCursor()->shape();
        };
        QTest::mouseClick(dialog.findChild<QLabel*>("Label1"), Qt::LeftButton);
        QCOMPARE(opened_.urls, QList<QUrl>{QUrl::fromLocalFile(dir_.filePath("0.html"))});
        QFile page(dir_.filePath("0.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        QCOMPARE(page.readAll(), RedirectPage(QString::fromUtf8(TolvaConfig::SiteUrl)));
        QCOMPARE(windowDuring, Qt::WaitCursor);
        QCOMPARE(overrideDuring, Qt::WaitCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    }
};

QTEST_MAIN(TestAboutWindow)
#include "tst_about_window.moc"
