#include "ad_profile.h"
#include "opened_urls.h"
#include "page_server.h"
#include "program_folder.h"
#include "usrReklamaX.h"

#include <QApplication>
#include <QDialog>
#include <QTcpServer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

constexpr int Timeout = 15000;
constexpr QPoint ParkingSpot(310, 68);  // beside and below the links of every test page

class TestAdPanel : public QObject {
    Q_OBJECT

    PageServer server_;
    OpenedUrls handler_;
    QTemporaryDir folder_;  // the program folder
    std::unique_ptr<QWidget> window_;
    usrReklamaX* panel_ = nullptr;
    // Addresses handed to the user's browser, read from the redirect pages
    // at the moment each was opened.
    QStringList opened_;
    QString hoverText_;  // the browser's latest

    QWebEnginePage* page() const { return panel_->WebBrowser1->page(); }

    QVariant js(const QString& code)
    {
        auto result = std::make_shared<std::optional<QVariant>>();
        page()->runJavaScript(code, [result](const QVariant& v) { *result = v; });
        if (!QTest::qWaitFor([&] { return result->has_value(); }, Timeout))
            return QStringLiteral("<no answer>");
        return **result;
    }

    // Loads a path of the server, or with Start() when empty; returns the path.
    QString load(const QString& path = {})
    {
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        if (path.isEmpty())
            panel_->Start();
        else
            page()->load(server_.url(path));
        return !loaded.isEmpty() || loaded.wait(Timeout) ? page()->url().path() : QString();
    }

    QPoint centreOf(const QString& id)
    {
        const QVariantList r = js(QStringLiteral("(function(){var r=document.getElementById('%1').getBoundingClientRect();"
                                                 "return [r.left+r.width/2, r.top+r.height/2];})()").arg(id)).toList();
        return r.size() == 2 ? QPoint(r[0].toInt(), r[1].toInt()) : QPoint();
    }

    // Straight to the browser's input widget, which the view may replace
    // when a page moves to another renderer.
    void mouse(QEvent::Type type, const QPoint& at, Qt::MouseButton button = Qt::NoButton)
    {
        QWidget* target = panel_->WebBrowser1->focusProxy();
        // Widgets the view creates later take the pointer from here.
        QCursor::setPos(target->mapToGlobal(at));
        const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
        QMouseEvent event(type, at, target->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    }
    void click(const QPoint& at)
    {
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton);
    }

