// Checks on the header values of a request, shared by the request reader and
// the login: where the login cookie is in a Cookie header, and whether a
// form was posted from a page of this server.
#pragma once

// The value of the cookie WOXUSER in the Cookie header value [p, p + n): the
// offset of its first character, or -1. The name counts only at the start
// of the value or after "; " (so "xWOXUSER=" is another cookie).
int find_login_cookie(const char* p, int n);

// Whether an Origin header value names the host the request was sent to
// (the Host header value): an https origin with the same host name, without
// regard to case, and the same port, a missing port being 443. An origin
// without a host ("null") names no host.
bool origin_matches_host(const char* origin, const char* host);
