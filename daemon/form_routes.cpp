#include "daemon/form_routes.h"

#include <cstring>

#include "daemon/dispatcher.h"
#include "daemon/request_checks.h"
#include "daemon/request_reader.h"

namespace {

// The dispatcher serves an image or the icon for any URL that names one.
bool names_image(const char* url)
{
    return (std::strstr(url, ".gif") != nullptr && std::strncmp(url, "/help", 5) != 0) ||
           std::strstr(url, "favicon.ico") != nullptr;
}

}  // namespace

int form_route(const char* url)
{
    if (names_image(url))
        return kFormNone;
    if (std::strncmp(url, "/login.html", 11) == 0)
        return kFormLogin;
    const PageRoute* route = find_page_route(url);
    if (route == nullptr)
        return kFormNone;
    if (std::strcmp(route->name, "/page4.html") == 0)
        return kFormSettings;
    if (std::strcmp(route->name, "/fwcheck.html") == 0)
        return kFormUpload;
    return kFormNone;
}

bool url_names_action(const char* url)
{
    if (names_image(url))
        return false;
    const PageRoute* route = find_page_route(url);
    return route != nullptr && route->has_action != nullptr && route->has_action(url);
}

bool remote_peer_refused(int remote_access, const char* peer)
{
    return remote_access == 0 && std::strstr(peer, "127.0.0.1") == nullptr;
}

bool sent_from_elsewhere(const RequestReader& request)
{
    switch (request.method()) {
    case kMethodPost:
    case kMethodMultipart:
        return form_from_elsewhere(request);
    case kMethodGet:
        return url_names_action(request.url()) && action_from_elsewhere(request);
    }
    return false;
}
