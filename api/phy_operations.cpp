// Phy operations that the dispatcher answers by itself.
#include "api/family_router.h"

namespace {

// Family-7 controllers have phys above this firmware level.
constexpr uint32_t kPhysLevel = 35;

}  // namespace

// 1 on families 8 and 10 and on family 7 above firmware level 35, else 0. A
// failed read of the level writes 0 and returns -1.
int FamilyRouter::supports_phys(ObjectId id, uint32_t* flag) {
    const int32_t family = controller_family(id);
    if (family == 8 || family == 10) {
        *flag = 1;
        return 0;
    }
    if (family != 7) {
        *flag = 0;
        return 0;
    }
    uint32_t level = 0;
    if (read_level(id, &level) != 0) {
        *flag = 0;
        return -1;
    }
    *flag = level > kPhysLevel ? 1 : 0;
    return 0;
}
