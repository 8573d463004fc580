// The head of the web server's answers, byte for byte.
#include "daemon/http_response.h"

#include <gtest/gtest.h>

#include "daemon/http_codes.h"

namespace {

struct HeadCase {
    const char* status;
    unsigned type;
    const char* brand;
    const char* cookie;
    int length;
    const char* head;
};

TEST(ResponseHead, TableOfAnswers)
{
    const HeadCase cases[] = {
        {kStatusOk, kContentHtml, "Tavix", nullptr, 889,
         "HTTP/1.1 200 OK\r\nServer: Tavix/2.0\r\nConnection: close\r\n"
         "Content-Type: text/html; charset=utf-8\r\nContent-Length: 889\r\n\r\n"},
        {kStatusOk, kContentGif, "Acme", "", 1353,
         "HTTP/1.1 200 OK\r\nServer: Acme/2.0\r\nConnection: close\r\n"
         "Content-Type: image/gif; charset=utf-8\r\nContent-Length: 1353\r\n\r\n"},
        {kStatusOk, kContentCss, "Tavix", "WOXUSER=abc; Secure", 0,
         "HTTP/1.1 200 OK\r\nServer: Tavix/2.0\r\nConnection: close\r\n"
         "Content-Type: text/css; charset=utf-8\r\nSet-Cookie: WOXUSER=abc; Secure\r\nContent-Length: 0\r\n\r\n"},
        {kStatusNotFound, kContentPng + 1, "Tavix", nullptr, 1,
         "HTTP/1.1 404 Not-Found\r\nServer: Tavix/2.0\r\nConnection: close\r\n"
         "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 1\r\n\r\n"},
        {kStatusServerError, kContentIcon, "Tavix", nullptr, 1,
         "HTTP/1.1 500 Internal-Server-Error\r\nServer: Tavix/2.0\r\nConnection: close\r\n"
         "Content-Type: image/x-icon; charset=utf-8\r\nContent-Length: 1\r\n\r\n"},
    };
    for (const HeadCase& c : cases) {
        StringBuilder head;
        format_response_head(head, c.status, c.type, c.brand, c.cookie, c.length);
        EXPECT_STREQ(head.c_str(), c.head);
    }
}

TEST(ResponseHead, EveryContentTypeHasItsText)
{
    const char* const expected[] = {
        "text/html",       "text/plain", "image/gif", "image/jpeg",               "application/binary",
        "text/javascript", "text/xml",   "text/css",  "application/java-archive", "image/x-icon",
        "image/png",
    };
    for (unsigned type = 0; type < sizeof expected / sizeof expected[0]; type++)
        EXPECT_STREQ(content_type_text(type), expected[type]) << type;
    EXPECT_STREQ(content_type_text(11), "text/plain");
    EXPECT_STREQ(content_type_text(0xFFFFFFFFu), "text/plain");
}

}  // namespace
