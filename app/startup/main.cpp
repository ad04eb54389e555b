#include "MainM.h"
#include "tolva_config.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolva"));
    QApplication::setDesktopFileName(QString::fromLatin1(TolvaConfig::AppId));
    Main();
    // Without its window the program could never be closed: do not linger.
    if (!MainForm())
        return 1;
    const int code = QApplication::exec();
    DestroyMainForm();
    return code;
}
