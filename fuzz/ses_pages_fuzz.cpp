// The SES diagnostic pages on any bytes: the input fills the 2048-byte page
// buffer as the processor's answer does (the rest stays 0), read as the
// configuration page, as the status page whose elements the cache's
// positions locate, and turned into a control page. What is read depends
// only on the bytes the page's length covers; every element found lies
// inside the page; each decoder gives one of its documented values.
#include <cstring>

#include "backend/enclosure_protocol.h"
#include "backend/ses_pages.h"
#include "fuzz/fuzz_support.h"

using namespace enclosure;

namespace {

bool one_of(uint32_t v, std::initializer_list<uint32_t> set)
{
    for (uint32_t s : set)
        if (v == s) return true;
    return false;
}

void check_decoders(const uint8_t* e)
{
    FUZZ_CHECK(one_of(fan_status(e), {0, 1, 2, 3, 128}));
    FUZZ_CHECK(one_of(temp_sensor_status(e), {0, 1, 2, 128}));
    FUZZ_CHECK(one_of(door_lock_status(e), {0, 1, 2, 128}));
    FUZZ_CHECK(alarm_status(e) <= 5);
    FUZZ_CHECK(one_of(slot_flags(e), {0, 2, 4, 9}));
    FUZZ_CHECK(one_of(enclosure_status(e), {0, 1, 2, 3, 5, 6}));
    if (code_of(e) == kCodeNotInstalled) {
        FUZZ_CHECK(fan_status(e) == 2 && temp_sensor_status(e) == 2 && door_lock_status(e) == 2);
        FUZZ_CHECK(alarm_status(e) == 2 && enclosure_status(e) == 5);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t page[kPageBufferSize] = {};
    std::memcpy(page, data, size < sizeof page ? size : sizeof page);
    const size_t end = kPageHeader + bounded_page_length(page);
    FUZZ_CHECK(end <= kPageBufferSize);

    // The same page with every byte past its length changed.
    uint8_t other[kPageBufferSize];
    std::memcpy(other, page, sizeof other);
    for (size_t i = end; i < sizeof other; ++i) other[i] = uint8_t(~other[i]);

    size_t first = 0;
    int32_t count = 0;
    const bool headers = find_type_headers(page, &first, &count);
    size_t first_other = 0;
    int32_t count_other = 0;
    FUZZ_CHECK(headers == find_type_headers(other, &first_other, &count_other));
    if (headers) {
        FUZZ_CHECK(first == first_other && count == count_other);
        FUZZ_CHECK(first >= kDescriptor + 4 && count >= 0 && first + 4 * size_t(count) <= end);
    }

    SubEnclosureRecord record, record_other;
    std::memset(&record, 0, sizeof record);
    std::memset(&record_other, 0, sizeof record_other);
    const bool parsed = parse_configuration_page(page, &record);
    FUZZ_CHECK(parsed == parse_configuration_page(other, &record_other));
    FUZZ_CHECK(std::memcmp(&record, &record_other, sizeof record) == 0);
    if (parsed) {
        FUZZ_CHECK(headers && record.type_header_count == count);
        FUZZ_CHECK(kDescriptor + kDescriptorEnd <= end);
        // Each kept type with elements starts at a header of that type, and
        // its elements found in a status page lie inside that page.
        int32_t positions = 0;
        for (int32_t h = 0; h < count; ++h) positions += page[first + 4 * size_t(h) + 1] + 1;
        for (int slot = 0; slot < kKeptTypes; ++slot) {
            if (record.element_count[slot] == 0) continue;
            const int32_t at = record.first_element[slot];
            FUZZ_CHECK(at >= 0 && at < positions);
            bool header_there = false;
            int32_t position = 0;
            for (int32_t h = 0; h < count && position <= at; ++h) {
                const uint8_t* header = page + first + 4 * size_t(h);
                if (position == at && kept_type_slot(header[0]) == slot) header_there = true;
                position += header[1] + 1;
            }
            FUZZ_CHECK(header_there);
            for (int index = 0; index < record.element_count[slot]; ++index) {
                const size_t offset = element_offset(at + 1 + index, page);
                if (offset == 0) continue;
                FUZZ_CHECK(offset == kFirstElement + 4 * size_t(at + 1 + index));
                FUZZ_CHECK(offset + 4 <= end);
            }
        }
    }

    for (size_t at = kFirstElement; at + 4 <= end; at += 4) check_decoders(page + at);
    FUZZ_CHECK(element_offset(-1, page) == 0);

    // The control page selecting one element (a target past the page
    // selects none).
    const size_t target = kFirstElement + 4 * size_t(size % 600);
    uint8_t control[kPageBufferSize];
    std::memcpy(control, page, sizeof control);
    const size_t length = make_control_page(control, target);
    const size_t declared = size_t(be16(page + 2)) + kPageHeader;
    if (declared > kPageBufferSize) {
        FUZZ_CHECK(length == 0 && std::memcmp(control, page, sizeof page) == 0);
        return 0;
    }
    FUZZ_CHECK(length == declared && control[0] == kStatusPage);
    for (size_t i = 1; i < sizeof page; ++i) {
        const bool element_byte0 = i >= kFirstElement && (i - kFirstElement) % 4 == 0 &&
                                   i + 4 <= length && i != target;
        FUZZ_CHECK(control[i] == (element_byte0 ? uint8_t(page[i] & ~kSelect) : page[i]));
    }
    return 0;
}
