// The firmware side of an SES enclosure's modules (one per LUN): the
// version page and the NAA designator of INQUIRY, the expander's chip
// registers and image headers, and the buffers that receive a new image by
// WRITE BUFFER or by download microcode control pages (0x0E), with the
// download status page. What a module is comes from the enclosure's
// attributes (see README.md, "Enclosure firmware").
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sim/machine.h"

namespace sim {

namespace {

constexpr uint8_t kVersionPage = 0x02, kIdentificationPage = 0x83;
constexpr size_t kVersionAt = 73, kVersionLength = 8;
constexpr uint8_t kRegisterBuffer = 0xC2;
constexpr uint8_t kVendorMode = 0x01, kDataMode = 0x02;
constexpr uint32_t kChipIdRegister = 0xC000002C, kRevisionRegister = 0xC00000A0;
constexpr uint8_t kProbeBits = 0xC0;
constexpr size_t kHeaderSize = 84;
constexpr uint8_t kDownloadPage = 0x0E;
constexpr size_t kDownloadHeader = 24;
constexpr uint8_t kInProgress = 0x01, kComplete = 0x10;

// Sense codes of a CHECK CONDITION with ILLEGAL REQUEST.
constexpr uint8_t kIllegalRequest = 5;
constexpr uint8_t kInvalidFieldInCdb = 0x24, kInvalidFieldInParameters = 0x26;

uint32_t be(const uint8_t* p, size_t size) {
    uint32_t v = 0;
    for (size_t i = 0; i < size; ++i) v = v << 8 | p[i];
    return v;
}

void put_be(uint8_t* p, uint64_t v, size_t size) {
    for (size_t i = 0; i < size; ++i) p[i] = uint8_t(v >> (8 * (size - 1 - i)));
}

ScsiAnswer invalid_cdb() { return check_condition(kIllegalRequest, kInvalidFieldInCdb); }

// The header an expander keeps of the image it runs, in buffers 0, 1 and
// 0xE1: signature A or B in the words at 4, 8 and 12, the version at 36.
bool image_header(const SimObject& enclosure, std::vector<uint8_t>* header) {
    static const uint32_t kSignatures[2][3] = {{0xB0EABCA7, 0xB0BCEAA7, 0xB0BCA7EA},
                                               {0x5AEAA55A, 0xA55AEAA5, 0x5AA55AEA}};
    if (object_text(enclosure, "installed-version", "").empty()) return false;
    const std::string kind = object_text(enclosure, "installed-image", "b");
    header->assign(kHeaderSize, 0);
    if (kind == "a" || kind == "b")
        for (size_t i = 0; i < 3; ++i)
            put32(header->data() + 4 + 4 * i, kSignatures[kind == "b"][i]);
    put32(header->data() + 36, uint32_t(object_number(enclosure, "installed-version", 0)));
    return true;
}

// The chip's id register: revision in byte 1, device type in bytes 2 and 3.
ScsiAnswer read_register(const SimObject& enclosure, ModuleFirmware& module, uint32_t address,
                         uint8_t* data, uint32_t length) {
    const long chip = object_number(enclosure, "chip", -1);
    if (chip < 0 || length < 4) return invalid_cdb();
    uint8_t value[4] = {};
    if (address == kChipIdRegister) {
        value[1] = uint8_t(object_number(enclosure, "chip-revision", 0));
        put16(value + 2, uint16_t(chip));
    } else if (address == kRevisionRegister) {
        // Of the two probe bits, those the chip's stepping keeps read back.
        std::memcpy(value, module.revision_register.data(), 4);
        const uint8_t stepping = uint8_t(object_number(enclosure, "stepping", kProbeBits));
        value[0] = uint8_t((value[0] & ~kProbeBits) | (value[0] & stepping & kProbeBits));
    } else {
        return invalid_cdb();
    }
    std::memcpy(data, value, 4);
    return {};
}

}  // namespace

bool module_vpd_page(const SimObject& enclosure, const uint8_t* cdb, uint8_t* data, uint32_t length,
                     ScsiAnswer* answer) {
    const uint32_t allocation = uint32_t(cdb[3] << 8 | cdb[4]);
    std::vector<uint8_t> page = {0x0D, cdb[2], 0, 0};
    if (cdb[2] == kVersionPage && enclosure.attrs.count("esm-version")) {
        const std::string version = object_text(enclosure, "esm-version", "");
        page.resize(kVersionAt + kVersionLength, ' ');
        std::memcpy(page.data() + 4, "SIM-ESM VERSION", 15);
        std::memcpy(page.data() + kVersionAt, version.data(),
                    std::min(version.size(), kVersionLength));
        put_be(page.data() + 2,
               uint32_t(object_number(enclosure, "vpd2-length", long(page.size() - 4))), 2);
    } else if (cdb[2] == kIdentificationPage && enclosure.attrs.count("naa")) {
        // A vendor designator first, then the NAA one.
        page.insert(page.end(), {0x02, 0x01, 0, 8});
        page.insert(page.end(), {'S', 'I', 'M', 'E', 'N', 'C', ' ', ' '});
        page.insert(page.end(), {0x01, 0x03, 0, 8});
        const uint64_t naa = std::strtoull(object_text(enclosure, "naa", "0").c_str(), nullptr, 0);
        for (int i = 0; i < 8; ++i) page.push_back(uint8_t(naa >> (56 - 8 * i)));
        put_be(page.data() + 2, page.size() - 4, 2);
    } else {
        return false;
    }
    copy_reply(page, data, length, allocation);
    *answer = {};
    return true;
}

ScsiAnswer module_buffer_command(EnclosureModel& model, const SimObject& enclosure, int lun,
                                 const uint8_t* cdb, uint8_t* data, uint32_t length) {
    ModuleFirmware& module = model.firmware[lun];
    const uint8_t mode = cdb[1] & 0x1F;
    const uint8_t buffer = cdb[2];
    if (mode == kVendorMode && buffer == kRegisterBuffer) {
        const uint32_t address = be(cdb + 3, 4);
        const uint32_t n = std::min<uint32_t>(be(cdb + 7, 2), length);
        if (cdb[0] == 0x3C) return read_register(enclosure, module, address, data, n);
        if (address != kRevisionRegister || n < 4 || object_number(enclosure, "chip", -1) < 0)
            return invalid_cdb();
        std::memcpy(module.revision_register.data(), data, 4);
        return {};
    }
    const uint32_t offset = be(cdb + 3, 3), n = be(cdb + 6, 3);
    if (cdb[0] == 0x3C) {
        std::vector<uint8_t> header;
        if (mode != kDataMode || (buffer != 0 && buffer != 1 && buffer != 0xE1) ||
            !image_header(enclosure, &header))
            return invalid_cdb();
        copy_reply(header, data, length, n);
        return {};
    }
    if (n > length || mode == kVendorMode) return invalid_cdb();
    receive_at(module.buffers[buffer], offset, data, n);
    return {};
}

ScsiAnswer send_download_page(EnclosureModel& model, const SimObject&, int lun, const uint8_t* page,
                              uint32_t length) {
    ModuleFirmware& module = model.firmware[lun];
    const uint32_t piece = be(page + 20, 4), whole = be(page + 16, 4), offset = be(page + 12, 4);
    const bool fits = length >= kDownloadHeader && be(page + 2, 2) + 4 == length &&
                      kDownloadHeader + size_t(piece) <= length &&
                      length - kDownloadHeader - piece < 4 && size_t(offset) + piece <= whole;
    if (!fits) return check_condition(kIllegalRequest, kInvalidFieldInParameters);
    std::vector<uint8_t>& buffer = module.buffers[page[11]];
    receive_at(buffer, offset, page + kDownloadHeader, piece);
    module.download_status = buffer.size() >= whole ? kComplete : kInProgress;
    return {};
}

ScsiAnswer download_status_page(EnclosureModel& model, const SimObject& enclosure, int lun,
                                uint8_t* data, uint32_t length, uint32_t allocation) {
    std::vector<uint8_t> page(24, 0);
    page[0] = kDownloadPage;
    put_be(page.data() + 2, page.size() - 4, 2);
    page[10] =
        uint8_t(object_number(enclosure, "download-status", model.firmware[lun].download_status));
    copy_reply(page, data, length, allocation);
    return {};
}

std::vector<uint8_t> enclosure_firmware(int controller, int enclosure, int lun, int buffer_id) {
    std::vector<uint8_t> bytes;
    with_machine([&](Machine& m) {
        Controller* c = m.controller(controller);
        if (c == nullptr) return;
        auto model = c->enclosure_models.find(enclosure);
        if (model == c->enclosure_models.end()) return;
        auto module = model->second.firmware.find(lun);
        if (module == model->second.firmware.end()) return;
        auto buffer = module->second.buffers.find(buffer_id);
        if (buffer != module->second.buffers.end()) bytes = buffer->second;
    });
    return bytes;
}

}  // namespace sim
