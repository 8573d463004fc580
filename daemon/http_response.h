// The head of every answer the web server sends.
#pragma once

#include "daemon/string_builder.h"

extern const char kStatusOk[];             // "200 OK"
extern const char kStatusNotFound[];       // "404 Not-Found"
extern const char kStatusServerError[];    // "500 Internal-Server-Error"

// Appends the response head: status line, "Server: <brand>/2.0",
// "Connection: close", the content type with "; charset=utf-8", the
// Set-Cookie line when cookie is non-empty, and the Content-Length followed
// by the empty line.
void format_response_head(StringBuilder& out, const char* status, unsigned content_type, const char* brand,
                          const char* cookie, int body_length);
