// The firmware image parsers on any bytes: the controller header, the
// module's text header, the expander signatures and the entry-list walk.
// Each reader stays inside the input (libFuzzer hands over a buffer of
// exactly its size) and gives what a plain reading of the bytes gives.
#include <cstring>
#include <string>

#include "backend/firmware_images.h"
#include "fuzz/fuzz_support.h"

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The identifier, when found, is the bytes of a marked entry that lies
// wholly within the image.
bool found_in_image(const uint8_t* data, size_t size, const uint8_t* identifier) {
    for (size_t at = 0; at + 16 <= size; ++at) {
        if (data[at + 6] != 0x00 || data[at + 7] != 0xFF) continue;
        bool same = true;
        for (size_t i = 0; i < 8 && same; ++i)
            same = identifier[i] == data[at + 8 + (i / 4) * 4 + 3 - i % 4];
        if (same) return true;
    }
    return false;
}

void check_text(const char* text) {
    FUZZ_CHECK(strnlen(text, FirmwareVersionRecord::kTextSize) < FirmwareVersionRecord::kTextSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace firmware_image;

    if (size >= FirmwareImageHeader::kSize) {
        const FirmwareImageHeader h = read_controller_header(data);
        FUZZ_CHECK(h.image_size == le32(data + 4));
        FUZZ_CHECK(h.architecture == le32(data + 12));
        FUZZ_CHECK(h.magic == le32(data + 28));
        FUZZ_CHECK(std::memcmp(h.version, data + 48, sizeof h.version) == 0);
    }

    // The module header: found only before the first NUL of the first 512
    // bytes.
    const size_t header = size < kModuleHeaderSize ? size : kModuleHeaderSize;
    const std::string text(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), header));
    FUZZ_CHECK(has_module_marker(data, size) == (text.find(kModuleMarker) != std::string::npos));
    const uint32_t version = module_file_version(data, size);
    if (text.find(kModuleVersionKey) == std::string::npos) FUZZ_CHECK(version == 0);
    char version_text[FirmwareVersionRecord::kTextSize];
    module_version_text(version, version_text);
    check_text(version_text);

    const bool a = has_expander_signature_a(data, size);
    const bool b = has_expander_signature_b(data, size);
    FUZZ_CHECK(!(a && b));
    if (size >= kExpanderHeaderSize) {
        expander_version_text(expander_image_version(data), version_text);
        check_text(version_text);
    } else {
        FUZZ_CHECK(!a && !b);
    }

    uint8_t identifier[kIdentifierSize];
    if (find_image_identifier(data, size, identifier))
        FUZZ_CHECK(found_in_image(data, size, identifier));
    return 0;
}
