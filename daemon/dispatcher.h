// The dispatcher's table of page URLs: every page, action and download URL
// that needs a login, with the handler that answers it. A URL whose handler
// is not part of this build answers "404 Not-Found".
#pragma once

class ByteBuffer;
class DaemonContext;
class PageBuilder;

// Everything a page handler may need of its request.
struct PageRequest {
    const char* url;
    const char* host;
    const char* peer;
    const char* body;
    const ByteBuffer* upload;
    int level;
};

using PageHandler = int (*)(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// Whether a URL names one of the handler's actions, the requests that change
// the controllers or the daemon: the handler's own table of action keys
// answers it.
using ActionTest = bool (*)(const char* url);

struct PageRoute {
    const char* name;  // compared from the URL's character `offset` on
    int offset;
    int compared;      // number of characters compared
    PageHandler handler;
    ActionTest has_action;  // null: the handler only reads
};

// The routes in the order they are tried; count in *count.
const PageRoute* page_routes(int* count);

// The route a URL selects, or null.
const PageRoute* find_page_route(const char* url);

// The cookie renewal's expiry text for the time t (UTC):
// "%a, %d-%b-%Y %H:%M:%S GMT" with English names.
void format_cookie_expiry(long long t, char* out, int size);