    // Moves the pointer between a spot beside the links and the link until
    // the browser reports a hover text, which is returned. A page just loaded
    // may not take input yet, and may report a link where it last saw the
    // pointer; crossing from the other point sets it straight.
    QString hover(const QString& id)
    {
        const QPoint to = centreOf(id);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < Timeout) {
            mouse(QEvent::MouseMove, ParkingSpot);
            QTest::qWait(30);
            mouse(QEvent::MouseMove, to);
            QTest::qWait(60);
            if (!hoverText_.isEmpty())
                return hoverText_;
        }
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        SetProgramFolder(folder_.path());
        // Two links side by side filling the 625 x 73 panel: one followed in
        // place, one that asks for a new window.
        for (int n = 0; n < 5; ++n)
            server_.addPage(QStringLiteral("/reklama/%1.html").arg(n),
                            QStringLiteral("<html><body style='margin:0'><a id='link' href='/target/%1.html' "
                                           "style='position:absolute;left:10px;top:6px;width:290px;height:60px;"
                                           "display:block'>Реклама %1</a><a id='blank' href='/blank/%1.html' "
                                           "target='_blank' style='position:absolute;left:320px;top:6px;"
                                           "width:290px;height:54px;display:block'>Новое окно</a></body></html>")
                                .arg(n)
                                .toUtf8());
        server_.addPage("/plain.html", "<html><body>plain</body></html>");
        server_.addPage("/unload.html", "<html><body style='margin:0;height:73px'><script>"
                                        "addEventListener('beforeunload', e => { e.preventDefault();"
                                        " e.returnValue = 'stay'; return 'stay'; });</script>stay</body></html>");
        for (int n = 0; n < 5; ++n)
            server_.addPage(QStringLiteral("/locked/%1.html").arg(n), "<html><body>locked</body></html>",
                            "401 Unauthorized");
        server_.addPage("/scripts.html",
                        "<html><body><script>window.open('/opened.html'); alert('a'); var c = confirm('c');"
                        "var p = prompt('p', 'd'); document.title = c + '|' + p;</script></body></html>");
        handler_.onOpen = [this](const QUrl& url) {
            static const QRegularExpression target(QStringLiteral("url=(.*)'><meta http-equiv='Content-Type'"));
            QFile file(url.toLocalFile());
            opened_ << (file.open(QIODevice::ReadOnly) ? target.match(QString::fromLatin1(file.readAll())).captured(1)
                                                       : QStringLiteral("<unreadable>"));
        };
    }

    void init()
    {
        opened_.clear();
        window_ = std::make_unique<QWidget>();
        window_->resize(632, 389);
        panel_ = new usrReklamaX(window_.get());
        panel_->setGeometry(4, 0, 625, 73);
        // The keyboard focus starts off the panel, as in the main window,
        // where the station list holds it. A focused view that moves to a
        // new renderer has Qt WebEngine focus the page's first link, which
        // is then reported like a hovered one.
        auto* list = new QWidget(window_.get());
        list->setGeometry(4, 200, 100, 100);
        list->setFocusPolicy(Qt::StrongFocus);
        list->setFocus();
        panel_->setReklamaURL(server_.url("/reklama/").toString());
        hoverText_.clear();
        QVERIFY(showUntilLoaded());
        connect(page(), &QWebEnginePage::linkHovered, this, [this](const QString& text) { hoverText_ = text; });
        server_.clearRequests();
    }

    // The browser comes only once the window is on screen.
    bool showUntilLoaded()
    {
        QSignalSpy created(panel_, &usrReklamaX::browserCreated);
        window_->show();
        if (panel_->WebBrowser1 || !created.wait(Timeout))
            return false;
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        return loaded.wait(Timeout);
    }

    void cleanup()
    {
        // Off every window, so that the next page does not open under it.
        QCursor::setPos(-1000, -1000);
        window_.reset();
    }

    void startPageShowsOnlyTheTitle()
    {
        // Text, font and whether it fits without scroll bars.
        QCOMPARE(js("[document.body.innerText, getComputedStyle(document.querySelector('font')).fontFamily,"
                    " document.documentElement.scrollHeight <= innerHeight"
                    " && document.documentElement.scrollWidth <= innerWidth].join('|')")
                     .toString(),
                 QStringLiteral("Радиоприёмник Tolva|\"Times New Roman\"|true"));
        // The title is drawn, centred across the panel.
        int left = 0, right = -1, width = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QImage shot = panel_->WebBrowser1->grab().toImage();
                width = left = shot.width();
                right = -1;
                for (int y = 0; y < shot.height(); ++y)
                    for (int x = 0; x < width; ++x)
                        if (qGray(shot.pixel(x, y)) < 96) {
                            left = std::min(left, x);
                            right = std::max(right, x);
                        }
                return right > left + 100;
            }(),
            Timeout);
        QVERIFY2(std::abs((left + right) / 2 - width / 2) <= 4, qPrintable(QString("%1..%2").arg(left).arg(right)));
        QVERIFY(server_.requests().isEmpty());
    }

    // A tuning before the browser exists is not lost: its page replaces the start page.
    void startBeforeTheBrowserExists()
    {
        window_ = std::make_unique<QWidget>();
        window_->resize(632, 389);
        panel_ = new usrReklamaX(window_.get());
        panel_->setReklamaURL(server_.url("/reklama/").toString());
        panel_->Start();
        QVERIFY(showUntilLoaded());
        QCOMPARE(server_.requests().size(), 1);
        QCOMPARE(page()->url().path(), server_.requests().first());
        QVERIFY(page()->url().path().startsWith("/reklama/"));
    }

    void startRequestsEachOfTheFivePagesAfresh()
    {
        QSet<QString> seen;
        for (int i = 0; i < 60; ++i) {
            QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
            panel_->Start();
            // Each one reaches the server, although the pages allow caching.
            QTRY_COMPARE_WITH_TIMEOUT(server_.requests().size(), i + 1, Timeout);
            QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty() && page()->url().path() == server_.requests().last(), Timeout);
            seen << server_.requests().last();
        }
        QSet<QString> expected;
        for (int n = 0; n < 5; ++n)
            expected << QStringLiteral("/reklama/%1.html").arg(n);
        QCOMPARE(seen, expected);
    }

    void clickedLinkOpensOutside_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("hoverReported");  // else the page came in under a resting pointer
        QTest::newRow("link") << "link" << 1 << true;
        QTest::newRow("double click") << "link" << 2 << true;
        QTest::newRow("new-window link") << "blank" << 1 << true;
        QTest::newRow("link, no hover reported") << "link" << 1 << false;
    }
    void clickedLinkOpensOutside()
    {
        QFETCH(QString, id);
        QFETCH(int, clicks);
        QFETCH(bool, hoverReported);
        const QString path = load();
        server_.clearRequests();
        const QString href = js(QStringLiteral("document.getElementById('%1').href").arg(id)).toString();
        if (!hoverReported)
            QVERIFY(disconnect(page(), &QWebEnginePage::linkHovered, panel_, nullptr));
        const QString hovered = hoverReported ? hover(id) : href;
        QCOMPARE(QUrl(hovered), QUrl(href));
        for (int i = 0; i < clicks; ++i) {
            click(centreOf(id));
            QTRY_COMPARE_WITH_TIMEOUT(opened_.size(), i + 1, Timeout);
        }
        QTest::qWait(300);
        QCOMPARE(opened_, QStringList(clicks, hovered));
        QCOMPARE(page()->url().path(), path);
        QVERIFY2(server_.requests().isEmpty(), qPrintable(server_.requests().join(' ')));
    }

    // A new window asked for with no link hovered opens nothing; script
    // dialogs are answered without showing.
    void scriptsOpenNothing()
    {
        QCOMPARE(load("/scripts.html"), QStringLiteral("/scripts.html"));
        QTRY_COMPARE_WITH_TIMEOUT(page()->title(), QStringLiteral("false|null"), Timeout);
        QTest::qWait(500);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!qobject_cast<QDialog*>(w) || !w->isVisible(), qPrintable(w->windowTitle()));
        QVERIFY2(opened_.isEmpty(), qPrintable(opened_.join(' ')));
        QCOMPARE(server_.requests(), QStringList{"/scripts.html"});  // nor does the page move
    }

    // After a hover text that is no web address, nothing catches the next navigation.
    void laterNavigationIsNotDiverted_data()
    {
        QTest::addColumn<QString>("reported");  // empty: a link was hovered, then left
        QTest::addColumn<bool>("byStart");  // else the page navigates by script
        QTest::newRow("hover ended, Start") << QString() << true;
        QTest::newRow("hover ended, script") << QString() << false;
        QTest::newRow("capitalised HTTP, script") << "HTTP://127.0.0.1:1/caps.html" << false;
    }
    void laterNavigationIsNotDiverted()
    {
        QFETCH(QString, reported);
        QFETCH(bool, byStart);
        QVERIFY(!load().isEmpty());
        if (reported.isEmpty())
            QVERIFY(!hover("link").isEmpty());
        // Qt WebEngine sometimes stops reporting hover changes right after a
        // load, so the test reports the pointer leaving the link itself.
        QCursor::setPos(panel_->mapToGlobal(ParkingSpot));
        Q_EMIT page()->linkHovered(reported);
        server_.clearRequests();

        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        if (byStart)
            panel_->Start();
        else
            js("location.href = '/plain.html'");
        QTRY_VERIFY2_WITH_TIMEOUT(!loaded.isEmpty() && loaded.last().at(0).toBool(),
                                  qPrintable(server_.requests().join(' ') + " | " + opened_.join(' ')), Timeout);
        QVERIFY2(opened_.isEmpty(), qPrintable(opened_.join(' ')));
        QCOMPARE(server_.requests().size(), 1);
        QVERIFY(server_.requests().first().startsWith(byStart ? "/reklama/" : "/plain.html"));
        QCOMPARE(page()->url().path(), server_.requests().first());
    }

    // A page that objects to being left, once the user has clicked in it,
    // neither asks nor keeps the next advertisement out.
    void leavingIsNeverRefused()
    {
        QCOMPARE(load("/unload.html"), QStringLiteral("/unload.html"));
        click(ParkingSpot);  // the user's gesture, which arms the objection
        QTest::qWait(300);
        server_.clearRequests();
        QCOMPARE(load().section(u'/', 0, 1), QStringLiteral("/reklama"));
        QCOMPARE(server_.requests().size(), 1);
        QVERIFY(opened_.isEmpty());
    }

    // A page behind a password is asked for once and refused, with no dialog.
    void passwordPageAskedOnce()
    {
        panel_->setReklamaURL(server_.url("/locked/").toString());
        load();
        QTest::qWait(1000);
        QCOMPARE(server_.requests().size(), 1);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    void failedLoadShowsNoErrorPage()
    {
        // A port nothing listens on any more: the connection is refused.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        panel_->setReklamaURL(QStringLiteral("http://127.0.0.1:%1/reklama/").arg(probe.serverPort()));
        probe.close();
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        panel_->Start();
        QVERIFY(!loaded.isEmpty() || loaded.wait(Timeout));
        QCOMPARE(loaded.first().at(0).toBool(), false);
        // The panel keeps what it showed; no error text of the browser's.
        QCOMPARE(js("document.body.innerText").toString(), QStringLiteral("Радиоприёмник Tolva"));
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
