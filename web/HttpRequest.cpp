#include "HttpRequest.h"

#include <QList>

namespace dmm::web {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Percent-decoding; false for a broken escape, or (in a path) an escaped '/' or '\', which
// would let a path step past the routes' folders.
bool decode(QByteArrayView in, QByteArray& out, bool path) {
    out.clear();
    for (qsizetype i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c == '%') {
            if (i + 2 >= in.size()) return false;
            const int hi = hexDigit(in[i + 1]), lo = hexDigit(in[i + 2]);
            if (hi < 0 || lo < 0) return false;
            c = static_cast<char>(hi * 16 + lo);
            if (path && (c == '/' || c == '\\' || c == '\0')) return false;
            i += 2;
        } else if (c == '+' && !path) {
            c = ' ';
        }
        out.append(c);
    }
    return true;
}

bool readQuery(QByteArrayView text, QMap<QByteArray, QByteArray>& query) {
    for (const QByteArray& pair : text.toByteArray().split('&')) {
        if (pair.isEmpty()) continue;
        const qsizetype eq = pair.indexOf('=');
        QByteArray name, value;
        if (!decode(QByteArrayView(pair).first(eq < 0 ? pair.size() : eq), name, false))
            return false;
        if (eq >= 0 && !decode(QByteArrayView(pair).sliced(eq + 1), value, false)) return false;
        query.insert(name, value);
    }
    return true;
}

// "GET /path?query HTTP/1.1": 200 or the status refusing it.
int readRequestLine(const QByteArray& line, HttpRequest& out) {
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3) return 400;
    if (parts[1].size() > HttpRequest::kMaxTarget) return 414;
    if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0") return 505;
    out.method = parts[0];
    out.keepAlive = parts[2] == "HTTP/1.1";
    const QByteArray& target = parts[1];
    if (!target.startsWith('/')) return 400;
    const qsizetype q = target.indexOf('?');
    const QByteArrayView rawPath = QByteArrayView(target).first(q < 0 ? target.size() : q);
    // An escaped '/', '\' or NUL names no route: not found, as any other path outside them.
    for (const char* escape : {"%2f", "%5c", "%00"})
        if (rawPath.toByteArray().toLower().contains(escape)) return 404;
    if (!decode(rawPath, out.path, true)) return 400;
    if (q >= 0 && !readQuery(QByteArrayView(target).sliced(q + 1), out.query)) return 400;
    return 200;
}

} // namespace

int HttpRequest::parse(const QByteArray& buffer, HttpRequest& out, qsizetype& used) {
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        // A request line alone past the URL limit is told as such, not as a long head.
        const qsizetype lineEnd = buffer.indexOf("\r\n");
        if ((lineEnd < 0 ? buffer.size() : lineEnd) > kMaxTarget + 32) return 414;
        return buffer.size() > kMaxHead ? 431 : 0;
    }
    if (end + 4 > kMaxHead) return 431;
    out = HttpRequest();
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    if (const int status = readRequestLine(lines[0].trimmed(), out); status != 200) return status;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) return 400;
        out.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    const QByteArray connection = out.headers.value("connection").toLower();
    if (connection.contains("close")) out.keepAlive = false;
    if (connection.contains("keep-alive")) out.keepAlive = true;
    // Nothing here takes a body: one announced is refused rather than read past.
    if (out.headers.contains("transfer-encoding")) return 413;
    const QByteArray length = out.headers.value("content-length", "0");
    bool ok = false;
    if (length.toLongLong(&ok) != 0 || !ok) return 413;
    if (out.method != "GET" && out.method != "HEAD") return 405;
    used = end + 4;
    return 200;
}

QByteArray HttpRequest::cookie(const QByteArray& name) const {
    for (const QByteArray& part : headers.value("cookie").split(';')) {
        const QByteArray p = part.trimmed();
        if (p.startsWith(name + '=')) return p.mid(name.size() + 1);
    }
    return {};
}

} // namespace dmm::web
