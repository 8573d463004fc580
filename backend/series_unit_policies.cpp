// A unit's cache policies, the flush of its write cache, the
// verify and rebuild schedule switches, and the port scans that bring new
// drives in.
#include "backend/id_list_helpers.h"
#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/record_failure.h"

using namespace series_access;

namespace {

constexpr Parameter kRebuildSchedule{0x840C, 3, 1};
constexpr Parameter kVerifySchedule{0x840C, 4, 1};

constexpr uint8_t kFlush = 0x0E;
constexpr uint8_t kEnabled = 1;
constexpr uint8_t kPortLimit = 128;

// What a policy setter does to one bit: leave it, set it or clear it.
enum class Bit { Keep, Set, Clear };

uint8_t apply(uint8_t value, uint8_t mask, Bit bit) {
    if (bit == Bit::Set) return uint8_t(value | mask);
    if (bit == Bit::Clear) return uint8_t(value & ~mask);
    return value;
}

int change_byte(ObjectId unit, Parameter p, uint8_t mask, Bit bit) {
    uint8_t value;
    if (read_as(unit, of_object(p, unit.b[4]), &value) != 0) return -1;
    return write_number(unit, of_object(p, unit.b[4]), apply(value, mask, bit));
}

// Parameter 13 and then, for the read cache, parameter 29, under the
// controller lock, which is released whatever happened; a failure at 29
// keeps the new 13.
int change_policy(ObjectId unit, uint8_t policy_mask, Bit policy, Bit basic) {
    if (SeriesBackend::get_controller_lock(unit, SeriesBackend::kLockMilliseconds) != 0) return -1;
    int result = change_byte(unit, kUnitPolicy, policy_mask, policy);
    if (result == 0 && basic != Bit::Keep)
        result = change_byte(unit, kUnitReadCacheMode, kBasicReadCache, basic);
    SeriesBackend::release_controller_lock(unit);
    return result;
}

// The port bitmap of a port list: every entry a drive or port of the first
// entry's controller, below port 128.
int bitmap_of(const IdList* ports, PortBitmap* out) {
    const uint8_t controller = ports->ids[0].b[1];
    for (uint32_t i = 0; i < ports->count; ++i) {
        const ObjectId& p = ports->ids[i];
        if (p.b[0] != kKindDrive || p.b[1] != controller || p.b[2] >= kPortLimit)
            return fail_with_api_error(kApiScanInvalidPort);
        out->set(p.b[2]);
    }
    return 0;
}

}  // namespace

int SeriesBackend::enable_basic_read_cache(ObjectId unit) const {
    return change_policy(unit, kReadCacheOff, Bit::Clear, Bit::Set);
}

int SeriesBackend::disable_read_cache(ObjectId unit) const {
    return change_policy(unit, kReadCacheOff, Bit::Set, Bit::Set);
}

int SeriesBackend::enable_intelligent_read_cache(ObjectId unit) const {
    return change_policy(unit, kReadCacheOff, Bit::Clear, Bit::Clear);
}

int SeriesBackend::enable_write_cache(ObjectId unit) const {
    return change_policy(unit, kWriteCacheOn, Bit::Set, Bit::Keep);
}

int SeriesBackend::disable_write_cache(ObjectId unit) const {
    return change_policy(unit, kWriteCacheOn, Bit::Clear, Bit::Keep);
}

int SeriesBackend::flush_write_cache(ObjectId unit) const {
    const UnitCommand command{kFlush, 0, 0};
    return send_unit_commands(unit, &command, 1);
}

int SeriesBackend::add_drive(ObjectId port, ObjectId* out) const {
    if (is_port_present(port, port.b[2]) != 0) return fail_with_api_error(kApiPortInUse);
    // No port scan reaches a port the bitmap has no bit for.
    if (port.b[2] >= kPortLimit) return fail_with_api_error(kApiScanInvalidPort);
    PortBitmap ports;
    ports.set(port.b[2]);
    if (send_port_scan_bitmap(controller_id_of(port), ports) != 0) return -1;
    return ctl_make_drive_id(port.b[1], port.b[2], out);
}

int SeriesBackend::get_verify_schedule(ObjectId id, uint8_t* out) const {
    return read_as(id, kVerifySchedule, out);
}

int SeriesBackend::get_rebuild_schedule(ObjectId id, uint8_t* out) const {
    return read_as(id, kRebuildSchedule, out);
}

int SeriesBackend::enable_verify_schedule(ObjectId id) const {
    return write_number(id, kVerifySchedule, kEnabled);
}

int SeriesBackend::enable_rebuild_schedule(ObjectId id) const {
    return write_number(id, kRebuildSchedule, kEnabled);
}

int SeriesBackend::disable_verify_schedule(ObjectId id, uint8_t value) const {
    return write_number(id, kVerifySchedule, value);
}

int SeriesBackend::disable_rebuild_schedule(ObjectId id, uint8_t value) const {
    return write_number(id, kRebuildSchedule, value);
}

int SeriesBackend::send_port_scan(const IdList* ports) const {
    if (id_lists::check(ports) != 0) return -1;
    if (ports->count == 0) return 0;
    PortBitmap bitmap;
    if (bitmap_of(ports, &bitmap) != 0) return -1;
    return send_port_scan_bitmap(controller_id_of(ports->ids[0]), bitmap);
}

int SeriesBackend::scan_ports(const IdList* ports, uint8_t flag) const {
    if (id_lists::check(ports) != 0) return -1;
    if (ports->count == 0) return 0;
    PortBitmap bitmap;
    if (bitmap_of(ports, &bitmap) != 0) return -1;
    return send_port_scan_bitmap_with_flag(controller_id_of(ports->ids[0]), bitmap, flag);
}
