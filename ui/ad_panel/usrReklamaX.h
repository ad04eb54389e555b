#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <memory>

class AdBrowser;
class QWebEngineView;

// The advertisement strip across the top of the main window: a silent web
// view that shows the program's title until the first tuning, then a random
// advertisement page at every tuning. Links clicked in it open in the
// user's browser; the panel keeps its page.
// The browser, a module of its own, is loaded only once the window's first
// frame is on screen, so the station list never waits for the web engine.
// Without the module the panel stays empty and the rest of the program works.
class usrReklamaX : public QWidget {
    Q_OBJECT

public:
    explicit usrReklamaX(QWidget* parent = nullptr);
    ~usrReklamaX() override;

    // Loads advertisement page 0..4 (chosen at random) afresh; returns at once.
    // Before the browser exists the page is loaded as soon as it does.
    void Start();

    // Tests point the panel at a local server; the address ends with '/'.
    void setReklamaURL(const QString& url);
    QString reklamaURL() const;

    // Covers the panel's whole area; null until the window has been shown,
    // and for good when the browser module cannot be loaded.
    QWebEngineView* WebBrowser1 = nullptr;

Q_SIGNALS:
    void browserCreated();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createBrowser();
    void UserControl_Initialize();
    void UserControl_Resize();
    void WebBrowser1_StatusTextChange(const QString& Text);
    bool WebBrowser1_BeforeNavigate2();
    void WebBrowser1_NewWindow2();
    void HandOn();

    std::unique_ptr<AdBrowser> browser_;  // owns WebBrowser1
    QString StatusURL;
    QString ReklamaURL;
    // When the user last released a mouse button over the page: a link
    // navigation that soon after is theirs.
    QElapsedTimer userClick_;
    static constexpr qint64 UserClickMs = 1000;
    QUrl pendingPage_;  // asked for by Start() before the browser existed
    bool creationQueued_ = false;
};
