// Building the descriptor lists of unit creation and migration.
#include "backend/unit_list_builder.h"

#include <cstring>

#include "driver/series_command.h"

using namespace unit_record;

namespace {

constexpr uint8_t kRaid1Stored = 2;
constexpr uint8_t kRaid5Stored = 5;
constexpr uint8_t kRaid6Stored = 7;
constexpr uint8_t kRaid10Requested = 6;
constexpr uint8_t kNestedStored = 0;  // RAID 0 over RAID 1 or RAID 5 sub-units
constexpr uint8_t kDriveRecord = 12;
constexpr uint8_t kTaskRecord = 0x30;
constexpr uint8_t kVolumeRecord = 0x80;
constexpr size_t kVolumeIndex = 2;
constexpr size_t kVolumeStart = 4;
constexpr size_t kVolumeSize = 12;

// Drives per sub-unit a RAID 50 allows, by number of drives: the ways of
// dividing at most 32 drives into 2 to 4 sub-units of at least 3 drives.
struct Grouping {
    uint32_t drives;
    uint32_t sizes[3];  // 0: no further size
};
constexpr Grouping kGroupings[] = {
    {6, {3}},      {8, {4}},        {9, {3}},      {10, {5}},     {12, {3, 4, 6}},
    {14, {7}},     {15, {5}},       {16, {4, 8}},  {18, {6, 9}},  {20, {5, 10}},
    {21, {7}},     {22, {11}},      {24, {6, 8, 12}}, {26, {13}}, {27, {9}},
    {28, {7, 14}}, {30, {10, 15}},  {32, {8, 16}},
};

class ListWriter {
  public:
    explicit ListWriter(UnitListBuffer* out) : out_(out) {
        std::memset(out_->bytes, 0, sizeof out_->bytes);
        out_->records = 0;
    }

    // The next record, zeroed; null when the buffer is full.
    uint8_t* next() {
        if (out_->records >= UnitListBuffer::kMaxRecords) {
            full_ = true;
            return nullptr;
        }
        return out_->bytes + size_t(out_->records++) * kSize;
    }

    void unit(uint8_t children, uint8_t type, uint8_t stripe, uint8_t task_records = 0) {
        if (uint8_t* r = next()) {
            r[kChildren] = children;
            r[kType] = type;
            r[kStripe] = stripe;
            r[kTaskRecords] = task_records;
        }
    }

    void task() {
        if (uint8_t* r = next()) r[kType] = kTaskRecord;
    }

    void drive(uint8_t port) {
        if (uint8_t* r = next()) {
            r[kType] = kDriveRecord;
            r[kStateIndex] = port;
        }
    }

    // Volume j starts where the volumes before it end; the record carries
    // sectors, twice the caller's units of 1024 bytes.
    bool volumes(VolumeSizes v) {
        uint64_t start = 0;
        for (uint32_t j = 0; j < v.count; ++j) {
            const uint64_t kib = v.sizes[j];
            if (kib > UINT64_MAX / 2 || start > UINT64_MAX - kib * 2) return false;
            uint8_t* r = next();
            if (r == nullptr) return false;
            r[kType] = kVolumeRecord;
            r[kVolumeIndex] = uint8_t(j);
            le::store(r + kVolumeStart, start, 8);
            le::store(r + kVolumeSize, kib * 2, 8);
            start += kib * 2;
        }
        return true;
    }

    bool fits() const { return !full_; }

  private:
    UnitListBuffer* out_;
    bool full_ = false;
};

// A list that does not fit is refused before its records are written.
bool room_for(uint32_t records, VolumeSizes volumes) {
    return uint64_t(records) + volumes.count <= uint64_t(UnitListBuffer::kMaxRecords);
}

}  // namespace

uint32_t raid50_group_size(uint32_t drives, int32_t asked) {
    for (const Grouping& g : kGroupings) {
        if (g.drives != drives) continue;
        if (g.sizes[1] == 0) return g.sizes[0];
        for (uint32_t size : g.sizes)
            if (size != 0 && int64_t(size) == int64_t(asked)) return size;
        return 0;
    }
    return 0;
}

bool build_single_drive_list(uint8_t type, uint8_t port, UnitListBuffer* out) {
    ListWriter w(out);
    if (uint8_t* r = w.next()) {
        r[kType] = type;
        r[kStateIndex] = port;
    }
    return w.fits();
}

bool build_flat_list(uint8_t type, uint8_t stripe, const uint8_t* ports, uint32_t count,
                     VolumeSizes volumes, UnitListBuffer* out) {
    const bool raid6 = type == kRaid6Stored;
    if (!room_for(count + 1 + (raid6 ? 1 : 0), volumes) || count > 255) return false;
    ListWriter w(out);
    if (type == kRaid1Stored) {
        w.unit(uint8_t(count), kRaid1Stored, 0);
    } else {
        w.unit(uint8_t(count), type, stripe, raid6 ? 1 : 0);
    }
    if (raid6) w.task();
    for (uint32_t i = 0; i < count; ++i) w.drive(ports[i]);
    return w.volumes(volumes) && w.fits();
}

bool build_nested_list(uint8_t type, uint8_t stripe, const uint8_t* ports, uint32_t count,
                       uint32_t group, VolumeSizes volumes, UnitListBuffer* out) {
    if (type == kRaid10Requested) group = 2;
    if (group == 0 || count % group != 0) return false;
    const uint32_t subunits = count / group;
    if (!room_for(count + subunits + 1, volumes) || subunits > 255 || group > 255) return false;
    ListWriter w(out);
    const bool raid10 = type == kRaid10Requested;
    w.unit(uint8_t(subunits), kNestedStored, raid10 ? stripe : 0);
    for (uint32_t s = 0; s < subunits; ++s) {
        w.unit(uint8_t(group), raid10 ? kRaid1Stored : kRaid5Stored, raid10 ? 0 : stripe);
        for (uint32_t i = 0; i < group; ++i) w.drive(ports[s * group + i]);
    }
    return w.volumes(volumes) && w.fits();
}
