#include "list_fixture.h"

#include <QFrame>
#include <QPainter>
#include <QScrollBar>
#include <QtTest>

namespace {

QRgb at(const QImage& image, int x, int y)
{
    return (image.pixel(x, y) & 0xFFFFFF) | 0xFF000000;
}

// Leftmost x in [from, to) whose pixel differs from the band colour on any
// text line of row n, or -1.
int firstInkX(const QImage& image, int n, int from, int to, QRgb band)
{
    for (int x = from; x < to; ++x)
        for (int y = 18 * n + 1; y <= 18 * n + 15; ++y)
            if (at(image, x, y) != band)
                return x;
    return -1;
}

bool lineIs(const QImage& image, int y, QRgb colour)
{
    for (int x = 0; x <= 602; ++x)
        if (at(image, x, y) != colour)
            return false;
    return true;
}

const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);

}  // namespace

class TestStationListDrawing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        FillCatalog(17, true);
    }

    // Every row of the built-in list: band, edges, separator and where text may be.
    void rowGeometry_data()
    {
        QTest::addColumn<int>("saved");
        QTest::addColumn<int>("row");
        QTest::newRow("first row highlighted") << 0 << 0;
        QTest::newRow("middle row normal") << 0 << 7;
        QTest::newRow("middle row highlighted") << 7 << 7;
        QTest::newRow("last row normal") << 0 << 16;
        QTest::newRow("last row highlighted") << 16 << 16;
    }
    void rowGeometry()
    {
        QFETCH(int, saved);
        QFETCH(int, row);
        const auto window = BuiltWindow(saved);
        // What is on screen, not just the retained image.
        const QImage image = window->ListPicture->grab().toImage();
        QCOMPARE(image.size(), QSize(603, 306));

        const bool highlighted = row == saved;
        const int y = 18 * row;
        const QRgb band = highlighted ? kRed : kYellow;
        QVERIFY(lineIs(image, y, highlighted ? qRgb(255, 128, 128) : kYellow));
        QVERIFY(lineIs(image, y + 16, highlighted ? qRgb(128, 0, 0) : kYellow));
        QVERIFY(lineIs(image, y + 17, qRgb(128, 128, 128)));
        for (int line = y + 1; line <= y + 15; ++line) {
            QCOMPARE(at(image, 0, line), band);
            QCOMPARE(at(image, 3, line), band);
            QCOMPARE(at(image, 602, line), band);
        }
        // Text starts at the columns: nothing just before them, ink just after.
        const int columns[] = {4, 194, 344, 494};
        for (const int x : columns) {
            QCOMPARE(firstInkX(image, row, x - 4, x, band), -1);
            const int ink = firstInkX(image, row, x, x + 10, band);
            QVERIFY2(ink >= x && ink <= x + 3, qPrintable(QStringLiteral("column %1: ink at %2").arg(x).arg(ink)));
        }
    }

    // The text lines of a row match the four texts put with their tops at
    // (column x, 18n + 1) in the list's font: exact positions, nothing clipped.
    void textPlacement_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("normal row") << 1;
        QTest::newRow("highlighted row") << 8;
        QTest::newRow("longest style") << 12;
    }
    void textPlacement()
    {
        QFETCH(int, row);
        const auto window = BuiltWindow(8);
        const QImage image = window->ListPicture->image();
        const QFont font = window->ListPicture->font();
        const QStringList texts{QStringLiteral("%1 ").arg(row + 1) + Radio().List(row, 1), Radio().List(row, 2),
                                Radio().List(row, 3), Radio().List(row, 4)};
        QImage expected(603, 17, QImage::Format_RGB32);
        expected.fill(row == 8 ? QColor(kRed) : QColor(kYellow));
        {
            QPainter painter(&expected);
            painter.setFont(font);
            painter.setPen(Qt::black);
            const int columns[] = {4, 194, 344, 494};
            for (int c = 0; c < 4; ++c)
                painter.drawText(QPoint(columns[c], 1 + QFontMetrics(font).ascent()), texts[c]);
        }
        for (int y = 1; y <= 15; ++y)
            for (int x = 0; x <= 602; ++x)
                if (at(image, x, 18 * row + y) != at(expected, x, y))
                    QFAIL(qPrintable(QStringLiteral("row %1 differs at %2, %3").arg(row).arg(x).arg(y)));
    }

    void grabShowsTheRetainedImage()
    {
        const auto window = BuiltWindow(5);
        QCOMPARE(window->ListPicture->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 window->ListPicture->image().convertToFormat(QImage::Format_RGB32));
    }

    void listFontHasCyrillic()
    {
        const auto window = BuiltWindow(0);
        const QFontMetrics metrics(window->ListPicture->font());
        QVERIFY(window->ListPicture->font().bold());
        QVERIFY(metrics.inFont(QChar(0x0416)) && metrics.inFont(QChar(0x0451)));  // Ж, ё
    }

    // Scrollbar state and what is in view after building the list.
    void viewAfterBuild_data()
    {
        QTest::addColumn<int>("stations");
        QTest::addColumn<int>("saved");
        QTest::addColumn<int>("highlighted");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("17, saved 0") << 17 << 0 << 0 << 3 << 0 << true;
        QTest::newRow("17, saved 13") << 17 << 13 << 13 << 3 << 0 << true;
        QTest::newRow("17, saved 14") << 17 << 14 << 14 << 3 << 1 << true;
        QTest::newRow("17, saved 16") << 17 << 16 << 16 << 3 << 3 << true;
        QTest::newRow("17, saved 25") << 17 << 25 << 0 << 3 << 0 << true;
        QTest::newRow("17, saved -1") << 17 << -1 << 0 << 3 << 0 << true;
        QTest::newRow("15, saved 14") << 15 << 14 << 14 << 1 << 1 << true;
        QTest::newRow("14, saved 13") << 14 << 13 << 13 << 0 << 0 << false;
        QTest::newRow("3, saved 2") << 3 << 2 << 2 << 0 << 0 << false;
    }
    void viewAfterBuild()
    {
        QFETCH(int, stations);
        QFETCH(int, saved);
        QFETCH(int, highlighted);
        QFETCH(int, maximum);
        QFETCH(int, value);
        QFETCH(bool, enabled);
        FillCatalog(stations, stations == 17);
        const auto window = BuiltWindow(saved);

        QCOMPARE(NomerLast, stations - 1);
        QCOMPARE(NomerSel, highlighted);
        QCOMPARE(NomerRadio, highlighted);
        QCOMPARE(window->VScroll1->maximum(), maximum);
        QCOMPARE(window->VScroll1->value(), value);
        QCOMPARE(window->VScroll1->isEnabled(), enabled);
        QCOMPARE(window->ListPicture->height(), 18 * stations);
        QCOMPARE(window->ListPicture->y(), -18 * value);
        QVERIFY(window->ListPicture->isEnabled());
        const QImage image = window->ListPicture->image();
        for (int n = 0; n < stations; ++n)
            QCOMPARE(RowHighlighted(image, n), n == highlighted);
    }

    // Saved station 16: rows 3 to 16 fill the viewport, 16 at the bottom.
    void savedLastRowIsAtTheBottom()
    {
        const auto window = BuiltWindow(16);
        const QImage view = window->picBox->grab().toImage();
        QCOMPARE(view.size(), QSize(624, 255));
        const int top = 2;  // the sunken border
        // Row 3's band starts at the top of the viewport, row 16's at 13 rows below.
        QCOMPARE(at(view, 3, top), kYellow);
        QCOMPARE(at(view, 3, top + 17), qRgb(128, 128, 128));
        QCOMPARE(at(view, 3, top + 18 * 13), qRgb(255, 128, 128));
        QCOMPARE(at(view, 3, top + 18 * 13 + 8), kRed);
        QCOMPARE(at(view, 3, top + 18 * 13 + 16), qRgb(128, 0, 0));
        // The viewport ends on row 16's last band line; its separator is cut off.
        QCOMPARE(at(view, 3, top + 250), qRgb(128, 0, 0));
        QVERIFY(at(view, 3, top + 251) != qRgb(128, 128, 128));
        QCOMPARE(window->VScroll1->value(), 3);
    }

    void shortListShowsTheViewportBelow()
    {
        FillCatalog(3);
        const auto window = BuiltWindow(0);
        const QImage view = window->picBox->grab().toImage();
        QCOMPARE(at(view, 100, 2 + 53), qRgb(128, 128, 128));
        for (const int y : {2 + 54, 2 + 150, 2 + 250})
            for (const int x : {2, 300, 606})
                QCOMPARE(at(view, x, y), qRgb(234, 234, 0));
    }

    void emptyCatalog()
    {
        FillCatalog(0);
        const auto window = BuiltWindow(4);
        QCOMPARE(NomerLast, -1);
        QCOMPARE(window->ListPicture->height(), 18);
        QVERIFY(!window->ListPicture->isEnabled());
        QCOMPARE(window->VScroll1->value(), 0);
        QCOMPARE(window->VScroll1->maximum(), 0);
        const QImage image = window->ListPicture->grab().toImage();
        for (int y = 0; y < 18; ++y)
            QVERIFY(lineIs(image, y, kYellow));
        QCOMPARE(NomerRadio, 4);  // nothing to correct it against

        // Input on a disabled list changes nothing and draws nothing.
        QTest::keyClick(window->ListPicture, Qt::Key_Down);
        QTest::mouseClick(window->ListPicture, Qt::LeftButton, {}, QPoint(10, 5));
        window->ListPicture_KeyDown(40, 0);
        window->ListPicture_KeyDown(35, 0);
        window->ListPicture_MouseDown(1, 0, 10, 5);
        window->ListPicture_MouseUp(1, 0, 10, 5);
        QCOMPARE(NomerSel, 0);
        QCOMPARE(window->ListPicture->image(), image.convertToFormat(window->ListPicture->image().format()));
    }

    // Scrolling, by code or by dragging the thumb, only moves the surface.
    void scrollingMovesWithoutRedrawing_data()
    {
        QTest::addColumn<bool>("drag");
        QTest::newRow("value set") << false;
        QTest::newRow("thumb dragged") << true;
    }
    void scrollingMovesWithoutRedrawing()
    {
        QFETCH(bool, drag);
        const auto window = BuiltWindow(0);
        const QImage before = window->ListPicture->image();
        for (const int v : {1, 3, 2, 0, 3}) {
            if (drag) {
                window->VScroll1->setSliderDown(true);
                window->VScroll1->setSliderPosition(v);
            } else {
                window->VScroll1->setValue(v);
            }
            QCOMPARE(window->ListPicture->y(), -18 * v);
        }
        window->VScroll1->setSliderDown(false);
        QCOMPARE(window->ListPicture->image(), before);
        QCOMPARE(NomerSel, 0);  // the highlight stays, out of view
        QVERIFY(RowHighlighted(window->ListPicture->image(), 0));
    }

    void addDrawsOnlyTheRowInTheCatalog()
    {
        const auto window = BuiltWindow(0);
        const QImage before = window->ListPicture->image();
        for (const qint32 row : {-1, 17, 1000000}) {
            NomerSel = row;
            window->Add(1, 0);
        }
        QCOMPARE(window->ListPicture->image(), before);
        QCOMPARE(window->VScroll1->value(), 0);
    }
};

QTEST_MAIN(TestStationListDrawing)
#include "tst_station_list_drawing.moc"
