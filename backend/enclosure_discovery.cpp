// Enclosure discovery: the controller's enclosure settings, the probe of
// each enclosure position, and the cache records of the SES configuration
// that every later SES operation reads.
#include <cstring>

#include "backend/enclosure_elements.h"
#include "backend/ses_pages.h"
#include "driver/record_failure.h"

using namespace enclosure;

namespace {

const char kAmiVendor[8] = {'A', 'M', 'I', ' ', ' ', ' ', ' ', ' '};
const char kSafteVendor[8] = {'V', 'R', 'E', 'X', ' ', ' ', ' ', ' '};
const char kSafteMark[6] = {'S', 'A', 'F', '-', 'T', 'E'};
constexpr size_t kSafteMarkAt = 44;
constexpr size_t kVendorAt = 8;
constexpr size_t kAlternateRevisionAt = 37;

bool is_ami(const char* vendor) { return std::memcmp(vendor, kAmiVendor, 8) == 0; }

// An identifier of the position on the controller, for the probe.
ObjectId position_target(ObjectId controller, uint8_t position, uint8_t type) {
    ObjectId id = controller;
    id.b[4] = uint8_t(kPositionBase + position);
    id.b[7] = type;
    return id;
}

}  // namespace

namespace enclosure {

int discover_position(SeriesBackend& backend, ObjectId controller, uint8_t position,
                      uint8_t type, uint8_t kind, ObjectId* out) {
    int32_t luns = 0;
    if (backend.probe_enclosure(controller, position, type, kind, &luns) != 1) return 0;
    ObjectId id;
    if (ctl_make_enclosure_id(controller.b[1], position, &id) != 0) return -1;
    id.b[7] = type;
    id.b[6] = kind;
    backend.fill_enclosure_cache(&id, luns);
    *out = id;
    return 1;
}

EnclosureCacheRecord* valid_record(SeriesBackend& backend, const ObjectId& id) {
    EnclosureCacheRecord* record =
        id.b[4] >= kPositionBase ? backend.enclosure_record(id.b[1], uint8_t(id.b[4] - kPositionBase))
                                 : nullptr;
    if (record == nullptr || (record->flags & EnclosureCacheRecord::kValid) == 0) {
        fail_with_api_error(kEnclosureMissing);
        return nullptr;
    }
    return record;
}

}  // namespace enclosure

int SeriesBackend::get_enclosure_type(ObjectId id, uint8_t* type) {
    return get_parameter(id, type, 1, kEnclosureTable, kTypeParameter, 1);
}

int SeriesBackend::set_enclosure_type(ObjectId id, uint8_t type) const {
    return set_parameter(id, &type, 1, kEnclosureTable, kTypeParameter, 1);
}

int SeriesBackend::get_enclosure_parameter_block(ObjectId id, uint8_t* block) const {
    return get_parameter(id, block, kBlockSize, kEnclosureTable, kBlockParameter, kBlockSize);
}

int SeriesBackend::set_enclosure_parameter_block(ObjectId id, const uint8_t* block) const {
    return set_parameter(id, block, kBlockSize, kEnclosureTable, kBlockParameter, kBlockSize);
}

int SeriesBackend::get_enclosure_position_kinds(ObjectId id, uint8_t* kinds) const {
    return get_parameter(id, kinds, kKindsSize, kEnclosureTable, kKindsParameter, kKindsSize);
}

int SeriesBackend::get_enclosure_list(ObjectId controller, EnclosureIdList* out) {
    EnclosureIdList list;
    std::memset(&list, 0xFF, sizeof list);
    list.count = 0;
    uint8_t type = 0;
    if (get_enclosure_type(controller, &type) != 0) return -1;
    uint8_t kinds[kKindsSize];
    if (get_enclosure_position_kinds(controller, kinds) != 0) std::memset(kinds, 0, sizeof kinds);
    for (uint8_t position = 0; position < kPositions; ++position) {
        ObjectId id;
        if (discover_position(*this, controller, position, type, kinds[position], &id) == 1)
            list.ids[list.count++] = id;
    }
    *out = list;
    return 0;
}

