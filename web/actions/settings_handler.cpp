// "/page2_0.html": the Controller Settings page and its changes. A request
// carries at most one change, named by the first of the keys below present
// in its URL; every change needs the administrator level and is reported by
// the redirect page back to the page, success and library failure alike.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api/command_logger.h"
#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/string_builder.h"
#include "web/actions/handler_frame.h"
#include "web/actions/settings_handlers.h"
#include "web/actions/unit_names.h"
#include "web/pages/settings_page.h"

namespace {

const char* const kTarget = "/page2_0.html";

// Library error texts of failures the handler finds before any call.
enum : int {
    kLibraryTexts = 11,
    kInvalidUnitId = 9,
    kInvalidArgument = 122,
};

// Catalogue texts (19) of the messages.
enum : int {
    kAutoVerifyUnchanged = 28,
    kEccUnchanged = 32,
    kWriteCacheUnchanged = 36,
    kRebuildMigrate = 176,
    kVerify = 177,
    kDisabled = 184,
    kSavedNames = 389,
    kNamesNotSaved = 390,
    kAutoCarvingOn = 391,
    kAutoCarvingOff = 392,
    kAutoCarvingFailed = 393,
    kInvalidCarveSize = 413,
    kSavedCarveSize = 414,
    kBasic = 515,
    kIntelligent = 528,
    kAll = 533,
    kRebuild = 534,
    kDisable = 535,
    kMode = 547,
    kAdaptive = 549,
    kLowLatency = 550,
    kReadCacheOff = 551,
    kReadCacheBasic = 552,
    kReadCacheIntelligent = 553,
    kReadCacheFailed = 554,
    kNotSaved = 595,
};

constexpr int kHighestUnit = 63;
constexpr int kSmallestCarveSize = 1024;
constexpr int kLargestCarveSize = 32768;
constexpr uint64_t kSectorsPerGb = 2097152;
constexpr int kShortValue = 8;
constexpr int kLongValue = 256;
constexpr uint8_t kAutoRebuildAll = 255;
constexpr char kDefaultRate = '3';

// A text of a message: a catalogue text (19:code) or a fixed text.
struct Text {
    int code;
    const char* fixed;
};

void put(ActionMessage& m, const Text& t) {
    if (t.fixed != nullptr)
        m.text(t.fixed);
    else
        m.web(t.code);
}

// One request's change: the controller it acts on, the key's value and,
// when the handler refused the request before calling the library, the
// library's text for that refusal.
struct Change {
    DaemonContext* context;
    CommandLogger* log;
    const char* url;
    const ControllerRecord& r;
    ObjectId controller;
    char value[kLongValue + 1];
    char refusal_error[kLongValue];  // empty: the library's record says why
};

// The start of a failure's message: the error text and " : ".
ActionMessage& failed(Change& c, ActionMessage& m) {
    if (c.refusal_error[0] != '\0')
        m.value(c.refusal_error);
    else
        m.error();
    return m.text(" : ");
}

void refuse_as_library(Change& c, int code) {
    std::snprintf(c.refusal_error, sizeof c.refusal_error, "%s",
                  c.context->message(kLibraryTexts, code));
}

// The unit a unit key names (its value, a unit number 0 to 63) at depth 1.
bool unit_named(Change& c, ObjectId* unit) {
    const int number = std::atoi(c.value);
    if (number < 0 || number > kHighestUnit) {
        refuse_as_library(c, kInvalidUnitId);
        return false;
    }
    return make_unit_id(c.r.controller_index, number, unit) == 0;
}

// A companion key's value ("Enable=", "Value=", "SetCacheEnable="); a
// request without it is refused as an invalid argument.
bool companion(Change& c, const char* key, char (&out)[kShortValue]) {
    if (get_value(c.url, key, out)) return true;
    refuse_as_library(c, kInvalidArgument);
    return false;
}

// ---- Background rates.

void change_rate(Change& c, ActionMessage& m, bool rebuild) {
    const bool first_series = c.r.family <= 3;
    const int asked = std::atoi(c.value);
    int32_t rate = asked;
    const int result = rebuild ? c.log->set_rebuild_rate(c.controller, &rate)
                               : c.log->set_verify_rate(c.controller, &rate);
    if (result == 0) {
        m.web(!rebuild ? 27 : first_series ? 23 : 24).value(c.value);
    } else {
        failed(c, m).web(!rebuild ? 26 : first_series ? 21 : 22);
    }
    // The first series keeps its rate in the configuration for the next
    // start, whether the controller took it now or not; a rate that could
    // not be kept is told: the next start would set the old one.
    if (rebuild && first_series &&
        store_background_rate(c.context->config(), c.r.controller_index, asked) == kRateNotSaved)
        m.text(" : ").web(kNotSaved);
}

void change_rebuild_rate(Change& c, ActionMessage& m) { change_rate(c, m, true); }
void change_verify_rate(Change& c, ActionMessage& m) { change_rate(c, m, false); }

// ---- Unit switches: a unit key and its companion, "0" for off.

struct UnitSwitch {
    const char* companion;
    int (CommandLogger::*off)(ObjectId);
    int (CommandLogger::*on)(ObjectId);
    Text switched_off;
    Text switched_on;
    Text failure;
};

const UnitSwitch kAutoVerify = {"Enable=",
                                &CommandLogger::disable_auto_verify,
                                &CommandLogger::enable_auto_verify,
                                {29, nullptr},
                                {30, nullptr},
                                {31, nullptr}};
const UnitSwitch kEcc = {"Enable=",
                         &CommandLogger::halt_on_ecc_errors_on_rebuild,
                         &CommandLogger::continue_on_ecc_errors_on_rebuild,
                         {33, nullptr},
                         {34, nullptr},
                         {35, nullptr}};
const UnitSwitch kQueuing = {"Enable=",
                             &CommandLogger::disable_unit_queuing,
                             &CommandLogger::enable_unit_queuing,
                             {0, "Disabled queuing on Unit "},
                             {0, "Enabled queuing on Unit "},
                             {0, "Failed to set queuing on Unit "}};
const UnitSwitch kWriteCache = {"SetCacheEnable=",
                                &CommandLogger::disable_write_cache,
                                &CommandLogger::enable_write_cache,
                                {37, nullptr},
                                {38, nullptr},
                                {39, nullptr}};

void switch_unit(Change& c, ActionMessage& m, const UnitSwitch& s) {
    ObjectId unit;
    char state[kShortValue];
    if (!unit_named(c, &unit) || !companion(c, s.companion, state)) {
        put(failed(c, m), s.failure);
        m.value(c.value);
        return;
    }
    const bool off = state[0] == '0';
    if ((c.log->*(off ? s.off : s.on))(unit) != 0) {
        put(failed(c, m), s.failure);
        m.value(c.value);
        return;
    }
    put(m, off ? s.switched_off : s.switched_on);
    m.value(c.value);
}

void set_auto_verify(Change& c, ActionMessage& m) { switch_unit(c, m, kAutoVerify); }
void set_ecc(Change& c, ActionMessage& m) { switch_unit(c, m, kEcc); }
void set_queuing(Change& c, ActionMessage& m) { switch_unit(c, m, kQueuing); }
void set_write_cache(Change& c, ActionMessage& m) { switch_unit(c, m, kWriteCache); }

// ---- Unit policies with a chosen value.

void set_pervault(Change& c, ActionMessage& m) {
    static const char* const kSet[] = {"Set Pervault to protection mode",
                                       "Set Pervault to balanced mode",
                                       "Set Pervault to performance mode"};
    char value[kShortValue];
    get_value(c.url, "Value=", value);
    if (value[0] < '0' || value[0] > '2') {
        m.text("Unknown Pervault mode");
        return;
    }
    const int mode = value[0] - '0';
    ObjectId unit;
    if (!unit_named(c, &unit) || c.log->set_protection_mode(unit, mode) != 0) {
        failed(c, m).text("Failed to set Pervault on Unit ").value(c.value);
        return;
    }
    m.text(kSet[mode]);
}

void set_qm_recovery(Change& c, ActionMessage& m) {
    char value[kShortValue];
    // Disabling is permanent: only a value the request states disables.
    const int policy =
        get_value(c.url, "Value=", value) && value[0] != '\0' ? std::atoi(value) : -1;
    const int name = policy == 0 ? kDisable : policy == 1 ? kRebuild : policy == 3 ? kAll : 0;
    if (name == 0) {
        m.text("Unknown Quickmend policy");
        return;
    }
    ObjectId unit;
    if (!unit_named(c, &unit) || c.log->set_recovery_policy(unit, policy) != 0) {
        failed(c, m).text("Failed to set Quickmend on Unit ").value(c.value);
        return;
    }
    m.text("Set Quickmend policy to ").web(name);
}

void set_read_cache(Change& c, ActionMessage& m) {
    static const int kDone[] = {kReadCacheOff, kReadCacheBasic, kReadCacheIntelligent};
    static const int kPolicy[] = {kDisabled, kBasic, kIntelligent};
    char value[kShortValue];
    const bool stated = companion(c, "SetCacheEnable=", value);
    const int selector = stated && value[0] >= '0' && value[0] <= '2' ? value[0] - '0' : -1;
    if (selector < 0) {
        // Not a policy the controller knows: no call.
        if (stated) refuse_as_library(c, kInvalidArgument);
        failed(c, m).web(kReadCacheFailed).value(c.value);
        return;
    }
    ObjectId unit;
    if (!unit_named(c, &unit) || ctl_set_read_cache(unit, static_cast<uint8_t>(selector)) != 0) {
        failed(c, m).web(kReadCacheFailed).web(kPolicy[selector]);
        return;
    }
    m.web(kDone[selector]).value(c.value);
}

// ---- Unit names.

// A value that is longer than its room was cut: what is left could pair a
// name with another unit.
bool whole_value(const char* url, const char* key, char* out, int room) {
    return get_value(url, key, out, room + 2) && static_cast<int>(std::strlen(out)) <= room;
}

void save_unit_names(Change& c, ActionMessage& m) {
    char names[kUnitNamesValueSize + 2];
    char numbers[kUnitNumbersValueSize + 2];
    UnitNames pairs;
    if (!whole_value(c.url, "UnitNames=", names, kUnitNamesValueSize) ||
        !whole_value(c.url, "UnitNums=", numbers, kUnitNumbersValueSize) ||
        parse_unit_names(names, numbers, &pairs) != kUnitNamesOk) {
        m.web(kNamesNotSaved);
        return;
    }
    bool all_saved = true;
    for (int i = 0; i < pairs.count; ++i) {
        ObjectId unit;
        if (make_unit_id(c.r.controller_index, pairs.numbers[i], &unit) != 0 ||
            c.log->set_unit_name(unit, pairs.names[i]) != 0)
            all_saved = false;
    }
    m.web(all_saved ? kSavedNames : kNamesNotSaved);
}

// ---- Controller settings.

void set_carve_size(Change& c, ActionMessage& m) {
    const int size = std::atoi(c.value);
    if (size < kSmallestCarveSize || size > kLargestCarveSize ||
        c.log->set_lun_size(c.controller, static_cast<uint64_t>(size) * kSectorsPerGb - 1) != 0) {
        m.web(kInvalidCarveSize);
        return;
    }
    m.web(kSavedCarveSize);
}

void set_auto_rebuild(Change& c, ActionMessage& m) {
    const bool off = c.value[0] == '0';
    if (c.log->set_auto_rebuild(c.controller, off ? 0 : kAutoRebuildAll) != 0) {
        failed(c, m).text("Failed to change auto rebuild policy");
        return;
    }
    m.text(off ? "Disabled auto rebuild policy" : "Enabled auto rebuild policy");
}

void set_multi_lun(Change& c, ActionMessage& m) {
    const bool off = c.value[0] == '0';
    const int result = off ? c.log->disable_multi_lun_policy(c.controller)
                           : c.log->enable_multi_lun_policy(c.controller);
    if (result != 0) {
        failed(c, m).web(kAutoCarvingFailed);
        return;
    }
    m.web(off ? kAutoCarvingOff : kAutoCarvingOn);
}

void change_task_mode(Change& c, ActionMessage& m, int task) {
    const int mode = std::atoi(c.value);
    if (mode != 0 && mode != 1) {
        m.text("Failed to change Background ").web(task).text(" ").web(kMode);
        m.text(" : Received invalid Mode value.");
        return;
    }
    const int result = task == kRebuildMigrate ? c.log->set_rebuild_mode(c.controller, mode)
                                               : c.log->set_verify_mode(c.controller, mode);
    if (result != 0) {
        failed(c, m).text("Failed.");
        return;
    }
    m.text("Changed the Background ").web(task).text(" ").web(kMode).text(" to ");
    m.web(mode == 0 ? kAdaptive : kLowLatency);
}

void change_rebuild_mode(Change& c, ActionMessage& m) { change_task_mode(c, m, kRebuildMigrate); }
void change_verify_mode(Change& c, ActionMessage& m) { change_task_mode(c, m, kVerify); }

void change_link_speed(Change& c, ActionMessage& m, bool sata) {
    const int speed = std::atoi(c.value);
    const char* kind = sata ? "SATA" : "SAS";
    if (speed < 0 || speed > 2) {
        m.text("Failed to change ").text(kind);
        m.text(" drive link speed in enclosure: Received invalid speed value.");
        return;
    }
    const int result = sata ? ctl_set_enclosure_sata_link_speed(c.controller, speed)
                            : ctl_set_enclosure_sas_link_speed(c.controller, speed);
    if (result != 0) {
        failed(c, m).text("Failed.");
        return;
    }
    m.text("Changed the ").text(kind).text(" drive link speed in enclosure");
}

void change_sata_link_speed(Change& c, ActionMessage& m) { change_link_speed(c, m, true); }
void change_sas_link_speed(Change& c, ActionMessage& m) { change_link_speed(c, m, false); }

// ---- The keys, in the order they are looked for.

// Refusal texts: a catalogue text (19), 12:31 "Operation aborted", or the
// rebuild rate's, which depends on the series.
enum : int {
    kRefusalAborted = 0,
    kRefusalRebuildRate = -1,
};

struct SettingsKey {
    const char* key;
    int value_size;
    int refusal;
    void (*change)(Change&, ActionMessage&);
};

const SettingsKey kKeys[] = {
    {"ChangeRebuildRate=", kValueSize, kRefusalRebuildRate, change_rebuild_rate},
    {"ChangeVerifyRate=", kValueSize, 25, change_verify_rate},
    {"SetAutoVerifyUnit=", kValueSize, kAutoVerifyUnchanged, set_auto_verify},
    {"SetECCUnit=", kValueSize, kEccUnchanged, set_ecc},
    {"SetQueuing=", kValueSize, kRefusalAborted, set_queuing},
    {"Pervault=", kValueSize, kRefusalAborted, set_pervault},
    {"QM_Recovery=", kValueSize, kRefusalAborted, set_qm_recovery},
    {"SetWriteCacheUnit=", kValueSize, kWriteCacheUnchanged, set_write_cache},
    {"SetReadCacheUnit=", kValueSize, kRefusalAborted, set_read_cache},
    {"UnitNames=", kLongValue, kRefusalAborted, save_unit_names},
    {"CarveSize=", kLongValue, kRefusalAborted, set_carve_size},
    {"AutoRebuild=", kShortValue, kRefusalAborted, set_auto_rebuild},
    {"MultiLun=", kShortValue, kRefusalAborted, set_multi_lun},
    {"ChangeBRAP=", kShortValue, kRefusalAborted, change_rebuild_mode},
    {"ChangeBVAP=", kShortValue, kRefusalAborted, change_verify_mode},
    {"ChangeSATALinkSpeed=", kShortValue, kRefusalAborted, change_sata_link_speed},
    {"ChangeSASLinkSpeed=", kShortValue, kRefusalAborted, change_sas_link_speed},
};

constexpr int kOperationAborted = 31;

int refuse(DaemonContext* context, PageBuilder* page, const SettingsKey& key,
           const ControllerRecord& r) {
    ActionMessage m(context);
    m.refusal(kRefusalColon);
    if (key.refusal == kRefusalAborted)
        m.daemon(kOperationAborted);
    else if (key.refusal == kRefusalRebuildRate)
        m.web(r.family <= 3 ? 19 : 20);
    else
        m.web(key.refusal);
    return m.redirect(page, kTarget, kRedirectNotPermitted);
}

int change(DaemonContext* context, PageBuilder* page, const PageRequest& request,
           const SettingsKey& key, ControllerSelection& controllers) {
    const ControllerRecord& r = controllers.selected();
    Change c{context, context->command_logger(), request.url, r, {}, {}, {}};
    std::memset(c.controller.b, 0xFF, sizeof c.controller.b);
    ctl_make_controller_id(r.controller_index, &c.controller);
    get_value(request.url, key.key, c.value, key.value_size);
    ActionMessage m(context);
    key.change(c, m);
    return m.redirect(page, kTarget, kRedirectDone);
}

}  // namespace

