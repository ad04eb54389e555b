#include "usrReklamaX.h"

#include "SaveFileUrlm.h"
#include "ad_browser.h"
#include "module_loader.h"
#include "reklama_address.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace {
// Case-sensitive, as the status text is compared elsewhere in the program;
// "https" addresses count too.
bool IsWebAddress(const QString& text)
{
    return text.startsWith(QLatin1String("http"), Qt::CaseSensitive);
}

// Qt WebEngine, loaded only once the window is up, needs the OpenGL context
// Qt shares between its users, which the application object makes only when
// asked before it exists. Linked in, the web engine asked for it itself.
void AskForSharedContext()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
Q_CONSTRUCTOR_FUNCTION(AskForSharedContext)

AdBrowserFactory* LoadBrowserModule()
{
    return LoadModule<AdBrowserFactory>(QStringLiteral(TOLVA_AD_BROWSER_FILE),
                                        QStringLiteral(TOLVA_AD_BROWSER_BUILT), "advertisement browser");
}
}  // namespace

usrReklamaX::usrReklamaX(QWidget* parent)
    : QWidget(parent)
    , ReklamaURL(DefaultReklamaURL())
{
}

// The browser goes first, with its view, before the panel's children would.
usrReklamaX::~usrReklamaX() = default;

void usrReklamaX::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (browser_ || creationQueued_)
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
    if (browser_)
        return;
    AdBrowserFactory* const module = LoadBrowserModule();
    if (!module)
        return;  // the panel stays empty
    AdBrowser::Events events;
    events.beforeNavigate = [this](const QUrl& url, bool linkClicked, bool isMainFrame) {
        // A link the user clicked has shown its address even when the
        // browser reported no hover (a page loaded under a resting pointer).
        if (linkClicked && isMainFrame && userClick_.isValid() && !userClick_.hasExpired(UserClickMs)
            && IsWebAddress(url.toString()))
            StatusURL = url.toString();
        return WebBrowser1_BeforeNavigate2();
    };
    events.newWindow = [this] { WebBrowser1_NewWindow2(); };
    events.statusText = [this](const QString& text) { WebBrowser1_StatusTextChange(text); };
    browser_ = module->create(this, std::move(events));
    WebBrowser1 = browser_->view();
    UserControl_Initialize();
    browser_->widget()->show();
    Q_EMIT browserCreated();
}

void usrReklamaX::UserControl_Initialize()
{
    // Clicks inside the view go to widgets it makes and replaces itself.
    qApp->installEventFilter(this);
    browser_->widget()->setGeometry(rect());
    // A tuning that came first replaces the start page before it is shown.
    if (pendingPage_.isEmpty())
        browser_->showHtml(StartPageHtml());
    else
        browser_->navigate(std::exchange(pendingPage_, QUrl()));
}

void usrReklamaX::Start()
{
    // The remembered link belongs to the page that is now replaced.
    StatusURL.clear();
    const int n = int(QRandomGenerator::global()->bounded(ReklamaPageCount));
    const QUrl address = ReklamaPage(ReklamaURL, n);
    if (browser_)
        browser_->navigate(address);
    else
        pendingPage_ = address;
}

bool usrReklamaX::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && browser_ && watched->isWidgetType()
        && browser_->widget()->isAncestorOf(static_cast<QWidget*>(watched)))
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
    if (!browser_ || window()->isMinimized())
        return;
    browser_->widget()->setGeometry(0, 0, width(), height());
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
