#include "list_fixture.h"

#include <QScrollBar>
#include <QtTest>

#include <cmath>
#include <limits>

class TestStationListInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The key table, through real key events on the surface. A negative view
    // means the view is left where building the list put it; otherwise the
    // thumb is dragged there first.
    void keys_data()
    {
        QTest::addColumn<int>("stations");
        QTest::addColumn<int>("saved");
        QTest::addColumn<int>("view");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("newSel");
        QTest::addColumn<int>("newView");

        const int none = Qt::NoModifier;
        QTest::newRow("down from 13, view 0") << 17 << 13 << -1 << int(Qt::Key_Down) << none << 14 << 1;
        QTest::newRow("up from 14, view 1") << 17 << 14 << -1 << int(Qt::Key_Up) << none << 13 << 1;
        QTest::newRow("up from 1, view 1") << 17 << 1 << 1 << int(Qt::Key_Up) << none << 0 << 0;
        QTest::newRow("up on 0") << 17 << 0 << -1 << int(Qt::Key_Up) << none << 0 << 0;
        QTest::newRow("down on 16") << 17 << 16 << -1 << int(Qt::Key_Down) << none << 16 << 3;
        QTest::newRow("up, row above the dragged view") << 17 << 1 << 3 << int(Qt::Key_Up) << none << 3 << 3;
        QTest::newRow("up, row below the dragged view") << 17 << 16 << 1 << int(Qt::Key_Up) << none << 1 << 1;
        QTest::newRow("down, row above the dragged view") << 17 << 1 << 3 << int(Qt::Key_Down) << none << 2 << 2;
        QTest::newRow("down, row below the dragged view") << 17 << 15 << 0 << int(Qt::Key_Down) << none << 16 << 3;
        QTest::newRow("page down from 10") << 17 << 10 << -1 << int(Qt::Key_PageDown) << none << 16 << 3;
        QTest::newRow("page down from 2") << 17 << 2 << -1 << int(Qt::Key_PageDown) << none << 15 << 2;
        QTest::newRow("page down on 16") << 17 << 16 << -1 << int(Qt::Key_PageDown) << none << 16 << 3;
        QTest::newRow("page up from 5") << 17 << 5 << -1 << int(Qt::Key_PageUp) << none << 0 << 0;
        QTest::newRow("page up from 15") << 17 << 15 << -1 << int(Qt::Key_PageUp) << none << 2 << 2;
        QTest::newRow("page up on 0") << 17 << 0 << -1 << int(Qt::Key_PageUp) << none << 0 << 0;
        QTest::newRow("home from 16") << 17 << 16 << -1 << int(Qt::Key_Home) << none << 0 << 0;
        QTest::newRow("home on 0") << 17 << 0 << -1 << int(Qt::Key_Home) << none << 0 << 0;
        QTest::newRow("end from 0") << 17 << 0 << -1 << int(Qt::Key_End) << none << 16 << 3;
        QTest::newRow("end on 16") << 17 << 16 << -1 << int(Qt::Key_End) << none << 16 << 3;
        QTest::newRow("14 stations, page down from 0") << 14 << 0 << -1 << int(Qt::Key_PageDown) << none << 13 << 0;
        QTest::newRow("15 stations, end from 0") << 15 << 0 << -1 << int(Qt::Key_End) << none << 14 << 1;
        QTest::newRow("ctrl+down as down") << 17 << 4 << -1 << int(Qt::Key_Down) << int(Qt::ControlModifier) << 5 << 0;
        QTest::newRow("shift+end as end") << 17 << 4 << -1 << int(Qt::Key_End) << int(Qt::ShiftModifier) << 16 << 3;
        QTest::newRow("alt+home as home") << 17 << 4 << -1 << int(Qt::Key_Home) << int(Qt::AltModifier) << 0 << 0;
        QTest::newRow("left does nothing") << 17 << 4 << -1 << int(Qt::Key_Left) << none << 4 << 0;
        QTest::newRow("letter does nothing") << 17 << 4 << -1 << int(Qt::Key_A) << none << 4 << 0;
    }
    void keys()
    {
        QFETCH(int, stations);
        QFETCH(int, saved);
        QFETCH(int, view);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, newSel);
        QFETCH(int, newView);
        FillCatalog(stations, stations == 17);
        const auto window = BuiltWindow(saved);
        if (view >= 0) {
            window->VScroll1->setSliderDown(true);
            window->VScroll1->setSliderPosition(view);
            window->VScroll1->setSliderDown(false);
        }
        const QImage before = window->ListPicture->image();

        QTest::keyClick(window->ListPicture, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

        QCOMPARE(NomerSel, newSel);
        QCOMPARE(window->VScroll1->value(), newView);
        QCOMPARE(window->ListPicture->y(), -18 * newView);
        QCOMPARE(NomerRadio, saved);  // moving the highlight never tunes
        const QImage after = window->ListPicture->image();
        if (newSel == saved) {
            QCOMPARE(after, before);  // a key that does not act draws nothing
        } else {
            QVERIFY(!RowHighlighted(after, saved));
            QVERIFY(RowHighlighted(after, newSel));
        }
    }

    void heldKeyRepeats()
    {
        const auto window = BuiltWindow(0);
        for (int i = 0; i < 20; ++i)
            QTest::keyPress(window->ListPicture, Qt::Key_Down);
        QCOMPARE(NomerSel, 16);  // no wrap-around
        QCOMPARE(window->VScroll1->value(), 3);
    }

    void enterMakesTheHighlightedRowCurrent_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("return") << int(Qt::Key_Return);
        QTest::newRow("keypad enter") << int(Qt::Key_Enter);
    }
    void enterMakesTheHighlightedRowCurrent()
    {
        QFETCH(int, key);
        const auto window = BuiltWindow(5);
        QTest::keyClick(window->ListPicture, Qt::Key_Down);
        QCOMPARE(NomerRadio, 5);
        const QImage before = window->ListPicture->image();
        QTest::keyClick(window->ListPicture, Qt::Key(key));
        QCOMPARE(NomerRadio, 6);
        QCOMPARE(NomerSel, 6);
        QCOMPARE(window->VScroll1->value(), 0);
        QCOMPARE(window->ListPicture->image(), before);
        // Again on the same row: still the same, nothing else moves.
        QTest::keyClick(window->ListPicture, Qt::Key(key));
        QCOMPARE(NomerRadio, 6);
        QCOMPARE(NomerSel, 6);
    }

    // Clicks with real mouse events on the surface (list built with row 0 highlighted).
    void clicks_data()
    {
        QTest::addColumn<int>("pressRow");
        QTest::addColumn<int>("releaseRow");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("newSel");
        const int left = Qt::LeftButton;
        QTest::newRow("press on 3, release on 4") << 3 << 4 << left << 0 << 0;
        QTest::newRow("press and release on 3") << 3 << 3 << left << 0 << 3;
        QTest::newRow("right button with shift") << 3 << 3 << int(Qt::RightButton) << int(Qt::ShiftModifier) << 3;
        QTest::newRow("press and release on the highlighted row") << 0 << 0 << left << 0 << 0;
        QTest::newRow("release without press") << -1 << 3 << left << 0 << 0;
    }
    void clicks()
    {
        QFETCH(int, pressRow);
        QFETCH(int, releaseRow);
        QFETCH(int, button);
        QFETCH(int, modifiers);
        QFETCH(int, newSel);
        const auto mouseButton = Qt::MouseButton(button);
        const auto keys = Qt::KeyboardModifiers(modifiers);
        const auto window = BuiltWindow(0);
        const QImage before = window->ListPicture->image();
        if (pressRow >= 0) {
            QTest::mousePress(window->ListPicture, mouseButton, keys, QPoint(200, 18 * pressRow + 1));
            QCOMPARE(window->NomerDown, pressRow == 0 ? -1 : pressRow);
        }
        QTest::mouseRelease(window->ListPicture, mouseButton, keys, QPoint(590, 18 * releaseRow + 16));
        QCOMPARE(window->NomerDown, -1);
        QCOMPARE(NomerSel, newSel);
        QCOMPARE(NomerRadio, 0);
        if (newSel == 0)
            QCOMPARE(window->ListPicture->image(), before);
        else
            QVERIFY(RowHighlighted(window->ListPicture->image(), newSel) && !RowHighlighted(window->ListPicture->image(), 0));
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
        QCOMPARE(window->NomerDown, -1);
        QCOMPARE(NomerRadio, 3);
        QCOMPARE(window->windowTitle(), QStringLiteral("Радиоприёмник Tolva - Играет: ") + Radio().List(3, 1));
        QVERIFY(RowHighlighted(window->ListPicture->image(), 3));
    }

    void clickOnAScrolledList()
    {
        const auto window = BuiltWindow(16);  // view at 3
        QTest::mouseClick(window->ListPicture, Qt::LeftButton, {}, QPoint(50, 18 * 4 + 3));
        QCOMPARE(NomerSel, 4);
        QCOMPARE(window->VScroll1->value(), 3);
    }

    // The row from y: rounded half to even, then truncated toward zero.
    void rowFromY_data()
    {
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("row");
        QTest::newRow("0") << 0.0 << 0;
        QTest::newRow("17.4") << 17.4 << 0;
        QTest::newRow("17.5 rounds to 18") << 17.5 << 1;
        QTest::newRow("16.5 rounds to 16") << 16.5 << 0;
        QTest::newRow("18.5 rounds to 18") << 18.5 << 1;
        QTest::newRow("35.5 rounds to 36") << 35.5 << 2;
        QTest::newRow("305.4 last row") << 305.4 << 16;
        QTest::newRow("-9 truncates to 0") << -9.0 << 0;
        QTest::newRow("-17.4 truncates to 0") << -17.4 << 0;
        QTest::newRow("-18 is no row") << -18.0 << -1;
        QTest::newRow("past the last row") << 306.0 << -1;
        QTest::newRow("huge") << 1e300 << -1;
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << -1;
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
        QCOMPARE(window->NomerDown, -1);
    }
};

QTEST_MAIN(TestStationListInput)
#include "tst_station_list_input.moc"
