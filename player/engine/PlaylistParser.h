#pragma once

#include <QByteArray>
#include <QStringList>
#include <QUrl>

enum class PlaylistKind { None, M3u, Pls, Asx, Xspf };

// Tells a playlist from a stream by what the server said and by the first bytes.
PlaylistKind detectPlaylist(const QByteArray& contentType, const QUrl& url, const QByteArray& head);

// Whether the content type alone says "audio, not a list".
bool isAudioContentType(const QByteArray& contentType);
// Windows Media's type, used for streams and for .asx lists.
bool isAsfContentType(const QByteArray& contentType);

// Addresses a station may stream from: http, https, mms, mmsh and icy.
bool isStreamAddress(const QUrl& url);
// Whether the address names a playlist file (.m3u, .pls, .asx, .xspf and kin).
bool isPlaylistAddress(const QUrl& url);
// An HTTP Live Streaming list: a stream for GStreamer, not a list of stations.
bool isHlsPlaylist(const QByteArray& text);

// Entries of an already downloaded playlist, relative ones resolved against base; only stream
// addresses, at most MaxPlaylistEntries of them.
// Empty when the text is no playlist of that kind or lists nothing.
constexpr int MaxPlaylistEntries = 16;
QStringList parsePlaylist(const QByteArray& text, PlaylistKind kind, const QUrl& base);
