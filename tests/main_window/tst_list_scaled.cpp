// The main window at twice the scale (QT_SCALE_FACTOR=2 on a real X server):
// twice as large on screen, with the station list and the icon drawn in the
// screen's own pixels rather than enlarged.
#include "LoadRadioM.h"
#include "clsRadio.h"
#include "frmForma.h"
#include "station_numbers.h"
#include "usrReklamaX.h"

#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QtTest>

namespace {

// Width and height of an X window in the server's pixels.
QSize nativeSize(WId window)
{
    QProcess xdo;
    xdo.start(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                                          QString::number(window)});
    xdo.waitForFinished(5000);
    QMap<QString, int> value;
    for (const QString& line : QString::fromLatin1(xdo.readAllStandardOutput()).split(u'\n'))
        value[line.section(u'=', 0, 0)] = line.section(u'=', 1).toInt();
    return {value[QStringLiteral("WIDTH")], value[QStringLiteral("HEIGHT")]};
}

bool deviceRowIs(const QImage& image, int y, QRgb colour)
{
    for (int x = 0; x < image.width(); ++x)
        if ((image.pixel(x, y) | 0xFF000000) != colour)
            return false;
    return true;
}

}  // namespace

class TestListScaled : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void doubleScale()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        LoadRadio(StreamHosts{"127.0.0.1:1", "127.0.0.1:1", "127.0.0.1:1"});
        NomerRadio = 0;
        frmForma window;
        window.usrReklamaX1->setReklamaURL(QStringLiteral("http://127.0.0.1:1/reklama/"));
        window.show();
        window.ShowRadio();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(nativeSize(window.winId()), window.size() * 2);

        // The retained image and what the surface shows are the same device pixels.
        const QImage image = window.ListPicture->image();
        QCOMPARE(image.size(), QSize(1206, 612));
        QCOMPARE(image.devicePixelRatio(), 2.0);
        QCOMPARE(window.ListPicture->grab().toImage().convertToFormat(QImage::Format_RGB32), image);

        const QRgb yellow = qRgb(255, 255, 0);
        for (const int row : {0, 1}) {
            const bool lit = row == 0;
            const int y = 36 * row;  // each logical pixel row is two device rows
            for (const int dy : {0, 1}) {
                QVERIFY(deviceRowIs(image, y + dy, lit ? qRgb(255, 128, 128) : yellow));
                QVERIFY(deviceRowIs(image, y + 32 + dy, lit ? qRgb(128, 0, 0) : yellow));
                QVERIFY(deviceRowIs(image, y + 34 + dy, qRgb(128, 128, 128)));
            }
            // Between the edges: the band and the texts as drawn straight at this scale.
            QImage expected(1206, 34, QImage::Format_RGB32);
            expected.setDevicePixelRatio(2);
            expected.fill(lit ? qRgb(255, 0, 0) : yellow);
            QPainter painter(&expected);
            painter.setFont(window.ListPicture->font());
            const int columns[] = {4, 194, 344, 494};
            for (int c = 0; c < 4; ++c)
                painter.drawText(QPoint(columns[c], 1 + painter.fontMetrics().ascent()),
                                 (c == 0 ? QStringLiteral("%1 ").arg(row + 1) : QString()) + Radio().List(row, c + 1));
            painter.end();
            const QImage band = image.copy(0, y + 2, 1206, 30);
            QCOMPARE(band, expected.copy(0, 2, 1206, 30));
            // Not an enlarged picture: somewhere a text pixel differs from its twin below it.
            bool finer = false;
            for (int dy = 0; dy < 30 && !finer; dy += 2)
                for (int x = 0; x < 1206 && !finer; ++x)
                    finer = band.pixel(x, dy) != band.pixel(x, dy + 1);
            QVERIFY(finer);
        }

        // The icon: the 64-pixel drawing where 32 logical pixels are shown.
        QImage big = QImage(QStringLiteral(":/tolva/tolva-64.png")).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        big.setDevicePixelRatio(2);
        const auto premultiplied = [](const QPixmap& pixmap) {
            return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        };
        QCOMPARE(premultiplied(window.windowIcon().pixmap(QSize(32, 32))), big);
        QCOMPARE(premultiplied(window.picIcon->pixmap()), big);
    }
};

QTEST_MAIN(TestListScaled)
#include "tst_list_scaled.moc"
