#include "usrReklamaX.h"

#include "SaveFileUrlm.h"
#include "ad_profile.h"
#include "reklama_address.h"
#include "silent_page.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QShowEvent>
#include <QTimer>
#include <QWebEngineView>
#include <QWindow>

#include <utility>

namespace {
// Case-sensitive, as the status text is compared elsewhere in the program;
// "https" addresses count too.
bool IsWebAddress(const QString& text)
{
    return text.startsWith(QLatin1String("http"), Qt::CaseSensitive);
}
}  // namespace

usrReklamaX::usrReklamaX(QWidget* parent)
    : QWidget(parent)
    , ReklamaURL(DefaultReklamaURL())
{
}

usrReklamaX::~usrReklamaX()
{
    // The view is a child widget and would outlive page_ and profile_.
    delete WebBrowser1;
}

void usrReklamaX::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (WebBrowser1 || creationQueued_)
        return;
    QWindow* const frame = window()->windowHandle();
    if (frame && !frame->isExposed()) {
        frame->installEventFilter(this);  // until the first frame is painted
        return;
    }
    creationQueued_ = true;
    QTimer::singleShot(0, this, &usrReklamaX::createBrowser);
}

void usrReklamaX::createBrowser()
{
    if (WebBrowser1)
        return;
    // The first profile starts the web engine.
    profile_ = MakeAdProfile();
    page_ = std::make_unique<SilentPage>(profile_.get());
    WebBrowser1 = new QWebEngineView(this);
    UserControl_Initialize();
    WebBrowser1->show();
    Q_EMIT browserCreated();
}

void usrReklamaX::UserControl_Initialize()
{
    page_->setNavigationFilter([this](const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame) {
        // A link the user clicked has shown its address even when the
        // browser reported no hover (a page loaded under a resting pointer).
        if (type == QWebEnginePage::NavigationTypeLinkClicked && isMainFrame && userClick_.isValid()
            && !userClick_.hasExpired(UserClickMs) && IsWebAddress(url.toString()))
            StatusURL = url.toString();
        return WebBrowser1_BeforeNavigate2();
    });
    // Clicks inside the view go to widgets it makes and replaces itself.
    qApp->installEventFilter(this);
    page_->setNewWindowHandler([this] { WebBrowser1_NewWindow2(); });
    connect(page_.get(), &QWebEnginePage::linkHovered, this, &usrReklamaX::WebBrowser1_StatusTextChange);
    WebBrowser1->setPage(page_.get());
    WebBrowser1->setContextMenuPolicy(Qt::NoContextMenu);
    WebBrowser1->setAcceptDrops(false);
    WebBrowser1->setGeometry(rect());
    // A tuning that came first replaces the start page before it is shown.
    if (pendingPage_.isEmpty())
        page_->setHtml(StartPageHtml());
    else
        page_->load(std::exchange(pendingPage_, QUrl()));
}

void usrReklamaX::Start()
{
    // The remembered link belongs to the page that is now replaced.
    StatusURL.clear();
    const int n = int(QRandomGenerator::global()->bounded(ReklamaPageCount));
    const QUrl address = ReklamaPage(ReklamaURL, n);
    if (page_)
        page_->load(address);
    else
        pendingPage_ = address;
}

bool usrReklamaX::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && WebBrowser1 && watched->isWidgetType()
        && WebBrowser1->isAncestorOf(static_cast<QWidget*>(watched)))
        userClick_.start();
    // The window paints and flushes its first frame while handling this
    // event; starting the web engine waits for the next turn of the loop.
    if (event->type() == QEvent::Expose && !creationQueued_ && watched == window()->windowHandle()
        && window()->windowHandle()->isExposed()) {
        watched->removeEventFilter(this);
        creationQueued_ = true;
        QTimer::singleShot(0, this, &usrReklamaX::createBrowser);
    }
    return QWidget::eventFilter(watched, event);
}

void usrReklamaX::setReklamaURL(const QString& url)
{
    ReklamaURL = url;
}

QString usrReklamaX::reklamaURL() const
{
    return ReklamaURL;
}

void usrReklamaX::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void usrReklamaX::UserControl_Resize()
{
    if (!WebBrowser1 || window()->isMinimized())
        return;
    WebBrowser1->setGeometry(0, 0, width(), height());
}

void usrReklamaX::WebBrowser1_StatusTextChange(const QString& Text)
{
    if (IsWebAddress(Text))
        StatusURL = Text;
    else
        StatusURL.clear();  // the pointer has left the link, or is on another kind
}

bool usrReklamaX::WebBrowser1_BeforeNavigate2()
{
    if (!IsWebAddress(StatusURL))
        return false;
    HandOn();
    return true;
}

void usrReklamaX::WebBrowser1_NewWindow2()
{
    if (IsWebAddress(StatusURL))
        HandOn();
}

void usrReklamaX::HandOn()
{
    // SaveFileUrl lets pending events run; it must not do that inside the
    // browser's callback, so the address is opened once that has returned.
    QMetaObject::invokeMethod(this, [url = StatusURL] { SaveFileUrl(url); }, Qt::QueuedConnection);
}
