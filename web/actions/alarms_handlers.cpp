#include "web/actions/alarms_handlers.h"

#include <cstring>

#include "daemon/config_store.h"
#include "daemon/event_log.h"
#include "web/actions/handler_frame.h"
#include "web/pages/alarms_page.h"

namespace {

// Catalogue texts (category 19).
constexpr int kTextCannotClear = 99;
constexpr int kTextCleared = 100;

const char kPage[] = "/page3_0.html";
// The page's one action key.
const char kClearAlarmsKey[] = "ClearAlarms=";

// 1 when "SortBy=" is there and its value begins with "sev" (case counts).
int sort_flag(const char* url) {
    char value[kValueSize];
    return get_value(url, "SortBy=", value) && std::strncmp(value, "sev", 3) == 0 ? 1 : 0;
}

// Empties both event files of the selected controller.
int clear_alarms(DaemonContext* context, PageBuilder* page, const ControllerRecord& controller,
                 int level) {
    ActionMessage message(context);
    if (level != kAccessAdmin)
        return message.refusal(kRefusalColon)
            .web(kTextCannotClear)
            .redirect(page, kPage, kRedirectNotPermitted);
    char serial[sizeof controller.serial_number + 1];
    const size_t n = strnlen(controller.serial_number, sizeof controller.serial_number);
    std::memcpy(serial, controller.serial_number, n);
    serial[n] = '\0';
    // A file that could not be emptied is told, not reported as cleared.
    const bool cleared = clear_event_files(context->config()->get_aen_log_dir(), serial) == 0;
    return message.web(cleared ? kTextCleared : kTextCannotClear)
        .redirect(page, kPage, kRedirectDone);
}

}  // namespace

bool page3_0_has_action(const char* url) { return has_key(url, kClearAlarmsKey); }

int handle_page3_0(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none()) return write_page3_0(*page, kNoneFound, controllers.list(), nullptr, 0);
    controllers.select(context->get_param_c(request.url));
    ControllerRecord* records = controllers.fill(context);
    const int sort = sort_flag(request.url);
    if (has_key(request.url, kClearAlarmsKey))
        return clear_alarms(context, page, controllers.selected(), request.level);
    return write_page3_0(*page, controllers.position(), controllers.list(), records, sort);
}

int handle_alarmsdata(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    // Without a controller the frame gets the whole page in its "NO
    // CONTROLLERS" form.
    if (controllers.none()) return write_page3_0(*page, kNoneFound, controllers.list(), nullptr, 0);
    controllers.select(context->get_param_c(request.url));
    ControllerRecord* records = controllers.fill(context);
    return write_alarmsdata(*page, controllers.position(), controllers.list(), records,
                            sort_flag(request.url));
}
