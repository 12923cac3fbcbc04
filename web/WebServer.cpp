#include "WebServer.h"

#include "WebToken.h"

#include "JsonText.h"

#include <QFile>
#include <QTcpSocket>

// The page lives in this library's resources; a static library's resources are registered by
// hand, outside any namespace.
static void initWebResources() {
    Q_INIT_RESOURCE(web);
}

namespace dmm::web {

namespace {

constexpr const char* kJson = "application/json";
constexpr const char* kText = "text/plain; charset=utf-8";

QByteArray jsonText(const QString& s) {
    std::string out;
    appendJsonString(out, s.toStdString());
    return QByteArray::fromStdString(out);
}

QByteArray htmlText(const QString& s) {
    return s.toHtmlEscaped().toUtf8();
}

QByteArray rowEvent(std::uint32_t generation, const WebFeed::Row& row) {
    return "id: " + QByteArray::number(generation) + '-' +
           QByteArray::number(static_cast<qlonglong>(row.sequence)) + "\nevent: row\ndata: " +
           "{\"seq\":" + QByteArray::number(static_cast<qlonglong>(row.sequence)) +
           ",\"at\":" + QByteArray::number(row.atMs) + ",\"row\":" + row.json + "}\n\n";
}

QByteArray rowItem(const WebFeed::Row& row) {
    return "{\"seq\":" + QByteArray::number(static_cast<qlonglong>(row.sequence)) +
           ",\"at\":" + QByteArray::number(row.atMs) + ",\"row\":" + row.json + '}';
}

// A whole number 0..max from a query value; -1 when it is none.
qint64 wholeNumber(const QByteArray& text, qint64 max) {
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    return ok && n >= 0 && n <= max && !text.startsWith('+') ? n : -1;
}

} // namespace

WebServer::WebServer(WebFeed& feed, std::function<QString()> title, CsvSource csv, QObject* parent)
    : QTcpServer(parent), feed_(feed), title_(std::move(title)), csv_(std::move(csv)) {
    initWebResources();
    connect(&feed_, &WebFeed::rowAdded, this,
            [this](const WebFeed::Row& row) { broadcast(rowEvent(feed_.generation(), row)); });
    connect(&feed_, &WebFeed::readingChanged, this,
            [this] { broadcast("event: reading\ndata: " + feed_.readingJson() + "\n\n"); });
    connect(&feed_, &WebFeed::generationChanged, this, [this] { broadcast(refreshEvent()); });
    connect(&second_, &QTimer::timeout, this, &WebServer::tick);
}

WebServer::~WebServer() {
    for (HttpConnection* c : std::set<HttpConnection*>(connections_)) c->disconnect(this);
}

QString WebServer::start(const QHostAddress& address, quint16 port, const QByteArray& token) {
    token_ = token;
    if (!listen(address, port))
        return QStringLiteral("cannot listen on %1:%2: %3")
            .arg(address.toString())
            .arg(port)
            .arg(errorString());
    second_.start(1000);
    return {};
}

QString WebServer::url() const {
    const QHostAddress a = serverAddress();
    const QString host = a.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(a.toString())
                             : a.toString();
    return QStringLiteral("http://%1:%2/").arg(host).arg(serverPort());
}

void WebServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    if (clients() >= kMaxClients && refused_ >= kMaxClients) {
        delete socket; // a flood: not even an answer
        return;
    }
    auto* c = new HttpConnection(socket, this);
    if (clients() >= kMaxClients) {
        ++refused_;
        connect(c, &HttpConnection::closed, this, [this] { --refused_; });
        c->refuse(503, "Retry-After: 5\r\n");
        return;
    }
    connections_.insert(c);
    connect(c, &HttpConnection::request, this, &WebServer::serve);
    connect(c, &HttpConnection::closed, this,
            [this](HttpConnection* gone) { connections_.erase(gone); });
}

bool WebServer::allowed(const HttpRequest& r) const {
    if (token_.isEmpty()) return true;
    QByteArray given = r.query.value("token");
    if (given.isEmpty()) given = r.cookie(kCookie);
    const QByteArray authorization = r.headers.value("authorization");
    if (given.isEmpty() && authorization.startsWith("Bearer ")) given = authorization.mid(7);
    return WebToken::matches(given, token_);
}

void WebServer::serve(HttpConnection* c, const HttpRequest& r) {
    if (!allowed(r)) {
        c->respond(401, kText, "A token is needed: open the address with ?token=...\n");
        return;
    }
    // A token given in the query is kept by the browser, so that the page and its requests
    // (and a reload without it) carry it.
    QByteArray headers;
    if (!token_.isEmpty() && r.query.contains("token"))
        headers = "Set-Cookie: " + QByteArray(kCookie) + '=' + token_ +
                  "; Path=/; Max-Age=31536000; HttpOnly; SameSite=Strict\r\n";
    if (r.path == "/") return servePage(c, headers);
    if (r.path == "/events") return serveEvents(c, r, headers);
    if (r.path == "/api/reading") return c->respond(200, kJson, feed_.readingJson(), headers);
    if (r.path == "/api/status") return c->respond(200, kJson, status(), headers);
    if (r.path == "/api/rows") return serveRows(c, r, headers);
    if (r.path == "/readings.csv" && csv_)
        return c->startCsv(csv_(), headers +
                                       "Content-Disposition: attachment; filename=\"readings.csv\""
                                       "\r\n");
    c->respond(404, kText, "Not Found\n", headers);
}

