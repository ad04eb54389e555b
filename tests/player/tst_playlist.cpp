#include "PlaylistParser.h"

#include <QTest>

class TestPlaylist : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void detects_data();
    void detects();
    void parses_data();
    void parses();
};

void TestPlaylist::detects_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("kind");
    const QString m3u = QStringLiteral("http://h/x.m3u");
    QTest::newRow("m3u by content under any name") << QByteArray("text/plain") << "http://h/x" << QByteArray("#EXTM3U\nhttp://h/s\n") << int(PlaylistKind::M3u);
    QTest::newRow("bare address list") << QByteArray() << "http://h/x" << QByteArray("http://h/s\n") << int(PlaylistKind::M3u);
    QTest::newRow("pls by type") << QByteArray("audio/x-scpls; charset=utf-8") << "http://h/x" << QByteArray() << int(PlaylistKind::Pls);
    QTest::newRow("pls by content") << QByteArray("text/html") << "http://h/x" << QByteArray("\n[Playlist]\nFile1=a") << int(PlaylistKind::Pls);
    QTest::newRow("asx, odd case, BOM") << QByteArray("video/x-ms-asf") << "http://h/x" << QByteArray("\xef\xbb\xbf<Asx version=3>") << int(PlaylistKind::Asx);
    QTest::newRow("xspf") << QByteArray("application/xml") << "http://h/x" << QByteArray("<?xml version=\"1.0\"?><playlist>") << int(PlaylistKind::Xspf);
    QTest::newRow("asf stream named like a list") << QByteArray("video/x-ms-asf") << "http://h/x.asx" << QByteArray("0&\xb2u\x8e\x66\xcf\x11") << int(PlaylistKind::None);
    QTest::newRow("mp3 under .m3u name") << QByteArray("audio/mpeg") << m3u << QByteArray("\xff\xfb\x90\x64") << int(PlaylistKind::None);
    QTest::newRow("unknown type, list by name") << QByteArray("application/octet-stream") << m3u << QByteArray("junk") << int(PlaylistKind::M3u);
    QTest::newRow("plain stream") << QByteArray("audio/aacp") << "http://h/" << QByteArray("\xff\xf1") << int(PlaylistKind::None);
}

void TestPlaylist::detects()
{
    QFETCH(QByteArray, type);
    QFETCH(QString, url);
    QFETCH(QByteArray, head);
    QFETCH(int, kind);
    QCOMPARE(int(detectPlaylist(type, QUrl(url), head)), kind);
}

void TestPlaylist::parses_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("m3u, relative and absolute")
        << QByteArray("#EXTM3U\n#EXTINF:-1,One\nhttp://a/1\n\nrel/2.mp3\r\n") << int(PlaylistKind::M3u)
        << QStringList{"http://a/1", "http://h/dir/rel/2.mp3"};
    QTest::newRow("pls in order")
        << QByteArray("[playlist]\nNumberOfEntries=2\nFile1=http://a/1\nFile2=http://a/2\n") << int(PlaylistKind::Pls)
        << QStringList{"http://a/1", "http://a/2"};
    // The library would look for a file key it counted but cannot find, for ever.
    QTest::newRow("pls, repeated and uncountable file keys")
        << QByteArray("[playlist]\nFile1=http://a/0\nFileName=x\nfile1=http://a/1\r\n File01=y\nFile2 =z\n") << int(PlaylistKind::Pls)
        << QStringList{"http://a/1"};
    QTest::newRow("asx with bare & and odd case")
        << QByteArray("<ASX version=\"3.0\"><TITLE>Rock & Roll</TITLE><Entry><ref HREF=\"http://a/s?x=1&y=2\"/></Entry>"
                      "<ENTRY><REF href=\"http://a/t\"/></ENTRY></ASX>")
        << int(PlaylistKind::Asx) << QStringList{"http://a/s?x=1&y=2", "http://a/t"};
    // ... and for the end of a comment that never comes.
    QTest::newRow("asx, comment left open")
        << QByteArray("<ASX version=\"3.0\"><TITLE>Rock <!-- x</TITLE><ENTRY><REF HREF=\"http://a/s\"/></ENTRY></ASX>")
        << int(PlaylistKind::Asx) << QStringList{};
    QTest::newRow("xspf")
        << QByteArray("<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
                      "<track><location>http://a/1</location></track></trackList></playlist>")
        << int(PlaylistKind::Xspf) << QStringList{"http://a/1"};
    QTest::newRow("empty") << QByteArray("\n \n") << int(PlaylistKind::M3u) << QStringList{};
    QTest::newRow("only stream schemes are followed")
        << QByteArray("file:///etc/passwd\n/dev/dsp\nfd://0\nudp://1.2.3.4:5\nsmb://h/s\nmms://a/w\nicy://a/i\n")
        << int(PlaylistKind::M3u) << QStringList{"mms://a/w", "icy://a/i"};
    QByteArray thousands;
    for (int i = 0; i < 10000; ++i)
        thousands += "http://a/" + QByteArray::number(i) + "\n";
    QStringList first;
    for (int i = 0; i < MaxPlaylistEntries; ++i)
        first << QStringLiteral("http://a/%1").arg(i);
    QTest::newRow("cut to the first entries") << thousands << int(PlaylistKind::M3u) << first;
    QTest::newRow("broken xml") << QByteArray("<asx><entry><ref href=") << int(PlaylistKind::Asx) << QStringList{};
}

void TestPlaylist::parses()
{
    QFETCH(QByteArray, text);
    QFETCH(int, kind);
    QFETCH(QStringList, entries);
    QCOMPARE(parsePlaylist(text, PlaylistKind(kind), QUrl(QStringLiteral("http://h/dir/list"))), entries);
}

QTEST_APPLESS_MAIN(TestPlaylist)
#include "tst_playlist.moc"
