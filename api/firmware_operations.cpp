// Dispatcher methods of the firmware table with logic of their own: whether
// a controller's family takes drive and enclosure firmware updates.
#include <initializer_list>

#include "api/family_router.h"

namespace {

bool is_one_of(int32_t family, std::initializer_list<int32_t> families) {
    for (int32_t f : families)
        if (f == family) return true;
    return false;
}

}  // namespace

int FamilyRouter::supports_drive_firmware_update(ObjectId id, uint32_t* supported) {
    *supported = is_one_of(controller_family(id), {6, 7, 8, 10}) ? 1 : 0;
    return 0;
}

int FamilyRouter::supports_enclosure_firmware_update(ObjectId id, uint32_t* supported) {
    *supported = is_one_of(controller_family(id), {8, 10}) ? 1 : 0;
    return 0;
}
