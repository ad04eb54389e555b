#include "MainM.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolva"));
    Main();
    const int code = QApplication::exec();
    DestroyMainForm();
    return code;
}
