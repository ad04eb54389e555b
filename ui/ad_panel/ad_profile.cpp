#include "ad_profile.h"

#include <QByteArray>
#include <QtGlobal>

void SetAdBrowserSwitches()
{
    // A small static page: no GPU process (rasterising and compositing in
    // software, in the program's own process) and one renderer process.
    QByteArray flags = "--disable-gpu --renderer-process-limit=1";
    const QByteArray given = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    // Without a sandbox the zygotes only cost memory; with one, Chromium needs them.
    if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") || given.contains("--no-sandbox"))
        flags += " --no-zygote";
    if (!given.isEmpty())
        flags += ' ' + given;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    // Drawn by Qt Quick in software, the browser does not turn the window
    // into an OpenGL one, which would recreate it (a black frame) when the
    // browser is added; and without OpenGL on X no driver is loaded at all.
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
}
