#include "daemon/dispatcher.h"

#include <cstring>
#include <ctime>

#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/http_codes.h"
#include "daemon/login.h"
#include "daemon/form_routes.h"
#include "daemon/string_builder.h"
#include "web/actions/alarms_handlers.h"
#include "web/actions/settings_handlers.h"
#include "web/pages/frame_set.h"
#include "web/actions/battery_handler.h"
#include "web/actions/controller_selection.h"
#include "web/actions/enclosure_handlers.h"
#include "web/actions/info_handlers.h"
#include "web/actions/schedule_handler.h"
#include "web/actions/smart_handlers.h"
#include "web/pages/page_builder.h"
#include "web/actions/daemon_settings_handler.h"
#include "web/actions/help_handlers.h"
#include "web/actions/maintenance_actions.h"
#include "web/actions/report_downloads.h"

namespace {

// The page URLs in the order tried. Thirteen characters are compared for
// every name of thirteen or more. Handlers that come with the pages they
// answer are filled in here as those pages are built, with the test of
// their action keys where they have actions.
const PageRoute kPageRoutes[] = {
    {"/page0.html", 0, 11, handle_page0, nullptr},
    {"/page1_0.html", 0, 13, handle_page1_0, nullptr},
    {"/page1_1.html", 0, 13, handle_page1_1, page1_1_has_action},
    {"/page1_2.html", 0, 13, handle_page1_2, page1_2_has_action},
    {"/page1_0_1.html", 0, 13, handle_page1_0_1, page1_0_1_has_action},
    {"/page2_0.html", 0, 13, handle_page2_0, page2_0_has_action},
    {"/page2_1.html", 0, 13, handle_page2_1, page2_1_has_action},
    {"/page2_2.html", 0, 13, handle_page2_2, page2_2_has_action},
    {"/page3_0.html", 0, 13, handle_page3_0, page3_0_has_action},
    {"/page3_1.html", 0, 13, handle_page3_1, page3_1_has_action},
    {"/page3_2.html", 0, 13, handle_page3_2, nullptr},
    {"/page3_3.html", 0, 13, handle_page3_3, page3_3_has_action},
    {"/fwupdate.html", 0, 13, handle_fwupdate, firmware_has_action},
    {"/fwupdate_canceled.html", 0, 13, handle_fwupdate_canceled, firmware_has_action},
    {"/fwcheck.html", 0, 13, handle_fwcheck, firmware_has_action},
    {"/alarmsdata.html", 0, 16, handle_alarmsdata, nullptr},
    {"/page4.html", 0, 11, handle_page4, page4_has_action},
    {"/page5.html", 0, 11, handle_page5, nullptr},
    {"/smart.html", 0, 11, handle_smart, nullptr},
    {"/smart.dat", 0, 10, handle_smart_dat, nullptr},
    {"errorlog_", 1, 9, handle_errorlog, nullptr},
    {"encl_diaglog_", 1, 13, handle_encl_diaglog, nullptr},
    {"/help", 0, 5, handle_help, nullptr},
};

bool begins_with(const char* url, const char* name, int count)
{
    return std::strncmp(url, name, static_cast<size_t>(count)) == 0;
}

bool contains(const char* url, const char* text)
{
    return std::strstr(url, text) != nullptr;
}

// The remote-access refusal: the login cookie is cleared and the refusal
// page answered.
int refuse_remote(DaemonContext* context, PageBuilder* page, const char* url, int level)
{
    int c = context->get_param_c(url);
    (void)context->get_param_u(url);
    if (level == kAccessUser || level == kAccessAdmin)
        page->set_cookie(kClearedCookie);
    return page->write_no_remote_access(c < 0 || c > 254 ? 0 : c);
}

// The menu with the controller selector: the controller list and one filled
// record per controller, or the count -888 and no records when the list
// does not hold 1 to 255 controllers.
int write_menu_with_controllers(DaemonContext* context, PageBuilder* page, int level)
{
    ControllerSelection controllers;
    ControllerRecord* records = controllers.fill(context);
    return write_menu(*page, context->get_host_name(), context->get_os_text(), controllers.list(), records, level);
}

// Pushes the login's expiry AutoLogout minutes ahead, with the cookie value
// of the configuration as it is after the handler ran.
void renew_cookie(DaemonContext* context, PageBuilder* page, int level)
{
    ConfigStore* config = context->config();
    long long minutes = config->get_auto_logout();
    const char* stored = level == kAccessAdmin ? config->get_admin_pwd() : config->get_ro_pwd();
    char value[kCryptTextSize];
    if (!login_cookie_value(stored, level, value))
        return;
    char expiry[64];
    format_cookie_expiry(static_cast<long long>(std::time(nullptr)) + minutes * 60, expiry, sizeof expiry);
    StringBuilder tail;
    tail.append(";Expires=").append(expiry).append(";");
    StringBuilder cookie;
    append_login_cookie(cookie, value, tail.c_str());
    page->set_cookie(cookie.c_str());
}

}  // namespace

