// Request heads as the web page's server reads them: each bound and refusal, table by table.
#include "HttpRequest.h"
#include "WebToken.h"

#include <gtest/gtest.h>

namespace dmm::web {
namespace {

struct HeadCase {
    const char* name;
    QByteArray head;
    int status;
    QByteArray path;
};

QByteArray get(const QByteArray& target, const QByteArray& headers = {}) {
    return "GET " + target + " HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n";
}

TEST(HttpRequest, HeadsAndTheirAnswers) {
    const HeadCase cases[] = {
        {"plain", get("/api/status"), 200, "/api/status"},
        {"query kept apart", get("/api/rows?since=5&limit=2"), 200, "/api/rows"},
        {"escapes decoded", get("/a%20b"), 200, "/a b"},
        {"dots stay in the path", get("/../etc/passwd"), 200, "/../etc/passwd"},
        {"incomplete head waits", "GET / HTTP/1.1\r\nHost: x\r\n", 0, ""},
        {"escaped slash", get("/api%2Fstatus"), 404, ""},
        {"escaped backslash", get("/a%5C.."), 404, ""},
        {"escaped NUL", get("/a%00"), 404, ""},
        {"broken escape", get("/a%2"), 400, ""},
        {"not absolute", get("api"), 400, ""},
        {"URL over 2 KiB", get("/" + QByteArray(2100, 'a')), 414, ""},
        {"URL over 2 KiB, head unfinished", "GET /" + QByteArray(2100, 'a'), 414, ""},
        {"head over 8 KiB", get("/", "X: " + QByteArray(8300, 'y') + "\r\n"), 431, ""},
        {"head over 8 KiB, unfinished", "GET / HTTP/1.1\r\nX: " + QByteArray(8300, 'y'), 431, ""},
        {"a body", "POST / HTTP/1.1\r\nContent-Length: 4\r\n\r\nbody", 413, ""},
        {"a chunked body", "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 413, ""},
        {"another method", "DELETE / HTTP/1.1\r\n\r\n", 405, ""},
        {"HTTP/2 preface", "PRI * HTTP/2.0\r\n\r\n", 505, ""},
        {"old version", "GET / HTTP/0.9\r\n\r\n", 505, ""},
        {"header without colon", get("/", "nonsense\r\n"), 400, ""},
    };
    for (const HeadCase& c : cases) {
        HttpRequest r;
        qsizetype used = 0;
        EXPECT_EQ(HttpRequest::parse(c.head, r, used), c.status) << c.name;
        if (c.status == 200) {
            EXPECT_EQ(r.path, c.path) << c.name;
            EXPECT_EQ(used, c.head.size()) << c.name;
        }
    }
}

TEST(WebToken, MatchesOnlyTheWholeToken) {
    EXPECT_TRUE(WebToken::matches("abc123", "abc123"));
    for (const QByteArray given : {"", "abc12", "abc1234", "abc124", "ABC123"})
        EXPECT_FALSE(WebToken::matches(given, "abc123")) << given.constData();
    EXPECT_FALSE(WebToken::matches("", "")); // no token made: nothing matches
}

} // namespace
} // namespace dmm::web
