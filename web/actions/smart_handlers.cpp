#include "web/actions/smart_handlers.h"

#include <cstring>

#include "api/command_logger.h"
#include "api/ctl.h"
#include "web/actions/handler_frame.h"
#include "web/pages/info_pages.h"
#include "web/pages/smart_page.h"

namespace {

// "p=" is read into a buffer of this size: at most 7 digits.
constexpr int kPortValueSize = 8;
constexpr uint32_t kPortRoom = 128;
constexpr int kLibraryTexts = 11;
constexpr int kInvalidDriveId = 10;  // 11:10 "Invalid drive ID"

// The controller's port list; empty when it cannot be read.
void read_port_list(ObjectId controller, IdList* ports) {
    clear_id_list(*ports);
    if (ctl_get_port_list(controller, ports) != 0 || ports->count > kPortRoom) ports->count = 0;
}

// The drive a request names: its position in the selected controller's
// port list.
int requested_position(const PageRequest& request) {
    return get_number(request.url, "p=", 0, kPortValueSize);
}

// Reads the SMART data of the drive at position p of the controller's port
// list, through the command log, into data, which is zeroed first. Returns
// true when read; else error holds the reason. A position that names no
// port is refused before anything is sent.
bool read_smart_data(DaemonContext* context, uint8_t controller, const IdList& ports, int p,
                     uint8_t (&data)[kSmartDataSize], char (&error)[256]) {
    std::memset(data, 0, sizeof data);
    error[0] = '\0';
    ObjectId drive;
    if (!index_in(p, list_count(ports))) {
        std::strncat(error, context->message(kLibraryTexts, kInvalidDriveId), sizeof error - 1);
        return false;
    }
    if (make_drive_id(controller, p, &drive) != 0 ||
        context->command_logger()->get_drive_smart_data(drive, data) != 0) {
        library_error_text(context, error);
        return false;
    }
    return true;
}

}  // namespace

int handle_smart(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page1_2(*page, kNoneFound, kNoneFound, controllers.list(), nullptr);
    const int c = controllers.select(context->get_param_c(request.url));
    // The pop-up shows one drive of one controller: only their records are
    // filled.
    ControllerRecord r;
    context->fill_controller(c, controllers.id(), &r);
    const int p = requested_position(request);
    DriveRecord* drives = attach_drive_records(r);
    if (drives != nullptr && index_in(p, list_count(r.ports)))
        context->fill_drive(r.ports.ids[p], &drives[p], &r, 0);

    uint8_t data[kSmartDataSize];
    char error[256];
    const bool read = read_smart_data(context, r.controller_index, r.ports, p, data, error);
    return write_smart(*page, context->get_host_name(), p, r, read ? data : nullptr, error);
}

int handle_smart_dat(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none()) return kHandlerNotFound;
    controllers.select(context->get_param_c(request.url));
    IdList ports;
    read_port_list(controllers.id(), &ports);

    uint8_t data[kSmartDataSize];
    char error[256];
    if (!read_smart_data(context, controllers.controller_index(), ports,
                         requested_position(request), data, error))
        return kHandlerNotFound;
    return page->send_smart_dat(data, kSmartDataSize);
}
