// Creating units from the maintenance page's create pop-up ("CreateDrives="):
// every value the pop-up sends is checked as the page checks it before
// anything changes; then the single disks among the drives are released,
// the unit (or one unit per drive for the single-drive types) is created
// and the pop-up's settings are applied to it. The message names the units
// created, any setting that could not be applied, and the creation that
// failed.
#include <cstring>

#include "api/command_logger.h"
#include "api/ctl.h"
#include "web/actions/handler_frame.h"
#include "web/actions/maintenance_values.h"
#include "web/actions/unit_creation_rules.h"
#include "web/actions/unit_creation_values.h"
#include "web/actions/unit_names.h"
#include "web/pages/status_texts.h"

namespace {

// Catalogue texts.
constexpr int kCannotCreate = 87;
constexpr int kSelectOneDrive = 88;
constexpr int kCreated = 89;
constexpr int kCreateFailed = 90;
constexpr int kInvalidName = 396;
constexpr int kOverActiveLimit = 416;
constexpr int kMixedKinds = 519;
constexpr int kOverUnitLimit = 520;
constexpr int kConfigured = 576;

const char* const kUnknownType = "Unknown type of unit to create";
constexpr int kTypeSize = 64;
// The name as the pop-up sends it: the 20 characters its field holds, each
// of up to 3 bytes of UTF-8 written as "%XX", and the NUL.
constexpr int kEncodedNameSize = 20 * 3 * 3 + 1;

struct CreateRequest {
    NumberList ports;
    char type_name[kTypeSize];
    const UnitType* type;
    char name[kEncodedNameSize];  // as received until the checks decode it
    int stripe;
    int pervault;
    int quickmend;
    int per_subunit;
    int write_cache;
    int read_cache;
    int auto_verify;
    int ignore_ecc;
    int queuing;
};

// Reads every value of the request; false when one is not what the page
// sends (a key missing, a value that is no number, a name or list longer
// than its room).
bool read_request(const char* url, CreateRequest* r) {
    if (!read_number_list(url, "CreateDrives=", &r->ports) || !has_key(url, "CreateType=") ||
        !read_encoded_text(url, "UnitName=", r->name))
        return false;
    // A type name too long for its room is no type's name.
    read_text(url, "CreateType=", r->type_name);
    r->type = find_unit_type(r->type_name);
    int pervault = 0, quickmend = 0;
    if (!read_setting(url, "CreateStripe=", &r->stripe) ||
        !read_setting(url, "Pervault=", &pervault) ||
        !read_setting(url, "QM_Recovery=", &quickmend) ||
        !read_setting(url, "CreateDperS=", &r->per_subunit) ||
        !read_setting(url, "CacheOn=", &r->write_cache) ||
        !read_setting(url, "Readcache=", &r->read_cache) ||
        !read_setting(url, "AutoVerify=", &r->auto_verify) ||
        !read_setting(url, "IgnoreECC=", &r->ignore_ecc) ||
        !read_setting(url, "Queuing=", &r->queuing))
        return false;
    r->pervault = pervault == 1 || pervault == 2 ? pervault : 0;
    r->quickmend = quickmend == 1 || quickmend == 3 ? quickmend : 0;
    return r->read_cache <= 2;
}

// The drives of the controller's units that are not spares, as the page
// counts them against the controller's limit.
int drives_in_units(DaemonContext* context, ControllerRecord& r) {
    if (attach_unit_records(r) == nullptr) return 0;
    context->fill_units(r.units, r.unit_records, &r, 0);
    IdList* lists = attach_unit_drive_lists(r);
    if (lists != nullptr) context->fill_unit_drive_lists(r.units, lists);
    context->count_drives_in_units(&r);
    return r.configured_drives;
}

// Checks the drives and the choices; builds the drive list, and decodes the
// name and cuts it to the 20 bytes a unit's name holds. On a refusal the
// message says why and the result is false.
bool check_request(const MaintenanceRequest& m, CreateRequest& req, IdList* drives,
                   ActionMessage& message) {
    ControllerRecord& r = m.controllers->selected();
    const int n = req.ports.count;
    const UnitType& type = *req.type;
    int kinds[3] = {};
    for (int i = 0; i < n; ++i) {
        const int port = req.ports.numbers[i];
        for (int j = 0; j < i; ++j)
            if (req.ports.numbers[j] == port) {
                message.web(kCreateFailed).number(port);
                return false;
            }
        ObjectId drive;
        switch (check_drive(r, port, &drive)) {
            case kDriveFree:
                break;
            case kDriveAbsent:
                message.web(kCreateFailed).number(port);
                return false;
            case kDriveUnknown:
                message.failure(kCreateFailed).number(port);
                return false;
            case kDriveInUse:
                message.web(kConfigured);
                return false;
        }
        drives->ids[i] = drive;
        if (later_generation(r)) {
            uint8_t interface = 0;
            if (ctl_get_drive_interface(drive, &interface) != 0) {
                message.failure(kCreateFailed).number(port);
                return false;
            }
            ++kinds[drive_class(interface)];
        }
    }
    drives->count = static_cast<uint32_t>(n);
    if (kinds[kClassSata] > 0 && kinds[kClassSas] > 0) {
        message.web(kMixedKinds);
        return false;
    }
    if (n > 1 && n + drives_in_units(m.context, r) > r.max_active_drives) {
        message.web(kOverActiveLimit).text("(").number(r.max_active_drives).text(") ");
        return false;
    }
    if (later_generation(r) && n > r.max_drives_per_unit) {
        message.web(kOverUnitLimit);
        return false;
    }
    // Every character is checked, also those the cut then leaves out.
    if (!decode_unit_name(req.name) || !unit_name_characters_valid(req.name)) {
        message.web(kInvalidName);
        return false;
    }
    cut_unit_name(req.name);
    if (!create_type_offered(type, n, r)) {
        message.web(kCannotCreate).text(" : ").value(type.name).text(" is not offered for ");
        message.number(n).text(" drive(s)");
        return false;
    }
    if (!stripe_offered(type, req.stripe, r)) {
        message.web(kCannotCreate).text(" : stripe ").number(req.stripe);
        message.text(" is not offered for ").value(type.name);
        return false;
    }
    if (type.keeps_subunits && !subunits_offered(n, req.per_subunit)) {
        message.web(kCannotCreate).text(" : ").number(req.per_subunit);
        message.text(" drives per subunit are not offered for ").number(n).text(" drives");
        return false;
    }
    return true;
}

// The settings applied after a create, by the label the pop-up gives them.
enum Setting : int {
    kPervault,
    kWriteCache,
    kReadCache,
    kName,
    kAutoVerify,
    kEcc,
    kQueuing,
    kQuickmend,
    kSettings
};

// The settings of one new unit that failed, and the library's text of the
// first failure.
struct SettingsOutcome {
    int failed[kSettings];
    int count = 0;
    char error[256] = {};
};

class UnitSettings {
  public:
    UnitSettings(const MaintenanceRequest& m, const CreateRequest& req)
        : m_(m), req_(req), r_(m.controllers->selected()), log_(m.context->command_logger()) {}

