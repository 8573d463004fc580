// The request reader over raw requests: each case is fed whole and one byte
// at a time, and must give the same request both ways.
#include "daemon/request_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int result;
    bool done;  // the reader saw the request's end without a time-out
};

// Feeds raw in pieces of `chunk` bytes, stopping as the connection does;
// running out of bytes counts as a time-out.
Outcome feed(RequestReader& r, const std::string& raw, size_t chunk)
{
    int result = kReadMore;
    size_t at = 0;
    while (at < raw.size()) {
        size_t n = std::min(chunk, raw.size() - at);
        result = r.add(reinterpret_cast<const unsigned char*>(raw.data() + at), static_cast<int>(n));
        at += n;
        if (result != kReadMore)
            break;
    }
    bool done = result == kReadDone;
    if (result == kReadMore)
        result = r.result_on_stop(true);
    else if (result == kReadDone)
        result = kReadOk;
    return {r.finish(result), done};
}

std::string upload_of(const RequestReader& r)
{
    const ByteBuffer& u = r.upload();
    return u.length() == 0 ? std::string() : std::string(reinterpret_cast<const char*>(u.data()), u.length());
}

std::string multipart(const std::string& boundary, const std::string& content, int length_delta = 0,
                      bool cut_body = false)
{
    std::string body = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"fw.img\"\r\n"
                       "Content-Type: application/octet-stream\r\n\r\n" + content + "\r\n--" + boundary + "--\r\n";
    std::string head = "POST /fwcheck.html?c=0 HTTP/1.1\r\nHost: h\r\nContent-Type: multipart/form-data; boundary=" +
                       boundary + "\r\nContent-Length: " + std::to_string(body.size() + length_delta) + "\r\n\r\n";
    if (cut_body)
        body.resize(body.size() / 2);
    return head + body;
}

const std::string kBinary("MZ\0\r\n\r\n--x\xff\x01", 13);

struct Case {
    const char* name;
    std::string raw;
    int result;
    bool done;
    int method;
    const char* url;
    const char* host;
    const char* cookie;
    const char* body;
    std::string upload;
};

