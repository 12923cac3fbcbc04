// One HTTP/1.1 request head as the web page's server reads it: only what a read-only server
// needs (GET and HEAD, a path, a query, a few headers), within fixed bounds, so that no client
// can make the server hold more than kMaxHead bytes of one head.
#pragma once

#include <QByteArray>
#include <QMap>

namespace dmm::web {

struct HttpRequest {
    static constexpr int kMaxHead = 8 * 1024;
    static constexpr int kMaxTarget = 2 * 1024;

    QByteArray method;
    QByteArray path;                      // percent-decoded; never holds a decoded '/' (see parse)
    QMap<QByteArray, QByteArray> query;   // decoded names and values
    QMap<QByteArray, QByteArray> headers; // names in lower case
    bool keepAlive = true;

    // The head at the start of `buffer`: 0 while it is incomplete (and within kMaxHead), else
    // the HTTP status that refuses it (400, 405, 413, 414, 431, 505) or 200 with `used` set to
    // the length of the head.
    static int parse(const QByteArray& buffer, HttpRequest& out, qsizetype& used);
    // The value of cookie `name`, empty without one.
    QByteArray cookie(const QByteArray& name) const;
};

} // namespace dmm::web
