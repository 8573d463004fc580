#include "daemon/request_checks.h"

#include <strings.h>

#include <cstring>

#include "daemon/request_reader.h"

namespace {

const char kLoginCookie[] = "WOXUSER=";
constexpr int kLoginCookieLength = sizeof kLoginCookie - 1;
constexpr long kHttpsPort = 443;

// Whether c may stand in a host name: a URI's registered name or IPv4
// address (letters, digits, "-._~", percent escapes and sub-delimiters).
// Not '<' or '>': the reader's "<unknown>" for a missing Host is no name.
bool host_name_character(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr("-._~%!$&'()*+,;=", c) != nullptr);
}

// Splits "name[:port]" (a bracketed IPv6 literal counts as the name) into
// its name length and port text; returns false for a malformed text.
bool split_authority(const char* p, int n, int* name_length, const char** port, int* port_length)
{
    int colon = -1;
    if (n > 0 && p[0] == '[') {
        const char* close = static_cast<const char*>(std::memchr(p, ']', static_cast<size_t>(n)));
        if (close == nullptr)
            return false;
        int after = static_cast<int>(close - p) + 1;
        if (after < n && p[after] != ':')
            return false;
        colon = after < n ? after : -1;
    } else {
        const char* c = static_cast<const char*>(std::memchr(p, ':', static_cast<size_t>(n)));
        colon = c == nullptr ? -1 : static_cast<int>(c - p);
        for (int i = 0; i < (colon < 0 ? n : colon); i++)
            if (!host_name_character(p[i]))
                return false;
    }
    *name_length = colon < 0 ? n : colon;
    *port = colon < 0 ? nullptr : p + colon + 1;
    *port_length = colon < 0 ? 0 : n - colon - 1;
    if (*name_length == 0)
        return false;
    for (int i = 0; i < *port_length; i++)
        if ((*port)[i] < '0' || (*port)[i] > '9')
            return false;
    return true;
}

// The length of text without the blanks at its end.
int trimmed_length(const char* text)
{
    int n = static_cast<int>(std::strlen(text));
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t'))
        n--;
    return n;
}

// The port number of a port text, or default_port when there is none.
long port_number(const char* port, int length, long default_port)
{
    if (port == nullptr || length == 0)
        return default_port;
    long v = 0;
    for (int i = 0; i < length && v <= 65535; i++)
        v = v * 10 + (port[i] - '0');
    return v;
}

// The markers of a request sent from a page of another site.
bool foreign_origin(const RequestReader& request)
{
    return request.origin_count() > 1 ||
           (request.origin() != nullptr && !origin_matches_host(request.origin(), request.host()));
}

bool cross_site_fetch(const RequestReader& request)
{
    const char* site = request.fetch_site();
    return site != nullptr && strncasecmp(site, "cross-site", 10) == 0 && trimmed_length(site) == 10;
}

bool foreign_referer(const RequestReader& request)
{
    return request.referer() != nullptr && !referer_matches_host(request.referer(), request.host());
}

}  // namespace

int find_login_cookie(const char* p, int n)
{
    for (int at = 0; at + kLoginCookieLength <= n; at++) {
        bool starts_cookie = at == 0 || (at >= 2 && p[at - 2] == ';' && p[at - 1] == ' ');
        if (starts_cookie && std::memcmp(p + at, kLoginCookie, kLoginCookieLength) == 0)
            return at + kLoginCookieLength;
    }
    return -1;
}

bool origin_matches_host(const char* origin, const char* host)
{
    if (origin == nullptr || host == nullptr)
        return false;
    // The daemon's pages come over https only.
    if (strncasecmp(origin, "https://", 8) != 0)
        return false;
    const char* authority = origin + 8;
    int end = trimmed_length(authority);
    int origin_length = static_cast<int>(std::strcspn(authority, "/"));
    if (origin_length > end)
        origin_length = end;
    if (origin_length < end - 1 || (origin_length == end - 1 && authority[origin_length] != '/'))
        return false;  // an origin carries no path
    int origin_name, origin_port_length, host_name, host_port_length;
    const char *origin_port, *host_port;
    if (!split_authority(authority, origin_length, &origin_name, &origin_port, &origin_port_length) ||
        !split_authority(host, trimmed_length(host), &host_name, &host_port, &host_port_length))
        return false;
    return origin_name == host_name &&
           strncasecmp(authority, host, static_cast<size_t>(origin_name)) == 0 &&
           port_number(origin_port, origin_port_length, kHttpsPort) == port_number(host_port, host_port_length, kHttpsPort);
}

bool referer_matches_host(const char* referer, const char* host)
{
    if (referer == nullptr || strncasecmp(referer, "https://", 8) != 0)
        return false;
    // The origin of the page: scheme and authority, up to the path, query or
    // fragment.
    size_t end = 8 + std::strcspn(referer + 8, "/?#");
    char origin[512];
    if (end >= sizeof origin)
        return false;  // no host name is that long
    std::memcpy(origin, referer, end);
    origin[end] = '\0';
    return origin_matches_host(origin, host);
}

bool form_from_elsewhere(const RequestReader& request)
{
    // A form's Origin, when it has one, decides.
    if (request.origin_count() > 0)
        return foreign_origin(request);
    return cross_site_fetch(request) || foreign_referer(request);
}

bool action_from_elsewhere(const RequestReader& request)
{
    return foreign_origin(request) || cross_site_fetch(request) || foreign_referer(request);
}
