#include "browser_profile.h"

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
