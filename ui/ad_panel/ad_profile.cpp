#include "ad_profile.h"

#include <QByteArray>
#include <QWebEngineSettings>
#include <QtGlobal>

std::unique_ptr<QWebEngineProfile> MakeAdProfile()
{
    auto profile = std::make_unique<QWebEngineProfile>();
    profile->setHttpCacheType(QWebEngineProfile::NoCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile->setSpellCheckEnabled(false);

    QWebEngineSettings* settings = profile->settings();
    // A failed load leaves the panel blank instead of showing Chromium's page.
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    // Script requests for windows must still reach the page so that they
    // can be turned away (and a hovered link opened outside instead).
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    // mailto: and the like would otherwise go to a desktop handler unasked.
    settings->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
    return profile;
}

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