const std::vector<Case>& cases()
{
    static const std::vector<Case> table = {
        {"plain GET", "GET /page0.html?c=1 HTTP/1.1\r\nHost: 127.0.0.1:888\r\nCookie: a=b\r\n\r\n", kReadOk, true,
         kMethodGet, "/page0.html?c=1", "127.0.0.1:888", "", "", ""},
        {"second cookie header holds the login",
         "GET / HTTP/1.1\r\nCookie: theme=x\r\nHost: h\r\nCookie: z=1; WOXUSER=abc\r\n\r\n", kReadOk, true,
         kMethodGet, "/", "h", "z=1; WOXUSER=abc", "", ""},
        {"header names without case", "GET /a HTTP/1.1\r\nhost: lower\r\ncookie: WOXUSER=q\r\n\r\n", kReadOk, true,
         kMethodGet, "/a", "lower", "WOXUSER=q", "", ""},
        {"no Host header", "GET /menu.html HTTP/1.0\r\nAccept: */*\r\n\r\n", kReadOk, true, kMethodGet,
         "/menu.html", "<unknown>", "", "", ""},
        {"Host-like text in another header", "GET / HTTP/1.1\r\nX-Forwarded-Host: evil\r\n\r\n", kReadOk, true,
         kMethodGet, "/", "<unknown>", "", "", ""},
        {"GET whose headers never end", "GET /blank.html HTTP/1.1\r\nHost: h\r\n", kReadOk, false, kMethodGet,
         "/blank.html", "h", "", "", ""},
        {"HEAD is refused", "HEAD / HTTP/1.1\r\nHost: h\r\n\r\n", kReadBadStart, false, kMethodUnknown, "", "", "",
         "", ""},
        {"request line without a blank after the URL", "GET /page0.html\r\nHost: h a\r\n\r\n", kReadBadLine, true,
         kMethodGet, "", "", "", "", ""},
        {"nothing arrives", "", kReadNoData, false, kMethodUnknown, "", "", "", "", ""},
        {"two bytes only", "GE", kReadBadLine, false, kMethodUnknown, "", "", "", "", ""},
        {"login form post",
         "POST /login.html HTTP/1.1\r\nHost: h\r\nContent-Type: application/x-www-form-urlencoded\r\n"
         "Content-Length: 20\r\n\r\nwhopwd=a&thepwd=pyv2",
         kReadOk, true, kMethodPost, "/login.html", "h", "", "whopwd=a&thepwd=pyv2", ""},
        {"body holding boundary= stays a form post",
         "POST /page4.html HTTP/1.1\r\nHost: h\r\nContent-Length: 28\r\n\r\nthepwd=boundary=x&Host: evil", kReadOk,
         true, kMethodPost, "/page4.html", "h", "", "thepwd=boundary=x&Host: evil", ""},
        {"post without Content-Length ends at its headers", "POST /login.html HTTP/1.1\r\nHost: h\r\n\r\n",
         kReadOk, true, kMethodPost, "/login.html", "h", "", "", ""},
        {"bytes past Content-Length are not body",
         "POST /login.html HTTP/1.1\r\nContent-Length: 8\r\n\r\nwhopwd=uEXTRA", kReadOk, true, kMethodPost,
         "/login.html", "<unknown>", "", "whopwd=u", ""},
        {"post whose body is cut short is refused",
         "POST /login.html HTTP/1.1\r\nContent-Length: 50\r\n\r\nwhopwd=a&thepwd=pyv2", kReadCutShort, false,
         kMethodPost, "", "", "", "", ""},
        {"post whose headers never end is refused", "POST /login.html HTTP/1.1\r\nHost: h\r\n", kReadCutShort,
         false, kMethodPost, "", "", "", "", ""},
        {"largest length is waited for", "POST /p HTTP/1.1\r\nContent-Length: 8388608\r\n\r\nab", kReadCutShort,
         false, kMethodPost, "", "", "", "", ""},
        {"two equal lengths", "POST /login.html HTTP/1.1\r\nContent-Length: 4\r\nContent-Length: 4\r\n\r\nab=c",
         kReadOk, true, kMethodPost, "/login.html", "<unknown>", "", "ab=c", ""},
        {"two different lengths", "POST /login.html HTTP/1.1\r\nContent-Length: 4\r\ncontent-length: 9\r\n\r\nab=c",
         kReadBadStart, false, kMethodPost, "", "", "", "", ""},
        {"a list of lengths", "POST /login.html HTTP/1.1\r\nContent-Length: 4, 4\r\n\r\nab=c", kReadBadStart, false,
         kMethodPost, "", "", "", "", ""},
        {"chunked post", "POST /login.html HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nab=c\r\n0\r\n\r\n",
         kReadBadStart, false, kMethodPost, "", "", "", "", ""},
        {"transfer coding beside a length",
         "POST /login.html HTTP/1.1\r\nContent-Length: 4\r\nTransfer-Encoding: identity\r\n\r\nab=c",
         kReadBadStart, false, kMethodPost, "", "", "", "", ""},
        {"GET with a transfer coding", "GET / HTTP/1.1\r\ntransfer-encoding: chunked\r\n\r\n", kReadBadStart, false,
         kMethodGet, "", "", "", "", ""},
        {"login cookie name inside another cookie's name",
         "GET / HTTP/1.1\r\nCookie: xWOXUSER=abc\r\nCookie: a=WOXUSER=x;WOXUSER=y\r\n\r\n", kReadOk, true,
         kMethodGet, "/", "<unknown>", "", "", ""},
        {"login cookie after another one",
         "GET / HTTP/1.1\r\nCookie: xWOXUSER=abc\r\nCookie: a=1; WOXUSER=q\r\n\r\n", kReadOk, true, kMethodGet,
         "/", "<unknown>", "a=1; WOXUSER=q", "", ""},
        {"headers that never end within their limit", "GET / HTTP/1.1\r\nX: " + std::string(kMaxHeaderBytes, 'x'),
         kReadTooLong, false, kMethodGet, "", "", "", "", ""},
        {"oversized length is refused without reading on",
         "POST /fwcheck.html HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=zz\r\n"
         "Content-Length: 8388609\r\n\r\n",
         kReadTooLong, false, kMethodMultipart, "", "", "", "", ""},
        {"oversized form with a whole login body",
         "POST /login.html HTTP/1.1\r\nContent-Length: 8388609\r\n\r\nthepwd=pyv2&whopwd=a", kReadTooLong, false,
         kMethodPost, "", "", "", "", ""},
        {"transfer coding with a blank before its colon",
         "POST /login.html HTTP/1.1\r\nTransfer-Encoding : chunked\r\nContent-Length: 4\r\n\r\nab=c",
         kReadBadStart, false, kMethodPost, "", "", "", "", ""},
        {"length with a tab before its colon", "POST /login.html HTTP/1.1\r\nContent-Length\t: 4\r\n\r\nab=c",
         kReadBadStart, false, kMethodPost, "", "", "", "", ""},
        {"GET with a blank before a colon", "GET / HTTP/1.1\r\nHost : h\r\n\r\n", kReadBadStart, false,
         kMethodGet, "", "", "", "", ""},
        {"header folded onto the next line",
         "POST /login.html HTTP/1.1\r\nHost: h\r\n Content-Length: 4\r\n\r\nab=c", kReadBadStart, false,
         kMethodPost, "", "", "", "", ""},
        {"GET with a folded header", "GET / HTTP/1.1\r\nHost: h\r\n\tx\r\n\r\n", kReadBadStart, false, kMethodGet,
         "", "", "", "", ""},
        {"empty line before the end of the headers",
         "POST /login.html HTTP/1.1\r\nHost: h\r\n\nTransfer-Encoding: chunked\r\nContent-Length: 4\r\n\r\nab=c",
         kReadBadStart, false, kMethodPost, "", "", "", "", ""},
        {"carriage return without its line feed",
         "POST /login.html HTTP/1.1\r\nX-A: 1\rContent-Length: 4\r\n\r\nab=c", kReadBadStart, false, kMethodPost,
         "", "", "", "", ""},
        {"line feeds alone end header lines",
         "POST /login.html HTTP/1.1\nHost: h\nContent-Length: 4\r\n\r\nab=c", kReadOk, true, kMethodPost,
         "/login.html", "h", "", "ab=c", ""},
        {"blanks inside a value", "GET / HTTP/1.1\r\nHost: h\r\nUser-Agent: a b : c\r\n\r\n", kReadOk, true,
         kMethodGet, "/", "h", "", "", ""},
        {"negative length", "POST /login.html HTTP/1.1\r\nContent-Length: -5\r\n\r\nx", kReadBadStart, false,
         kMethodPost, "", "", "", "", ""},
        {"non-numeric length", "POST /login.html HTTP/1.1\r\nContent-Length: 12abc\r\n\r\nx", kReadBadStart,
         false, kMethodPost, "", "", "", "", ""},
        {"multipart upload with binary content", multipart("----WebKitFormBoundaryQ1w2", kBinary), kReadOk, true,
         kMethodMultipart, "/fwcheck.html?c=0", "h", "", "", kBinary},
        {"multipart with empty content", multipart("b0", ""), kReadNoUpload, true, kMethodMultipart,
         "/fwcheck.html?c=0", "h", "", "", ""},
        {"multipart body arrived in part", multipart("b1", "DATA", 0, true), kReadCutShort, false,
         kMethodMultipart, "", "", "", "", ""},
        {"multipart boundary too long", multipart(std::string(128, 'b'), "DATA"), kReadNoUpload, true,
         kMethodMultipart, "/fwcheck.html?c=0", "h", "", "", ""},
        {"multipart boundary of 127 characters", multipart(std::string(127, 'b'), "DATA"), kReadOk, true,
         kMethodMultipart, "/fwcheck.html?c=0", "h", "", "", "DATA"},
        // The closing "--" must not be taken for a boundary of dashes.
        {"multipart boundary of dashes only", multipart("---", "DATA"), kReadOk, true, kMethodMultipart,
         "/fwcheck.html?c=0", "h", "", "", "DATA"},
        {"multipart closing boundary without its line break",
         "POST /fwcheck.html HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=q\r\n"
         "Content-Length: 21\r\n\r\n--q\r\n\r\nDATA-DATA--q--",
         kReadNoUpload, true, kMethodMultipart, "/fwcheck.html", "<unknown>", "", "", ""},
    };
    return table;
}

