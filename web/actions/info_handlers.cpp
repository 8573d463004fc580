#include "web/actions/info_handlers.h"

#include "api/command_logger.h"
#include "api/ctl.h"
#include "web/actions/handler_frame.h"
#include "web/pages/info_pages.h"
#include "web/pages/status_texts.h"

namespace {

constexpr int kAllUnits = -2;
constexpr int kMaxPort = 127;

// The action key of each page that has one.
const char kBlinkUnitKey[] = "BlinkUnit=";             // the units page
const char kBlinkDriveKey[] = "BlinkDrive=";           // the drives page
const char kSetPhyLinkspeedKey[] = "SetPhyLinkspeed=";  // the phys page

// The identify actions' sentences: by whether the lights were to go on and
// whether the library did it.
const char* identify_sentence(bool on, bool done) {
    if (on) return done ? "Blinking LED for " : "Failed to start blinking LED for ";
    return done ? "Stopped blinking LED for " : "Failed to stop blinking LED for ";
}

// The name of a link-speed limit, empty for a value without one.
const char* limit_name(int limit) {
    if (limit == 0) return "Auto";
    const char* name = link_speed_name(limit);
    return name != nullptr ? name : "";
}

// Switches the identify lights of unit `unit`, without the command log.
int blink_unit(DaemonContext* context, PageBuilder* page, const ControllerSelection& controllers,
               const char* url) {
    const int unit = get_number(url, kBlinkUnitKey, 0);
    const bool on = get_on(url);
    ObjectId id;
    bool done = make_unit_id(controllers.controller_index(), unit, &id) == 0 &&
                ctl_identify_unit(id, on ? 1 : 0) == 0;
    ActionMessage message(context);
    message.text(identify_sentence(on, done)).text("unit ").number(unit);
    return message.redirect(page, "/page1_1.html", kRedirectDone);
}

// Switches the identify light of the drive on port `port`, through the
// command log. A number that names no port is not sent.
int blink_drive(DaemonContext* context, PageBuilder* page, const ControllerSelection& controllers,
                const char* url) {
    const int port = get_number(url, kBlinkDriveKey, 0);
    const bool on = get_on(url);
    ObjectId id;
    bool done = port >= 0 && port <= kMaxPort &&
                make_port_id(controllers.controller_index(), port, &id) == 0 &&
                context->command_logger()->identify_port(id, on ? 1 : 0) == 0;
    ActionMessage message(context);
    message.text(identify_sentence(on, done)).text("drive ").number(port);
    return message.redirect(page, "/page1_2.html", kRedirectDone);
}

// Sets the link-speed limit of phy y (administrators only).
int set_phy_link_limit(DaemonContext* context, PageBuilder* page, ControllerSelection& controllers,
                       const PageRequest& request, int y) {
    ActionMessage message(context);
    if (request.level != kAccessAdmin) {
        message.daemon(17);
        return message.redirect(page, "/page1_0_1.html", kRedirectDone);
    }
    const int limit = get_number(request.url, kSetPhyLinkspeedKey, 0) & 0xFF;
    const ControllerRecord& r = controllers.selected();
    ObjectId id;
    const bool done = index_in(y, list_count(r.phys)) &&
                      make_phy_id(r.controller_index, y, &id) == 0 &&
                      context->command_logger()->set_phy_link_negotiation_limit(id, limit) == 0;
    if (done)
        message.text("Set phy ")
            .number(y)
            .text(" link limit to ")
            .text(limit_name(limit))
            .text(".  ")
            .web(593);
    else
        message.text("Failed to set link limit for phy ").number(y);
    return message.redirect(page, "/page1_0_1.html", kRedirectDone);
}

// True when unit u of the controller exists: its status or its flags read
// something other than 0.
bool unit_exists(uint8_t controller, int u) {
    ObjectId id;
    if (u > 255 || make_unit_id(controller, u, &id) != 0) return false;
    uint8_t status = 0;
    uint8_t flags = 0;
    ctl_get_unit_status(id, &status);
    ctl_get_unit_flags(id, &flags);
    return status != 0 || flags != 0;
}

// The unit records of the whole unit list (1 to 64 units), filled.
void fill_listed_units(DaemonContext* context, ControllerRecord& r, int recursion) {
    if (attach_unit_records(r) != nullptr)
        context->fill_units(r.units, r.unit_records, &r, recursion);
}

void fill_listed_drives(DaemonContext* context, ControllerRecord& r, int detail) {
    if (attach_drive_records(r) != nullptr)
        context->fill_drives(r.ports, r.drive_records, &r, detail);
}

}  // namespace