    // The settings of a unit created alone from one drive.
    void apply_to_single(ObjectId unit, SettingsOutcome* out) {
        out_ = out;
        if (r_.family > 4 && req_.type->code == kUnitSingle && req_.pervault != 0)
            note(kPervault, log_->set_protection_mode(unit, req_.pervault));
        write_cache(unit);
        if (r_.read_cache_supported == 1) read_cache(unit);
        if (r_.family > 3) {
            note(kName, log_->set_unit_name(unit, req_.name));
            auto_verify(unit);
            queuing(unit);
        }
    }

    // The settings of a unit made of all the drives.
    void apply_to_array(ObjectId unit, SettingsOutcome* out) {
        out_ = out;
        if (r_.family > 4 && req_.pervault != 0)
            note(kPervault, log_->set_protection_mode(unit, req_.pervault));
        write_cache(unit);
        if (r_.family > 3) {
            note(kName, log_->set_unit_name(unit, req_.name));
            auto_verify(unit);
            if (req_.type->sets_ecc)
                note(kEcc, req_.ignore_ecc != 0 ? log_->continue_on_ecc_errors_on_rebuild(unit)
                                                : log_->halt_on_ecc_errors_on_rebuild(unit));
            queuing(unit);
            if (r_.recovery_policy_supported == 1)
                note(kQuickmend, log_->set_recovery_policy(unit, req_.quickmend));
        }
        if (r_.read_cache_supported == 1) read_cache(unit);
    }

  private:
    void note(Setting setting, int result) {
        if (result == 0 || out_->count == kSettings) return;
        if (out_->count == 0) library_error_text(m_.context, out_->error);
        out_->failed[out_->count++] = setting;
    }
    void write_cache(ObjectId unit) {
        note(kWriteCache, req_.write_cache != 0 ? log_->enable_write_cache(unit)
                                                : log_->disable_write_cache(unit));
    }
    void read_cache(ObjectId unit) {
        note(kReadCache, ctl_set_read_cache(unit, static_cast<uint8_t>(req_.read_cache)));
    }
    void auto_verify(ObjectId unit) {
        note(kAutoVerify, req_.auto_verify != 0 ? log_->enable_auto_verify(unit)
                                                : log_->disable_auto_verify(unit));
    }
    void queuing(ObjectId unit) {
        note(kQueuing, req_.queuing != 0 ? log_->enable_unit_queuing(unit)
                                         : log_->disable_unit_queuing(unit));
    }

