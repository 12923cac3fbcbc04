// The web page as the window and dmm log start it with --http [ADDR:]PORT: the feed (a sink to
// attach to the pipeline), the server, and the token, which is asked only beyond this machine:
// on 127.0.0.1 or ::1 anyone who can reach the port is already logged in here.
#pragma once

#include "WebFeed.h"
#include "WebServer.h"

#include <QHostAddress>
#include <QString>

#include <functional>

namespace dmm::web {

class WebPage {
public:
    // `linkUp`: whether the link shows a link (WebFeed); `title`: the page's title; `csv`: the
    // rows of /readings.csv.
    WebPage(std::function<bool()> linkUp, std::function<QString()> title, WebServer::CsvSource csv);

    WebFeed& feed() { return feed_; }
    WebServer& server() { return server_; }
    // Listens on `address`:`port` (0: a free port); an error text, empty on success.
    QString start(const QHostAddress& address, quint16 port);
    // The address to open: http://HOST:PORT/, with ?token=... when one is asked.
    QString openUrl() const;
    // One line for the link tooltip and standard error: "Web page on http://...".
    QString note() const { return QStringLiteral("Web page on %1").arg(openUrl()); }

private:
    WebFeed feed_;
    WebServer server_;
    QByteArray token_;
};

} // namespace dmm::web
