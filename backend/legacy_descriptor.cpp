#include "backend/legacy_descriptor.h"

#include <cstring>

namespace legacy_descriptor {

namespace {

bool is_member_type(uint8_t type) {
    return type == kRaid0 || type == kRaid1 || type == kRaid1Created || type == kRaid5;
}

bool is_single_type(uint8_t type) {
    return type == kDisk || type == kSpare || type == kDiskReadBack || type == kJbod;
}

// A record of size bytes at offset lies inside the descriptor.
bool inside(size_t offset, size_t size, size_t length) {
    return offset <= length && size <= length - offset;
}

void put_drive(uint8_t* record, uint8_t port, uint8_t index, uint32_t share) {
    record[kType] = kDisk;
    record[kPort] = port;
    record[kMemberIndex] = index;
    store32(record + kCapacity, share);
}

}  // namespace

bool find_record(const uint8_t* descriptor, size_t length, uint8_t depth, uint8_t subunit,
                 uint8_t drive, Record* out) {
    if (depth == 1) {
        *out = Record{0, length};
        return true;
    }
    const uint8_t type = descriptor[kType];
    if (is_member_type(type) && depth == 2) {
        const size_t offset = kMembers + size_t(subunit) * kDriveRecordSize;
        if (subunit >= descriptor[kCount] || !inside(offset, kDriveRecordSize, length))
            return false;
        *out = Record{offset, kDriveRecordSize};
        return true;
    }
    if (type != kRaid10 || (depth != 2 && depth != 3)) return false;
    const size_t mirror = kMirrors + size_t(subunit) * kMirrorRecordSize;
    if (subunit >= descriptor[kCount] || !inside(mirror, kMirrorRecordSize, length)) return false;
    if (depth == 2) {
        *out = Record{mirror, kMirrorRecordSize};
        return true;
    }
    if (drive >= descriptor[mirror + kCount] || drive >= kMirrorDrives) return false;
    *out = Record{mirror + kMembers + size_t(drive) * kDriveRecordSize, kDriveRecordSize};
    return true;
}

int record_drive_ports(const uint8_t* record, size_t length, uint8_t* ports, int room) {
    const uint8_t type = record[kType];
    int found = 0;
    if (is_single_type(type)) {
        if (room > 0) ports[found++] = record[kPort];
        return found;
    }
    if (!is_member_type(type) && type != kRaid10) return -1;
    const size_t members = member_count(record, length);
    for (size_t i = 0; i < members; ++i) {
        if (type != kRaid10) {
            if (found < room) ports[found++] = record[kMembers + i * kDriveRecordSize + kPort];
            continue;
        }
        const uint8_t* mirror = record + kMirrors + i * kMirrorRecordSize;
        for (size_t d = 0; d < mirror[kCount] && d < kMirrorDrives && found < room; ++d)
            ports[found++] = mirror[kMembers + d * kDriveRecordSize + kPort];
    }
    return found;
}

size_t member_count(const uint8_t* record, size_t length) {
    const bool mirrors = record[kType] == kRaid10;
    const size_t first = mirrors ? kMirrors : kMembers;
    const size_t size = mirrors ? kMirrorRecordSize : kDriveRecordSize;
    const size_t room = length > first ? (length - first) / size : 0;
    return record[kCount] < room ? record[kCount] : room;
}

bool find_port(const uint8_t* descriptor, size_t length, uint8_t port, uint8_t* subunit,
               uint8_t* drive, uint8_t* depth) {
    const uint8_t type = descriptor[kType];
    if (is_member_type(type)) {
        for (size_t i = 0; i < member_count(descriptor, length); ++i) {
            if (descriptor[kMembers + i * kDriveRecordSize + kPort] != port) continue;
            *subunit = uint8_t(i);
            *depth = 2;
            return true;
        }
        return false;
    }
    if (type != kRaid10) return false;
    for (size_t m = 0; m < member_count(descriptor, length); ++m) {
        const uint8_t* mirror = descriptor + kMirrors + m * kMirrorRecordSize;
        for (size_t d = 0; d < mirror[kCount] && d < kMirrorDrives; ++d) {
            if (mirror[kMembers + d * kDriveRecordSize + kPort] != port) continue;
            *subunit = uint8_t(m);
            *drive = uint8_t(d);
            *depth = 3;
            return true;
        }
    }
    return false;
}

void build_raid(const RaidLayout& layout, uint8_t* out, uint16_t* length, uint32_t* data_length) {
    std::memset(out, 0, kMaxSize);
    out[kType] = layout.type;
    out[kStripe] = layout.stripe;
    store32(out + kCapacity, layout.capacity);
    if (layout.type != kRaid10) {
        out[kCount] = uint8_t(layout.drives);
        for (int i = 0; i < layout.drives; ++i)
            put_drive(out + kMembers + size_t(i) * kDriveRecordSize, layout.ports[i], uint8_t(i),
                      layout.share);
        *length = uint16_t(kMembers + size_t(layout.drives) * kDriveRecordSize);
        *data_length = kCreateDataRaid;
        return;
    }
    const int mirrors = layout.drives / 2;
    out[kCount] = uint8_t(mirrors);
    out[kMembers] = 0xFF;
    std::memset(out + kMirrorStatus, 0xFF, kMirrorStatusBytes);
    for (int j = 0; j < mirrors; ++j) {
        uint8_t* mirror = out + kMirrors + size_t(j) * kMirrorRecordSize;
        mirror[kCount] = kMirrorDrives;
        mirror[kType] = kRaid1Created;
        store32(mirror + kCapacity, layout.mirror_capacity);
        for (int d = 0; d < 2; ++d)
            put_drive(mirror + kMembers + size_t(d) * kDriveRecordSize, layout.ports[2 * j + d],
                      uint8_t(d), layout.share);
    }
    *length = uint16_t(kMirrors + size_t(mirrors) * kMirrorRecordSize);
    *data_length = kCreateDataRaid10;
}

void build_single(uint8_t type, uint8_t port, uint32_t capacity, uint8_t* out, uint16_t* length,
                  uint32_t* data_length) {
    std::memset(out, 0, kMaxSize);
    out[kType] = type;
    out[kPort] = port;
    store32(out + kCapacity, capacity);
    *length = uint16_t(kDriveRecordSize);
    *data_length = kCreateDataSingle;
}

}  // namespace legacy_descriptor