int SeriesBackend::get_enclosure_count(ObjectId controller, uint32_t* count) {
    EnclosureIdList list;
    if (get_enclosure_list(controller, &list) != 0) return -1;
    *count = list.count;
    return 0;
}

int SeriesBackend::probe_enclosure(ObjectId controller, uint8_t position, uint8_t type,
                                   uint8_t kind, int32_t* lun_count) {
    *lun_count = 0;
    const ObjectId target = position_target(controller, position, type);
    uint8_t reply[kPageBufferSize];
    if (type == kSafte) {
        if (send_inquiry(target, reply, sizeof reply, 0) != 0) return 0;
        return std::memcmp(reply + kVendorAt, kSafteVendor, 8) == 0 ||
               std::memcmp(reply + kSafteMarkAt, kSafteMark, 6) == 0;
    }
    if (type != kSes) return 0;
    if (kind == kSingleProcessor)
        return send_inquiry(target, reply, sizeof reply, 0) == 0 &&
               (reply[0] & 0x1F) == kEnclosureDeviceType;
    if (kind != kLunPerSubEnclosure) return 0;
    int32_t found = 0;
    while (found < kMaxLuns && send_inquiry(target, reply, sizeof reply, uint8_t(found)) == 0 &&
           (reply[0] & 0x1F) == kEnclosureDeviceType)
        ++found;
    *lun_count = found;
    return found > 0;
}

int SeriesBackend::fill_enclosure_cache(ObjectId* enclosure, int32_t lun_count) {
    const uint8_t position = uint8_t(enclosure->b[4] - kPositionBase);
    EnclosureCacheRecord* record = enclosure_record(enclosure->b[1], position);
    if (record == nullptr) return 0;
    std::memset(record, 0, sizeof *record);
    const uint8_t kind = enclosure->b[6];
    ObjectId id = *enclosure;
    if (kind == kLunPerSubEnclosure) {
        if (lun_count > kMaxLuns) lun_count = kMaxLuns;
        for (int32_t lun = 0; lun < lun_count; ++lun) {
            id.b[5] = uint8_t(lun);
            SubEnclosureRecord& sub = record->sub_enclosures[lun];
            sub.address = enclosure->b[4];
            sub.lun = uint8_t(lun);
            read_ses_configuration(id, &sub);
            if (!is_ami(sub.vendor)) continue;
            uint8_t reply[kPageBufferSize];
            if (send_inquiry(id, reply, sizeof reply, uint8_t(lun)) == 0)
                std::memcpy(sub.alternate_revision, reply + kAlternateRevisionAt, 4);
        }
        record->sub_enclosure_count = uint8_t(lun_count);
        id.b[5] = uint8_t(lun_count > 0 ? lun_count - 1 : 0);
    } else if (kind == kSingleProcessor) {
        id.b[5] = 0;
        SubEnclosureRecord& sub = record->sub_enclosures[0];
        sub.address = enclosure->b[4];
        sub.lun = 0;
        if (read_ses_configuration(id, &sub) != 0) {
            std::memset(record, 0, sizeof *record);
            return 0;
        }
        record->sub_enclosure_count = 1;
    } else {
        return 0;
    }
    record->index = int32_t(enclosure->b[1]) * kPositions + position;
    record->enclosure_type = enclosure->b[7];
    record->position_kind = kind;
    record->flags = EnclosureCacheRecord::kValid;
    *enclosure = id;
    return 1;
}

int SeriesBackend::read_ses_configuration(ObjectId id, SubEnclosureRecord* out) {
    uint8_t page[kPageBufferSize];
    if (receive_diagnostic_page(id, kConfigurationPage, page, sizeof page) != 0) return -1;
    if (!parse_configuration_page(page, out)) return fail_with_api_error(kWrongPageCode);
    return 0;
}

int SeriesBackend::read_type_descriptor_headers(ObjectId id, uint8_t* out, int32_t* count) {
    uint8_t page[kPageBufferSize];
    if (receive_diagnostic_page(id, kConfigurationPage, page, sizeof page) != 0) return -1;
    size_t first = 0;
    int32_t headers = 0;
    if (!find_type_headers(page, &first, &headers)) return fail_with_api_error(kWrongPageCode);
    std::memcpy(out, page + first, 4 * size_t(headers));
    *count = headers;
    return 0;
}
