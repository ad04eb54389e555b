// The panel in the main window with the real web engine, against a local page server.
#include "SaveFileUrlm.h"
#include "ad_profile.h"
#include "frmForma.h"
#include "opened_urls.h"
#include "page_server.h"
#include "program_folder.h"
#include "usrReklamaX.h"

#include <QApplication>
#include <QDialog>
#include <QWebEngineView>
#include <QtTest>

constexpr int Timeout = 15000;
// Spots on every advertisement page: the middles of its two links, and a spot beside and below them.
const QMap<QString, QPoint> Spot{{"link", {155, 36}}, {"new", {465, 33}}, {"park", {310, 68}}};
const QMap<QString, QString> Href{{"link", "/target.html"}, {"new", "/blank.html"}};

class TestAdPanel : public QObject {
    Q_OBJECT

    PageServer server_;
    OpenedUrls handler_;
    QTemporaryDir folder_;  // the program folder
    std::unique_ptr<frmForma> window_;
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

    // Runs a step that loads a page; true once it has.
    template <typename Step>
    bool loads(Step step)
    {
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        step();
        return !loaded.isEmpty() || loaded.wait(Timeout);
    }

    // Straight to the browser's input widget, which the view may replace when a page moves
    // to another renderer; widgets it creates later take the pointer from the cursor.
    void mouse(QEvent::Type type, const QPoint& at, Qt::MouseButton button = Qt::NoButton)
    {
        QWidget* target = panel_->WebBrowser1->focusProxy();
        QCursor::setPos(target->mapToGlobal(at));
        QMouseEvent event(type, at, target->mapToGlobal(at), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    }

    // Crosses between the parking spot and the link until the browser reports a hover text:
    // a page just loaded may not take input yet, or report a link where it last saw the pointer.
    QString hover(const QPoint& to)
    {
        for (QDeadlineTimer deadline(Timeout); hoverText_.isEmpty() && !deadline.hasExpired();) {
            mouse(QEvent::MouseMove, Spot["park"]);
            QTest::qWait(30);
            mouse(QEvent::MouseMove, to);
            QTest::qWait(60);
        }
        return hoverText_;
    }

    // The main window as start-up shows it, the keyboard focus on the station list: a focused
    // view that moves to a new renderer focuses the page's first link, reported as hovered.
    bool showPanel(bool tuneFirst)
    {
        QCursor::setPos(-1000, -1000);  // off every window, so that the new page does not open under it
        opened_.clear();
        hoverText_.clear();
        server_.clearRequests();
        window_ = std::make_unique<frmForma>();
        panel_ = window_->usrReklamaX1;
        panel_->setReklamaURL(server_.url("/ad").toString() + '?');
        if (tuneFirst)
            panel_->Start();
        QSignalSpy created(panel_, &usrReklamaX::browserCreated);
        window_->show();
        if (panel_->WebBrowser1 || !created.wait(Timeout))
            return false;
        connect(page(), &QWebEnginePage::linkHovered, this, [this](const QString& text) { hoverText_ = text; });
        return loads([] {});
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        SetProgramFolder(folder_.path());
        // One page of each kind: the panel asks for "/ad?3.html" and the like. Two links
        // fill the 625 x 73 panel: one followed in place, one that asks for a new window.
        server_.addPage("/ad", "<body style='margin:0'><a href='/target.html' style='position:absolute;left:10px;"
                               "top:6px;width:290px;height:60px'>Реклама</a><a href='/blank.html' target='_blank' "
                               "style='position:absolute;left:320px;top:6px;width:290px;height:54px'>Новое окно</a>");
        server_.addPage("/locked", "locked", "401 Unauthorized");
        server_.addPage("/scripts", "<script>window.open('/opened.html'); alert('a'); var c = confirm('c');"
                                    " var p = prompt('p', 'd'); document.title = c + '|' + p;</script>");
        server_.addPage("/plain.html", "plain");
        server_.addPage("/unload", "<script>addEventListener('beforeunload', e => { e.preventDefault();"
                                   " e.returnValue = 'stay'; });</script>stay");
        handler_.onOpen = [this](const QUrl& url) {
            QFile file(url.toLocalFile());
            opened_ << (file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>");
        };
    }

    void init() { QVERIFY(showPanel(false)); }

    void cleanup() { window_.reset(); }

    // The start page is built in and fits; every tuning then fetches one of the five pages
    // afresh, although they allow caching, and a tuning before the browser exists replaces
    // the start page.
    void tuningsFetchEveryPageAfresh()
    {
        QCOMPARE(js("document.body.innerText + (document.documentElement.scrollHeight <= innerHeight"
                    " && document.documentElement.scrollWidth <= innerWidth)").toString(),
                 window_->windowTitle() + "true");  // no scroll bars
        QVERIFY(server_.requests().isEmpty());
        for (int i = 1; i <= 60; ++i) {
            QVERIFY(loads([this] { panel_->Start(); }));
            QCOMPARE(server_.requests().size(), i);
            QCOMPARE(page()->url(), server_.url(server_.requests().last()));
        }
        const QStringList asked = server_.requests();
        QCOMPARE(QSet<QString>(asked.cbegin(), asked.cend()).size(), 5);
        QVERIFY(showPanel(true));
        QCOMPARE(server_.requests().size(), 1);
        QCOMPARE(page()->url(), server_.url(server_.requests().first()));
    }

    // A clicked link opens outside while the panel keeps its page; anything else stays in
    // the panel: asked for once, no dialog, no error page.
    void steps_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("opened");  // links handed to the user's browser
        QTest::addColumn<int>("asked");           // pages fetched
        QTest::addColumn<QString>("shown");       // "title|text" starts so
        const auto row = [](const char* name, const char* steps, QStringList opened, int asked, QString shown) {
            QTest::newRow(name) << QString::fromLatin1(steps) << opened << asked << shown;
        };
        row("link", "start hover:link click:link", {"link"}, 1, "|Реклама");
        row("double click", "start hover:link click:link click:link", {"link", "link"}, 1, "|Реклама");
        row("new-window link", "start hover:new click:new", {"new"}, 1, "|Реклама");
        // The page came in under a resting pointer.
        row("link, no hover reported", "unreported start hover:link click:link", {"link"}, 1, "|Реклама");
        row("pointer on a link, Start", "start hover:link start", {}, 2, "|Реклама");
        row("hover ended, script", "start hover:link left go:/plain.html", {}, 2, "|plain");
        row("capitalised HTTP, script", "start status:HTTP://127.0.0.1:1/caps.html go:/plain.html", {}, 2, "|plain");
        row("objects to being left", "start:/unload click:park start:/ad", {}, 2, "|Реклама");
        row("asks for a password", "start:/locked", {}, 1, "|locked");
        row("connection refused", "start:http://127.0.0.1:1/", {}, 0, "|Радиоприёмник Tolva");
        // Dialogs answered unseen; a new window with no link hovered opens nothing.
        row("script dialogs, window.open", "start:/scripts", {}, 1, "false|null|");
    }
    void steps()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, opened);
        QFETCH(QString, shown);
        for (const QString& step : steps.split(u' ')) {
            const QString name = step.section(u':', 0, 0), arg = step.section(u':', 1);
            if (name == "unreported") {
                QVERIFY(disconnect(page(), &QWebEnginePage::linkHovered, panel_, nullptr));
            } else if (name == "start") {
                if (!arg.isEmpty())
                    panel_->setReklamaURL((arg.startsWith(u'/') ? server_.url(arg).toString() : arg) + '?');
                QVERIFY(loads([this] { panel_->Start(); }));
            } else if (name == "go") {  // by script
                QVERIFY(loads([&] { page()->runJavaScript(QStringLiteral("location.href = '%1'").arg(arg)); }));
            } else if (name == "hover") {
                QCOMPARE(hover(Spot[arg]), server_.url(Href[arg]).toString());  // and the page takes input
            } else if (name == "left" || name == "status") {
                // Qt WebEngine sometimes stops reporting hover changes right after a load,
                // so the test reports the pointer leaving the link (or another text) itself.
                QCursor::setPos(panel_->mapToGlobal(Spot["park"]));
                Q_EMIT page()->linkHovered(arg);
            } else {  // a click; one on a link opens its address outside
                const qsizetype before = opened_.size();
                mouse(QEvent::MouseButtonPress, Spot[arg], Qt::LeftButton);
                mouse(QEvent::MouseButtonRelease, Spot[arg], Qt::LeftButton);
                if (arg == "park")
                    QTest::qWait(300);  // the user's gesture, which arms a page's objection to being left
                else
                    QTRY_COMPARE_WITH_TIMEOUT(opened_.size(), before + 1, Timeout);
            }
        }
        QTest::qWait(opened.isEmpty() ? 700 : 300);  // time for what should not come: a request, a dialog
        QList<QByteArray> redirects;
        for (const QString& link : opened)
            redirects << RedirectPage(server_.url(Href[link]).toString());
        QCOMPARE(opened_, redirects);
        QTEST(int(server_.requests().size()), "asked");
        QVERIFY(server_.requests().isEmpty() || page()->url() == server_.url(server_.requests().last()));
        const QString text = js("document.title + '|' + document.body.innerText").toString();
        QVERIFY2(text.startsWith(shown), qPrintable(text));
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!qobject_cast<QDialog*>(w) || !w->isVisible(), qPrintable(w->windowTitle()));
    }
};

Q_CONSTRUCTOR_FUNCTION(SetAdBrowserSwitches)  // the browser as the program runs it
QTEST_MAIN(TestAdPanel)
#include "tst_ad_panel.moc"
