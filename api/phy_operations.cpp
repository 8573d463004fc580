// Phy operations that the dispatcher answers by itself or routes with logic
// of their own.
#include "api/family_router.h"
#include "backend/backends.h"
#include "driver/record_failure.h"

namespace {

// Family-7 controllers have phys above this firmware level.
constexpr uint32_t kPhysLevel = 35;
// The link speed code of 6.0 Gbps, which families 7 and 8 do not run.
constexpr uint8_t kSpeed6Gbps = 0x04;

constexpr KindRule kPhyKind{kKindPhy, kInvalidPhyId};
constexpr KindRule kAnyKind{0, 0};

// The same index as an identifier of another kind: on family 7 a drive and
// its phy carry the same index.
ObjectId as_kind(ObjectId id, uint8_t kind) {
    id.b[0] = kind;
    return id;
}

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

int FamilyRouter::get_drive_phy(ObjectId id, ObjectId* phy) {
    return route<Pattern::EPlus7>(id, kAnyKind, SeriesCall{[&] {
        if (controller_family(id) != 7) return family8_backend().get_drive_phy(id, phy);
        *phy = as_kind(id, kKindPhy);
        return 0;
    }});
}

int FamilyRouter::get_phy_drive(ObjectId id, ObjectId* drive) {
    return route<Pattern::EPlus7>(id, kPhyKind, SeriesCall{[&] {
        if (controller_family(id) != 7) return family8_backend().get_phy_drive(id, drive);
        *drive = as_kind(id, kKindDrive);
        return 0;
    }});
}

// Families 7 and 8 do not run links at 6.0 Gbps, so they refuse a limit
// with that speed's bit; family 10 takes every limit.
int FamilyRouter::set_phy_link_negotiation_limit(ObjectId id, uint8_t limit) {
    if (id.b[0] != kKindPhy) return fail_with_api_error(kInvalidPhyId);
    const int32_t family = controller_family(id);
    switch (family) {
    case 3:
    case 4:
    case 6: return fail_with_api_error(kApiNotSupported);
    case 7: {
        uint32_t has_phys = 0;
        if (supports_phys(id, &has_phys) != 0) return -1;
        if (has_phys != 1) return fail_with_api_error(kApiNotSupported);
        break;
    }
    case 8:
    case 10: break;
    default: return -1;
    }
    if (family != 10 && (limit & kSpeed6Gbps) != 0)
        return fail_with_api_error(kApiLinkSpeed6NotSupported);
    return family8_backend().set_phy_link_negotiation_limit(id, limit);
}
