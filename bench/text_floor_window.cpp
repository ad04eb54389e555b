// The floor under the program's start-up: the bare window plus the text of
// the program's menu bar and list (the two titles, the 17 rows in the list's
// font, row 1's red band) on one widget. Fontconfig is read on a thread while
// Qt starts and the rows are drawn while the window is mapped, as the program
// does. What the program takes beyond this window is its own.
#include "LoadRadioM.h"
#include "clsRadio.h"
#include "station_cell_text.h"
#include "station_list_geometry.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>

#include <fontconfig/fontconfig.h>

#include <thread>

namespace {

// Draws the rows once, after the window is shown, while the window manager
// maps it (as the program does); painting copies the picture.
class Rows : public QWidget {
public:
    using QWidget::QWidget;

    void draw()
    {
        using namespace StationList;
        rows_ = QImage(size() * devicePixelRatio(), QImage::Format_RGB32);
        rows_.setDevicePixelRatio(devicePixelRatio());
        rows_.fill(Background());
        QPainter painter(&rows_);
        painter.fillRect(0, 0, LastX + 1, BandHeight, Highlight());
        painter.setFont(Font());
        const int ascent = painter.fontMetrics().ascent();
        for (int row = 0; row <= Radio().KolRadio(); ++row)
            for (int column = 1; column <= 4; ++column)
                painter.drawText(ColumnX[column - 1], RowPitch * row + 1 + ascent, CellText(Radio(), row, column));
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, rows_); }

private:
    QImage rows_;
};

}  // namespace

int main(int argc, char** argv)
{
    const std::jthread fonts([] { FcInit(); });
    QApplication app(argc, argv);
    LoadRadio();
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("Меню"));
    window.menuBar()->addMenu(QStringLiteral("Справка"));
    auto* rows = new Rows;
    window.setCentralWidget(rows);
    window.setFixedSize(632, 389 + window.menuBar()->sizeHint().height());
    QRect frame = window.frameGeometry();
    frame.moveCenter(window.screen()->availableGeometry().center());
    window.move(frame.topLeft());
    window.show();
    rows->draw();
    return app.exec();
}