const PageRoute* page_routes(int* count)
{
    *count = static_cast<int>(sizeof kPageRoutes / sizeof kPageRoutes[0]);
    return kPageRoutes;
}

const PageRoute* find_page_route(const char* url)
{
    int count;
    const PageRoute* routes = page_routes(&count);
    for (int i = 0; i < count; i++) {
        const PageRoute& r = routes[i];
        if (r.offset > 0 && url[0] == '\0')
            continue;
        if (begins_with(url + r.offset, r.name, r.compared))
            return &r;
    }
    return nullptr;
}

void format_cookie_expiry(long long t, char* out, int size)
{
    // Names are the C locale's, which this program never changes.
    time_t when = static_cast<time_t>(t);
    struct tm tm;
    if (gmtime_r(&when, &tm) == nullptr || std::strftime(out, static_cast<size_t>(size), "%a, %d-%b-%Y %H:%M:%S GMT", &tm) == 0)
        out[0] = '\0';
}

int DaemonContext::dispatch(PageBuilder* page, const char* url, const char* host, const char* peer,
                            const char* cookie_line, const char* body, const ByteBuffer* upload)
{
    int level = get_access_level(cookie_line);
    page->set_access_level(static_cast<uint32_t>(level));

    int result;
    bool may_renew = true;
    if (contains(url, ".gif") && !begins_with(url, "/help", 5)) {
        result = page->send_logo(url);
    } else if (contains(url, "favicon.ico")) {
        result = page->send_favicon();
    } else if (begins_with(url, "/blank.html", 11)) {
        result = page->write_blank();
    } else if (std::strcmp(url, "/") == 0 || begins_with(url, "/index.htm", 10)) {
        result = write_index(*page, get_host_name(), level);
    } else if (begins_with(url, "/menu.html", 10)) {
        result = write_menu_with_controllers(this, page, level);
    } else if (begins_with(url, "/logout.html", 12)) {
        result = handle_logout(this, page, url, level);
        may_renew = false;
    } else if (remote_peer_refused(config_->get_remote_access(), peer)) {
        result = refuse_remote(this, page, url, level);
        may_renew = false;
    } else if (begins_with(url, "/login.html", 11)) {
        result = handle_login(this, page, url, body, peer, level);
        // A successful login's new cookie stands.
        may_renew = page->get_cookie()[0] == '\0';
    } else if (const PageRoute* route = find_page_route(url)) {
        if (level == kAccessNone)
            result = handle_login(this, page, url, "", peer, level);
        else if (route->handler == nullptr)
            result = kHandlerNotFound;
        else
            result = route->handler(this, page, PageRequest{url, host, peer, body, upload, level});
    } else {
        result = kHandlerNotFound;
    }

    char scratch[8];
    if (may_renew && (level == kAccessUser || level == kAccessAdmin) && config_->get_auto_logout() != 0 &&
        get_parameter(url, "auto=", scratch, sizeof scratch) == nullptr)
        renew_cookie(this, page, level);
    return result;
}
