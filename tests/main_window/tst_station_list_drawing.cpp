#include "list_fixture.h"

#include <QFrame>
#include <QPainter>
#include <QScrollBar>
#include <QtTest>

namespace {

QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y) | 0xFF000000; }

bool lineIs(const QImage& image, int y, QRgb colour)
{
    for (int x = 0; x <= 602; ++x)
        if (at(image, x, y) != colour)
            return false;
    return true;
}

const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);

// After building: stations, saved station, then what is highlighted and the scrollbar.
struct ViewCase {
    int stations, saved, highlighted, maximum, value;
};

}  // namespace

Q_DECLARE_METATYPE(ViewCase)

class TestStationListDrawing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A row of the built-in list as it reaches the screen: edges, separator,
    // and between them exactly the band with the four texts, tops at 18n + 1.
    void row_data()
    {
        QTest::addColumn<int>("saved");
        QTest::addColumn<int>("row");
        QTest::newRow("first row highlighted") << 0 << 0;
        QTest::newRow("longest style, normal") << 0 << 12;
        QTest::newRow("last row highlighted") << 16 << 16;
    }
    void row()
    {
        QFETCH(int, saved);
        QFETCH(int, row);
        const auto window = BuiltWindow(saved);
        const QImage image = window->ListPicture->grab().toImage();
        QCOMPARE(image.size(), QSize(603, 306));
        const bool lit = row == saved;
        const int y = 18 * row;
        QVERIFY(lineIs(image, y, lit ? qRgb(255, 128, 128) : kYellow));
        QVERIFY(lineIs(image, y + 16, lit ? qRgb(128, 0, 0) : kYellow));
        QVERIFY(lineIs(image, y + 17, qRgb(128, 128, 128)));

        QImage expected(603, 17, QImage::Format_RGB32);
        expected.fill(lit ? kRed : kYellow);
        QPainter painter(&expected);
        painter.setFont(window->ListPicture->font());
        const int columns[] = {4, 194, 344, 494};
        for (int c = 0; c < 4; ++c)
            painter.drawText(QPoint(columns[c], 1 + painter.fontMetrics().ascent()),
                             (c == 0 ? QStringLiteral("%1 ").arg(row + 1) : QString()) + Radio().List(row, c + 1));
        painter.end();
        QCOMPARE(image.copy(0, y + 1, 603, 15).convertToFormat(QImage::Format_RGB32), expected.copy(0, 1, 603, 15));
    }

    void viewAfterBuild_data()
    {
        QTest::addColumn<ViewCase>("c");
        QTest::newRow("17, saved 0") << ViewCase{17, 0, 0, 3, 0};
        QTest::newRow("17, saved 13") << ViewCase{17, 13, 13, 3, 0};
        QTest::newRow("17, saved 14") << ViewCase{17, 14, 14, 3, 1};
        QTest::newRow("17, saved 16") << ViewCase{17, 16, 16, 3, 3};
        QTest::newRow("17, saved 25") << ViewCase{17, 25, 0, 3, 0};
        QTest::newRow("17, saved -1") << ViewCase{17, -1, 0, 3, 0};
        QTest::newRow("15, saved 14") << ViewCase{15, 14, 14, 1, 1};
        QTest::newRow("14, saved 13") << ViewCase{14, 13, 13, 0, 0};
        QTest::newRow("3, saved 2") << ViewCase{3, 2, 2, 0, 0};
    }
    void viewAfterBuild()
    {
        QFETCH(ViewCase, c);
        const auto window = BuiltWindow(c.saved, c.stations == 17 ? -1 : c.stations);
        QCOMPARE(NomerSel, c.highlighted);
        QCOMPARE(NomerRadio, c.highlighted);
        QCOMPARE(window->VScroll1->maximum(), c.maximum);
        QCOMPARE(window->VScroll1->value(), c.value);
        QCOMPARE(window->VScroll1->isEnabled(), c.stations > 14);
        QCOMPARE(window->ListPicture->height(), 18 * c.stations);
        QCOMPARE(window->ListPicture->y(), -18 * c.value);
        for (int n = 0; n < c.stations; ++n)
            QCOMPARE(RowHighlighted(window->ListPicture->image(), n), n == c.highlighted);
        if (c.stations < 14) {  // the viewport's darker yellow shows below the last separator
            const QImage view = window->picBox->grab().toImage();
            QCOMPARE(at(view, 100, 1 + 18 * c.stations), qRgb(128, 128, 128));
            QCOMPARE(at(view, 2, 2 + 18 * c.stations), qRgb(234, 234, 0));
            QCOMPARE(at(view, 606, 252), qRgb(234, 234, 0));
        }
    }

    // Saved station 16: rows 3 to 16 fill the viewport, 16 at the bottom.
    void savedLastRowIsAtTheBottom()
    {
        const auto window = BuiltWindow(16);
        const QImage view = window->picBox->grab().toImage();
        const int top = 2;  // the sunken border, which the scrolled surface must not cover
        QVERIFY(at(view, 100, 0) != kYellow && at(view, 100, 1) != kYellow);
        QCOMPARE(at(view, 3, top), kYellow);
        QCOMPARE(at(view, 3, top + 18 * 13), qRgb(255, 128, 128));
        QCOMPARE(at(view, 3, top + 250), qRgb(128, 0, 0));
        QVERIFY(at(view, 3, top + 251) != qRgb(128, 128, 128));  // separator cut off
    }

    void emptyCatalog()
    {
        const auto window = BuiltWindow(4, 0);
        QCOMPARE(NomerRadio, 4);  // nothing to correct it against
        QVERIFY(!window->ListPicture->isEnabled());
        const QImage image = window->ListPicture->grab().toImage();
        QCOMPARE(image.size(), QSize(603, 18));
        for (int y = 0; y < 18; ++y)
            QVERIFY(lineIs(image, y, kYellow));
        // Input reaching a list without rows changes and draws nothing.
        window->ListPicture_KeyDown(35, 0);  // End
        window->ListPicture_MouseDown(1, 0, 10, 5);
        window->ListPicture_MouseUp(1, 0, 10, 5);
        QCOMPARE(NomerSel, 0);
        QVERIFY(lineIs(window->ListPicture->image(), 0, kYellow));
    }

    // Scrolling, by code or by dragging the thumb, only moves the surface.
    void scrollingMovesWithoutRedrawing()
    {
        const auto window = BuiltWindow(0);
        const QImage before = window->ListPicture->image();
        for (const bool drag : {false, true}) {
            window->VScroll1->setSliderDown(drag);
            for (const int v : {1, 3, 2}) {
                drag ? window->VScroll1->setSliderPosition(v) : window->VScroll1->setValue(v);
                QCOMPARE(window->ListPicture->y(), -18 * v);
            }
        }
        window->VScroll1->setSliderDown(false);
        QCOMPARE(window->ListPicture->image(), before);
        QCOMPARE(NomerSel, 0);  // the highlight stays, out of view
    }
};

QTEST_MAIN(TestStationListDrawing)
#include "tst_station_list_drawing.moc"
