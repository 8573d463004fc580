// The phys of a SAS controller: which indexes are valid, their list, and
// the mapping between a phy and the drive attached to it directly (drive
// parameter 30 is 0xFF for such a drive, parameter 32 names its phy).
#include <cstring>

#include "backend/family8_backend.h"
#include "driver/record_failure.h"

namespace {

constexpr size_t kMaxPhys = 128;
constexpr size_t kMaxPorts = 128;
constexpr uint8_t kNone = 0xFF;
constexpr uint8_t kDrivePresent = 0x80;  // bit 7 of a port's status

constexpr Setting kPortStatus{2, 3, 128, Conversion::Bytes};
constexpr Setting kEnclosurePosition{setting_table::kDrive, 30, 1, Conversion::Number};
constexpr Setting kDirectPhy{setting_table::kDrive, 32, 1, Conversion::Number};

ObjectId blank_id(uint8_t kind, uint8_t controller, uint8_t number) {
    ObjectId id;
    std::memset(id.b, kNone, sizeof id.b);
    id.b[0] = kind;
    id.b[1] = controller;
    id.b[2] = number;
    return id;
}

// The drive identifier of a port, for reading the port's drive table.
ObjectId port_id(ObjectId any, uint8_t port) { return blank_id(kKindDrive, any.b[1], port); }

}  // namespace

// An index is valid below the number of phys, so a controller that reports
// no phys has no valid index.
int Family8Backend::is_phy_index_valid(ObjectId id, uint8_t index) const {
    uint32_t count = 0;
    if (get_number_of_phys(id, &count) != 0) return 0;
    return index < count ? 1 : 0;
}

// Every index is tested on its own, each test reading the number of phys.
int Family8Backend::get_phy_list(ObjectId id, IdList* out) const {
    IdList list;
    std::memset(&list, kNone, sizeof list);
    list.count = 0;
    for (size_t index = 0; index < kMaxPhys; ++index)
        if (is_phy_index_valid(id, uint8_t(index)))
            list.ids[list.count++] = blank_id(kKindPhy, id.b[1], uint8_t(index));
    *out = list;
    return 0;
}

int Family8Backend::get_drive_phy(ObjectId drive, ObjectId* phy) const {
    uint32_t ports = 0;
    if (get_number_of_ports(drive, &ports) != 0) return -1;
    const uint8_t port = drive.b[2];
    if (port == kNone || port >= ports || port >= kMaxPorts)
        return fail_with_api_error(kInvalidPortId);
    uint8_t status[kMaxPorts];
    if (read_setting_bytes(drive, kPortStatus, status, sizeof status) != 0) return -1;
    if ((status[port] & kDrivePresent) == 0) return fail_with_api_error(kApiPhyNotDirectAttached);
    if (drive.b[1] == kNone) return fail_with_api_error(kInvalidPortId);
    uint8_t index;
    if (read_setting(drive, kDirectPhy, &index) != 0) return -1;
    if (index == kNone || index >= kMaxPhys) return fail_with_api_error(kApiPhyNotDirectAttached);
    *phy = blank_id(kKindPhy, drive.b[1], index);
    return 0;
}

int Family8Backend::get_phy_drive(ObjectId phy, ObjectId* drive) const {
    uint32_t count = 0;
    if (get_number_of_phys(phy, &count) != 0) return -1;
    const uint8_t index = phy.b[2];
    if (index == kNone || index >= count || index >= kMaxPhys)
        return fail_with_api_error(kInvalidPhyId);
    std::memset(drive->b, kNone, sizeof drive->b);
    uint8_t status[kMaxPorts];
    if (read_setting_bytes(phy, kPortStatus, status, sizeof status) != 0) return -1;
    for (size_t port = 0; port < kMaxPorts; ++port) {
        if ((status[port] & kDrivePresent) == 0) continue;
        const ObjectId candidate = port_id(phy, uint8_t(port));
        uint8_t position, attached;
        if (read_setting(candidate, kEnclosurePosition, &position) != 0) return -1;
        if (position != kNone) continue;
        if (read_setting(candidate, kDirectPhy, &attached) != 0) return -1;
        if (attached != kNone && attached < count && attached < kMaxPhys && attached == index) {
            *drive = candidate;
            return 0;
        }
    }
    return fail_with_api_error(kPortNotInSlot);
}
