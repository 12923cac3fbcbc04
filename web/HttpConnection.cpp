#include "HttpConnection.h"

#include <QTcpSocket>

#include <sys/socket.h>

namespace dmm::web {

namespace {

QByteArray reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Error";
    }
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket* socket, QObject* parent)
    : QObject(parent), socket_(socket) {
    socket_->setParent(this);
    socket_->setReadBufferSize(HttpRequest::kMaxHead * 8);
    // A peer that vanished (a phone out of reach, a pulled cable) gives its place back.
    socket_->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    connect(socket_, &QTcpSocket::readyRead, this, &HttpConnection::readHeads);
    connect(socket_, &QTcpSocket::bytesWritten, this, [this] {
        if (csv_)
            feedCsv();
        else if (busy_ && !events_ && socket_->bytesToWrite() == 0)
            answered();
    });
    connect(socket_, &QTcpSocket::disconnected, this, &HttpConnection::drop);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
        if (socket_->state() != QAbstractSocket::ConnectedState) drop();
    });
    idle_.setSingleShot(true);
    connect(&idle_, &QTimer::timeout, this, [this] {
        if (!busy_ || lingering_) drop();
    });
    idle_.start(kIdleMs);
}

HttpConnection::~HttpConnection() = default;

qint64 HttpConnection::unsent() const {
    return socket_->bytesToWrite();
}

void HttpConnection::drop() {
    if (dropped_) return;
    dropped_ = true;
    csv_.reset();
    idle_.stop();
    socket_->abort();
    emit closed(this);
    deleteLater();
}

void HttpConnection::readHeads() {
    if (dropped_) return;
    if (lingering_) {
        socket_->readAll();
        return;
    }
    // Past a head's bound nothing more is read: the answer refuses it.
    buffer_ += socket_->read(HttpRequest::kMaxHead + 1 - buffer_.size());
    if (busy_) return;
    HttpRequest parsed;
    qsizetype used = 0;
    const int status = HttpRequest::parse(buffer_, parsed, used);
    if (status == 0) return;
    if (status != 200) return refuse(status);
    buffer_.remove(0, used);
    busy_ = true;
    idle_.stop();
    head_ = parsed.method == "HEAD";
    close_ = !parsed.keepAlive;
    emit request(this, parsed);
}

void HttpConnection::writeHead(int status, const QByteArray& type, const QByteArray& headers,
                               qint64 length) {
    busy_ = true;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) +
                      "\r\nContent-Type: " + type +
                      "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n" +
                      headers;
    if (length >= 0) head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    head += close_ ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";
    write(head);
}

void HttpConnection::respond(int status, const QByteArray& type, const QByteArray& body,
                             const QByteArray& headers) {
    writeHead(status, type, headers, body.size());
    if (!head_) write(body);
    if (!dropped_ && socket_->bytesToWrite() == 0) answered();
}

void HttpConnection::refuse(int status, const QByteArray& headers) {
    close_ = true;
    busy_ = true;
    respond(status, "text/plain; charset=utf-8", reason(status) + "\n", headers);
}

void HttpConnection::startEvents(const QByteArray& headers) {
    close_ = true;
    writeHead(200, "text/event-stream; charset=utf-8", headers + "X-Accel-Buffering: no\r\n", -1);
    if (head_) {
        answered();
        return;
    }
    events_ = true;
}

void HttpConnection::sendEvent(const QByteArray& event) {
    if (events_ && !dropped_) write(event);
}

void HttpConnection::startCsv(std::unique_ptr<CsvStream> stream, const QByteArray& headers) {
    close_ = true; // its end is the connection's end: the length is not known ahead
    writeHead(200, "text/csv; charset=utf-8", headers, -1);
    if (head_) return answered();
    csv_ = std::move(stream);
    feedCsv();
}

void HttpConnection::feedCsv() {
    while (csv_ && !dropped_ && socket_->bytesToWrite() < kCsvAhead) {
        bool ok = true;
        const QByteArray piece = csv_->next(kCsvPiece, ok);
        if (!ok) return drop(); // cut short: the client sees no orderly end
        if (piece.isEmpty()) {
            csv_.reset();
            if (socket_->bytesToWrite() == 0) answered();
            return;
        }
        write(piece);
    }
}

void HttpConnection::write(const QByteArray& bytes) {
    if (dropped_) return;
    socket_->write(bytes);
    if (socket_->bytesToWrite() > kMaxUnsent) drop();
}

void HttpConnection::answered() {
    if (dropped_) return;
    if (close_) {
        // Only our side is shut: closing at once, with a request still arriving, would reset
        // the connection and lose the answer on its way. The client closes, or the timer does.
        lingering_ = true;
        idle_.start(kLingerMs);
        ::shutdown(static_cast<int>(socket_->socketDescriptor()), SHUT_WR);
        socket_->readAll();
        return;
    }
    busy_ = false;
    head_ = false;
    idle_.start(kIdleMs);
    if (!buffer_.isEmpty()) readHeads();
}

} // namespace dmm::web
