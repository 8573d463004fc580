// The search over a unit's descriptor list on any list: the first 8 bytes
// are the target (byte 0 picks a unit or a drive identifier), the rest the
// records, which the list takes as the reader does (at most 194, then the
// terminator).
#include "backend/series_backend.h"

#include <cstring>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    ObjectId target;
    std::memcpy(target.b, data, 8);
    target.b[0] = (target.b[0] & 1) ? kKindDrive : kKindUnit;
    UnitDescriptorList list;
    std::memset(list.bytes, 0, sizeof list.bytes);
    size_t records = (size - 8) / 20;
    if (records > UnitDescriptorList::kMaxRecords)
        records = UnitDescriptorList::kMaxRecords;
    std::memcpy(list.bytes, data + 8, records * 20);
    std::memset(list.bytes + records * 20, 0xFF, 4);

    int place = -1;
    ObjectId id;
    if (SeriesBackend::find_record_id(target, list, &place, &id) == 0) {
        FUZZ_CHECK(place >= 0 && place <= UnitDescriptorList::kLastPlace);
        FUZZ_CHECK(id.b[0] == kKindUnit && id.b[3] >= 1 && id.b[3] <= 4);
        FUZZ_CHECK(id.b[4] == target.b[4]);
        if (target.b[0] == kKindUnit)
            FUZZ_CHECK(std::memcmp(id.b + 3, target.b + 3, 1 + id.b[3]) == 0);
        ObjectId task = target;
        task.b[0] = kKindTaskRecord;
        int at = -1;
        if (SeriesBackend::get_task_record(task, list, place, &at) == 0)
            FUZZ_CHECK(at >= place && at <= UnitDescriptorList::kLastPlace);
    }
    return 0;
}
