// Where the login cookie stands in a Cookie header, and whether a form or an
// action came from a page of the host it was sent to.
#include "daemon/request_checks.h"
#include "daemon/form_routes.h"
#include "daemon/request_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(RequestChecks, LoginCookieByItsExactName)
{
    struct Case {
        const char* line;
        int value_at;
    };
    const Case cases[] = {
        {"WOXUSER=abc", 8},
        {"a=1; WOXUSER=abc", 13},
        {"xWOXUSER=abc; WOXUSER=def", 22},
        {"xWOXUSER=abc", -1},
        {"a=1;WOXUSER=abc", -1},
        {"a=WOXUSER=abc", -1},
        {"woxuser=abc", -1},
        {"WOXUSER", -1},
        {"", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(find_login_cookie(c.line, static_cast<int>(std::strlen(c.line))), c.value_at) << c.line;
}

TEST(RequestChecks, OriginAgainstTheHostHeader)
{
    struct Case {
        const char* origin;
        const char* host;
        bool same;
    };
    const Case cases[] = {
        {"https://127.0.0.1:888", "127.0.0.1:888", true},
        {"https://Server.Example:888", "server.example:888", true},
        {"https://server.example", "server.example:443", true},
        {"https://server.example:443", "server.example", true},
        {"https://[::1]:888", "[::1]:888", true},
        {"https://127.0.0.1:888/", "127.0.0.1:888", true},
        {"https://127.0.0.1:888 ", "127.0.0.1:888", true},
        // Another host, another port, another scheme, or no host at all.
        {"https://evil.example", "127.0.0.1:888", false},
        {"https://127.0.0.1.evil.example:888", "127.0.0.1:888", false},
        {"https://127.0.0.1:8888", "127.0.0.1:888", false},
        {"https://127.0.0.1", "127.0.0.1:888", false},
        {"http://127.0.0.1:888", "127.0.0.1:888", false},
        {"null", "127.0.0.1:888", false},
        {"", "127.0.0.1:888", false},
        {"https://127.0.0.1:888", "<unknown>", false},
        {"https://127.0.0.1:888/page", "127.0.0.1:888", false},
        {"https://user@127.0.0.1:888", "127.0.0.1:888", false},
        {"https://127.0.0.1:x", "127.0.0.1:x", false},
        {"https://[::1", "[::1", false},
        {"https://:888", ":888", false},
        // The reader's stand-in for a missing Host header names no host.
        {"https://<unknown>", "<unknown>", false},
        {"https://a<b>:888", "a<b>:888", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(origin_matches_host(c.origin, c.host), c.same) << c.origin << " / " << c.host;
}

// The reader keeps the Origin header, and tells a request without one apart
// from one with an empty value.
TEST(RequestChecks, ReaderKeepsTheOrigin)
{
    struct Case {
        std::string raw;
        const char* origin;
    };
    const Case cases[] = {
        {"POST /login.html HTTP/1.1\r\nHost: h\r\nOrigin: https://h\r\nContent-Length: 0\r\n\r\n", "https://h"},
        {"POST /login.html HTTP/1.1\r\norigin:null\r\nContent-Length: 0\r\n\r\n", "null"},
        {"POST /login.html HTTP/1.1\r\nOrigin:\r\nContent-Length: 0\r\n\r\n", ""},
        {"POST /login.html HTTP/1.1\r\nX-Origin: https://h\r\nContent-Length: 0\r\n\r\n", nullptr},
    };
    for (const Case& c : cases) {
        RequestReader r;
        ASSERT_EQ(r.add(reinterpret_cast<const unsigned char*>(c.raw.data()), static_cast<int>(c.raw.size())),
                  kReadDone);
        ASSERT_EQ(r.finish(kReadOk), kReadOk);
        if (c.origin == nullptr)
            EXPECT_EQ(r.origin(), nullptr) << c.raw;
        else
            EXPECT_STREQ(r.origin(), c.origin) << c.raw;
    }
}

// A form from another site: by its Origin headers, else by
// Sec-Fetch-Site and the Referer.
TEST(RequestChecks, FormFromElsewhere)
{
    struct Case {
        const char* headers;
        bool elsewhere;
    };
    const Case cases[] = {
        {"Origin: https://127.0.0.1:888\r\n", false},
        {"Origin: https://evil.example\r\n", true},
        {"Origin: https://127.0.0.1:888\r\nOrigin: https://127.0.0.1:888\r\n", true},
        {"Origin: https://127.0.0.1:888\r\nOrigin: https://evil.example\r\n", true},
        {"", false},
        {"Sec-Fetch-Site: same-origin\r\n", false},
        {"Sec-Fetch-Site: none\r\n", false},
        {"Sec-Fetch-Site: cross-site\r\n", true},
        {"Sec-Fetch-Site: Cross-Site \r\n", true},
        {"Sec-Fetch-Site: cross-siteX\r\n", false},
        {"Referer: https://127.0.0.1:888/login.html?c=0\r\n", false},
        {"Referer: https://127.0.0.1:888\r\n", false},
        {"Referer: https://127.0.0.1:888#top\r\n", false},
        {"Referer: https://evil.example/login.html\r\n", true},
        {"Referer: https://127.0.0.1:8888/\r\n", true},
        {"Referer: http://127.0.0.1:888/\r\n", true},
        {"Referer: https://127.0.0.1.evil.example/\r\n", true},
        // The Origin decides when there is one.
        {"Origin: https://127.0.0.1:888\r\nReferer: https://evil.example/\r\n", false},
        {"Origin: https://127.0.0.1:888\r\nSec-Fetch-Site: cross-site\r\n", false},
    };
    for (const Case& c : cases) {
        std::string raw = std::string("POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\n") + c.headers +
                          "Content-Length: 0\r\n\r\n";
        RequestReader r;
        ASSERT_EQ(r.add(reinterpret_cast<const unsigned char*>(raw.data()), static_cast<int>(raw.size())),
                  kReadDone);
        EXPECT_EQ(form_from_elsewhere(r), c.elsewhere) << c.headers;
    }
    // Without a Host header no Origin or Referer names the host, not even
    // one naming the reader's "<unknown>".
    for (const char* headers : {"Origin: https://<unknown>\r\n", "Referer: https://<unknown>/\r\n"}) {
        std::string raw = std::string("POST /login.html HTTP/1.1\r\n") + headers + "Content-Length: 0\r\n\r\n";
        RequestReader r;
        ASSERT_EQ(r.add(reinterpret_cast<const unsigned char*>(raw.data()), static_cast<int>(raw.size())),
                  kReadDone);
        EXPECT_TRUE(form_from_elsewhere(r)) << headers;
    }
}

// A request read whole, as the connection holds it.
void read_whole(RequestReader& r, const std::string& raw)
{
    ASSERT_EQ(r.add(reinterpret_cast<const unsigned char*>(raw.data()), static_cast<int>(raw.size())), kReadDone)
        << raw;
    ASSERT_EQ(r.finish(kReadOk), kReadOk) << raw;
}

// A GET that names an action of the handler its URL reaches is refused when
// any one of the markers of another site's page comes with it; a GET that
// only loads a page is served whatever it carries.
TEST(RequestChecks, ActionGetsFromElsewhere)
{
    struct Url {
        const char* url;
        bool action;
    };
    const Url urls[] = {
        // Actions of several handlers, by their keys anywhere in the URL.
        {"/page4.html?Refresh=30&c=0", true},
        {"/page4.html?SendTestEmail=1&c=0", true},
        {"/page4.html?EmailSender=a&EmailServerPort=25&c=0", true},
        {"/page2_2.html?c=1&DeleteUnits=0", true},
        {"/page2_2.html?c=1&RebuildUnit=1&RebuildDrives=6", true},
        {"/page2_0.html?ChangeRebuildRate=4&c=2", true},
        {"/page2_1.html?RebuildSchedEnable=1&c=1", true},
        {"/page3_0.html?ClearAlarms=1&c=1", true},
        {"/page3_1.html?TestBBU=1&c=1", true},
        {"/page1_1.html?c=0&BlinkUnit=0&On=1", true},
        {"/page1_2.html?c=0&BlinkDrive=2&On=1", true},
        {"/page1_0_1.html?c=0&y=1&SetPhyLinkspeed=2", true},
        {"/page3_3.html?e=0&SetFanSpeed=3&f=0&c=0", true},
        {"/fwupdate.html?c=0", true},
        {"/fwupdate_canceled.html?c=0", true},
        {"/page2_2.htmlDeleteUnits=0", true},
        // Page loads, refreshes, downloads, and keys their handler does not
        // act on.
        {"/page4.html?c=0&u=0", false},
        {"/page2_2.html?c=1&AvailListSort=3", false},
        {"/page2_1.html?c=1&WhichSched=2", false},
        {"/page3_0.html?c=1&auto=1", false},
        {"/alarmsdata.html?c=1&auto=1&SortBy=sev", false},
        {"/page1_1.html?c=0&u=1", false},
        {"/page3_3.html?e=0&slot=2&c=0", false},
        {"/page3_2.html?c=0&SetFanSpeed=3", false},
        {"/page0.html?DeleteUnits=0", false},
        {"/page2_2.html?DeleteUnits=0&logo.gif", false},
        {"/errorlog_0.txt", false},
        {"/smart.html?c=0&p=1", false},
        {"/", false},
        {"/menu.html", false},
    };
    struct Markers {
        const char* headers;
        bool elsewhere;
    };
    const Markers markers[] = {
        {"", false},
        {"Sec-Fetch-Site: same-origin\r\nReferer: https://127.0.0.1:888/page4.html\r\n", false},
        {"Sec-Fetch-Site: same-site\r\n", false},
        {"Origin: https://127.0.0.1:888\r\n", false},
        {"Referer: https://127.0.0.1:888/\r\n", false},
        {"Sec-Fetch-Site: cross-site\r\n", true},
        {"Origin: https://evil.example\r\n", true},
        {"Referer: https://evil.example/page.html\r\n", true},
        // Each marker counts on its own, unlike a form's Origin.
        {"Origin: https://127.0.0.1:888\r\nSec-Fetch-Site: cross-site\r\n", true},
        {"Origin: https://127.0.0.1:888\r\nReferer: https://evil.example/\r\n", true},
        {"Origin: https://127.0.0.1:888\r\nOrigin: https://127.0.0.1:888\r\n", true},
    };
    for (const Url& u : urls) {
        for (const Markers& m : markers) {
            RequestReader r;
            read_whole(r, std::string("GET ") + u.url + " HTTP/1.1\r\nHost: 127.0.0.1:888\r\n" + m.headers + "\r\n");
            EXPECT_EQ(sent_from_elsewhere(r), u.action && m.elsewhere) << u.url << " with " << m.headers;
        }
    }
    // A form keeps the form's rules: its Origin decides.
    RequestReader own;
    read_whole(own, "POST /page2_2.html?c=1&DeleteUnits=0 HTTP/1.1\r\nHost: 127.0.0.1:888\r\n"
                    "Origin: https://127.0.0.1:888\r\nSec-Fetch-Site: cross-site\r\nContent-Length: 0\r\n\r\n");
    EXPECT_FALSE(sent_from_elsewhere(own));
    RequestReader foreign;
    read_whole(foreign, "POST /page2_2.html?c=1 HTTP/1.1\r\nHost: 127.0.0.1:888\r\n"
                        "Referer: https://evil.example/\r\nContent-Length: 0\r\n\r\n");
    EXPECT_TRUE(sent_from_elsewhere(foreign));
}

// Which form a POST carries, by the handler its URL reaches in the
// dispatcher's order.
TEST(RequestChecks, FormRoutes)
{
    struct Case {
        const char* url;
        int form;
    };
    const Case cases[] = {
        {"/login.html", kFormLogin},
        {"/login.html?c=1&u=2", kFormLogin},
        {"/page4.html?c=0&u=0&cp=1", kFormSettings},
        {"/fwcheck.html?c=1", kFormUpload},
        {"/fwcheck.htmlx", kFormUpload},
        {"/fwupdate.html?c=1", kFormNone},
        {"/page0.html", kFormNone},
        {"/page4.htm", kFormNone},
        {"/logout.html", kFormNone},
        {"/login.html/x.gif", kFormNone},
        {"/page4.html?favicon.ico", kFormNone},
        {"/", kFormNone},
        {"", kFormNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(form_route(c.url), c.form) << c.url;
    EXPECT_FALSE(remote_peer_refused(0, "127.0.0.1"));
    EXPECT_FALSE(remote_peer_refused(0, "127.0.0.15"));
    EXPECT_TRUE(remote_peer_refused(0, "127.0.0.2"));
    EXPECT_FALSE(remote_peer_refused(1, "127.0.0.2"));
}

}  // namespace