bool page2_0_has_action(const char* url) { return first_key(url, kKeys) != nullptr; }

int store_background_rate(ConfigStore* config, int controller_index, int rate) {
    if (rate < 1 || rate > 5 || controller_index < 0 || controller_index > 254) return kRateNotKept;
    char rates[256];
    const char* stored = config->get_bg_rate();
    size_t length = strnlen(stored, sizeof rates - 1);
    std::memcpy(rates, stored, length);
    while (length <= static_cast<size_t>(controller_index)) rates[length++] = kDefaultRate;
    rates[length] = '\0';
    rates[controller_index] = static_cast<char>('0' + rate);
    return config->set_bg_rate(rates) == 0 ? kRateStored : kRateNotSaved;
}

int handle_page2_0(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page2_0(*page, kNoneFound, controllers.list(), nullptr, kVerdictNone);
    controllers.select(context->get_param_c(request.url));
    ControllerRecord* records = controllers.fill(context);
    ControllerRecord& r = controllers.selected();

    if (const SettingsKey* key = first_key(request.url, kKeys)) {
        if (request.level != kAccessAdmin) return refuse(context, page, *key, r);
        return change(context, page, request, *key, controllers);
    }

    UnitRecord* units = attach_unit_records(r);
    UnitCacheRecord* caches = attach_unit_cache_records(r);
    if (units != nullptr) context->fill_units(r.units, units, &r, 0);
    if (caches != nullptr) context->fill_unit_cache_settings(r.units, caches);
    context->fill_battery(controllers.id(), attach_battery(r));
    return write_page2_0(*page, controllers.position(), controllers.list(), records, kVerdictNone);
}
