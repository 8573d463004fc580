#include "backend/ses_pages.h"

#include <cstring>

namespace enclosure {

bool find_type_headers(const uint8_t* page, size_t* first, int32_t* count) {
    const size_t end = kPageHeader + bounded_page_length(page);
    if (kDescriptor + 4 > end) return false;
    const uint8_t* descriptor = page + kDescriptor;
    const int32_t headers = descriptor[kDescriptorHeaderCount];
    const size_t first_header = kDescriptor + 4 + descriptor[kDescriptorLength];
    if (first_header + 4 * size_t(headers) > end) return false;
    *first = first_header;
    *count = headers;
    return true;
}

bool parse_configuration_page(const uint8_t* page, SubEnclosureRecord* out) {
    const size_t end = kPageHeader + bounded_page_length(page);
    const uint8_t* descriptor = page + kDescriptor;
    if (kDescriptor + kDescriptorEnd > end) return false;
    std::memcpy(out->logical_id, descriptor + kDescriptorLogicalId, 8);
    std::memcpy(out->vendor, descriptor + kDescriptorVendor, 8);
    std::memcpy(out->product, descriptor + kDescriptorProduct, 16);
    std::memcpy(out->revision, descriptor + kDescriptorRevision, 4);
    out->type_header_count = descriptor[kDescriptorHeaderCount];
    size_t first_header = 0;
    int32_t headers = 0;
    if (!find_type_headers(page, &first_header, &headers)) return false;
    int32_t position = 0;
    for (int32_t h = 0; h < headers; ++h) {
        const uint8_t* header = page + first_header + 4 * size_t(h);
        const uint8_t type = header[0], count = header[1];
        const int slot = kept_type_slot(type);
        const bool empty_device = slot == 0 && count == 0;
        if (slot >= 0 && !empty_device) {
            out->element_count[slot] =
                type == kPowerSupply ? count : uint8_t(out->element_count[slot] + count);
            out->first_element[slot] = position;
        }
        position += count + 1;
    }
    return true;
}

size_t make_control_page(uint8_t* page, size_t target) {
    const size_t length = size_t(be16(page + 2)) + kPageHeader;
    if (length > kPageBufferSize) return 0;
    // A status element's byte 0 bit 7 is not SELECT: only the target is chosen.
    for (size_t at = kFirstElement; at + 4 <= length; at += 4)
        if (at != target) page[at] &= uint8_t(~kSelect);
    page[0] = kStatusPage;
    return length;
}

}  // namespace enclosure