TEST(RequestReader, TableOfRawRequestsWholeAndBytewise)
{
    for (const Case& c : cases()) {
        for (size_t chunk : {c.raw.size() + 1, size_t(1), size_t(7)}) {
            SCOPED_TRACE(std::string(c.name) + " / chunk " + std::to_string(chunk));
            RequestReader r;
            Outcome o = feed(r, c.raw, chunk);
            EXPECT_EQ(o.result, c.result);
            EXPECT_EQ(o.done, c.done);
            EXPECT_EQ(r.method(), c.method);
            if (o.result != kReadOk && o.result != kReadNoUpload)
                continue;
            EXPECT_STREQ(r.url(), c.url);
            EXPECT_STREQ(r.host(), c.host);
            EXPECT_STREQ(r.cookie(), c.cookie);
            EXPECT_STREQ(r.body(), c.body);
            EXPECT_EQ(upload_of(r), c.upload);
        }
    }
}

TEST(RequestReader, WaitsFollowTheMethod)
{
    struct Step {
        const char* bytes;
        int wait_ms;
    };
    const Step steps[] = {
        {"", 10000},  // before the first read
        {"POST /fwcheck.html HTTP/1.1\r\n", 10000},
        {"Content-Type: multipart/form-data; boundary=q\r\nContent-Length: 100\r\n\r\n", 30000},
    };
    RequestReader post;
    for (const Step& s : steps) {
        if (*s.bytes) {
            ASSERT_EQ(post.add(reinterpret_cast<const unsigned char*>(s.bytes), int(std::strlen(s.bytes))),
                      kReadMore);
        }
        EXPECT_EQ(post.idle_wait_ms(), s.wait_ms) << s.bytes;
    }
    RequestReader get;
    const char* line = "GET /page0.html";
    get.add(reinterpret_cast<const unsigned char*>(line), int(std::strlen(line)));
    EXPECT_EQ(get.idle_wait_ms(), 200);
    EXPECT_EQ(get.result_on_stop(false), kReadOk);
    RequestReader none;
    EXPECT_EQ(none.result_on_stop(false), kReadBadStart);
    EXPECT_EQ(none.result_on_stop(true), kReadNoData);
}

