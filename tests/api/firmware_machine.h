// A simulated machine for the firmware tests: one controller of each
// family, enclosure modules and expanders of every kind behind the family-8
// controller, SATA and SAS drives; and helpers for image files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/api/enclosure_machine.h"
#include "tests/support/files.h"
#include "tests/support/firmware_images.h"

// Index 0 family 3, 1 family 4, 2 family 6 (no per-lane bus speed), 3
// family 7 (bus word 0x200), 4 family 8 (driver range 22 to 28, running
// firmware 27/2/50; its enclosures: 0 three enclosure modules at LUNs 0 to
// 2, 1 an expander of class 2, 2 an expander of class 1, 3 an enclosure of
// another vendor), 5 family 9, 6 family 10.
inline constexpr char kFirmwareMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=0 driver=dq-xxxx ports=4\n"
    "  drive port=1 capacity=488397168\n"
    "controller index=1 driver=dq-Mxxx arch=4 ports=4\n"
    "  drive port=0\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=4 firmware=\"FE9X 3.06.00.010\"\n"
    "  drive port=0\n"
    "  drive port=1 interface=sas\n"
    "controller index=3 driver=dq-Mxxx arch=6 ports=4\n"
    "  param table=0x403 id=26 value=u32:0x200\n"
    "  drive port=0\n"
    "  drive port=1 interface=sas\n"
    "controller index=4 driver=dq-sas arch=8 ports=8 firmware=\"FH9X 4.10.00.027\" "
    "driver-version=\"3.26.02.012\" srl-min=22 srl-max=28 srl=27 branch=2 build=50\n"
    "  drive port=0 model=\"SIMDISK S500\" firmware=\"2.AB\"\n"
    "  drive port=1 interface=sas model=\"SIMSAS T900\"\n"
    "  drive port=2 interface=sas model=\"SIMSAS T900\"\n"
    "  enclosure number=0 type=ses kind=1 luns=3 slots=2 vendor=SIMENC "
    "product=\"SIM-ESM-JBOD\" revision=0110 inquiry-text=\"Vexlin storage module\"\n"
    "  enclosure number=1 type=ses kind=2 slots=2 vendor=QEL product=\"SAS2X36 EXPANDER\" "
    "revision=0300 chip=0x223 chip-revision=1 installed-version=0x01020005 installed-image=a "
    "naa=0x5000C500AABBCCD7\n"
    "  enclosure number=2 type=ses kind=2 slots=2 vendor=RELDATA product=\"SAS EXPANDER\" "
    "revision=0300 chip=0x213 chip-revision=1 installed-version=0x01020005 installed-image=b\n"
    "  enclosure number=3 type=ses kind=2 slots=2 vendor=SIMENC product=\"SIM-SES-JBOD\"\n"
    "controller index=5 driver=dq-Mxxx arch=9 ports=4\n"
    "controller index=6 driver=dq-Mxxx arch=10 ports=8\n"
    "  drive port=0\n"
    "  enclosure number=1 type=ses kind=2 slots=2 vendor=SIMENC inquiry-text=\"Orbane ESM\"\n";

constexpr uint8_t kFamily3 = 0, kFamily4 = 1, kFamily6 = 2, kFamily7 = 3, kFamily8 = 4,
                  kFamily9 = 5, kFamily10 = 6;

// A call refused with the API error before anything reached the driver
// (since the journal was last cleared).
inline void expect_refused_unsent(int result, int api_error) {
    EXPECT_EQ(result, -1);
    EXPECT_EQ(last_error().flags, uint32_t(kErrApi));
    EXPECT_EQ(last_error().api_code, api_error);
    EXPECT_TRUE(sim::journal().empty());
}

// A test's own directory for image files.
class ImageFiles {
  public:
    std::string write(const std::string& name, const std::vector<uint8_t>& image) const {
        const std::string path = dir_.file(name);
        EXPECT_TRUE(test_images::write_image(path, image)) << path;
        return path;
    }
    std::string path(const std::string& name) const { return dir_.file(name); }

  private:
    test_support::TempDir dir_;
};

inline ObjectId enclosure_of(uint8_t index, uint8_t position) {
    ObjectId id;
    EXPECT_EQ(ctl_make_enclosure_id(index, position, &id), 0);
    return id;
}

inline ObjectId drive_of(uint8_t index, uint8_t port) {
    ObjectId id;
    EXPECT_EQ(ctl_make_drive_id(index, port, &id), 0);
    return id;
}

// The firmware packet (from command area byte 128) and data of every
// driver request 264 whose opcode is given.
struct FirmwareRequest {
    std::vector<uint8_t> packet;
    std::vector<uint8_t> data;
};

inline std::vector<FirmwareRequest> firmware_requests(uint8_t opcode) {
    std::vector<FirmwareRequest> found;
    for (const sim::JournalEntry& e : sim::journal()) {
        if (e.request != 264 || e.sent.size() < 1536 || e.sent[512 + 128] != opcode) continue;
        found.push_back({{e.sent.begin() + 512 + 128, e.sent.begin() + 1536},
                         {e.sent.begin() + 1536, e.sent.end()}});
    }
    return found;
}
