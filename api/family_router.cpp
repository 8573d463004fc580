// The frame shared by the dispatcher's methods: kind check, family lookup,
// routing pattern and firmware-level gates.
#include "api/family_router.h"

#include "backend/backends.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"

namespace {

// A gate on the firmware level: served above the threshold, refused at or
// below it; a failed read ends the call with the read's error.
Target gate_on_level(ObjectId id, uint32_t threshold) {
    uint32_t level = 0;
    if (read_level(id, &level) != 0) return Target::Done;
    if (level > threshold) return Target::Series;
    fail_with_api_error(kApiNotSupported);
    return Target::Done;
}

Target gate_on_phys(ObjectId id) {
    uint32_t has_phys = 0;
    if (family_router().supports_phys(id, &has_phys) != 0) return Target::Done;
    if (has_phys == 1) return Target::Series;
    fail_with_api_error(kApiNotSupported);
    return Target::Done;
}

}  // namespace

FamilyRouter& family_router() {
    static FamilyRouter router;
    return router;
}

int read_level(ObjectId id, uint32_t* level) {
    *level = 30;
    return series_backend().get_firmware_level(id, level);
}

int32_t controller_family(ObjectId id) { return DriverAccess::get_controller_family(id); }

Target choose_target(ObjectId id, KindRule kind, Pattern pattern) {
    if (kind.kind != 0 && id.b[0] != kind.kind) {
        fail_with_api_error(kind.error);
        return Target::Done;
    }
    switch (route_of(pattern, controller_family(id))) {
    case Route::Legacy: return Target::Legacy;
    case Route::Series: return Target::Series;
    case Route::Alternate: return Target::Alternate;
    case Route::Refused: fail_with_api_error(kApiNotSupported); return Target::Done;
    case Route::Unrouted: return Target::Done;
    case Route::Gate36: return gate_on_level(id, 36);
    case Route::Gate35: return gate_on_level(id, 35);
    case Route::GatePhys: return gate_on_phys(id);
    }
    return Target::Done;
}

