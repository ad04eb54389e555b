#include "LoadRadioM.h"
#include "clsRadio.h"
#include "tolva_config.h"

#include <QtTest>

#include <stdexcept>

class TestCatalog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void boundsAndExceptions()
    {
        clsRadio radio;
        QCOMPARE(radio.KolRadio(), 0);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(0, 1));  // no array before Start
        radio.Start();
        QCOMPARE(radio.KolRadio(), -1);
        for (const char* name : {"one", "two", "three", "two"})
            radio.NewRadio(name, QStringLiteral("http://a/") + name, "x", "y", "z");
        QCOMPARE(radio.KolRadio(), 3);
        QCOMPARE(radio.List(2, 0), QStringLiteral("http://a/three"));
        QCOMPARE(radio.FoundNomer("two"), 1);  // the first of equal names
        QCOMPARE(radio.FoundNomer("Two"), -1);
        for (const auto& [n, k] : {std::pair{4, 0}, {-1, 0}, {0, 5}, {0, -1}})
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(n, k));
        radio.setKolRadio(std::numeric_limits<qint32>::max());
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, radio.NewRadio("five", "v", "", "", ""));
        QCOMPARE(radio.List(0, 1), QStringLiteral("one"));
        radio.Start();
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(1, 0));
    }

    // Every built-in station on the host given for its kind (the configured one by
    // default: A for .m3u, B for the raw stream, C for .asx), found by its name;
    // loading again replaces the list.
    void builtInList()
    {
        const QStringList configured{TolvaConfig::StreamHostA, TolvaConfig::StreamHostB, TolvaConfig::StreamHostC};
        LoadRadio();
        const qint32 last = Radio().KolRadio();
        for (const QStringList& hosts : {configured, QStringList{"a.test", "b.test", "c.test"}}) {
            if (hosts != configured)
                LoadRadio(StreamHosts{hosts[0], hosts[1], hosts[2]});
            QCOMPARE(Radio().KolRadio(), last);
            for (int n = 0; n <= last; ++n) {
                const QString url = Radio().List(n, 0);
                QCOMPARE(QUrl(url).host(), hosts[url.endsWith(".m3u") ? 0 : url.endsWith(".asx") ? 2 : 1]);
                QCOMPARE(Radio().FoundNomer(Radio().List(n, 1)), n);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalog)
#include "tst_catalog.moc"
