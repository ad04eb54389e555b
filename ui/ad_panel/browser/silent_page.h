#pragma once

#include <QWebEnginePage>

#include <functional>

// A web page that never shows a dialog of its own and never opens a window:
// script dialogs are answered "no" at once (leaving the page: always yes),
// file choosers choose nothing, certificate errors, permission and
// authentication requests are refused without asking.
// Its owner decides about navigations and new-window requests.
class SilentPage : public QWebEnginePage {
    Q_OBJECT

public:
    // Asked before every navigation, the page's own loads included; true
    // cancels it.
    using NavigationFilter = std::function<bool(const QUrl& url, NavigationType type, bool isMainFrame)>;
    // Told of every request for a new window; the window is never created.
    using NewWindowHandler = std::function<void()>;

    SilentPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    void setNavigationFilter(NavigationFilter filter);
    void setNewWindowHandler(NewWindowHandler handler);

    // Qt's question before a page whose "beforeunload" handler objects is left.
    static QString LeavePageQuestion();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;

private:
    NavigationFilter cancelNavigation_;
    NewWindowHandler newWindow_;
};
