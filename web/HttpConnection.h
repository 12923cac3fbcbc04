// One client of the web page's server: reads request heads (HttpRequest, bounded), hands each
// to the server, writes the answer, and carries the two long answers: the event stream and the
// CSV download. Requests on one connection are answered in turn (keep-alive, no pipelining of
// answers: the next head is read once the answer is written).
//
// Nothing waits on the client: bytes go to the socket's buffer. A client that does not read
// has its connection dropped once kMaxUnsent bytes wait for it; the CSV download writes its
// next piece only when less than kCsvAhead waits. A connection with no answer running and no
// complete head for kIdleMs is closed, so that a silent client does not keep its place.
#pragma once

#include "CsvStream.h"
#include "HttpRequest.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <memory>

class QTcpSocket;

namespace dmm::web {

class HttpConnection : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMaxUnsent = 1024 * 1024;
    static constexpr qint64 kCsvAhead = 256 * 1024;
    static constexpr qsizetype kCsvPiece = 64 * 1024;
    static constexpr int kIdleMs = 15'000;
    static constexpr int kLingerMs = 2000;

    HttpConnection(QTcpSocket* socket, QObject* parent);
    ~HttpConnection() override;

    // A plain answer with its body (not sent for HEAD). `headers`: more lines, each ending in
    // CR LF.
    void respond(int status, const QByteArray& type, const QByteArray& body,
                 const QByteArray& headers = {});
    // Answers `status` with its reason as the body and closes: a request refused, or a client
    // beyond the server's places.
    void refuse(int status, const QByteArray& headers = {});
    // Starts the event stream: the head, then whatever sendEvent hands on.
    void startEvents(const QByteArray& headers = {});
    bool streamsEvents() const { return events_; }
    // One event ("event: ...\ndata: ...\n\n") to an event stream.
    void sendEvent(const QByteArray& event);
    // Starts the CSV download of `stream`.
    void startCsv(std::unique_ptr<CsvStream> stream, const QByteArray& headers = {});
    qint64 unsent() const;
    // Ends the connection at once.
    void drop();

signals:
    // A complete head: the server answers it with one of the calls above.
    void request(dmm::web::HttpConnection* connection, const dmm::web::HttpRequest& request);
    void closed(dmm::web::HttpConnection* connection);

private:
    void readHeads();
    void writeHead(int status, const QByteArray& type, const QByteArray& headers, qint64 length);
    void write(const QByteArray& bytes);
    void feedCsv();
    void answered();

    QTcpSocket* socket_;
    QByteArray buffer_;
    QTimer idle_;
    bool busy_ = false;   // an answer is being written
    bool head_ = false;   // the request was HEAD: no body
    bool close_ = false;  // close once the answer is written
    bool events_ = false; // an event stream runs
    bool dropped_ = false;
    bool lingering_ = false; // answered, our side shut, waiting for the client to close
    std::unique_ptr<CsvStream> csv_;
};

} // namespace dmm::web
