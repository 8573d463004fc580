// Enclosure discovery, the merge over all controllers, identifiers and the
// enclosure as a whole, through the public functions against the simulated
// SES and SAF-TE processors.
#include <cstring>

#include "tests/api/enclosure_machine.h"

namespace {

PYV2_LIBRARY_MACHINE(kEnclosureMachine);

// Each test starts from the machine as the scenario describes it, with no
// enclosure record kept by the library.
class EnclosureDiscovery : public ::testing::Test {
  protected:
    void SetUp() override { reload_machine(kEnclosureMachine); }
};

EnclosureIdList enclosures_of(uint8_t index) {
    EnclosureIdList list;
    std::memset(&list, 0, sizeof list);
    EXPECT_EQ(ctl_get_enclosure_list(controller(index), &list), 0) << last_error().text;
    return list;
}

ObjectId enclosure_at(uint8_t index, uint8_t position) {
    const EnclosureIdList list = enclosures_of(index);
    for (uint32_t i = 0; i < list.count; ++i)
        if (list.ids[i].b[4] == 0x40 + position) return list.ids[i];
    ADD_FAILURE() << "no enclosure at position " << int(position);
    return list.ids[0];
}

ObjectId element_of(int (*build)(ObjectId, uint8_t, ObjectId*), ObjectId enclosure,
                    uint8_t index) {
    ObjectId id;
    EXPECT_EQ(build(enclosure, index, &id), 0) << last_error().text;
    return id;
}

TEST_F(EnclosureDiscovery, PortOfAPositionNotYetDiscovered) {
    // Nothing has listed the controller's enclosures yet.
    ObjectId port, slot;
    ASSERT_EQ(ctl_make_port_id(3, 0, &port), 0);
    ASSERT_EQ(ctl_get_port_slot(port, &slot), 0) << last_error().text;
    EXPECT_EQ(id_bytes(slot), bytes({9, 3, 0, 0xFF, 0x42, 0, 2, 1}));
    uint32_t flags = 0;
    ASSERT_EQ(ctl_get_slot_status(slot, &flags), 0) << last_error().text;
    EXPECT_EQ(flags, 9u);
}

TEST_F(EnclosureDiscovery, BothKindsAndAControllerWithout) {
    const EnclosureIdList ses = enclosures_of(3);
    ASSERT_EQ(ses.count, 3u);
    // Sub-enclosure byte: the last LUN that answered (kind 1), 0 (kind 2).
    EXPECT_EQ(id_bytes(ses.ids[0]), bytes({4, 3, 0xFF, 0xFF, 0x40, 2, 1, 1}));
    EXPECT_EQ(id_bytes(ses.ids[1]), bytes({4, 3, 0xFF, 0xFF, 0x42, 0, 2, 1}));
    EXPECT_EQ(id_bytes(ses.ids[2]), bytes({4, 3, 0xFF, 0xFF, 0x45, 0, 2, 1}));
    for (uint32_t i = 3; i < 16; ++i) EXPECT_EQ(id_bytes(ses.ids[i]), kUnusedId) << i;

    // The kind-1 position was asked at LUN 0 to 3; LUN 3 did not answer.
    std::vector<uint16_t> luns;
    for (const PassThrough& p : pass_throughs())
        if (p.controller == 3 && p.target == 0x40 && p.cdb[0] == 0x12) luns.push_back(p.lun_field);
    EXPECT_EQ(luns, (std::vector<uint16_t>{0x0000, 0x1000, 0x2000, 0x3000}));

    const EnclosureIdList safte = enclosures_of(5);
    ASSERT_EQ(safte.count, 2u);
    EXPECT_EQ(id_bytes(safte.ids[0]), bytes({4, 5, 0xFF, 0xFF, 0x41, 0xFF, 0, 0}));
    EXPECT_EQ(id_bytes(safte.ids[1]), bytes({4, 5, 0xFF, 0xFF, 0x43, 0xFF, 0, 0}));
    // A SAF-TE processor is target 64 with its position as the LUN.
    const PassThrough inquiry = last_command(0x12);
    EXPECT_EQ(inquiry.target, 64);
    EXPECT_EQ(inquiry.lun_field, 0xF000);

    EnclosureIdList none;
    ASSERT_EQ(ctl_get_enclosure_list(controller(2), &none), 0);
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(id_bytes(none.ids[0]), kUnusedId);
    uint32_t count = 9;
    ASSERT_EQ(ctl_get_enclosure_count(controller(5), &count), 0);
    EXPECT_EQ(count, 2u);
}

TEST_F(EnclosureDiscovery, SubEnclosuresAreCountedAndResolved) {
    const ObjectId enclosure = enclosure_at(3, 0);
    uint32_t slots = 0;
    ASSERT_EQ(ctl_get_slot_count(enclosure, &slots), 0);
    EXPECT_EQ(slots, 6u);
    SlotIdList list;
    ASSERT_EQ(ctl_get_slot_list(enclosure, &list), 0);
    ASSERT_EQ(list.count, 6u);
    // Slot 3 is the second slot of the second sub-enclosure.
    EXPECT_EQ(id_bytes(list.ids[3]), bytes({9, 3, 3, 1, 0x40, 1, 1, 1}));
    EXPECT_EQ(id_bytes(list.ids[5]), bytes({9, 3, 5, 1, 0x40, 2, 1, 1}));
    // Its status page is read from LUN 1, whose LUN bits also go in byte 1.
    uint32_t flags = 0;
    ASSERT_EQ(ctl_get_slot_status(list.ids[3], &flags), 0);
    EXPECT_EQ(flags, 9u);
    const PassThrough page = last_command(0x1C);
    EXPECT_EQ(page.lun_field, 0x1000);
    EXPECT_EQ(page.cdb, bytes({0x1C, 0x21, 2, 0x08, 0x00}, 16));

    // An index past every sub-enclosure resolves, and names no element.
    ObjectId beyond;
    ASSERT_EQ(ctl_make_slot_id(enclosure, 7, &beyond), 0);
    EXPECT_EQ(beyond.b[5], 3);
    EXPECT_EQ(ctl_get_slot_status(beyond, &flags), -1);
    EXPECT_EQ(api_error(), 100);
}

TEST_F(EnclosureDiscovery, MergeOverEveryControllerWithEnclosures) {
    EnclosureIdList all;
    std::memset(&all, 0, sizeof all);
    ASSERT_EQ(ctl_list_all_enclosures(&all), 0) << last_error().text;
    ASSERT_EQ(all.count, 6u);
    const uint8_t expected[6][2] = {{3, 0x40}, {3, 0x42}, {3, 0x45},
                                    {5, 0x41}, {5, 0x43}, {40, 0x4F}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(all.ids[i].b[1], expected[i][0]) << i;
        EXPECT_EQ(all.ids[i].b[4], expected[i][1]) << i;
    }
    EXPECT_EQ(id_bytes(all.ids[6]), kUnusedId);
    // The family-4 controller was never asked, though it answers too.
    for (const PassThrough& p : pass_throughs()) EXPECT_NE(p.controller, 1);
    uint32_t count = 0;
    ASSERT_EQ(ctl_get_all_enclosure_count(&count), 0);
    EXPECT_EQ(count, 6u);

    // A controller whose listing fails fails the merge, output untouched.
    change_machine("fault index=5 opcode=0x52 table=8 parameter=2 firmware-code=0x010C\n");
    std::memset(&all, 0xAB, sizeof all);
    EXPECT_EQ(ctl_list_all_enclosures(&all), -1);
    EXPECT_EQ(all.count, 0xABABABABu);
}

TEST_F(EnclosureDiscovery, MergeHoldsSixteen) {
    // Sixteen on controller 3 alone; controllers 5 and 40 have three more.
    std::string lines;
    for (int position : {1, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
        lines += "enclosure index=3 number=" + std::to_string(position) + " type=ses slots=1\n";
    change_machine(lines);
    EnclosureIdList all;
    ASSERT_EQ(ctl_list_all_enclosures(&all), 0) << last_error().text;
    ASSERT_EQ(all.count, 16u);
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(all.ids[i].b[1], 3) << i;
        EXPECT_EQ(all.ids[i].b[4], 0x40 + i) << i;
    }
    uint32_t count = 0;
    ASSERT_EQ(ctl_get_all_enclosure_count(&count), 0);
    EXPECT_EQ(count, 16u);
}

TEST_F(EnclosureDiscovery, ProcessorsThatRepeatTheirLocksInEveryLun) {
    change_machine("enclosure index=3 number=7 type=ses kind=1 luns=2 vendor=\"AMI\" "
                   "revision=\"0100\" alt-revision=\"A1B2\" slots=1 door-locks=1 alarms=1\n");
    const ObjectId enclosure = enclosure_at(3, 7);
    // Their revision is the one of INQUIRY bytes 37 to 40, asked per LUN.
    char revision[5];
    ASSERT_EQ(ctl_get_enclosure_revision(enclosure, revision), 0);
    EXPECT_STREQ(revision, "A1B2");
    std::vector<uint16_t> asked;
    for (const PassThrough& p : pass_throughs())
        if (p.target == 0x47 && p.cdb[0] == 0x12) asked.push_back(p.lun_field);
    EXPECT_EQ(asked, (std::vector<uint16_t>{0x0000, 0x1000, 0x2000, 0x0000, 0x1000}));
    struct Count {
        int (*count)(ObjectId, uint32_t*);
        uint32_t expected;
    };
    for (const Count& c : {Count{ctl_get_door_lock_count, 1}, Count{ctl_get_alarm_count, 1},
                           Count{ctl_get_slot_count, 2}, Count{ctl_get_fan_count, 0}}) {
        uint32_t n = 99;
        ASSERT_EQ(c.count(enclosure, &n), 0);
        EXPECT_EQ(n, c.expected);
    }
}

// Controller 40 keeps its record like any other; its configuration page has
// an empty array-device header after the device header and two cooling
// headers.
TEST_F(EnclosureDiscovery, TypeHeadersOfTheConfigurationPage) {
    const ObjectId enclosure = enclosure_at(40, 15);
    uint32_t slots = 0, fans = 0;
    ASSERT_EQ(ctl_get_slot_count(enclosure, &slots), 0) << last_error().text;
    ASSERT_EQ(ctl_get_fan_count(enclosure, &fans), 0);
    EXPECT_EQ(slots, 2u);
    EXPECT_EQ(fans, 3u);
    // The slots keep the device header's position.
    change_machine("element index=40 enclosure=15 type=device number=1 status=unknown insert=1\n");
    uint32_t flags = 0;
    ASSERT_EQ(ctl_get_slot_status(element_of(ctl_make_slot_id, enclosure, 1), &flags), 0);
    EXPECT_EQ(flags, 2u);
    // The fans start at the second cooling header: the first header's
    // failed fan is not the one read.
    change_machine("element index=40 enclosure=15 type=fan number=0 fail=1\n");
    uint8_t status = 9;
    ASSERT_EQ(ctl_get_fan_status(element_of(ctl_make_fan_id, enclosure, 0), &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(last_command(0x1C).cdb, bytes({0x1C, 0x01, 2, 0x08, 0x00}, 16));
}

TEST_F(EnclosureDiscovery, IdentifierBuilders) {
    ObjectId id;
    sim::clear_journal();
    EXPECT_EQ(ctl_make_enclosure_id(3, 16, &id), -1);
    EXPECT_EQ(api_error(), 92);
    ASSERT_EQ(ctl_make_enclosure_id(3, 0xFF, &id), 0);
    EXPECT_EQ(id_bytes(id), bytes({4, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(driver_requests(), 0u);
    ASSERT_EQ(ctl_make_enclosure_id(5, 3, &id), 0);
    EXPECT_EQ(id_bytes(id), bytes({4, 5, 0xFF, 0xFF, 0x43, 0xFF, 0xFF, 0}));

    // A SAF-TE element is the enclosure identifier with kind and index.
    sim::clear_journal();
    ObjectId sensor;
    ASSERT_EQ(ctl_make_temp_sensor_id(id, 31, &sensor), 0);
    EXPECT_EQ(id_bytes(sensor), bytes({13, 5, 31, 0xFF, 0x43, 0xFF, 0xFF, 0}));
    EXPECT_EQ(driver_requests(), 0u);

    struct Refusal {
        int (*build)(ObjectId, uint8_t, ObjectId*);
        uint8_t index;
        int32_t error;
    };
    const Refusal refusals[] = {{ctl_make_temp_sensor_id, 32, 110}, {ctl_make_slot_id, 128, 96},
                                {ctl_make_fan_id, 16, 93},          {ctl_make_alarm_id, 16, 95},
                                {ctl_make_door_lock_id, 16, 94},
                                {ctl_make_power_supply_id, 16, 117}};
    for (const Refusal& r : refusals) {
        EXPECT_EQ(r.build(id, r.index, &sensor), -1);
        EXPECT_EQ(api_error(), r.error);
    }
    EXPECT_EQ(ctl_make_slot_id(id, 127, &sensor), 0);
    for (uint8_t bad : {0x3F, 0x50}) {
        ObjectId wrong = id;
        wrong.b[4] = bad;
        EXPECT_EQ(ctl_make_slot_id(wrong, 200, &sensor), -1);
        EXPECT_EQ(api_error(), 92);
    }
}

TEST_F(EnclosureDiscovery, IdentityStatusAndHelpText) {
    const ObjectId ses = enclosure_at(3, 2);
    char vendor[9], model[17], revision[5];
    ASSERT_EQ(ctl_get_enclosure_vendor(ses, vendor), 0);
    ASSERT_EQ(ctl_get_enclosure_model(ses, model), 0);
    ASSERT_EQ(ctl_get_enclosure_revision(ses, revision), 0);
    EXPECT_STREQ(vendor, "SIMENC  ");
    EXPECT_STREQ(model, "SIM-SES-JBOD-12 ");
    EXPECT_STREQ(revision, "0110");
    uint8_t serial[128] = {};
    ASSERT_EQ(ctl_get_enclosure_serial_number(ses, serial), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(serial), "SESENC0300");
    EXPECT_EQ(last_command(0x12).cdb, bytes({0x12, 0x01, 0x80, 0x02, 0x00}, 16));

    const ObjectId safte = enclosure_at(5, 1);
    char untouched[9] = "xxxxxxxx";
    EXPECT_EQ(ctl_get_enclosure_vendor(safte, untouched), 0);
    EXPECT_STREQ(untouched, "xxxxxxxx");
    int32_t size = 0;
    EXPECT_EQ(ctl_get_enclosure_diagnostic_log(safte, vendor, &size), -1);
    EXPECT_EQ(api_error(), 2);

    // The help text: its length first, then the text, unterminated.
    char text[64];
    std::memset(text, '#', sizeof text);
    size = 0;
    EXPECT_EQ(ctl_get_enclosure_diagnostic_log(ses, text, &size), -1);
    EXPECT_EQ(api_error(), 116);
    EXPECT_EQ(size, 20);
    ASSERT_EQ(ctl_get_enclosure_diagnostic_log(ses, text, &size), 0);
    EXPECT_EQ(std::string(text, 21), "All elements answer.#");

    struct StatusCase {
        const char* element;
        uint32_t status;
    };
    const StatusCase cases[] = {
        {"status=ok", 1},        {"status=ok warning=1", 3}, {"status=ok failure=1", 2},
        {"status=unrecoverable failure=0 warning=0", 2}, {"status=not-installed failure=1", 5},
        {"status=not-available failure=0", 0},
    };
    for (const StatusCase& c : cases) {
        change_machine(std::string("element index=3 enclosure=2 type=enclosure number=0 ") +
                       c.element + "\n");
        uint32_t status = 99;
        ASSERT_EQ(ctl_get_enclosure_status(ses, &status), 0) << c.element;
        EXPECT_EQ(status, c.status) << c.element;
    }
    uint32_t status = 99;
    ASSERT_EQ(ctl_get_enclosure_status(safte, &status), 0);
    EXPECT_EQ(status, 1u);
}

TEST_F(EnclosureDiscovery, EnclosureWithoutEnclosureElementReportsZero) {
    change_machine("enclosure index=3 number=6 type=ses kind=2 slots=1 enclosure-element=0\n");
    const ObjectId enclosure = enclosure_at(3, 6);
    uint32_t status = 99;
    ASSERT_EQ(ctl_get_enclosure_status(enclosure, &status), 0);
    EXPECT_EQ(status, 0u);
}

TEST_F(EnclosureDiscovery, IdentifyIndicatorOfTheEnclosure) {
    const ObjectId ses = enclosure_at(3, 2);
    uint32_t supported = 9;
    ASSERT_EQ(ctl_supports_identify(ses, &supported), 0);
    EXPECT_EQ(supported, 1u);
    ASSERT_EQ(ctl_identify_enclosure(ses, 1), 0);
    // The control page is the status page as read, the enclosure element
    // selected with its identify request set.
    const PassThrough read = last_command(0x1C);
    const PassThrough sent = last_command(0x1D);
    std::vector<uint8_t> expected = as_control(read.returned, 8 + 4 * 21);
    EXPECT_EQ(expected.size(), 8u + 4 * 26);
    expected[8 + 4 * 21] |= 0x80;
    expected[8 + 4 * 21 + 1] |= 0x80;
    EXPECT_EQ(sent.cdb, bytes({0x1D, 0x10, 0, 0, uint8_t(expected.size())}, 16));
    EXPECT_EQ(std::vector<uint8_t>(sent.sent.begin(), sent.sent.begin() + expected.size()), expected);
    uint8_t on = 0;
    ASSERT_EQ(ctl_get_enclosure_identify(ses, &on), 0);
    EXPECT_EQ(on, 1);

    // An enclosure that ignores the request cannot identify.
    change_machine("enclosure index=3 number=2 ignore-identify=1\n");
    ASSERT_EQ(ctl_identify_enclosure(ses, 0), 0);
    ASSERT_EQ(ctl_get_enclosure_identify(ses, &on), 0);
    EXPECT_EQ(on, 1);
    ASSERT_EQ(ctl_supports_identify(ses, &supported), 0);
    EXPECT_EQ(supported, 1u);
    change_machine("element index=3 enclosure=2 type=enclosure number=0 identify=0\n");
    ASSERT_EQ(ctl_supports_identify(ses, &supported), 0);
    EXPECT_EQ(supported, 0u);

    EXPECT_EQ(ctl_identify_enclosure(enclosure_at(5, 1), 1), -1);
    EXPECT_EQ(api_error(), 2);
}

TEST_F(EnclosureDiscovery, RoutingAndKindChecks) {
    const ObjectId ses = enclosure_at(3, 2);
    ObjectId lock;
    ASSERT_EQ(ctl_make_door_lock_id(ses, 0, &lock), 0);
    sim::clear_journal();
    uint8_t status = 0;
    EXPECT_EQ(ctl_get_fan_status(lock, &status), -1);
    EXPECT_EQ(api_error(), 93);
    EXPECT_EQ(driver_requests(), 0u);

    ObjectId fan;
    ASSERT_EQ(ctl_make_fan_id(ses, 0, &fan), 0);
    EXPECT_EQ(ctl_set_fan_speed(fan, 5), -1);
    EXPECT_EQ(api_error(), 2);
    EXPECT_EQ(ctl_turn_fan_off(fan), -1);
    EXPECT_EQ(api_error(), 2);
    ObjectId on_family_4 = fan;
    on_family_4.b[1] = 1;
    EXPECT_EQ(ctl_get_fan_status(on_family_4, &status), -1);
    EXPECT_EQ(api_error(), 2);
    const ErrorRecord before = seed_last_error();
    ObjectId on_family_9 = fan;
    on_family_9.b[1] = 4;
    EXPECT_EQ(ctl_set_fan_speed(on_family_9, 5), -1);
    EXPECT_TRUE(same_record(before, last_error()));

    ObjectId sensor;
    ASSERT_EQ(ctl_make_temp_sensor_id(ses, 0, &sensor), 0);
    uint32_t supported = 7;
    ASSERT_EQ(ctl_supports_identify(sensor, &supported), 0);
    EXPECT_EQ(supported, 0u);
    ObjectId phy;
    ASSERT_EQ(ctl_make_phy_id(3, 0, &phy), 0);
    EXPECT_EQ(ctl_supports_identify(phy, &supported), -1);
    EXPECT_EQ(api_error(), 119);
}

}  // namespace