TEST(RequestReader, ReadLimitDependsOnTheKindOfRequest)
{
    const unsigned char a = 'a';
    RequestReader get;
    std::string start = "GET /";
    get.add(reinterpret_cast<const unsigned char*>(start.data()), int(start.size()));
    for (int pass = 2; pass < kMaxReadPasses; pass++)
        ASSERT_EQ(get.add(&a, 1), kReadMore) << pass;
    EXPECT_EQ(get.add(&a, 1), kReadTooLong);
    EXPECT_EQ(get.raw().length(), int(start.size()) + kMaxReadPasses - 2);

    // An upload may take more reads while it stays within its length.
    RequestReader upload;
    std::string head = "POST /fwcheck.html HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=q\r\n"
                       "Content-Length: 5000\r\n\r\n";
    upload.add(reinterpret_cast<const unsigned char*>(head.data()), int(head.size()));
    for (int pass = 2; pass <= kMaxReadPasses + 10; pass++)
        ASSERT_EQ(upload.add(&a, 1), kReadMore) << pass;
}

// Random damage to the table's requests, in random pieces: every outcome is
// one of the reader's results and the parts stay inside what arrived.
TEST(RequestReader, SurvivesDamagedRequests)
{
    std::mt19937 rng(20240611);
    const auto& table = cases();
    const int kValid[] = {kReadOk,     kReadNoData, kReadBadStart, kReadNoMemory, kReadTooLong,
                          kReadBadLine, kReadCutShort, kReadNoUpload};
    for (int round = 0; round < 4000; round++) {
        std::string raw = table[rng() % table.size()].raw;
        int edits = 1 + int(rng() % 6);
        for (int e = 0; e < edits && !raw.empty(); e++) {
            size_t at = rng() % raw.size();
            switch (rng() % 5) {
            case 0: raw[at] = char(rng()); break;
            case 1: raw.insert(at, 1, "\r\n: -0123456789="[rng() % 16]); break;
            case 2: raw.erase(at, 1 + rng() % 8); break;
            case 3: raw.resize(at); break;
            default: raw.insert(at, raw.substr(at / 2, 1 + rng() % 40)); break;
            }
        }
        RequestReader r;
        Outcome o = feed(r, raw, 1 + rng() % 64);
        SCOPED_TRACE(raw);
        ASSERT_NE(std::find(std::begin(kValid), std::end(kValid), o.result), std::end(kValid));
        ASSERT_LE(std::strlen(r.url()) + std::strlen(r.host()) + std::strlen(r.body()), raw.size() + 9);
        ASSERT_EQ(std::strpbrk(r.url(), " \r\n"), nullptr);
        ASSERT_LE(r.upload().length(), r.content_length());
    }
}

