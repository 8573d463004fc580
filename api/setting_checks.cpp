// Public setting functions that check their value before calling their
// operation, or that combine operations: the protection mode, the read
// cache type, the link speeds of a drive, and the later-generation settings with ranges of their
// own. A refused value, or a byte or 16-bit value that does not fit its
// width, records API error 122 and sends nothing.
#include "api/ctl.h"
#include "api/family_router.h"
#include "api/public_arguments.h"
#include "driver/record_failure.h"

namespace {

// The protection mode's three unit settings (21, 22, 23) for each mode:
// protect, balance, perform.
struct ProtectionMode {
    uint8_t setting_21, setting_22, setting_23;
};
constexpr ProtectionMode kProtectionModes[] = {{1, 2, 1}, {0, 2, 2}, {0, 1, 0}};
constexpr uint8_t kNoProtectionMode = 255;

constexpr int kUnsetSetting56 = 0xFFFF;

// Writes settings 21, 22 and 23 in that order; the first failure ends it.
int set_protection_mode(ObjectId id, const ProtectionMode& mode) {
    FamilyRouter& router = family_router();
    if (router.set_unit_setting_21(id, mode.setting_21) != 0 ||
        router.set_unit_setting_22(id, mode.setting_22) != 0 ||
        router.set_unit_setting_23(id, mode.setting_23) != 0)
        return -1;
    return 0;
}

}  // namespace

extern "C" {

int ctl_get_protection_mode(ObjectId id, uint8_t* mode) {
    FamilyRouter& router = family_router();
    ProtectionMode read;
    if (router.get_unit_setting_21(id, &read.setting_21) != 0 ||
        router.get_unit_setting_22(id, &read.setting_22) != 0 ||
        router.get_unit_setting_23(id, &read.setting_23) != 0)
        return -1;
    *mode = kNoProtectionMode;
    for (uint8_t m = 0; m < 3; ++m) {
        const ProtectionMode& known = kProtectionModes[m];
        if (read.setting_21 == known.setting_21 && read.setting_22 == known.setting_22 &&
            read.setting_23 == known.setting_23)
            *mode = m;
    }
    return 0;
}

// A mode other than 0, 1 and 2 is refused rather than ignored, so a caller
// never takes an unchanged unit for a changed one.
int ctl_set_protection_mode(ObjectId id, int mode) {
    if (!fits_byte(mode) || mode > 2) return fail_with_api_error(kInvalidArgument);
    return set_protection_mode(id, kProtectionModes[mode]);
}

int ctl_set_protection_mode_protect(ObjectId id) {
    return set_protection_mode(id, kProtectionModes[0]);
}

int ctl_set_protection_mode_balance(ObjectId id) {
    return set_protection_mode(id, kProtectionModes[1]);
}

int ctl_set_protection_mode_perform(ObjectId id) {
    return set_protection_mode(id, kProtectionModes[2]);
}

// Byte 0 the speeds the drive supports, byte 1 the speed in use; nothing is
// written unless both reads succeed.
int ctl_get_drive_link_speeds(ObjectId id, uint8_t* speeds) {
    uint8_t supported, in_use;
    FamilyRouter& router = family_router();
    if (router.get_drive_link_speed_supported(id, &supported) != 0 ||
        router.get_drive_link_speed(id, &in_use) != 0)
        return -1;
    speeds[0] = supported;
    speeds[1] = in_use;
    return 0;
}

// 0 turns the read cache off, 1 chooses the basic and 2 the intelligent one.
int ctl_set_read_cache(ObjectId id, int type) {
    FamilyRouter& router = family_router();
    switch (type) {
    case 0: return router.disable_read_cache(id);
    case 1: return router.enable_basic_read_cache(id);
    case 2: return router.enable_intelligent_read_cache(id);
    default: return fail_with_api_error(kInvalidArgument);
    }
}

// 0 or 1.
int ctl_set_unit_setting_30(ObjectId id, int value) {
    if (!fits_byte(value) || value > 1) return fail_with_api_error(kInvalidArgument);
    return family_router().set_unit_setting_30(id, uint8_t(value));
}

// A 16-bit value whose bits, taken as signed, give 0, or 5 to 999.
int ctl_set_unit_setting_31(ObjectId id, int value) {
    if (!fits_word(value)) return fail_with_api_error(kInvalidArgument);
    const int16_t v = int16_t(uint16_t(value));
    if (v != 0 && (v < 5 || v > 999)) return fail_with_api_error(kInvalidArgument);
    return family_router().set_unit_setting_31(id, uint16_t(v));
}

// 1 to 255.
int ctl_set_controller_setting_16(ObjectId id, int value) {
    if (value < 1 || value > 255) return fail_with_api_error(kInvalidArgument);
    return family_router().set_controller_setting_16(id, value);
}

// Only selector 1 (setting 54).
int ctl_get_controller_setting_54_55(ObjectId id, int selector, uint8_t* value) {
    if (selector != 1) return fail_with_api_error(kInvalidArgument);
    return family_router().get_controller_setting_54_55(id, selector, value);
}

int ctl_set_controller_setting_54_55(ObjectId id, int selector, int value) {
    if (selector != 1 || !fits_byte(value)) return fail_with_api_error(kInvalidArgument);
    return family_router().set_controller_setting_54_55(id, selector, uint8_t(value));
}

// A 16-bit value; 0xFFFF marks the setting unset, and only
// ctl_clear_controller_setting_56 writes it.
int ctl_set_controller_setting_56(ObjectId id, int value) {
    if (!fits_word(value) || value == kUnsetSetting56) return fail_with_api_error(kInvalidArgument);
    return family_router().set_controller_setting_56(id, uint16_t(value));
}

}  // extern "C"
