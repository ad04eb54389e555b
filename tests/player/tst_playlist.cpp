// What real servers send that the end-to-end rows in tst_player do not: lists and streams under
// the wrong names and types, and lists that once hung the parser library or reached outside.
// Each answer is read as the player reads it: its kind from type, address and text, then the
// entries of that kind.
#include "PlaylistParser.h"

#include <QTest>

Q_DECLARE_METATYPE(PlaylistKind)

class TestPlaylist : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reads_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<PlaylistKind>("kind");
        QTest::addColumn<QStringList>("entries");
        const QString list = QStringLiteral("http://h/dir/list"), m3u = QStringLiteral("http://h/dir/list.m3u");
        const QStringList one{QStringLiteral("http://a/1")};
        QTest::newRow("m3u as text/plain: relative resolved, stream schemes only")
            << QByteArray("text/plain") << list
            << QByteArray("#EXTM3U\n#EXTINF:-1,One\nhttp://a/1\n\nrel/2.mp3\r\nfile:///etc/passwd\n/dev/dsp\nfd://0\n"
                          "udp://1.2.3.4:5\nsmb://h/s\nmms://a/w\nicy://a/i\n")
            << PlaylistKind::M3u << QStringList{"http://a/1", "http://h/dir/rel/2.mp3", "mms://a/w", "icy://a/i"};
        QTest::newRow("bare address list") << QByteArray() << list << QByteArray("http://a/1\n") << PlaylistKind::M3u << one;
        // The library would look for a file key it counted but cannot find, for ever.
        QTest::newRow("pls by type with charset") << QByteArray("audio/x-scpls; charset=utf-8") << list << QByteArray()
                                                  << PlaylistKind::Pls << QStringList{};
        // The library would look for a file key it counted but cannot find, for ever.
        QTest::newRow("pls, repeated and uncountable file keys")
            << QByteArray("text/html") << list
            << QByteArray("[playlist]\nFile2=http://a/2\nFile1=http://a/0\nFileName=x\nfile1=http://a/1\r\n File01=y\nFile3 =z\n")
            << PlaylistKind::Pls << QStringList{"http://a/1", "http://a/2"};
        // ... and for the end of a comment that never comes.
        QTest::newRow("asx, odd case, BOM, comment left open")
            << QByteArray("video/x-ms-asf") << list
            << QByteArray("\xef\xbb\xbf<Asx version=\"3.0\"><TITLE>Rock <!-- x</TITLE><ENTRY><REF HREF=\"http://a/s\"/></ENTRY></ASX>")
            << PlaylistKind::Asx << QStringList{};
        QTest::newRow("xspf") << QByteArray("application/xml") << list
                              << QByteArray("<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
                                            "<track><location>http://a/1</location></track></trackList></playlist>")
                              << PlaylistKind::Xspf << one;
        QTest::newRow("asf stream named like a list") << QByteArray("video/x-ms-asf") << "http://h/x.asx"
                                                      << QByteArray("0&\xb2u\x8e\x66\xcf\x11") << PlaylistKind::None << QStringList{};
        QTest::newRow("mp3 under .m3u name") << QByteArray("audio/mpeg") << m3u << QByteArray("\xff\xfb\x90\x64")
                                             << PlaylistKind::None << QStringList{};
        QTest::newRow("unknown type, list by name") << QByteArray("application/octet-stream") << m3u << QByteArray()
                                                    << PlaylistKind::M3u << QStringList{};
        QByteArray many;
        QStringList first;
        for (int i = 0; i < MaxPlaylistEntries + 5; ++i) {
            many += "http://a/" + QByteArray::number(i) + "\n";
            if (i < MaxPlaylistEntries)
                first << QStringLiteral("http://a/%1").arg(i);
        }
        QTest::newRow("cut to the first entries") << QByteArray() << list << many << PlaylistKind::M3u << first;
    }

    void reads()
    {
        QFETCH(QByteArray, type);
        QFETCH(QString, url);
        QFETCH(QByteArray, text);
        QFETCH(PlaylistKind, kind);
        QFETCH(QStringList, entries);
        QCOMPARE(detectPlaylist(type, QUrl(url), text), kind);
        if (kind != PlaylistKind::None)
            QCOMPARE(parsePlaylist(text, kind, QUrl(url)), entries);
    }
};

QTEST_APPLESS_MAIN(TestPlaylist)
#include "tst_playlist.moc"
