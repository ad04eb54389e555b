// The advertisement panel's web browser, built as a module of its own: only
// this module links Qt WebEngine.
#include "ad_browser.h"
#include "browser_profile.h"
#include "silent_page.h"

#include <QObject>
#include <QPointer>
#include <QWebEngineView>

namespace {

class WebAdBrowser final : public AdBrowser {
public:
    WebAdBrowser(QWidget* parent, Events events)
        : profile_(MakeAdProfile())  // the first profile starts the web engine
        , page_(std::make_unique<SilentPage>(profile_.get()))
        , view_(new QWebEngineView(parent))
    {
        page_->setNavigationFilter([before = std::move(events.beforeNavigate)](
                                       const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame) {
            return before && before(url, type == QWebEnginePage::NavigationTypeLinkClicked, isMainFrame);
        });
        page_->setNewWindowHandler(std::move(events.newWindow));
        // The panel itself hears the status text, as it would the browser's event.
        QObject::connect(page_.get(), &QWebEnginePage::linkHovered, parent,
                         [status = std::move(events.statusText)](const QString& text) {
                             if (status)
                                 status(text);
                         });
        view_->setPage(page_.get());
        view_->setContextMenuPolicy(Qt::NoContextMenu);
        view_->setAcceptDrops(false);
    }

    ~WebAdBrowser() override
    {
        // A view must go before its page, and a page before its profile.
        delete view_.data();
    }

    QWidget* widget() const override { return view_; }
    QWebEngineView* view() const override { return view_; }
    void navigate(const QUrl& address) override { page_->load(address); }
    void showHtml(const QString& html) override { page_->setHtml(html); }

private:
    std::unique_ptr<QWebEngineProfile> profile_;
    std::unique_ptr<SilentPage> page_;
    QPointer<QWebEngineView> view_;
};

}  // namespace

class AdBrowserModule final : public QObject, public AdBrowserFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID AdBrowserFactory_iid)
    Q_INTERFACES(AdBrowserFactory)

public:
    std::unique_ptr<AdBrowser> create(QWidget* parent, AdBrowser::Events events) override
    {
        return std::make_unique<WebAdBrowser>(parent, std::move(events));
    }
};

#include "ad_browser_module.moc"