// The fields the form checks look at, read as soon as the headers are in:
// every Origin counts, the first Referer and Sec-Fetch-Site are kept.
TEST(RequestReader, FieldsOfTheFormChecksAreReadWithTheHeaders)
{
    const std::string raw =
        "POST /login.html HTTP/1.1\r\nHost: h:888\r\nOrigin: https://h:888\r\nReferer: https://x/p\r\n"
        "Sec-Fetch-Site: cross-site\r\norigin: https://evil\r\nReferer: https://y/\r\nContent-Length: 6\r\n\r\n";
    RequestReader r;
    EXPECT_EQ(r.add(reinterpret_cast<const unsigned char*>(raw.data()), static_cast<int>(raw.size())), kReadMore);
    ASSERT_TRUE(r.headers_examined());
    EXPECT_STREQ(r.url(), "/login.html");
    EXPECT_STREQ(r.origin(), "https://h:888");
    EXPECT_EQ(r.origin_count(), 2);
    EXPECT_STREQ(r.referer(), "https://x/p");
    EXPECT_STREQ(r.fetch_site(), "cross-site");
    EXPECT_EQ(r.body_arrived(), 0);

    RequestReader plain;
    const std::string get = "GET / HTTP/1.1\r\nHost: h\r\n\r\n";
    EXPECT_EQ(plain.add(reinterpret_cast<const unsigned char*>(get.data()), static_cast<int>(get.size())), kReadDone);
    EXPECT_EQ(plain.origin(), nullptr);
    EXPECT_EQ(plain.origin_count(), 0);
    EXPECT_EQ(plain.referer(), nullptr);
    EXPECT_EQ(plain.fetch_site(), nullptr);
}

// A body the connection does not read: the request is complete with its
// headers, whatever of the body came with them, and carries no form body or
// upload.
TEST(RequestReader, SkippedBodyEndsTheRequestAtItsHeaders)
{
    const std::string form = "POST /page0.html HTTP/1.1\r\nHost: h\r\nContent-Length: 100\r\n\r\nthepwd=x";
    const std::string upload = "POST /fwcheck.html HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=b\r\n"
                               "Content-Length: 20\r\n\r\n--b\r\n\r\nXY";
    for (const std::string& raw : {form, upload}) {
        RequestReader r;
        EXPECT_EQ(r.add(reinterpret_cast<const unsigned char*>(raw.data()), static_cast<int>(raw.size())), kReadMore);
        EXPECT_GT(r.body_arrived(), 0);
        EXPECT_FALSE(r.is_complete());
        r.skip_body();
        EXPECT_TRUE(r.is_complete());
        EXPECT_EQ(r.finish(kReadOk), kReadOk);
        EXPECT_STREQ(r.body(), "");
        EXPECT_EQ(r.upload().length(), 0);
    }
}

}  // namespace
