// The event capture of the second series, in parameter table 0x407: a
// capture size (0 off), a running switch, two counts, the captured records
// read one at a time by index, and four further settings kept as numbers.
#include <cstring>
#include <new>

#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/record_failure.h"

namespace {

using namespace series_access;

constexpr uint32_t kTable = 0x407;
constexpr Parameter kFirstCount{kTable, 3, 4};
constexpr Parameter kSecondCount{kTable, 4, 4};
constexpr Parameter kRecordIndex{kTable, 5, 4};
constexpr Parameter kRecord{kTable, 6, SeriesBackend::kCaptureRecordSize};
constexpr Parameter kCaptureSize{kTable, 7, 4};
constexpr Parameter kSetting8{kTable, 8, 4};
constexpr Parameter kRunning{kTable, 9, 4};
constexpr Parameter kSetting10{kTable, 10, 4};
constexpr Parameter kSetting11{kTable, 11, 4};
constexpr Parameter kSetting12{kTable, 12, 4};
// The stored size 1 stands for this many.
constexpr uint32_t kDefaultCaptureSize = 1024;

}  // namespace

int SeriesBackend::enable_event_capture(ObjectId id, uint32_t size) const {
    if (size == 0) return fail_with_api_error(kApiInvalidCaptureSize);
    return write_number(id, kCaptureSize, size);
}

int SeriesBackend::disable_event_capture(ObjectId id) const {
    return write_number(id, kCaptureSize, 0);
}

int SeriesBackend::start_event_capture(ObjectId id) const { return write_number(id, kRunning, 1); }

int SeriesBackend::stop_event_capture(ObjectId id) const { return write_number(id, kRunning, 0); }

int SeriesBackend::get_event_capture_state(ObjectId id, uint32_t* on, uint32_t* size) const {
    uint32_t stored;
    if (read_as(id, kCaptureSize, &stored) != 0) return -1;
    *on = stored == 0 ? 0 : 1;
    *size = stored == 1 ? kDefaultCaptureSize : stored;
    return 0;
}

int SeriesBackend::get_event_capture_running(ObjectId id, uint32_t* running) const {
    return read_as(id, kRunning, running);
}

// The second count is read first.
int SeriesBackend::get_event_capture_counts(ObjectId id, uint32_t* first, uint32_t* second) const {
    uint32_t a, b;
    if (read_as(id, kSecondCount, &b) != 0 || read_as(id, kFirstCount, &a) != 0) return -1;
    *first = a;
    *second = b;
    return 0;
}

int SeriesBackend::read_event_capture_record(ObjectId id, uint32_t index, uint8_t* buffer,
                                             uint32_t length) const {
    if (buffer == nullptr && length > 0) return fail_with_api_error(kInvalidArgument);
    if (write_number(id, kRecordIndex, index) != 0) return -1;
    uint8_t* record = new (std::nothrow) uint8_t[kCaptureRecordSize];
    if (record == nullptr) return fail_with_api_error(kApiMemoryAllocation);
    const int result =
        get_parameter(id, record, kCaptureRecordSize, kRecord.table, kRecord.id, kRecord.size);
    if (result == 0) {
        const uint32_t kept = length < kCaptureRecordSize ? length : kCaptureRecordSize;
        if (kept > 0) std::memcpy(buffer, record, kept);
        if (length > kept) std::memset(buffer + kept, 0, length - kept);
    }
    delete[] record;
    return result;
}

int SeriesBackend::get_event_capture_setting_8(ObjectId id, uint32_t* value) const {
    return read_as(id, kSetting8, value);
}

int SeriesBackend::get_event_capture_setting_10(ObjectId id, uint32_t* value) const {
    return read_as(id, kSetting10, value);
}

int SeriesBackend::get_event_capture_setting_11(ObjectId id, uint32_t* value) const {
    return read_as(id, kSetting11, value);
}

int SeriesBackend::get_event_capture_setting_12(ObjectId id, uint32_t* value) const {
    return read_as(id, kSetting12, value);
}

int SeriesBackend::set_event_capture_setting_8(ObjectId id, uint32_t value) const {
    return write_number(id, kSetting8, value);
}

int SeriesBackend::set_event_capture_setting_10(ObjectId id, uint32_t value) const {
    return write_number(id, kSetting10, value);
}

int SeriesBackend::set_event_capture_setting_11(ObjectId id, uint32_t value) const {
    return write_number(id, kSetting11, value);
}

int SeriesBackend::set_event_capture_setting_12(ObjectId id, uint32_t value) const {
    return write_number(id, kSetting12, value);
}
