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

}  // namespace

int handle_page3_1(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page1_0(*page, kNoneFound, kNoneFound, controllers.list(), nullptr);
    const int c = controllers.select(context->get_param_c(request.url));

    if (has_key(request.url, "InitBBU=")) {
        // Tells the controller nothing that could harm it: open to users.
        ActionMessage message(context);
        if (ctl_init_bbu(controllers.id()) != 0)
            message.failure(kInstallFailed);
        else
            message.web(kInstalled);
        return message.redirect(page, kTarget, kRedirectDone);
    }
    if (has_key(request.url, "TestBBU=")) {
        ActionMessage message(context);
        if (request.level != kAccessAdmin)
            return message.refusal(kRefusalColon)
                .text("Failed to start BBU test")
                .redirect(page, kTarget, kRedirectNotPermitted);
        if (context->command_logger()->start_bbu_battery_test(controllers.id()) != 0)
            message.failure(kTestFailed);
        else
            message.web(kTestStarted);
        return message.redirect(page, kTarget, kRedirectDone);
    }

    ControllerRecord* records = controllers.fill(context);
    context->fill_battery(controllers.id(), attach_battery(controllers.selected()));
    return write_page3_1(*page, c, controllers.list(), records);
}
