// Controller families and the driver's compatibility record. Discovery ends
// here: detect_families is its last step when it found a controller. The
// family of a second-series controller comes from its architecture id, read
// with GET PARAMETER on this driver layer (the one being built).
#include <cstring>

#include "driver/compat_info.h"
#include "driver/driver_layer.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"
#include "driver/series_parameter_request.h"

namespace {

constexpr int32_t kFamilyUnknown = -1;
constexpr int32_t kFamilyNone = 0;
constexpr int32_t kFamilyFirstSeries = 3;

// Controller identity, parameter 14: the architecture id; controller
// settings, parameter 26: bits 0x300 set tell family 7 from family 6.
constexpr uint32_t kIdentityTable = 0x402;
constexpr uint32_t kArchitectureId = 14;
constexpr uint32_t kSettingsTable = 0x403;
constexpr uint32_t kGenerationFlags = 26;
constexpr uint32_t kFamily7Bits = 0x300;

// By architecture id minus 4.
constexpr int32_t kFamilyOfArchitecture[] = {4, 4, 6, 6, 8, 9, 10};

// The node letter is the eighth character of a node path ("/dev/kqa0").
char node_letter(const char* path) { return std::strlen(path) > 7 ? path[7] : '\0'; }

bool has_compat_info(char letter) { return letter == 'a' || letter == 'l' || letter == 'n'; }

}  // namespace

int32_t DriverLayer::get_controller_family(ObjectId id) {
    const uint8_t index = id.b[1];
    if (index >= kMaxControllers) return kFamilyNone;
    if (!families_known_ && detect_families() != 0) return kFamilyUnknown;
    return families_[index];
}

int DriverLayer::detect_families() {
    if (count_ == 0) {
        families_known_ = 0;
        return fail_with_api_error(kApiNoController);
    }
    for (int index = 0; index < kMaxControllers; ++index) {
        if (nodes_[index][0] == '\0') continue;
        ObjectId id;
        ctl_make_controller_id(uint8_t(index), &id);
        detect_family(id, &families_[index]);
    }
    families_known_ = 1;
    return 0;
}

int DriverLayer::detect_family(ObjectId id, int32_t* family) {
    const char letter = node_letter(node_path(id.b[1]));
    if (letter == 'e') {
        *family = kFamilyFirstSeries;
        return 0;
    }
    *family = kFamilyUnknown;
    if (!has_compat_info(letter)) return 0;

    // A failed read leaves the id 0, so the family stays unknown; a failed
    // read of the generation flags counts as no bits set.
    uint8_t value[4] = {};
    series_parameter_request(*this, series_packet::kGetParameter, id, value, sizeof value,
                             kIdentityTable, kArchitectureId, sizeof value);
    const uint32_t generation = uint32_t(le::load(value, 4)) - 4;
    if (generation >= sizeof kFamilyOfArchitecture / sizeof *kFamilyOfArchitecture) return 0;
    *family = kFamilyOfArchitecture[generation];
    if (*family == 6) {
        uint8_t flags[4] = {};
        series_parameter_request(*this, series_packet::kGetParameter, id, flags, sizeof flags,
                                 kSettingsTable, kGenerationFlags, sizeof flags);
        if (le::load(flags, 4) & kFamily7Bits) *family = 7;
    }
    return 0;
}

int DriverLayer::get_compat_info(ObjectId id, uint8_t* out) {
    std::memset(out, 0, DriverCompatInfo::kKeptSize);
    if (!has_compat_info(node_letter(node_path(id.b[1])))) return 0;
    DriverCompatInfo info;
    std::memset(&info, 0, sizeof info);
    if (series_compat_request(*this, id, &info) == 0)
        std::memcpy(out, info.bytes, DriverCompatInfo::kKeptSize);
    return 0;
}

int DriverLayer::is_vm_driver(ObjectId id) {
    uint8_t info[DriverCompatInfo::kKeptSize];
    get_compat_info(id, info);
    return info[DriverCompatInfo::kVmMarkIndex] == DriverCompatInfo::kVmMark ? 1 : 0;
}