void WebServer::servePage(HttpConnection* c, const QByteArray& headers) {
    QFile file(QStringLiteral(":/web/page.html"));
    QByteArray page = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (page.isEmpty()) return c->respond(500, kText, "the page is missing from the build\n");
    page.replace("%TITLE%", htmlText(title_ ? title_() : QString()));
    // The page fetches nothing but from here: a bench network has no internet.
    c->respond(200, "text/html; charset=utf-8", page,
               headers + "Content-Security-Policy: default-src 'none'; script-src "
                         "'unsafe-inline'; style-src 'unsafe-inline'; connect-src 'self'; "
                         "img-src data:; base-uri 'none'; form-action 'none'\r\n"
                         "Referrer-Policy: no-referrer\r\n");
}

void WebServer::serveEvents(HttpConnection* c, const HttpRequest& r, const QByteArray& headers) {
    c->startEvents(headers);
    if (!c->streamsEvents()) return;
    c->sendEvent("retry: 2000\n\n");
    // "G-S": the generation and the sequence of the last row the client has.
    const QList<QByteArray> last = r.headers.value("last-event-id").split('-');
    const std::deque<WebFeed::Row>& rows = feed_.rows();
    bool replay = false;
    if (last.size() == 2 && !rows.empty()) {
        const qint64 g = wholeNumber(last[0], 0xFFFFFFFF), s = wholeNumber(last[1], 1LL << 62);
        replay = g == feed_.generation() && s >= rows.front().sequence - 1 &&
                 s <= feed_.rowCount() && feed_.rowCount() - s <= kReplayRows;
        if (replay)
            for (auto it = rows.begin() + (s + 1 - rows.front().sequence); it != rows.end(); ++it)
                c->sendEvent(rowEvent(feed_.generation(), *it));
    }
    if (!replay) c->sendEvent(refreshEvent());
    c->sendEvent("event: status\ndata: " + status() + "\n\n");
}

void WebServer::serveRows(HttpConnection* c, const HttpRequest& r, const QByteArray& headers) {
    const qint64 since = wholeNumber(r.query.value("since", "0"), 1LL << 62);
    const qint64 limit = wholeNumber(r.query.value("limit", "1000"), kMaxRowsAsked);
    if (since < 0 || limit < 0)
        return c->respond(400, kText, "since: a whole number; limit: 0 to 1000\n", headers);
    QByteArray out = "{\"generation\":" + QByteArray::number(feed_.generation()) + ",\"rows\":[";
    qint64 next = since, n = 0;
    for (const WebFeed::Row& row : feed_.rows()) {
        if (row.sequence <= since) continue;
        if (n++ == limit) break;
        if (n > 1) out += ',';
        out += row.json;
        next = row.sequence;
    }
    out += "],\"next\":" + QByteArray::number(next) + "}";
    c->respond(200, kJson, out, headers);
}

QByteArray WebServer::refreshEvent() const {
    const std::deque<WebFeed::Row>& rows = feed_.rows();
    QByteArray out = "id: " + QByteArray::number(feed_.generation()) + '-' +
                     QByteArray::number(static_cast<qlonglong>(feed_.rowCount())) +
                     "\nevent: refresh\ndata: {\"status\":" + status() +
                     ",\"reading\":" + feed_.readingJson() + ",\"rows\":[";
    const std::size_t from = rows.size() > kReplayRows ? rows.size() - kReplayRows : 0;
    for (std::size_t i = from; i < rows.size(); ++i) {
        if (i > from) out += ',';
        out += rowItem(rows[i]);
    }
    return out + "]}\n\n";
}

QByteArray WebServer::status() const {
    return feed_.statusJson(",\"title\":" + jsonText(title_ ? title_() : QString()) +
                            ",\"clients\":" + QByteArray::number(clients()));
}

void WebServer::broadcast(const QByteArray& event) {
    // A copy: a client dropped for what waits on it leaves the set on the way.
    for (HttpConnection* c : std::set<HttpConnection*>(connections_))
        if (c->streamsEvents()) c->sendEvent(event);
}

// Once a second the status, when it changed (the link, the clients, the statistics).
void WebServer::tick() {
    const QByteArray now = status();
    if (now == lastStatus_) return;
    lastStatus_ = now;
    broadcast("event: status\ndata: " + now + "\n\n");
}

} // namespace dmm::web
