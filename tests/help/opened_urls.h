#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QUrl>

#include <functional>

// Stands in for the desktop's default handlers while a test runs: what the
// code under test asks the desktop to open is recorded instead of opened.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls() { for (const char* scheme : Schemes) QDesktopServices::setUrlHandler(scheme, this, "open"); }
    ~OpenedUrls() override { for (const char* scheme : Schemes) QDesktopServices::unsetUrlHandler(scheme); }

    QList<QUrl> urls;
    std::function<void(const QUrl&)> onOpen;  // runs at the moment of opening

public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url), onOpen ? onOpen(url) : void(); }

private:
    static constexpr const char* Schemes[] = {"file", "http", "https", "mailto"};
};
