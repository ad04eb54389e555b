// The yardstick for start-up: a bare Qt window of the main window's size,
// centred, filled with the list's highlight red, nothing else.
#include <QApplication>
#include <QScreen>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(632, 389);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(255, 0, 0));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    QRect frame = window.frameGeometry();
    frame.moveCenter(window.screen()->availableGeometry().center());
    window.move(frame.topLeft());
    window.show();
    return app.exec();
}
