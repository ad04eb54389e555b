#include "MainM.h"
#include "qt_translations.h"
#include "ad_profile.h"
#include "deferred_icon_style.h"
#include "tolva_config.h"

#include <QApplication>

#include <fontconfig/fontconfig.h>

#include <thread>

int main(int argc, char* argv[])
{
    // Fontconfig reads its configuration (several milliseconds) while Qt starts
    // up, so the window's first text finds it loaded.
    const std::jthread fonts([] { FcInit(); });
    SetAdBrowserSwitches();
    QApplication app(argc, argv);
    QApplication::setStyle(new DeferredIconStyle);
    QApplication::setApplicationName(QStringLiteral("Tolva"));
    LoadQtTranslations();
    QApplication::setDesktopFileName(QString::fromLatin1(TolvaConfig::AppId));
    Main();
    // Without its window the program could never be closed: do not linger.
    if (!MainForm())
        return 1;
    const int code = QApplication::exec();
    DestroyMainForm();
    return code;
}
