// The panel in a bare window with the real web engine, against a local page server.
#include "SaveFileUrlm.h"
#include "ad_profile.h"
#include "opened_urls.h"
#include "page_server.h"
#include "program_folder.h"
#include "usrReklamaX.h"

#include <QApplication>
#include <QDialog>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

constexpr int Timeout = 15000;
// Middles of the two links on every advertisement page, and a spot beside and below them.
constexpr QPoint Link(155, 36), NewWindowLink(465, 33), ParkingSpot(310, 68);
const QString Title = QStringLiteral("Радиоприёмник Tolva");

class TestAdPanel : public QObject {
    Q_OBJECT

    PageServer server_;
    OpenedUrls handler_;
    QTemporaryDir folder_;  // the program folder
    std::unique_ptr<QWidget> window_;
    usrReklamaX* panel_ = nullptr;
    QList<QByteArray> opened_;  // the redirect pages handed to the user's browser, read as each was opened
    QString hoverText_;         // the browser's latest

    QWebEnginePage* page() const { return panel_->WebBrowser1->page(); }

    QVariant js(const QString& code)
    {
        auto result = std::make_shared<std::optional<QVariant>>();
        page()->runJavaScript(code, [result](const QVariant& v) { *result = v; });
        return QTest::qWaitFor([&] { return result->has_value(); }, Timeout) ? **result : QStringLiteral("<no answer>");
    }

    // Loads a path of the server, or with Start() when empty; returns the path shown.
    QString load(const QString& path = {})
    {
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        path.isEmpty() ? panel_->Start() : page()->load(server_.url(path));
        return !loaded.isEmpty() || loaded.wait(Timeout) ? page()->url().path() : QString();
    }

    // Straight to the browser's input widget, which the view may replace
    // when a page moves to another renderer; widgets it creates later take
    // the pointer from the cursor.
    void mouse(QEvent::Type type, const QPoint& at, Qt::MouseButton button = Qt::NoButton)
    {
        QWidget* target = panel_->WebBrowser1->focusProxy();
        QCursor::setPos(target->mapToGlobal(at));
        QMouseEvent event(type, at, target->mapToGlobal(at), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    }
    void click(const QPoint& at)
    {
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton);
    }

    // Crosses between the parking spot and the link until the browser reports
    // a hover text: a page just loaded may not take input yet, or report a
    // link where it last saw the pointer.
    QString hover(const QPoint& to)
    {
        for (QDeadlineTimer deadline(Timeout); hoverText_.isEmpty() && !deadline.hasExpired();) {
            mouse(QEvent::MouseMove, ParkingSpot);
            QTest::qWait(30);
            mouse(QEvent::MouseMove, to);
            QTest::qWait(60);
        }
        return hoverText_;
    }

    // The panel as the main window holds it; the browser comes once the window is on screen.
    bool showPanel(bool tuneFirst)
    {
        window_ = std::make_unique<QWidget>();
        window_->resize(632, 389);
        panel_ = new usrReklamaX(window_.get());
        panel_->setGeometry(4, 0, 625, 73);
        // The keyboard focus is on the station list: a focused view that moves
        // to a new renderer focuses the page's first link, reported as hovered.
        auto* list = new QWidget(window_.get());
        list->setGeometry(4, 200, 100, 100);
        list->setFocusPolicy(Qt::StrongFocus);
        list->setFocus();
        panel_->setReklamaURL(server_.url("/reklama/").toString());
        if (tuneFirst)
            panel_->Start();
        QSignalSpy created(panel_, &usrReklamaX::browserCreated);
        window_->show();
        if (panel_->WebBrowser1 || !created.wait(Timeout))
            return false;
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        connect(page(), &QWebEnginePage::linkHovered, this, [this](const QString& text) { hoverText_ = text; });
        return loaded.wait(Timeout);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        SetProgramFolder(folder_.path());
        // Two links filling the 625 x 73 panel: one followed in place, one that asks for a new window.
        for (int n = 0; n < 5; ++n)
            server_.addPage(QStringLiteral("/reklama/%1.html").arg(n),
                            QStringLiteral("<body style='margin:0'><a href='/target.html' style='position:"
                                           "absolute;left:10px;top:6px;width:290px;height:60px'>Реклама</a><a "
                                           "href='/blank.html' target='_blank' style='position:absolute;left:320px;"
                                           "top:6px;width:290px;height:54px'>Новое окно</a>").toUtf8());
        for (int n = 0; n < 5; ++n) {
            server_.addPage(QStringLiteral("/locked/%1.html").arg(n), "locked", "401 Unauthorized");
            server_.addPage(QStringLiteral("/scripts/%1.html").arg(n),
                            "<script>window.open('/opened.html'); alert('a'); var c = confirm('c');"
                            " var p = prompt('p', 'd'); document.title = c + '|' + p;</script>");
        }
        server_.addPage("/plain.html", "plain");
        server_.addPage("/unload.html", "<script>addEventListener('beforeunload', e => { e.preventDefault();"
                                        " e.returnValue = 'stay'; });</script>stay");
        handler_.onOpen = [this](const QUrl& url) {
            QFile file(url.toLocalFile());
            opened_ << (file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>");
        };
    }

    void init()
    {
        opened_.clear();
        hoverText_.clear();
        QVERIFY(showPanel(false));
        server_.clearRequests();
    }

    void cleanup()
    {
        QCursor::setPos(-1000, -1000);  // off every window, so that the next page does not open under it
        window_.reset();
    }

    // The start page is built in; every tuning then fetches one of the five
    // pages afresh, although they allow caching, and a tuning before the
    // browser exists replaces the start page.
    void tuningsFetchEveryPageAfresh()
    {
        QCOMPARE(js("document.body.innerText + (document.documentElement.scrollHeight <= innerHeight"
                    " && document.documentElement.scrollWidth <= innerWidth)").toString(), Title + "true");  // no scroll bars
        QVERIFY(server_.requests().isEmpty());
        QSet<QString> seen;
        for (int i = 1; i <= 60; ++i) {
            QVERIFY(!load().isEmpty());
            QCOMPARE(server_.requests().size(), i);
            QCOMPARE(page()->url().path(), server_.requests().last());
            seen << server_.requests().last();
        }
        QCOMPARE(seen.size(), 5);
        server_.clearRequests();
        QVERIFY(showPanel(true));
        QCOMPARE(server_.requests().size(), 1);
        QCOMPARE(page()->url().path(), server_.requests().first());
    }

    void clickedLinkOpensOutside_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("hoverReported");  // else the page came in under a resting pointer
        QTest::newRow("link") << Link << 1 << true;
        QTest::newRow("double click") << Link << 2 << true;
        QTest::newRow("new-window link") << NewWindowLink << 1 << true;
        QTest::newRow("link, no hover reported") << Link << 1 << false;
    }
    void clickedLinkOpensOutside()
    {
        QFETCH(QPoint, at);
        QFETCH(int, clicks);
        QFETCH(bool, hoverReported);
        const QString path = load();
        server_.clearRequests();
        const QString href = server_.url(at == Link ? "/target.html" : "/blank.html").toString();
        if (!hoverReported)
            QVERIFY(disconnect(page(), &QWebEnginePage::linkHovered, panel_, nullptr));
        QCOMPARE(hover(at), href);  // and the page takes input
        for (int i = 1; i <= clicks; ++i) {
            click(at);
            QTRY_COMPARE_WITH_TIMEOUT(opened_.size(), i, Timeout);
        }
        QTest::qWait(300);
        QCOMPARE(opened_, QList<QByteArray>(clicks, RedirectPage(href)));
        QCOMPARE(page()->url().path(), path);
        QCOMPARE(server_.requests(), QStringList());
    }

