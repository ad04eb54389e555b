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

// Entries of an already downloaded playlist, relative ones resolved against base: network
// addresses only (http, https, icy, icyx, mms, mmsh, rtsp), at most MaxPlaylistEntries.
// Empty when the text is no playlist of that kind or lists nothing.
QStringList parsePlaylist(const QByteArray& text, PlaylistKind kind, const QUrl& base);
inline constexpr int MaxPlaylistEntries = 100;