int handle_page0(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page0(*page, kNoneFound, kNoneFound, controllers.list(), nullptr);
    const int c = controllers.select(context->get_param_c(request.url));
    const int u = context->get_param_u(request.url);
    ControllerRecord* records = controllers.fill(context);
    for (int i = 0; i < controllers.count(); ++i) fill_listed_units(context, records[i], 0);
    return write_page0(*page, c, u, controllers.list(), records);
}

int handle_page1_0(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page1_0(*page, kNoneFound, kNoneFound, controllers.list(), nullptr);
    const int c = controllers.select(context->get_param_c(request.url));
    const int u = context->get_param_u(request.url);
    ControllerRecord* records = controllers.fill(context);
    ControllerRecord& r = controllers.selected();
    if (list_count(r.units) > 0) {
        fill_listed_units(context, r, 0);
        if (attach_unit_drive_lists(r) != nullptr)
            context->fill_unit_drive_lists(r.units, r.unit_drive_lists);
    }
    fill_listed_drives(context, r, 0);
    context->count_drives_in_units(&r);
    context->count_active_units(&r);
    return write_page1_0(*page, c, u, controllers.list(), records);
}

int handle_page1_1(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page1_1(*page, kNoneFound, kNoneFound, controllers.list(), nullptr);
    const int c = controllers.select(context->get_param_c(request.url));
    if (has_key(request.url, kBlinkUnitKey))
        return blink_unit(context, page, controllers, request.url);

    int u = context->get_param_u(request.url);
    if (u >= 0 && !unit_exists(controllers.controller_index(), u)) u = kAllUnits;
    ControllerRecord* records = controllers.fill(context);
    ControllerRecord& r = controllers.selected();
    if (u < 0) {
        fill_listed_units(context, r, 0);
    } else {
        UnitRecord* unit = attach_unit_records(r, 1);
        fill_listed_drives(context, r, 0);
        ObjectId id;
        if (make_unit_id(r.controller_index, u, &id) == 0) context->fill_unit(id, unit, 1, &r);
    }
    return write_page1_1(*page, c, u, controllers.list(), records);
}

int handle_page1_2(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page1_2(*page, kNoneFound, kNoneFound, controllers.list(), nullptr);
    const int c = controllers.select(context->get_param_c(request.url));
    if (has_key(request.url, kBlinkDriveKey))
        return blink_drive(context, page, controllers, request.url);

    const int d = context->get_param_d(request.url);
    ControllerRecord* records = controllers.fill(context);
    ControllerRecord& r = controllers.selected();
    fill_listed_units(context, r, 0);
    fill_listed_drives(context, r, 1);
    return write_page1_2(*page, c, d, controllers.list(), records);
}

int handle_page1_0_1(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page1_0_1(*page, kNoneFound, kNoneFound, controllers.list(), nullptr);
    const int c = controllers.select(context->get_param_c(request.url));
    const int y = context->get_param_y(request.url);
    ControllerRecord* records = controllers.fill(context);
    if (has_key(request.url, kSetPhyLinkspeedKey))
        return set_phy_link_limit(context, page, controllers, request, y);
    ControllerRecord& r = controllers.selected();
    if (attach_phy_records(r) != nullptr) context->fill_phys(r.phys, r.phy_records, -1);
    return write_page1_0_1(*page, c, y, controllers.list(), records);
}

bool page1_1_has_action(const char* url) { return has_key(url, kBlinkUnitKey); }

bool page1_2_has_action(const char* url) { return has_key(url, kBlinkDriveKey); }

bool page1_0_1_has_action(const char* url) { return has_key(url, kSetPhyLinkspeedKey); }
