#include "PlaylistParser.h"

#include <QTest>

Q_DECLARE_METATYPE(PlaylistKind)

class TestPlaylist : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void detects_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<PlaylistKind>("kind");
        const QString m3u = QStringLiteral("http://h/x.m3u"), x = QStringLiteral("http://h/x");
        QTest::newRow("m3u by content under any name") << QByteArray("text/plain") << x << QByteArray("#EXTM3U\nhttp://h/s\n") << PlaylistKind::M3u;
        QTest::newRow("bare address list") << QByteArray() << x << QByteArray("http://h/s\n") << PlaylistKind::M3u;
        QTest::newRow("pls by type") << QByteArray("audio/x-scpls; charset=utf-8") << x << QByteArray() << PlaylistKind::Pls;
        QTest::newRow("pls by content") << QByteArray("text/html") << x << QByteArray("\n[Playlist]\nFile1=a") << PlaylistKind::Pls;
        QTest::newRow("asx, odd case, BOM") << QByteArray("video/x-ms-asf") << x << QByteArray("\xef\xbb\xbf<Asx version=3>") << PlaylistKind::Asx;
        QTest::newRow("xspf") << QByteArray("application/xml") << x << QByteArray("<?xml version=\"1.0\"?><playlist>") << PlaylistKind::Xspf;
        QTest::newRow("asf stream named like a list") << QByteArray("video/x-ms-asf") << "http://h/x.asx" << QByteArray("0&\xb2u\x8e\x66\xcf\x11") << PlaylistKind::None;
        QTest::newRow("mp3 under .m3u name") << QByteArray("audio/mpeg") << m3u << QByteArray("\xff\xfb\x90\x64") << PlaylistKind::None;
        QTest::newRow("unknown type, list by name") << QByteArray("application/octet-stream") << m3u << QByteArray("junk") << PlaylistKind::M3u;
        QTest::newRow("plain stream") << QByteArray("audio/aacp") << "http://h/" << QByteArray("\xff\xf1") << PlaylistKind::None;
    }

    void detects()
    {
        QFETCH(QByteArray, type);
        QFETCH(QString, url);
        QFETCH(QByteArray, head);
        QFETCH(PlaylistKind, kind);
        QCOMPARE(detectPlaylist(type, QUrl(url), head), kind);
    }

    void parses_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<PlaylistKind>("kind");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("m3u, relative and absolute")
            << QByteArray("#EXTM3U\n#EXTINF:-1,One\nhttp://a/1\n\nrel/2.mp3\r\n") << PlaylistKind::M3u
            << QStringList{"http://a/1", "http://h/dir/rel/2.mp3"};
        QTest::newRow("pls in order") << QByteArray("[playlist]\nNumberOfEntries=2\nFile1=http://a/1\nFile2=http://a/2\n")
                                      << PlaylistKind::Pls << QStringList{"http://a/1", "http://a/2"};
        // The library would look for a file key it counted but cannot find, for ever.
        QTest::newRow("pls, repeated and uncountable file keys")
            << QByteArray("[playlist]\nFile1=http://a/0\nFileName=x\nfile1=http://a/1\r\n File01=y\nFile2 =z\n")
            << PlaylistKind::Pls << QStringList{"http://a/1"};
        QTest::newRow("asx with bare & and odd case")
            << QByteArray("<ASX version=\"3.0\"><TITLE>Rock & Roll</TITLE><Entry><ref HREF=\"http://a/s?x=1&y=2\"/></Entry>"
                          "<ENTRY><REF href=\"http://a/t\"/></ENTRY></ASX>")
            << PlaylistKind::Asx << QStringList{"http://a/s?x=1&y=2", "http://a/t"};
        // ... and for the end of a comment that never comes.
        QTest::newRow("asx, comment left open")
            << QByteArray("<ASX version=\"3.0\"><TITLE>Rock <!-- x</TITLE><ENTRY><REF HREF=\"http://a/s\"/></ENTRY></ASX>")
            << PlaylistKind::Asx << QStringList{};
        QTest::newRow("xspf")
            << QByteArray("<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
                          "<track><location>http://a/1</location></track></trackList></playlist>")
            << PlaylistKind::Xspf << QStringList{"http://a/1"};
        QTest::newRow("empty") << QByteArray("\n \n") << PlaylistKind::M3u << QStringList{};
        QTest::newRow("only stream schemes are followed")
            << QByteArray("file:///etc/passwd\n/dev/dsp\nfd://0\nudp://1.2.3.4:5\nsmb://h/s\nmms://a/w\nicy://a/i\n")
            << PlaylistKind::M3u << QStringList{"mms://a/w", "icy://a/i"};
        QByteArray thousands;
        QStringList first;
        for (int i = 0; i < 10000; ++i) {
            thousands += "http://a/" + QByteArray::number(i) + "\n";
            if (i < MaxPlaylistEntries)
                first << QStringLiteral("http://a/%1").arg(i);
        }
        QTest::newRow("cut to the first entries") << thousands << PlaylistKind::M3u << first;
        QTest::newRow("broken xml") << QByteArray("<asx><entry><ref href=") << PlaylistKind::Asx << QStringList{};
    }

    void parses()
    {
        QFETCH(QByteArray, text);
        QFETCH(PlaylistKind, kind);
        QFETCH(QStringList, entries);
        QCOMPARE(parsePlaylist(text, kind, QUrl(QStringLiteral("http://h/dir/list"))), entries);
    }
};

QTEST_APPLESS_MAIN(TestPlaylist)
#include "tst_playlist.moc"
