// The first series' unit descriptor on any bytes: the input's last bytes
// choose the descriptor's length (at most 512), a path (depth, sub-unit,
// drive), a port and the room for ports; the rest is the descriptor, in a
// 512-byte buffer zeroed past what arrived, as the library reads it. A
// found record lies inside the length; a found port is the port byte of
// the record its path names; the drive ports listed are at most the room
// and the members. Then a descriptor built for the ports the input gives
// finds each port at its member's path and lists the ports in order.
#include <cstring>

#include "backend/legacy_descriptor.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_support.h"

using namespace legacy_descriptor;

namespace {

bool is_raid(uint8_t type) { return type <= kRaid1Created || type == kRaid5 || type == kRaid10; }

void check_descriptor(const uint8_t* d, size_t length, uint8_t depth, uint8_t subunit,
                      uint8_t drive, uint8_t port, int room)
{
    Record record{~size_t(0), ~size_t(0)};
    if (find_record(d, length, depth, subunit, drive, &record)) {
        FUZZ_CHECK(depth >= 1 && depth <= 3);
        if (depth == 1) {
            FUZZ_CHECK(record.offset == 0 && record.size == length);
        } else {
            FUZZ_CHECK(record.size == kDriveRecordSize || record.size == kMirrorRecordSize);
            FUZZ_CHECK(record.offset <= length && record.size <= length - record.offset);
            FUZZ_CHECK(subunit < d[kCount]);
        }
    }

    const size_t members = member_count(d, length);
    FUZZ_CHECK(members <= d[kCount]);
    const size_t first = d[kType] == kRaid10 ? kMirrors : kMembers;
    const size_t width = d[kType] == kRaid10 ? kMirrorRecordSize : kDriveRecordSize;
    FUZZ_CHECK(members == 0 || first + members * width <= length);

    uint8_t ports[128];
    std::memset(ports, 0xEE, sizeof ports);
    const int found = record_drive_ports(d, length, ports, room);
    if (found >= 0) {
        FUZZ_CHECK(found <= room);
        FUZZ_CHECK(size_t(found) <= (d[kType] == kRaid10 ? 2 * members : members) ||
                   (found == 1 && !is_raid(d[kType])));
        for (int i = found; i < 128; ++i) FUZZ_CHECK(ports[i] == 0xEE);
    } else {
        FUZZ_CHECK(!is_raid(d[kType]) && d[kType] != kDisk && d[kType] != kSpare &&
                   d[kType] != kDiskReadBack && d[kType] != kJbod);
    }

    uint8_t at_subunit = 0xAA, at_drive = 0xAA, at_depth = 0xAA;
    if (find_port(d, length, port, &at_subunit, &at_drive, &at_depth)) {
        FUZZ_CHECK(at_depth == 2 || at_depth == 3);
        Record member;
        FUZZ_CHECK(find_record(d, length, at_depth, at_subunit, at_drive, &member));
        FUZZ_CHECK(member.size == kDriveRecordSize);
        FUZZ_CHECK(d[member.offset + kPort] == port);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const size_t length = in.integral_in_range<size_t>(0, kMaxSize);
    const uint8_t depth = in.integral_in_range<uint8_t>(0, 4);
    const uint8_t subunit = in.integral<uint8_t>();
    const uint8_t drive = in.integral<uint8_t>();
    const uint8_t port = in.integral<uint8_t>();
    const int room = in.integral_in_range<int>(0, 128);
    const std::string bytes = in.remaining_string();

    uint8_t descriptor[kMaxSize] = {};
    std::memcpy(descriptor, bytes.data(), bytes.size() < length ? bytes.size() : length);
    check_descriptor(descriptor, length, depth, subunit, drive, port, room);

    // Built for up to 16 ports (a controller's), with RAID 10 in pairs.
    const uint8_t kTypes[] = {kRaid0, kRaid1Created, kRaid5, kRaid10};
    const uint8_t type = kTypes[port & 3];
    int drives = int(bytes.size() < 16 ? bytes.size() : 16);
    if (type == kRaid10) drives &= ~1;
    if (drives == 0) return 0;
    const uint8_t* wanted = reinterpret_cast<const uint8_t*>(bytes.data());
    RaidLayout layout{type, 5, wanted, drives, 1000000, 1000, 2000};
    uint8_t built[kMaxSize];
    uint16_t built_length = 0;
    uint32_t data_length = 0;
    build_raid(layout, built, &built_length, &data_length);
    FUZZ_CHECK(built_length <= data_length && data_length <= kMaxSize);
    check_descriptor(built, built_length, depth, subunit, drive, port, room);

    uint8_t listed[128];
    FUZZ_CHECK(record_drive_ports(built, built_length, listed, 128) == drives);
    FUZZ_CHECK(std::memcmp(listed, wanted, size_t(drives)) == 0);
    for (int i = 0; i < drives; ++i) {
        int earlier = 0;
        while (wanted[earlier] != wanted[i]) ++earlier;
        uint8_t s = 0xAA, d = 0xAA, level = 0xAA;
        FUZZ_CHECK(find_port(built, built_length, wanted[i], &s, &d, &level));
        if (type == kRaid10)
            FUZZ_CHECK(level == 3 && s == earlier / 2 && d == earlier % 2);
        else
            FUZZ_CHECK(level == 2 && s == earlier);
    }
    return 0;
}
