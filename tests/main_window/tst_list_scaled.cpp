// The main window on a real X server at twice the scale (QT_SCALE_FACTOR=2): twice as
// large on screen, every station row drawn in the screen's own pixels rather than
// enlarged, and the 64-pixel icon where 32 logical pixels show.
#include "LoadRadioM.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "station_numbers.h"
#include "usrReklamaX.h"

#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QtTest>

class TestListScaled : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void doubleScale()
    {
        LoadRadio(StreamHosts{"127.0.0.1:1", "127.0.0.1:1", "127.0.0.1:1"});  // nothing listens on port 1
        NomerRadio = 0;
        frmForma window;
        window.usrReklamaX1->setReklamaURL(QStringLiteral("http://127.0.0.1:1/reklama/"));
        window.show();
        window.ShowRadio();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QProcess xdo;  // the window's size in the X server's pixels
        xdo.start(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", QString::number(window.winId())});
        QVERIFY(xdo.waitForFinished(5000));
        const QString geometry = QString::fromLatin1(xdo.readAllStandardOutput());
        QVERIFY2(geometry.contains(QStringLiteral("WIDTH=%1\nHEIGHT=%2").arg(window.width() * 2).arg(window.height() * 2)),
                 qPrintable(geometry));

        // What the surface shows is the retained image, in device pixels.
        const QImage image = window.ListPicture->image();
        QCOMPARE(image.size(), QSize(1206, 612));
        QCOMPARE(window.ListPicture->grab().toImage().convertToFormat(QImage::Format_RGB32), image);
        const QFontMetrics metrics(window.ListPicture->font());
        for (int row = 0; row < 17; ++row) {
            // Edges two device lines each: light red, red band, dark red for the highlight,
            // yellow otherwise; a grey separator; the number and the four texts in their columns.
            const bool lit = row == 0;
            QImage expected(1206, 36, QImage::Format_RGB32);
            expected.setDevicePixelRatio(2);
            expected.fill(lit ? qRgb(255, 0, 0) : qRgb(255, 255, 0));
            QPainter painter(&expected);
            painter.setFont(window.ListPicture->font());
            const int columns[] = {4, 194, 344, 494};
            for (int c = 0; c < 4; ++c) {
                const QString text = (c == 0 ? QStringLiteral("%1 ").arg(row + 1) : QString()) + Radio().List(row, c + 1);
                painter.drawText(QPoint(columns[c], 1 + metrics.ascent()), text);
                QVERIFY2(columns[c] + metrics.boundingRect(text).right() < 603, qPrintable(text));  // clear of the scrollbar
            }
            painter.fillRect(0, 0, 603, 1, lit ? qRgb(255, 128, 128) : qRgb(255, 255, 0));
            painter.fillRect(0, 16, 603, 1, lit ? qRgb(128, 0, 0) : qRgb(255, 255, 0));
            painter.fillRect(0, 17, 603, 1, qRgb(128, 128, 128));
            painter.end();
            QCOMPARE(image.copy(0, 36 * row, 1206, 36), expected);  // not an enlarged picture
        }

        QImage big = QImage(QStringLiteral(":/tolva/tolva-64.png")).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        big.setDevicePixelRatio(2);
        for (const QPixmap& icon : {window.windowIcon().pixmap(QSize(32, 32)), window.picIcon->pixmap()})
            QCOMPARE(icon.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), big);
    }
};

QTEST_MAIN(TestListScaled)
#include "tst_list_scaled.moc"