    const MaintenanceRequest& m_;
    const CreateRequest& req_;
    const ControllerRecord& r_;
    CommandLogger* log_;
    SettingsOutcome* out_ = nullptr;
};

// The pop-up's labels of the settings (catalogue texts, two for the caches).
void append_setting_label(ActionMessage& message, int setting) {
    switch (setting) {
        case kPervault:
            message.web(530);
            break;
        case kWriteCache:
            message.web(179).text(" ").web(531);
            break;
        case kReadCache:
            message.web(527).text(" ").web(531);
            break;
        case kName:
            message.web(381);
            break;
        case kAutoVerify:
            message.web(180);
            break;
        case kEcc:
            message.web(181);
            break;
        case kQueuing:
            message.web(463);
            break;
        case kQuickmend:
            message.web(532);
            break;
    }
}

struct Outcome {
    uint8_t units[NumberList::kRoom];
    SettingsOutcome settings[NumberList::kRoom];
    int count = 0;
    bool failed = false;
    int failed_port = 255;
    char error[256] = {};
};

// Appends the unit the create call made to the outcome.
ObjectId created_unit(Outcome* out, ObjectId unit) {
    uint8_t c = 0, level3 = 0, number = 0, level1 = 0, level2 = 0;
    ctl_parse_unit_id(unit, &c, &level3, &number, &level1, &level2);
    out->units[out->count] = number;
    return unit;
}

void create(const MaintenanceRequest& m, const CreateRequest& req, const IdList& drives,
            Outcome* out) {
    CommandLogger* log = m.context->command_logger();
    UnitSettings settings(m, req);
    const int code = req.type->code;
    const int stripe = req.type->keeps_stripe ? req.stripe : 0;
    const int per_subunit = req.type->keeps_subunits ? req.per_subunit : 0;
    if (req.type->per_drive) {
        for (uint32_t i = 0; i < drives.count; ++i) {
            IdList one;
            std::memset(&one, 0, sizeof one);
            one.ids[0] = drives.ids[i];
            one.count = 1;
            ObjectId unit;
            if (log->create_unit(&one, code, stripe, 1, &unit) != 0) {
                library_error_text(m.context, out->error);
                out->failed = true;
                out->failed_port = req.ports.numbers[i];
                return;
            }
            settings.apply_to_single(created_unit(out, unit), &out->settings[out->count]);
            ++out->count;
        }
        return;
    }
    ObjectId unit;
    const int result = per_subunit != 0 ? log->create_unit_with_subunits(&drives, code, stripe, 1,
                                                                         &unit, per_subunit)
                                        : log->create_unit(&drives, code, stripe, 1, &unit);
    if (result != 0) {
        library_error_text(m.context, out->error);
        out->failed = true;
        return;
    }
    settings.apply_to_array(created_unit(out, unit), &out->settings[out->count]);
    ++out->count;
}

void report(ActionMessage& message, const CreateRequest& req, const Outcome& out) {
    if (out.count > 0) {
        message.web(kCreated);
        for (int i = 0; i < out.count; ++i) message.text(i == 0 ? ": " : ", ").number(out.units[i]);
        message.text(" as ").value(req.type->name);
        for (int i = 0; i < out.count; ++i) {
            const SettingsOutcome& s = out.settings[i];
            if (s.count == 0) continue;
            message.text(" : ").value(s.error).text(" : Settings not applied to unit ");
            message.number(out.units[i]).text(": ");
            for (int k = 0; k < s.count; ++k) {
                if (k > 0) message.text(", ");
                append_setting_label(message, s.failed[k]);
            }
        }
        if (out.failed) message.text(" : ");
    }
    if (out.failed) {
        message.value(out.error).text(" : ").web(kCreateFailed);
        if (out.failed_port != 255) message.number(out.failed_port);
    }
}

}  // namespace

int create_units_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_level(m, kRefusalJoined, kCannotCreate);
    CreateRequest req;
    if (!read_request(m.request->url, &req)) return refuse_bad_request(m);
    ActionMessage message(m.context);
    if (req.ports.count == 0)
        return maintenance_redirect(m, message.web(kSelectOneDrive), kRedirectDone);
    if (req.type == nullptr)
        return maintenance_redirect(m, message.text(kUnknownType), kRedirectDone);

    IdList drives;
    std::memset(&drives, 0, sizeof drives);
    if (!check_request(m, req, &drives, message))
        return maintenance_redirect(m, message, kRedirectFailed);

    // Only now, with everything checked: the drives' single disks go.
    release_single_disks(m.context->command_logger(), drives, 255);
    Outcome* out = new Outcome();
    create(m, req, drives, out);
    report(message, req, *out);
    delete out;
    return maintenance_redirect(m, message, kRedirectDone);
}
