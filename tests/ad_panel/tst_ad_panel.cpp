#include "page_server.h"
#include "program_folder.h"
#include "usrReklamaX.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
constexpr int Timeout = 15000;
// A point of the panel beside and below the links of every test page.
constexpr QPoint ParkingSpot(310, 68);

QByteArray AdPage(int n)
{
    // Two links side by side filling the 625 x 73 panel: one followed in
    // place, one that asks for a new window.
    return QStringLiteral(
               "<html><body style='margin:0'>"
               "<a id='link' href='/target/%1.html' style='position:absolute;left:10px;top:6px;width:290px;"
               "height:60px;display:block'>Реклама %1</a>"
               "<a id='blank' href='/blank/%1.html' target='_blank' style='position:absolute;left:320px;"
               "top:6px;width:290px;height:54px;display:block'>Новое окно</a>"
               "</body></html>")
        .arg(n)
        .toUtf8();
}

// The address a redirect page sends the user's browser to.
QString RedirectTarget(const QByteArray& page)
{
    static const QRegularExpression target(QStringLiteral("url=(.*)'><meta http-equiv='Content-Type'"));
    QString address = target.match(QString::fromLatin1(page)).captured(1);
    return address.replace(QLatin1String("&amp;"), QLatin1String("&"));
}
}  // namespace

class TestAdPanel : public QObject {
    Q_OBJECT

    PageServer server_;
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<QWidget> window_;
    usrReklamaX* panel_ = nullptr;
    // Addresses handed to the user's browser, read from the redirect pages
    // at the moment each was opened.
    QStringList opened_;
    // The browser's latest hover text.
    QString hoverText_;

    QWebEnginePage* page() const { return panel_->WebBrowser1->page(); }

    QVariant js(const QString& code)
    {
        auto result = std::make_shared<std::optional<QVariant>>();
        page()->runJavaScript(code, [result](const QVariant& v) { *result = v; });
        if (!QTest::qWaitFor([&] { return result->has_value(); }, Timeout))
            return QStringLiteral("<no answer>");
        return **result;
    }

    bool waitLoaded(QSignalSpy& spy) { return !spy.isEmpty() || spy.wait(Timeout); }

    // Loads an advertisement page with Start(); returns its path.
    QString startAndWait()
    {
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        panel_->Start();
        if (!waitLoaded(loaded))
            return {};

        return page()->url().path();
    }

    QPoint centreOf(const QString& id)
    {
        const QVariantList r = js(QStringLiteral("(function(){var r=document.getElementById('%1')"
                                                 ".getBoundingClientRect();return [r.left+r.width/2,"
                                                 "r.top+r.height/2];})()")
                                      .arg(id))
                                   .toList();
        return r.size() == 2 ? QPoint(r[0].toInt(), r[1].toInt()) : QPoint();
    }

    QWidget* surface() const { return panel_->WebBrowser1->focusProxy(); }

    // Straight to the browser's input widget, which the view may replace
    // when a page moves to another renderer.
    void mouse(QEvent::Type type, const QPoint& at, Qt::MouseButton button = Qt::NoButton)
    {
        QWidget* target = surface();
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

    // Moves the pointer between two points until the browser's hover text
    // at the second is the wanted one (empty: no link). A page just loaded
    // may not take input yet, and may report a link where it last saw the
    // pointer; crossing from the other point sets it straight.
    bool pointAt(const QPoint& from, const QPoint& to, const std::function<bool(const QString&)>& wanted)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < Timeout) {
            mouse(QEvent::MouseMove, from);
            QTest::qWait(30);
            mouse(QEvent::MouseMove, to);
            QTest::qWait(60);
            if (wanted(hoverText_))
                return true;
        }
        return false;
    }

    QString hover(const QString& id)
    {
        return pointAt(ParkingSpot, centreOf(id), [](const QString& t) { return !t.isEmpty(); }) ? hoverText_
                                                                                                 : QString();
    }

