#include "daemon/form_routes.h"

#include <cstring>

#include "daemon/dispatcher.h"

int form_route(const char* url)
{
    // The dispatcher serves an image or the icon for any URL that names one.
    if ((std::strstr(url, ".gif") != nullptr && std::strncmp(url, "/help", 5) != 0) ||
        std::strstr(url, "favicon.ico") != nullptr)
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

bool remote_peer_refused(int remote_access, const char* peer)
{
    return remote_access == 0 && std::strstr(peer, "127.0.0.1") == nullptr;
}
