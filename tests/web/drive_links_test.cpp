// The phy and enclosure slot links of the drive pages, asked of the library
// on a machine with drives attached directly and behind an enclosure's
// expander.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/ctl.h"
#include "daemon/snapshot_records.h"
#include "sim/sim.h"
#include "tests/api/library_machine.h"
#include "tests/web/page_test_support.h"
#include "web/pages/page_builder.h"
#include "web/pages/status_texts.h"

namespace {

PYV2_LIBRARY_MACHINE(R"(kernel release=6.1.0-sim
driver name=dq-Mxxx pairing=sysfs
driver name=dq-sas pairing=sysfs
controller index=2 driver=dq-Mxxx arch=6 model="QX-6200-8" ports=6
  drive port=1 model="SIMDISK S500"
  drive port=5 model="SIMDISK S500"
  enclosure number=0 type=safte slots=4
controller index=3 driver=dq-sas arch=8 model="QX-8800-4i" ports=4 phys=4
  drive port=0 model="SIMDISK S1000" interface=sata
  drive port=1 model="SIMDISK X1000" interface=sas enclosure=1 slot=2
  drive port=2 model="SIMDISK X1000" interface=sas
  phy number=0 drive=0
  phy number=1 expander=1
  phy number=3 drive=2
  enclosure number=1 type=ses slots=4
)");

using pagetest::PageEnv;

class DriveLinksTest : public ::testing::Test {
  protected:
    PageEnv env_;
    PageBuilder page_{&env_.config(), &env_.catalogue()};

    std::string written() {
        std::string out = page_.text_body().c_str();
        page_.text_body().clear();
        return out;
    }
    // Records of the two controllers: the family 6 one and the family 8 one.
    ControllerRecord earlier_;
    ControllerRecord later_;
    void SetUp() override {
        earlier_.controller_index = 2;
        earlier_.family = 6;
        later_.controller_index = 3;
        later_.family = 8;
    }
    static ObjectId port(int controller, int number) {
        ObjectId id;
        EXPECT_EQ(
            ctl_make_port_id(static_cast<uint8_t>(controller), static_cast<uint8_t>(number), &id),
            0);
        return id;
    }
    static ObjectId slot_of(ObjectId drive) {
        ObjectId slot;
        std::memset(slot.b, 0xFF, sizeof slot.b);
        ctl_get_port_slot(drive, &slot);
        return slot;
    }
    static int interface_of(ObjectId drive) {
        uint8_t type = 0xFF;
        ctl_get_drive_interface(drive, &type);
        return type;
    }
};

TEST_F(DriveLinksTest, PhyLinkOfADriveAttachedDirectly) {
    const ControllerRecord& later = later_;
    ASSERT_EQ(interface_of(port(3, 0)), 1);
    write_phy_link(page_, 1, later, port(3, 0));
    EXPECT_EQ(written(),
              "<a href='javascript:goto_physummary(0)' style='color: #0000FF;text-decoration: "
              "underline;font-weight: bold;'>0</a>");
    write_phy_link(page_, 3, later, port(3, 2));
    EXPECT_NE(written().find("goto_physummary(3)'"), std::string::npos);
    // Behind an expander, on an earlier generation, or a phy the library
    // cannot name: no link.
    write_phy_link(page_, 7, later, port(3, 1));
    EXPECT_EQ(written(), "--");
    write_phy_link(page_, 1, earlier_, port(2, 1));
    EXPECT_EQ(written(), "--");
    write_phy_link(page_, 1, later, port(3, 3));
    EXPECT_EQ(written(), "--");
}

TEST_F(DriveLinksTest, SlotLinkOfADriveInAnEnclosure) {
    const ControllerRecord& later = later_;
    const ObjectId drive = port(3, 1);
    ASSERT_EQ(interface_of(drive), 7);
    write_slot_link(page_, 7, later, slot_of(drive));
    EXPECT_EQ(written(),
              "<a href='javascript:goto_enclosure(0,2);' "
              "style='color:#0000FF;text-decoration:underline;font-weight:bold;'>Enclosure 1 Slot "
              "2</a>");
    write_slot_link(page_, 3, later, slot_of(drive));
    EXPECT_EQ(written(), "--");
    write_slot_link(page_, 5, later, slot_of(port(3, 0)));  // no slot
    EXPECT_EQ(written(), "--");

    ObjectId controller;
    ASSERT_EQ(ctl_make_controller_id(3, &controller), 0);
    EXPECT_EQ(find_enclosure_position(controller, 1), 0);
    EXPECT_EQ(find_enclosure_position(controller, 0), -2);
    ASSERT_EQ(ctl_make_controller_id(9, &controller), 0);
    EXPECT_EQ(find_enclosure_position(controller, 0), -1);
}

TEST_F(DriveLinksTest, TheLinksOfOnePageReadTheEnclosureListOnce) {
    ObjectId controller;
    ASSERT_EQ(ctl_make_controller_id(3, &controller), 0);
    const ObjectId slot = slot_of(port(3, 1));
    EnclosureListCache fresh;
    sim::clear_journal();
    EXPECT_EQ(find_enclosure_position(controller, 1, &fresh), 0);
    const size_t list_requests = sim::journal().size();
    EXPECT_GT(list_requests, 0u);

    EnclosureListCache cache;
    sim::clear_journal();
    write_slot_link(page_, 7, later_, slot, &cache);
    const size_t first = sim::journal().size();
    EXPECT_NE(written().find("Enclosure 1 Slot 2"), std::string::npos);
    sim::clear_journal();
    write_slot_link(page_, 7, later_, slot, &cache);
    EXPECT_NE(written().find("Enclosure 1 Slot 2"), std::string::npos);
    EXPECT_EQ(sim::journal().size(), first - list_requests);
    EXPECT_EQ(find_enclosure_position(controller, 0, &cache), -2);
}

TEST_F(DriveLinksTest, SlotTextOfAnEarlierGeneration) {
    const ObjectId slot = slot_of(port(2, 1));
    uint8_t enclosure = 0xFF, number = 0xFF;
    ASSERT_EQ(ctl_decode_slot_id(slot, &enclosure, &number), 0);
    write_slot_link(page_, 0, earlier_, slot);
    EXPECT_EQ(written(), "Enclosure " + std::to_string(enclosure) + " Slot 1");
    ObjectId none;
    std::memset(none.b, 0xFF, sizeof none.b);
    write_slot_link(page_, 0, earlier_, none);
    EXPECT_EQ(written(), "--");
    // A drive the enclosure holds in no slot: the library names a slot of
    // no enclosure (index 255), which is no place to show.
    const ObjectId outside = slot_of(port(2, 5));
    ASSERT_EQ(ctl_decode_slot_id(outside, &enclosure, &number), 0);
    ASSERT_EQ(number, 255);
    write_slot_link(page_, 0, earlier_, outside);
    EXPECT_EQ(written(), "--");
}

}  // namespace
