#include "LoadRadioM.h"
#include "clsRadio.h"
#include "tolva_config.h"

#include <QtTest>

#include <stdexcept>

class TestCatalog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyAfterStart()
    {
        clsRadio radio;
        QCOMPARE(radio.KolRadio(), 0);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(0, 1));  // no array before Start
        radio.Start();
        QCOMPARE(radio.KolRadio(), -1);
        QCOMPARE(radio.List(0, 1), QString());
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(1, 1));
        QCOMPARE(radio.FoundNomer(QString()), -1);
    }

    void boundsAfterThreeStations()
    {
        clsRadio radio;
        radio.Start();
        radio.NewRadio("one", "http://a/1", "x", "y", "z");
        radio.NewRadio("two", "http://a/2", "x", "y", "z");
        radio.NewRadio("three", "http://a/3", "x", "y", "z");
        QCOMPARE(radio.KolRadio(), 2);
        QCOMPARE(radio.List(2, 0), QStringLiteral("http://a/3"));
        QCOMPARE(radio.List(0, 1), QStringLiteral("one"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(3, 0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(-1, 0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(0, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(0, -1));
        radio.Start();
        QCOMPARE(radio.KolRadio(), -1);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, radio.List(1, 0));
    }

    void overflowLeavesCatalogUnchanged()
    {
        clsRadio radio;
        radio.Start();
        radio.NewRadio("one", "u", "", "", "");
        radio.setKolRadio(std::numeric_limits<qint32>::max());
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, radio.NewRadio("two", "v", "", "", ""));
        QCOMPARE(radio.KolRadio(), std::numeric_limits<qint32>::max());
        QCOMPARE(radio.List(0, 1), QStringLiteral("one"));
    }

    void fieldsComeBackUnchanged()
    {
        clsRadio radio;
        radio.Start();
        radio.NewRadio(" name ", "", "Москва ", "", "?");
        QCOMPARE(radio.List(0, 1), QStringLiteral(" name "));
        QCOMPARE(radio.List(0, 0), QString());
        QCOMPARE(radio.List(0, 2), QStringLiteral("Москва "));
        QCOMPARE(radio.List(0, 4), QStringLiteral("?"));
    }

    void foundNomer()
    {
        LoadRadio();
        QCOMPARE(Radio().FoundNomer("Best FM"), 1);
        QCOMPARE(Radio().FoundNomer("best fm"), -1);
        QCOMPARE(Radio().FoundNomer("Москва"), -1);
        QCOMPARE(Radio().FoundNomer("Шансон"), 16);

        clsRadio twins;
        twins.Start();
        twins.NewRadio("same", "first", "", "", "");
        twins.NewRadio("same", "second", "", "", "");
        QCOMPARE(twins.FoundNomer("same"), 0);
    }

    void builtInTable_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("otkuda");
        QTest::addColumn<QString>("chastota");
        QTest::addColumn<QString>("stil");
        QTest::addColumn<QString>("url");
        const QString a = "http://host-a.test";
        const QString m = a + "/online/moskva_fm/";
        struct Row { const char* n; const char* o; const char* c; const char* s; QString u; };
        const Row rows[] = {
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
        int i = 0;
        for (const Row& r : rows) {
            QTest::addRow("%d", i) << i << QString::fromUtf8(r.n) << QString::fromUtf8(r.o) << QString::fromUtf8(r.c)
                                   << QString::fromUtf8(r.s) << r.u;
            ++i;
        }
    }

    void builtInTable()
    {
        QFETCH(int, row);
        LoadRadio(StreamHosts{"host-a.test", "host-b.test", "host-c.test"});
        QCOMPARE(Radio().KolRadio(), 16);
        QTEST(Radio().List(row, 0), "url");
        QTEST(Radio().List(row, 1), "name");
        QTEST(Radio().List(row, 2), "otkuda");
        QTEST(Radio().List(row, 3), "chastota");
        QTEST(Radio().List(row, 4), "stil");
    }

    void loadTwiceKeepsSeventeen()
    {
        LoadRadio();
        LoadRadio();
        QCOMPARE(Radio().KolRadio(), 16);
        QCOMPARE(Radio().List(16, 1), QStringLiteral("Шансон"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, Radio().List(17, 1));
        QCOMPARE(Radio().List(1, 0),
                 QStringLiteral("http://") + TolvaConfig::StreamHostA + "/online/moskva_fm/best_fm_online.m3u");
        QCOMPARE(Radio().List(4, 0), QStringLiteral("http://") + TolvaConfig::StreamHostB + ":4570/");
    }
};

QTEST_GUILESS_MAIN(TestCatalog)
#include "tst_catalog.moc"
