#include "tevro/automation/http_request_head.h"

#include <gtest/gtest.h>

#include "tevro/automation/control_request.h"
#include "tevro/automation/control_server.h"

using namespace tevro;
using Result = HttpRequestHead::Result;

TEST(HttpRequestHead, ReadsRequestLineAndCheckedHeaders) {
    struct Case {
        std::string bytes;
        std::string target;
        std::optional<std::string> host;
        bool origin;
    };
    std::vector<Case> cases = {
        {"GET /state HTTP/1.1\r\nHost: 127.0.0.1:1\r\n\r\n", "/state", "127.0.0.1:1", false},
        // Any method, doubled spaces, a lone method, header names in any case.
        {"MADEUP  /state?x=1  HTTP/1.1\r\nhOsT:localhost:9 \r\n\r\n", "/state?x=1", "localhost:9",
         false},
        {"GET\r\nHost: a\r\nOrigin: http://evil\r\n\r\nbody", "/", "a", true},
        {"GET /x HTTP/1.1\r\n\r\n", "/x", std::nullopt, false},
        {"   \r\nHost: h\r\n\r\n", "/", "h", false},
    };
    for (const Case& c : cases) {
        HttpRequestHead head;
        ASSERT_EQ(HttpRequestHead::parse(c.bytes, head), Result::complete) << c.bytes;
        EXPECT_EQ(head.target, c.target);
        EXPECT_EQ(head.host, c.host);
        EXPECT_EQ(head.hasOrigin, c.origin);
    }
}

TEST(HttpRequestHead, RefusesMalformedAndWaitsForTruncated) {
    struct Case {
        std::string bytes;
        Result result;
    };
    std::string longLine = "GET /" + std::string(HttpRequestHead::kMaxSize, 'a');
    std::vector<Case> cases = {
        {"", Result::incomplete},
        {"GET /remove?id=x&data=1", Result::incomplete},
        {"GET /remove?id=x&data=1\r\nHost: 127.0.0.1:1\r\n", Result::incomplete},
        {longLine, Result::tooLarge},
        {longLine + "\r\n\r\n", Result::tooLarge},
        {"GET /\xff\xfe HTTP/1.1\r\n\r\n", Result::bad},
        {"GET /\xc0\xaf HTTP/1.1\r\n\r\n", Result::bad}, // overlong "/"
        {"GET /\x01 HTTP/1.1\r\n\r\n", Result::bad},
        {"GET / HTTP/1.1\r\nno colon\r\n\r\n", Result::bad},
        {"GET / HTTP/1.1\r\nHost : a\r\n\r\n", Result::bad},
        {"GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", Result::bad},
        {"GET / HTTP/1.1\r\nSec-Fetch-Site: none\r\nsec-fetch-site: cross-site\r\n\r\n",
         Result::bad},
        {"GET / HTTP/1.1\r\nX: a\nb\r\n\r\n", Result::bad},
    };
    for (const Case& c : cases) {
        HttpRequestHead head;
        EXPECT_EQ(HttpRequestHead::parse(c.bytes, head), c.result) << c.bytes.substr(0, 60);
    }
}

TEST(ControlRequest, QueryAndNumbers) {
    auto r = ControlRequest::parse("/state?a=1&a=2&b&c=%D0%96%20x");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->path, "/state");
    EXPECT_EQ(r->text("a"), "2");
    EXPECT_TRUE(r->has("b"));
    EXPECT_EQ(r->text("b"), "");
    EXPECT_EQ(r->text("c"), "Ж x");
    EXPECT_FALSE(r->flag("b"));

    EXPECT_EQ(parseInteger("+12"), 12);
    EXPECT_EQ(parseInteger("-7"), -7);
    for (const char* bad : {"", "+", "+-1", "1.5", " 1", "1 ", "9223372036854775808", "0x10"})
        EXPECT_FALSE(parseInteger(bad)) << bad;
    EXPECT_EQ(parseInteger("-9223372036854775808"), INT64_MIN);
    EXPECT_FALSE(parseDouble("inf"));
    EXPECT_FALSE(parseDouble("nan"));
    EXPECT_EQ(parseDouble("2.5"), 2.5);
}

TEST(ControlServer, PortFromEnvironment) {
    EXPECT_EQ(ControlServer::portFromEnvironment("8080"), 8080);
    EXPECT_EQ(ControlServer::portFromEnvironment("+8080"), 8080);
    EXPECT_EQ(ControlServer::portFromEnvironment("-0"), 0);
    EXPECT_EQ(ControlServer::portFromEnvironment("65535"), 65535);
    for (const char* bad :
         {"", "70000", "65536", "-1", "abc", "+", "-", "80 ", "+-1", "99999999999999999999"})
        EXPECT_FALSE(ControlServer::portFromEnvironment(bad)) << bad;
}
