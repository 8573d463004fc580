#include "daemon/http_response.h"

#include "daemon/http_codes.h"

const char kStatusOk[] = "200 OK";
const char kStatusNotFound[] = "404 Not-Found";
const char kStatusServerError[] = "500 Internal-Server-Error";

namespace {

// By ContentType code.
const char* const kContentTypes[] = {
    "text/html",       "text/plain", "image/gif", "image/jpeg",               "application/binary", "text/javascript",
    "text/xml",        "text/css",   "application/java-archive", "image/x-icon", "image/png",
};

}  // namespace

const char* content_type_text(unsigned type)
{
    return type < sizeof kContentTypes / sizeof kContentTypes[0] ? kContentTypes[type] : "text/plain";
}

void format_response_head(StringBuilder& out, const char* status, unsigned content_type, const char* brand,
                          const char* cookie, int body_length)
{
    out.append("HTTP/1.1 ").append(status).append("\r\n");
    out.append("Server: ").append(brand).append("/2.0\r\n");
    out.append("Connection: close\r\n");
    out.append("Content-Type: ").append(content_type_text(content_type)).append("; charset=utf-8\r\n");
    if (cookie != nullptr && cookie[0] != '\0')
        out.append("Set-Cookie: ").append(cookie).append("\r\n");
    out.append("Content-Length: ").append_int(body_length).append("\r\n\r\n");
}
