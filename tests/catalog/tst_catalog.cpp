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
        QCOMPARE(radio.List(0, 1), QString());
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(1, 1));
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
        QCOMPARE(radio.KolRadio(), std::numeric_limits<qint32>::max());
        QCOMPARE(radio.List(0, 1), QStringLiteral("one"));
        radio.Start();
        QCOMPARE(radio.KolRadio(), -1);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(1, 0));
    }

    // All 17 rows, all five fields, trailing blanks included; loading twice keeps 17.
    void builtInTable()
    {
        LoadRadio();
        QCOMPARE(Radio().List(1, 0),
                 QStringLiteral("http://") + TolvaConfig::StreamHostA + "/online/moskva_fm/best_fm_online.m3u");
        QCOMPARE(Radio().List(4, 0), QStringLiteral("http://") + TolvaConfig::StreamHostB + ":4570/");
        LoadRadio(StreamHosts{"host-a.test", "host-b.test", "host-c.test"});
        const QString m = "http://host-a.test/online/moskva_fm/";
        const QStringList rows[] = {
            {"98 и 8 хитов", "интернет", "Москва", "музыка", m + "98_8_fm_online.m3u"},
            {"Best FM", "интернет", "Москва", "?", m + "best_fm_online.m3u"},
            {"Business FM", "Москва", "87.5 FM", "бизнес", m + "biznes_fm_online.m3u"},
            {"NewTone FM", "интернет", "Москва", "музыка, новости", m + "newtone_fm_online.m3u"},
            {"Дикое Радио", "Москва ", "интернет", "рок", "http://host-b.test:4570/"},
            {"КЕКС FM", "Москва", "89.9 FM", "поп, юмор", m + "keks_fm_online.m3u"},
            {"Максимум", "Москва ", "103.7 FM", "музыка", m + "maximum_online.m3u"},
            {"Мегаполис FM", "интернет", "Москва", "поп музыка", m + "megapolis_fm_online.m3u"},
            {"Мелодия", "Санкт-Петербург ", "91.1 FM", "ретро",
             "http://host-c.test/asx/radio/radiostation/radiomelody/melody_32.asx"},
            {"Наше Радио", "Москва ", "101.7 FM", "рок", m + "nashe_fm_online.m3u"},
            {"Радио Звезда", "Москва", "интернет", "новости", m + "radio_zvezda_online.m3u"},
            {"Радио Карнавал", "интернет", "Москва", "музыка", m + "karnaval_fm_online.m3u"},
            {"Ретро FM", "Москва", "интернет", "ретро 70-90 годы", m + "retro_fm_online.m3u"},
            {"Рок НА Радио", "интернет", "Москва", "рок", m + "95_2_fm_online.m3u"},
            {"Русское Радио", "Москва ", "105.7 FM", "музыка", m + "russkoe_online.m3u"},
            {"Серебряный Дождь", "Москва ", "101.1 FM", "музыка", m + "silver_rain_online.m3u"},
            {"Шансон", "Москва ", "103.0 FM", "шансон", m + "shanson_fm_online.m3u"},
        };
        QCOMPARE(Radio().KolRadio(), 16);
        for (int n = 0; n < 17; ++n) {
            const QStringList got{Radio().List(n, 1), Radio().List(n, 2), Radio().List(n, 3), Radio().List(n, 4),
                                  Radio().List(n, 0)};
            QCOMPARE(got, rows[n]);
        }
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, Radio().List(17, 1));
        QCOMPARE(Radio().FoundNomer("Шансон"), 16);
    }
};

QTEST_GUILESS_MAIN(TestCatalog)
#include "tst_catalog.moc"
