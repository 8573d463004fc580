// Checks on the header values of a request, shared by the request reader,
// the connection and the login: where the login cookie is in a Cookie
// header, and whether a form or an action came from a page of this server.
#pragma once

class RequestReader;

// The value of the cookie WOXUSER in the Cookie header value [p, p + n): the
// offset of its first character, or -1. The name counts only at the start
// of the value or after "; " (so "xWOXUSER=" is another cookie).
int find_login_cookie(const char* p, int n);

// Whether an Origin header value names the host the request was sent to
// (the Host header value): an https origin with the same host name, without
// regard to case, and the same port, a missing port being 443. An origin
// without a host ("null") names no host.
bool origin_matches_host(const char* origin, const char* host);

// Whether a Referer header value names a page of the host the request was
// sent to: its scheme and authority make an origin that origin_matches_host
// accepts.
bool referer_matches_host(const char* referer, const char* host);

// Whether a form came from a page of another site, by its header fields
// (read with the headers): an Origin naming another host, two Origin
// headers, or, without an Origin, "Sec-Fetch-Site: cross-site" or a Referer
// naming another host.
bool form_from_elsewhere(const RequestReader& request);

// Whether a GET that names an action came from a page of another site, by
// the same header fields, each on its own: "Sec-Fetch-Site: cross-site", an
// Origin naming another host (or two Origin headers), or a Referer naming
// another host. A page of this server loads its actions with none of them.
bool action_from_elsewhere(const RequestReader& request);
