// Which page route a URL selects, and the cookie renewal's expiry text.
#include "daemon/dispatcher.h"

#include <gtest/gtest.h>

namespace {

TEST(PageRoutes, UrlsSelectTheirRouteByTheComparedCharacters)
{
    struct Case {
        const char* url;
        const char* route;  // null: no route
    };
    const Case cases[] = {
        {"/page0.html?c=1", "/page0.html"},
        {"/page0.htmlx", "/page0.html"},
        {"/page0.htm", nullptr},
        {"/page1_0.html", "/page1_0.html"},
        {"/page1_0_1.html?c=0&y=2", "/page1_0_1.html"},
        {"/page1_0_1.htXYZ", "/page1_0_1.html"},   // 13 characters decide
        {"/fwupdate.htmX", "/fwupdate.html"},
        {"/fwupdate_canXXX", "/fwupdate_canceled.html"},
        {"/fwcheck.html", "/fwcheck.html"},
        {"/alarmsdata.html?c=0", "/alarmsdata.html"},
        {"/alarmsdata.htm", nullptr},
        {"/page4.html?Port=8443", "/page4.html"},
        {"/smart.dat?c=0&d=1", "/smart.dat"},
        {"/smart.html", "/smart.html"},
        {"/errorlog_0.dat", "errorlog_"},
        {"Xerrorlog_", "errorlog_"},
        {"/encl_diaglog_0_1.dat", "encl_diaglog_"},
        {"/help/en/index.html", "/help"},
        {"/helpme.gif", "/help"},
        {"/page9.html", nullptr},
        {"errorlog_", nullptr},
        {"/", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        const PageRoute* r = find_page_route(c.url);
        if (c.route == nullptr)
            EXPECT_EQ(r, nullptr) << c.url;
        else if (r == nullptr)
            ADD_FAILURE() << c.url << " selects nothing";
        else
            EXPECT_STREQ(r->name, c.route) << c.url;
    }
}

TEST(PageRoutes, CookieExpiryIsUtcWithEnglishNames)
{
    struct Case {
        long long t;
        const char* text;
    };
    const Case cases[] = {
        {0, "Thu, 01-Jan-1970 00:00:00 GMT"},
        {1718107200 + 15 * 60, "Tue, 11-Jun-2024 12:15:00 GMT"},
        {951782400, "Tue, 29-Feb-2000 00:00:00 GMT"},
    };
    for (const Case& c : cases) {
        char out[64];
        format_cookie_expiry(c.t, out, sizeof out);
        EXPECT_STREQ(out, c.text);
    }
}

}  // namespace
