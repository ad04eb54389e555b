#pragma once

#include "stream_server.h"

#include <QUrl>

// The pages of tests that drive a real browser, which takes addresses as QUrl.
class PageServer : public StreamServer {
public:
    bool start() { return StreamServer::start() != 0; }
    QUrl url(const QString& path) const { return QUrl(StreamServer::url(path)); }
};