    // What comes after a hover, a click or a page that objects stays in the
    // panel: asked for once, no dialog, nothing opened outside, no error page.
    void pagesStayInThePanel_data()
    {
        QTest::addColumn<QString>("before");  // a page loaded first; empty: the start page
        QTest::addColumn<QString>("act");     // "hover", "click", or a hover text reported
        QTest::addColumn<QString>("then");    // a page by script (.html) or the ads' base address
        QTest::addColumn<QString>("shown");   // "title|text" starts so
        QTest::addColumn<int>("asked");
        const QString ad = "/reklama/0.html";
        QTest::newRow("hover ended, Start") << ad << "hover" << "/reklama/" << "|Реклама" << 1;
        QTest::newRow("hover ended, script") << ad << "hover" << "/plain.html" << "|plain" << 1;
        QTest::newRow("capitalised HTTP, script") << ad << "HTTP://127.0.0.1:1/caps.html" << "/plain.html" << "|plain" << 1;
        QTest::newRow("objects to being left") << "/unload.html" << "click" << "/reklama/" << "|Реклама" << 1;
        QTest::newRow("asks for a password") << QString() << QString() << "/locked/" << "|locked" << 1;
        QTest::newRow("connection refused") << QString() << QString() << "http://127.0.0.1:1/" << "|" + Title << 0;
        // Dialogs answered unseen; a new window with no link hovered opens nothing.
        QTest::newRow("script dialogs, window.open") << QString() << QString() << "/scripts/" << "false|null|" << 1;
    }
    void pagesStayInThePanel()
    {
        QFETCH(QString, before);
        QFETCH(QString, act);
        QFETCH(QString, then);
        QFETCH(QString, shown);
        if (!before.isEmpty())
            QCOMPARE(load(before), before);
        if (act == "click") {
            click(ParkingSpot);  // the user's gesture, which arms the objection
            QTest::qWait(300);
        } else {
            if (act == "hover" && hover(Link).isEmpty())
                QFAIL("no hover reported");
            // Qt WebEngine sometimes stops reporting hover changes right after
            // a load, so the test reports the pointer leaving the link itself.
            QCursor::setPos(panel_->mapToGlobal(ParkingSpot));
            Q_EMIT page()->linkHovered(act == "hover" ? QString() : act);
        }
        server_.clearRequests();
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        if (then.endsWith(".html"))
            js(QStringLiteral("location.href = '%1'").arg(then));
        else
            panel_->setReklamaURL(then.startsWith('/') ? server_.url(then).toString() : then), panel_->Start();
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), Timeout);
        QTest::qWait(700);
        QTEST(int(server_.requests().size()), "asked");
        QCOMPARE(server_.requests().value(0, page()->url().path()), page()->url().path());
        const QString text = js("document.title + '|' + document.body.innerText").toString();
        QVERIFY2(text.startsWith(shown), qPrintable(text));
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!qobject_cast<QDialog*>(w) || !w->isVisible(), qPrintable(w->windowTitle()));
        QVERIFY(opened_.isEmpty());
    }
};

int main(int argc, char** argv)
{
    SetAdBrowserSwitches();  // the browser as the program runs it
    QApplication app(argc, argv);
    TestAdPanel test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_ad_panel.moc"
