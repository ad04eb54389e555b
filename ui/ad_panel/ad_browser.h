#pragma once

#include <QString>
#include <QUrl>
#include <QtPlugin>

#include <functional>
#include <memory>

class QWebEngineView;
class QWidget;

// The panel's web browser, which lives in a module of its own (loaded once
// the window is on screen), so that starting the program does not wait for
// the dynamic loader to bring in Qt WebEngine.
class AdBrowser {
public:
    // What the browser tells the panel; each runs on the user-interface thread.
    struct Events {
        // Before every navigation; true cancels it.
        std::function<bool(const QUrl& url, bool linkClicked, bool isMainFrame)> beforeNavigate;
        // A request for a new window, which is never opened.
        std::function<void()> newWindow;
        // The browser's status text: the address of a hovered link, or empty.
        std::function<void(const QString& text)> statusText;
    };

    virtual ~AdBrowser() = default;
    // The view, a child of the panel; it goes with this object.
    virtual QWidget* widget() const = 0;
    virtual QWebEngineView* view() const = 0;
    // Fetched afresh, never from a cache.
    virtual void navigate(const QUrl& address) = 0;
    virtual void showHtml(const QString& html) = 0;
};

class AdBrowserFactory {
public:
    virtual ~AdBrowserFactory() = default;
    // Starts the web engine with the first browser.
    virtual std::unique_ptr<AdBrowser> create(QWidget* parent, AdBrowser::Events events) = 0;
};

#define AdBrowserFactory_iid "Tolva.AdBrowserFactory/1"
Q_DECLARE_INTERFACE(AdBrowserFactory, AdBrowserFactory_iid)
