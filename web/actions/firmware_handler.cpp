// The controller firmware update in two steps: "/fwcheck.html" stores the
// uploaded image in its temporary file and checks it against the
// controller, its driver and the library, answering the Controller Settings
// page with the check's pop-up; "/fwupdate.html" then downloads the stored
// image to the controller, or "/fwupdate_canceled.html" discards it. The
// temporary file is named after the controller's position and the
// requester's address; it is removed on every way out but a check that
// found a verdict.
#include "api/command_logger.h"
#include "api/ctl.h"
#include "daemon/config_store.h"
#include "web/actions/firmware_image_file.h"
#include "web/actions/handler_frame.h"
#include "web/actions/settings_handlers.h"
#include "web/pages/settings_page.h"

namespace {

const char* const kTarget = "/page2_0.html";

enum : int {
    kUploadFailed = 373,
    kUpdateFailed = 374,
    kUpdated = 375,
    kCheckFailed = 449,
    kCanceled = 462,
    kNotStored = 509,
};

// The temporary file of the controller at position and the requester; an
// empty path when no file can have that name.
struct ImagePath {
    ImagePath(DaemonContext* context, int position, const char* peer) {
        format_firmware_temp_path(context->config()->get_img_path(), position, peer, text);
    }
    bool usable() const { return text[0] != '\0'; }
    void remove() const {
        if (usable()) delete_firmware_temp_file(text);
    }
    char text[kFirmwarePathSize];
};

}  // namespace

bool firmware_has_action(const char*) { return true; }

int handle_fwcheck(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ActionMessage m(context);
    if (request.level != kAccessAdmin)
        return m.refusal(kRefusalColon)
            .web(kUpdateFailed)
            .redirect(page, kTarget, kRedirectNotPermitted);
    ControllerSelection controllers;
    if (controllers.none())
        return write_page2_0(*page, kNoneFound, controllers.list(), nullptr, kVerdictNone);
    const int c = controllers.select(context->get_param_c(request.url));
    ControllerRecord* records = controllers.fill(context);
    ControllerRecord& r = controllers.selected();

    if (request.upload == nullptr || request.upload->length() == 0)
        return m.web(kUploadFailed).redirect(page, kTarget, kRedirectDone);
    const ImagePath path(context, c, request.peer);
    if (!path.usable() || !store_firmware_upload(path.text, *request.upload))
        return m.web(kNotStored).redirect(page, kTarget, kRedirectDone);
    if (ctl_check_firmware_image_file(controllers.id(), path.text, nullptr, &r.firmware_check) !=
        0) {
        m.failure(kUpdateFailed);
        path.remove();
        return m.redirect(page, kTarget, kRedirectDone);
    }
    const int verdict = firmware_verdict(r.firmware_check);
    if (verdict == kVerdictNone) {
        path.remove();
        m.web(kCheckFailed).text("[API:").number(r.firmware_check.library_verdict);
        m.text(" , DRV:").number(r.firmware_check.driver_verdict).text("].");
        return m.redirect(page, kTarget, kRedirectDone);
    }

    UnitRecord* units = attach_unit_records(r);
    UnitCacheRecord* caches = attach_unit_cache_records(r);
    if (units != nullptr) context->fill_units(r.units, units, &r, 0);
    if (caches != nullptr) context->fill_unit_cache_settings(r.units, caches);
    context->fill_battery(controllers.id(), attach_battery(r));
    return write_page2_0(*page, c, controllers.list(), records, verdict);
}

int handle_fwupdate(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ActionMessage m(context);
    ControllerSelection controllers;
    const int c = controllers.select(context->get_param_c(request.url));
    const ImagePath path(context, c, request.peer);
    if (request.level != kAccessAdmin) {
        path.remove();
        return m.refusal(kRefusalColon)
            .web(kUpdateFailed)
            .redirect(page, kTarget, kRedirectNotPermitted);
    }
    if (controllers.none() || !path.usable()) {
        m.web(kUpdateFailed);
    } else if (context->command_logger()->download_firmware(controllers.id(), path.text) != 0) {
        m.failure(kUpdateFailed);
    } else {
        m.web(kUpdated);
    }
    path.remove();
    return m.redirect(page, kTarget, kRedirectDone);
}

int handle_fwupdate_canceled(DaemonContext* context, PageBuilder* page,
                             const PageRequest& request) {
    ControllerSelection controllers;
    const ImagePath path(context, controllers.select(context->get_param_c(request.url)),
                         request.peer);
    path.remove();
    ActionMessage m(context);
    return m.web(kCanceled).redirect(page, kTarget, kRedirectDone);
}
