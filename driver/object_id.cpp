// Builders and parsers of controller, unit, drive, port and phy identifiers.
#include "driver/object_id.h"

#include <cstring>

#include "driver/api_errors.h"
#include "driver/error_record.h"

namespace {

constexpr uint8_t kUnused = 0xFF;
constexpr uint8_t kMaxUnits = 64;
constexpr uint8_t kMaxPorts = 128;
constexpr uint8_t kMaxPathLevel = 64;

int refuse(int32_t api_code)
{
    clear_last_error();
    set_last_error(kErrApi, api_code, 0, 0, 0, nullptr, nullptr);
    return -1;
}

ObjectId blank_id(uint8_t kind, uint8_t controller)
{
    ObjectId id;
    memset(id.b, kUnused, sizeof id.b);
    id.b[0] = kind;
    id.b[1] = controller;
    return id;
}

// A controller index below 0xFF and a number below limit, or 0xFF.
bool index_ok(uint8_t controller, uint8_t number, uint8_t limit)
{
    return controller != kUnused && (number < limit || number == kUnused);
}

// Drive, port and phy identifiers: kind, controller and byte 2.
int make_port_like(uint8_t kind, uint8_t controller, uint8_t number, int32_t api_code,
                   ObjectId* out)
{
    if (!index_ok(controller, number, kMaxPorts)) {
        return refuse(api_code);
    }
    ObjectId id = blank_id(kind, controller);
    id.b[2] = number;
    *out = id;
    return 0;
}

int parse_port_like(const ObjectId& id, uint8_t kind, int32_t api_code, uint8_t* controller,
                    uint8_t* number)
{
    if (id.b[0] != kind) {
        return refuse(api_code);
    }
    *controller = id.b[1];
    *number = id.b[2];
    return 0;
}

}  // namespace

extern "C" {

int ctl_make_controller_id(uint8_t controller, ObjectId* out)
{
    *out = blank_id(kKindController, controller);
    return 0;
}

int ctl_make_unit_id(uint8_t controller, uint8_t level3, uint8_t unit, uint8_t level1,
                     uint8_t level2, ObjectId* out)
{
    if (!index_ok(controller, unit, kMaxUnits)) {
        return refuse(kInvalidUnitId);
    }
    ObjectId id = blank_id(kKindUnit, controller);
    id.b[4] = unit;
    // The path ends at the first level of 64 or more; byte 3 is its depth.
    const uint8_t levels[3] = {level1, level2, level3};
    uint8_t depth = 1;
    while (depth < 4 && levels[depth - 1] < kMaxPathLevel) {
        id.b[4 + depth] = levels[depth - 1];
        ++depth;
    }
    id.b[3] = depth;
    *out = id;
    return 0;
}

int ctl_make_drive_id(uint8_t controller, uint8_t port, ObjectId* out)
{
    return make_port_like(kKindDrive, controller, port, kInvalidDriveId, out);
}

int ctl_make_port_id(uint8_t controller, uint8_t port, ObjectId* out)
{
    return make_port_like(kKindDrive, controller, port, kInvalidPortId, out);
}

int ctl_make_phy_id(uint8_t controller, uint8_t phy, ObjectId* out)
{
    return make_port_like(kKindPhy, controller, phy, kInvalidPortId, out);
}

int ctl_parse_controller_id(ObjectId id, uint8_t* controller)
{
    if (id.b[0] != kKindController) {
        return refuse(kInvalidControllerId);
    }
    *controller = id.b[1];
    return 0;
}

int ctl_parse_unit_id(ObjectId id, uint8_t* controller, uint8_t* level3, uint8_t* unit,
                      uint8_t* level1, uint8_t* level2)
{
    if (id.b[0] != kKindUnit) {
        return refuse(kInvalidUnitId);
    }
    *controller = id.b[1];
    *level3 = id.b[7];
    *unit = id.b[4];
    *level1 = id.b[5];
    *level2 = id.b[6];
    return 0;
}

int ctl_parse_drive_id(ObjectId id, uint8_t* controller, uint8_t* port)
{
    return parse_port_like(id, kKindDrive, kInvalidDriveId, controller, port);
}

int ctl_parse_port_id(ObjectId id, uint8_t* controller, uint8_t* port)
{
    return parse_port_like(id, kKindDrive, kInvalidPortId, controller, port);
}

int ctl_parse_phy_id(ObjectId id, uint8_t* controller, uint8_t* phy)
{
    return parse_port_like(id, kKindPhy, kInvalidPortId, controller, phy);
}

}  // extern "C"
