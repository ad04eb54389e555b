#include "list_fixture.h"

#include <QScrollBar>
#include <QtTest>

#include <cmath>

// One key: built with saved highlighted; view >= 0 drags the thumb there first.
// key may carry modifiers, which must not matter.
struct KeyCase {
    int stations, saved, view, key, newSel, newView;
};
// One click: press on pressRow (-1: none), release on releaseRow.
struct ClickCase {
    int saved, pressRow, releaseRow, newSel;
};
Q_DECLARE_METATYPE(KeyCase)
Q_DECLARE_METATYPE(ClickCase)

class TestStationListInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keys_data()
    {
        QTest::addColumn<KeyCase>("c");
        QTest::newRow("down from 13, view 0") << KeyCase{17, 13, -1, Qt::Key_Down, 14, 1};
        QTest::newRow("up from 14, view 1") << KeyCase{17, 14, -1, Qt::Key_Up, 13, 1};
        QTest::newRow("up from 1, view 1") << KeyCase{17, 1, 1, Qt::Key_Up, 0, 0};
        QTest::newRow("up, row above the dragged view") << KeyCase{17, 1, 3, Qt::Key_Up, 3, 3};
        QTest::newRow("up, row below the dragged view") << KeyCase{17, 16, 1, Qt::Key_Up, 1, 1};
        QTest::newRow("down, row above the dragged view") << KeyCase{17, 1, 3, Qt::Key_Down, 2, 2};
        QTest::newRow("page down from 10") << KeyCase{17, 10, -1, Qt::Key_PageDown, 16, 3};
        QTest::newRow("page down on 16") << KeyCase{17, 16, -1, Qt::Key_PageDown, 16, 3};
        QTest::newRow("page up from 5") << KeyCase{17, 5, -1, Qt::Key_PageUp, 0, 0};
        QTest::newRow("page up from 15") << KeyCase{17, 15, -1, Qt::Key_PageUp, 2, 2};
        QTest::newRow("home on 0") << KeyCase{17, 0, -1, Qt::Key_Home, 0, 0};
        QTest::newRow("end on 16") << KeyCase{17, 16, -1, Qt::Key_End, 16, 3};
        QTest::newRow("14 stations, page down from 0") << KeyCase{14, 0, -1, Qt::Key_PageDown, 13, 0};
        QTest::newRow("ctrl+down as down") << KeyCase{17, 4, -1, Qt::Key_Down | int(Qt::ControlModifier), 5, 0};
        QTest::newRow("left does nothing") << KeyCase{17, 4, -1, Qt::Key_Left, 4, 0};
    }
    void keys()
    {
        QFETCH(KeyCase, c);
        const auto window = BuiltWindow(c.saved, c.stations == 17 ? -1 : c.stations);
        if (c.view >= 0) {
            window->VScroll1->setSliderDown(true);
            window->VScroll1->setSliderPosition(c.view);
            window->VScroll1->setSliderDown(false);
        }
        const QImage before = window->ListPicture->image();
        QTest::keyClick(window->ListPicture, Qt::Key(c.key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(c.key & Qt::KeyboardModifierMask));
        QCOMPARE(NomerSel, c.newSel);
        QCOMPARE(window->VScroll1->value(), c.newView);
        QCOMPARE(NomerRadio, c.saved);  // moving the highlight never tunes
        const QImage after = window->ListPicture->image();
        if (c.newSel == c.saved)
            QCOMPARE(after, before);  // a key that does not act draws nothing
        else
            QVERIFY(!RowHighlighted(after, c.saved) && RowHighlighted(after, c.newSel));
    }

    // Real mouse events on the surface, in its own coordinates.
    void clicks_data()
    {
        QTest::addColumn<ClickCase>("c");
        QTest::newRow("press on 3, release on 4") << ClickCase{0, 3, 4, 0};
        QTest::newRow("press and release on 3") << ClickCase{0, 3, 3, 3};
        QTest::newRow("press on the highlighted row") << ClickCase{0, 0, 0, 0};
        QTest::newRow("release without press") << ClickCase{0, -1, 3, 0};
        QTest::newRow("scrolled list, row 4") << ClickCase{16, 4, 4, 4};
    }
    void clicks()
    {
        QFETCH(ClickCase, c);
        const auto window = BuiltWindow(c.saved);
        const QImage before = window->ListPicture->image();
        if (c.pressRow >= 0) {
            QTest::mousePress(window->ListPicture, Qt::LeftButton, {}, QPoint(200, 18 * c.pressRow + 1));
            QCOMPARE(window->NomerDown, c.pressRow == c.saved ? -1 : c.pressRow);
        }
        QTest::mouseRelease(window->ListPicture, Qt::LeftButton, {}, QPoint(590, 18 * c.releaseRow + 16));
        QCOMPARE(window->NomerDown, -1);
        QCOMPARE(NomerSel, c.newSel);
        QCOMPARE(NomerRadio, c.saved);
        const QImage after = window->ListPicture->image();
        if (c.newSel == c.saved)
            QCOMPARE(after, before);
        else
            QVERIFY(RowHighlighted(after, c.newSel) && !RowHighlighted(after, c.saved));
    }

    void doubleClickHighlightsAndPlaysTheRow()
    {
        const auto window = BuiltWindow(0);
        // The platform's order: press, release, double-click, release.
        const QPoint at(100, 18 * 3 + 5);
        QTest::mousePress(window->ListPicture, Qt::LeftButton, {}, at);
        QTest::mouseRelease(window->ListPicture, Qt::LeftButton, {}, at);
        QTest::mouseDClick(window->ListPicture, Qt::LeftButton, {}, at);
        QTest::mouseRelease(window->ListPicture, Qt::LeftButton, {}, at);
        QCOMPARE(NomerSel, 3);
        QCOMPARE(NomerRadio, 3);
        QCOMPARE(window->windowTitle(), QStringLiteral("Радиоприёмник Tolva - Играет: ") + Radio().List(3, 1));
        QVERIFY(RowHighlighted(window->ListPicture->image(), 3));
    }

    // The row from y: rounded half to even, then truncated toward zero.
    void rowFromY_data()
    {
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("row");
        QTest::newRow("17.4") << 17.4 << 0;
        QTest::newRow("17.5 rounds to 18") << 17.5 << 1;
        QTest::newRow("-17.4 truncates to 0") << -17.4 << 0;
        QTest::newRow("-17.5 rounds to -18") << -17.5 << -1;
        QTest::newRow("305.4 last row") << 305.4 << 16;
        QTest::newRow("past the last row") << 306.0 << -1;
        QTest::newRow("nan") << std::nan("") << -1;
    }
    void rowFromY()
    {
        QFETCH(double, y);
        QFETCH(int, row);
        const auto window = BuiltWindow(10);
        window->ListPicture_MouseDown(1, 0, 0, y);
        QCOMPARE(window->NomerDown, row);
        window->ListPicture_MouseUp(1, 0, 0, y);
        QCOMPARE(NomerSel, row == -1 ? 10 : row);
    }
};

QTEST_MAIN(TestStationListInput)
#include "tst_station_list_input.moc"
