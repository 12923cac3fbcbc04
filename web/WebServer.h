// The web page's server: the live page of the meter for a browser (a phone, a second screen) and
// a small JSON API for scripts, read-only, on the caller's event loop.
//
//   /               the page (one HTML file from the resources: script and style inside)
//   /events         Server-Sent Events: "refresh", "row", "reading", "status"
//   /api/reading    the latest decoded reading
//   /api/rows       ?since=N&limit=M: the kept rows after sequence N, at most kMaxRowsAsked
//   /api/status     title, link, rows, first, last, clients, statistics
//   /readings.csv   the rows as CSV, written as the client takes them
//
// An HTTP/1.1 server of its own on QTcpServer, so that it counts its clients as it accepts them
// (kMaxClients; one more is answered 503 and closed), watches what waits on each socket and
// bounds the request heads before any of their bytes is parsed. With a token, every request
// must carry it: in the query (?token=, which also sets a cookie), the cookie or an
// "Authorization: Bearer" header; else 401.
#pragma once

#include "CsvStream.h"
#include "HttpConnection.h"
#include "WebFeed.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>

#include <functional>
#include <memory>
#include <set>

namespace dmm::web {

class WebServer : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 32;
    static constexpr int kReplayRows = 500;
    static constexpr int kMaxRowsAsked = 1000;
    static constexpr const char* kCookie = "dmm_token";

    using CsvSource = std::function<std::unique_ptr<CsvStream>()>;
    WebServer(WebFeed& feed, std::function<QString()> title, CsvSource csv,
              QObject* parent = nullptr);
    ~WebServer() override;

    // Listens; `token` empty: none asked. An error text, empty on success.
    QString start(const QHostAddress& address, quint16 port, const QByteArray& token);
    // http://HOST:PORT/ with the port taken; the token is not in it.
    QString url() const;
    void setCsvSource(CsvSource csv) { csv_ = std::move(csv); }
    int clients() const { return static_cast<int>(connections_.size()); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void serve(HttpConnection* c, const HttpRequest& r);
    bool allowed(const HttpRequest& r) const;
    void servePage(HttpConnection* c, const QByteArray& headers);
    void serveEvents(HttpConnection* c, const HttpRequest& r, const QByteArray& headers);
    void serveRows(HttpConnection* c, const HttpRequest& r, const QByteArray& headers);
    QByteArray refreshEvent() const;
    QByteArray status() const;
    void broadcast(const QByteArray& event);
    void tick();

    WebFeed& feed_;
    std::function<QString()> title_;
    CsvSource csv_;
    QByteArray token_;
    std::set<HttpConnection*> connections_;
    int refused_ = 0; // answered 503 and not yet closed
    QTimer second_;
    QByteArray lastStatus_;
};

} // namespace dmm::web