public Q_SLOTS:
    void openFile(const QUrl& url)
    {
        QFile file(url.toLocalFile());
        opened_ << (file.open(QIODevice::ReadOnly) ? RedirectTarget(file.readAll()) : QStringLiteral("<unreadable>"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(server_.start());
        for (int n = 0; n < 5; ++n)
            server_.addPage(QStringLiteral("/reklama/%1.html").arg(n), AdPage(n));
        server_.addPage("/plain.html", "<html><body>plain</body></html>");
        server_.addPage("/secure.html",
                        "<html><body style='margin:0'><a id='link' href='https://127.0.0.1:1/s?q=1&amp;r=2' "
                        "style='display:block;width:600px;height:60px'>s</a></body></html>");
        // Nothing but a new-window link, away from where earlier cases left
        // the pointer: a page opened under a link reports it as hovered.
        server_.addPage("/blank.html",
                        "<html><body><a id='blank' href='/blank/x.html' target='_blank' style='position:absolute;"
                        "left:320px;top:6px;width:290px;height:54px;display:block'>b</a></body></html>");
        server_.addPage("/popup.html",
                        "<html><body><script>window.open('/opened.html'); document.title = 'asked';"
                        "</script></body></html>");
        server_.addPage("/dialogs.html",
                        "<html><body><script>alert('a'); var c = confirm('c'); var p = prompt('p', 'd');"
                        "document.title = c + '|' + p;</script></body></html>");
        server_.addPage("/mail.html",
                        "<html><body style='margin:0'><a id='link' href='mailto:a@127.0.0.1' "
                        "style='display:block;width:600px;height:60px'>m</a></body></html>");
        // A browser that uses its cache would not ask for these again.
        server_.setCacheSeconds(3600);
        QDesktopServices::setUrlHandler("file", this, "openFile");
        QDesktopServices::setUrlHandler("mailto", this, "openFile");
        QDesktopServices::setUrlHandler("http", this, "openFile");
        QDesktopServices::setUrlHandler("https", this, "openFile");
    }

    void init()
    {
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->isValid());
        SetProgramFolder(folder_->path());
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
        connect(page(), &QWebEnginePage::linkHovered, this, [this](const QString& text) { hoverText_ = text; });
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QVERIFY(waitLoaded(loaded));
        server_.clearRequests();
    }

    void cleanupTestCase()
    {
        for (const char* scheme : {"file", "mailto", "http", "https"})
            QDesktopServices::unsetUrlHandler(scheme);
    }

    void cleanup()
    {
        // Off every window, so that the next page does not open under it.
        QCursor::setPos(-1000, -1000);
        window_.reset();
        SetProgramFolder({});
    }

    void startPageShowsOnlyTheTitle()
    {
        QCOMPARE(page()->url().scheme(), QStringLiteral("data"));
        QCOMPARE(js("document.body.innerText").toString(), QStringLiteral("Радиоприёмник Tolva"));
        QCOMPARE(js("getComputedStyle(document.querySelector('font')).fontFamily").toString(),
                 QStringLiteral("\"Times New Roman\""));
        QCOMPARE(js("getComputedStyle(document.querySelector('font')).fontSize").toString(), QStringLiteral("32px"));
        QCOMPARE(js("document.documentElement.scrollHeight <= innerHeight"
                    " && document.documentElement.scrollWidth <= innerWidth")
                     .toBool(),
                 true);

        // The title is drawn, centred across the panel.
        QImage shot;
        int left = shot.width(), right = -1;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                shot = panel_->WebBrowser1->grab().toImage();
                left = shot.width();
                right = -1;
                for (int y = 0; y < shot.height(); ++y)
                    for (int x = 0; x < shot.width(); ++x)
                        if (qGray(shot.pixel(x, y)) < 96) {
                            left = std::min(left, x);
                            right = std::max(right, x);
                        }
                return right > left + 100;
            }(),
            Timeout);
        QVERIFY2(std::abs((left + right) / 2 - shot.width() / 2) <= 4, qPrintable(QString("%1..%2").arg(left).arg(right)));
        QVERIFY(server_.requests().isEmpty());
    }

    void startRequestsEachOfTheFivePagesAfresh()
    {
        QMap<QString, int> seen;
        for (int i = 0; i < 60; ++i) {
            QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
            panel_->Start();
            // Start only asks the browser; the page arrives later.
            QVERIFY(loaded.isEmpty());
            // Each one reaches the server, although the pages allow caching.
            QTRY_COMPARE_WITH_TIMEOUT(server_.requests().size(), i + 1, Timeout);
            QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty() && page()->url().path() == server_.requests().last(), Timeout);
            ++seen[server_.requests().last()];
        }
        QStringList expected;
        for (int n = 0; n < 5; ++n)
            expected << QStringLiteral("/reklama/%1.html").arg(n);
        QCOMPARE(seen.keys(), expected);
        QCOMPARE(server_.requests().size(), 60);
        QCOMPARE(js("document.getElementById('link').innerText").toString().left(8), QStringLiteral("Реклама "));
    }

    void clickedLinkOpensOutside_data()
    {
        QTest::addColumn<QString>("path");  // empty: an advertisement from Start()
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("clicks");
        QTest::newRow("link") << QString() << "link" << 1;
        QTest::newRow("double click") << QString() << "link" << 2;
        QTest::newRow("new-window link") << QString() << "blank" << 1;
        QTest::newRow("secure address with query") << "/secure.html"
                                                   << "link" << 1;
    }
    void clickedLinkOpensOutside()
    {
        QFETCH(QString, path);
        QFETCH(QString, id);
        QFETCH(int, clicks);
        if (path.isEmpty()) {
            path = startAndWait();
        } else {
            QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
            page()->load(server_.url(path));
            QVERIFY(waitLoaded(loaded));
        }
        server_.clearRequests();
        const QString href = js(QStringLiteral("document.getElementById('%1').href").arg(id)).toString();
        const QString hovered = hover(id);
        QCOMPARE(QUrl(hovered), QUrl(href));

        for (int i = 0; i < clicks; ++i) {
            click(centreOf(id));
            QTRY_COMPARE_WITH_TIMEOUT(opened_.size(), i + 1, Timeout);
        }
        QCOMPARE(opened_, QStringList(clicks, hovered));
        QTest::qWait(300);
        QCOMPARE(opened_.size(), clicks);
        QCOMPARE(page()->url().path(), path);
        QVERIFY2(server_.requests().isEmpty(), qPrintable(server_.requests().join(' ')));
    }

    void nothingOpensWithoutHoveredLink_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("title");
        QTest::newRow("window.open") << "/popup.html" << QString() << "asked";
        QTest::newRow("new-window link followed by script")
            << "/blank.html" << "document.getElementById('blank').click()" << QString();
        QTest::newRow("mailto link") << "/mail.html" << "click" << QString();
    }
    void nothingOpensWithoutHoveredLink()
    {
        QFETCH(QString, path);
        QFETCH(QString, action);
        QFETCH(QString, title);
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        page()->load(server_.url(path));
        QVERIFY(waitLoaded(loaded));
        if (action == "click") {
            hover("link");
            click(centreOf("link"));
        } else if (!action.isEmpty()) {
            js(action);
        }
        if (!title.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(page()->title(), title, Timeout);
        QTest::qWait(500);
        QVERIFY2(opened_.isEmpty(), qPrintable(opened_.join(' ')));
        QCOMPARE(server_.requests(), QStringList{path});
        QCOMPARE(page()->url().path(), path);
    }

    void laterNavigationIsNotDiverted_data()
    {
        QTest::addColumn<bool>("hoverLink");
        QTest::addColumn<QString>("reported");  // a hover text the browser then reports
        QTest::addColumn<bool>("byStart");      // else the page navigates by script
        QTest::addColumn<bool>("diverted");
        const QString none = QStringLiteral("<none>");
        const QString caps = QStringLiteral("HTTP://127.0.0.1:1/caps.html");
        // The pointer leaving a link is reported as an empty hover text.
        // Qt WebEngine here sometimes stops reporting hover changes right
        // after a load, so the test reports it itself.
        QTest::newRow("hover ended, Start") << true << QString("") << true << false;
        QTest::newRow("hover ended, script") << true << QString("") << false << false;
        QTest::newRow("still hovering, Start") << true << none << true << false;
        QTest::newRow("still hovering, script") << true << none << false << true;
        QTest::newRow("capitalised HTTP, script") << false << caps << false << false;
    }
    void laterNavigationIsNotDiverted()
    {
        QFETCH(bool, hoverLink);
        QFETCH(QString, reported);
        QFETCH(bool, byStart);
        QFETCH(bool, diverted);
        QString first = QStringLiteral("/blank.html");
        if (hoverLink) {
            first = startAndWait();
        } else {
            QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
            page()->load(server_.url(first));
            QVERIFY(waitLoaded(loaded));
        }
        QVERIFY(!first.isEmpty());
        if (hoverLink)
            QVERIFY(!hover("link").isEmpty());
        if (reported != "<none>") {
            QCursor::setPos(panel_->mapToGlobal(ParkingSpot));
            Q_EMIT page()->linkHovered(reported);
        }
        server_.clearRequests();

        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        if (byStart)
            panel_->Start();
        else
            js("location.href = '/plain.html'");
        if (diverted) {
            QTRY_COMPARE_WITH_TIMEOUT(opened_.size(), 1, Timeout);
            QTest::qWait(300);
            QCOMPARE(page()->url().path(), first);
            QCOMPARE(server_.requests(), QStringList());
        } else {
            QTRY_VERIFY2_WITH_TIMEOUT(!loaded.isEmpty() && loaded.last().at(0).toBool(),
                                      qPrintable(QStringLiteral("loads %1, requests %2, opened %3, at %4")
                                                     .arg(loaded.size())
                                                     .arg(server_.requests().join(' '), opened_.join(' '),
                                                          page()->url().toString())),
                                      Timeout);
            QVERIFY2(opened_.isEmpty(), qPrintable(opened_.join(' ')));
            QCOMPARE(server_.requests().size(), 1);
            QVERIFY(server_.requests().first().startsWith(byStart ? "/reklama/" : "/plain.html"));
            QCOMPARE(page()->url().path(), server_.requests().first());
            QVERIFY(opened_.isEmpty());
        }
    }

    void scriptDialogsAreAnsweredSilently()
    {
        QSignalSpy loaded(page(), &QWebEnginePage::loadFinished);
        page()->load(server_.url("/dialogs.html"));
        QVERIFY(waitLoaded(loaded));
        QTRY_COMPARE_WITH_TIMEOUT(page()->title(), QStringLiteral("false|null"), Timeout);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!qobject_cast<QDialog*>(w) || !w->isVisible(), qPrintable(w->windowTitle()));
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
        QVERIFY(waitLoaded(loaded));
        QCOMPARE(loaded.first().at(0).toBool(), false);
        // The panel keeps what it showed; no error text of the browser's.
        QCOMPARE(js("document.body.innerText").toString(), QStringLiteral("Радиоприёмник Tolva"));
    }

    void resizeFollowsThePanelUnlessMinimized_data()
    {
        QTest::addColumn<bool>("minimized");
        QTest::newRow("normal") << false;
        QTest::newRow("minimized") << true;
    }
    void resizeFollowsThePanelUnlessMinimized()
    {
        QFETCH(bool, minimized);
        QCOMPARE(panel_->WebBrowser1->geometry(), QRect(0, 0, 625, 73));
        if (minimized)
            window_->setWindowState(Qt::WindowMinimized);
        panel_->resize(400, 50);
        QCOMPARE(panel_->WebBrowser1->geometry(), minimized ? QRect(0, 0, 625, 73) : QRect(0, 0, 400, 50));
    }
};

QTEST_MAIN(TestAdPanel)
#include "tst_ad_panel.moc"
