#include "web/actions/battery_handler.h"

#include "api/command_logger.h"
#include "api/ctl.h"
#include "web/actions/handler_frame.h"
#include "web/pages/battery_page.h"
#include "web/pages/info_pages.h"

namespace {

const char* const kTarget = "/page3_1.html";

// Catalogue texts (19) of the messages.
enum : int {
    kInstalled = 101,
    kInstallFailed = 102,
    kTestStarted = 103,
    kTestFailed = 104,
};

// Tells the controller nothing that could harm it: open to users.
int init_bbu(DaemonContext* context, PageBuilder* page, const ControllerSelection& controllers, int) {
    ActionMessage message(context);
    if (ctl_init_bbu(controllers.id()) != 0)
        message.failure(kInstallFailed);
    else
        message.web(kInstalled);
    return message.redirect(page, kTarget, kRedirectDone);
}

int test_bbu(DaemonContext* context, PageBuilder* page, const ControllerSelection& controllers,
             int level) {
    ActionMessage message(context);
    if (level != kAccessAdmin)
        return message.refusal(kRefusalColon)
            .text("Failed to start BBU test")
            .redirect(page, kTarget, kRedirectNotPermitted);
    if (context->command_logger()->start_bbu_battery_test(controllers.id()) != 0)
        message.failure(kTestFailed);
    else
        message.web(kTestStarted);
    return message.redirect(page, kTarget, kRedirectDone);
}

struct BatteryAction {
    const char* key;
    int (*act)(DaemonContext*, PageBuilder*, const ControllerSelection&, int level);
};

// Tested in this order; the first key present decides.
const BatteryAction kActions[] = {
    {"InitBBU=", init_bbu},
    {"TestBBU=", test_bbu},
};

}  // namespace

bool page3_1_has_action(const char* url) { return first_key(url, kActions) != nullptr; }

int handle_page3_1(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page1_0(*page, kNoneFound, kNoneFound, controllers.list(), nullptr);
    const int c = controllers.select(context->get_param_c(request.url));

    if (const BatteryAction* action = first_key(request.url, kActions))
        return action->act(context, page, controllers, request.level);

    ControllerRecord* records = controllers.fill(context);
    context->fill_battery(controllers.id(), attach_battery(controllers.selected()));
    return write_page3_1(*page, c, controllers.list(), records);
}
