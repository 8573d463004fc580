// A second-series unit's cache and ECC policies, the flush of its write
// cache, the verify and rebuild schedule switches, and the port scans that
// bring drives in, through the public functions.
#include <cstring>
#include <string>
#include <vector>

#include "api/family_router.h"
#include "tests/api/unit_machine.h"

namespace {

using namespace unit_machine;

PYV2_LIBRARY_MACHINE(base_scenario().c_str());

// Each request's control code, and for GET and SET PARAMETER the table
// (without its mark), the parameter and, for SET, the value's first byte.
std::vector<std::vector<unsigned>> request_trail() {
    std::vector<std::vector<unsigned>> trail;
    for (const sim::JournalEntry& e : sim::journal()) {
        if (e.request != 264) {
            trail.push_back({unsigned(e.request)});
            continue;
        }
        const uint8_t opcode = e.sent[640];
        const SentBlock b = sent_block(e);
        if (opcode == 0x52) trail.push_back({0x52, b.table & 0x7FFFu, b.id});
        if (opcode == 0x53) trail.push_back({0x53, b.table & 0x7FFFu, b.id, b.value.at(0)});
    }
    return trail;
}

uint8_t read_cache(ObjectId unit) {
    uint8_t policy = 9;
    EXPECT_EQ(ctl_get_read_cache(unit, &policy), 0) << last_error().text;
    return policy;
}

TEST(ReadCache, PolicyBitsChangeUnderTheControllerLock) {
    fresh();
    sim::clear_journal();
    ASSERT_EQ(ctl_disable_read_cache(unit_id(20)), 0) << last_error().text;
    // The level read that gates the call, then the lock, parameter 13
    // (write cache on, read cache off now), parameter 29 (basic), release.
    EXPECT_EQ(request_trail(), (std::vector<std::vector<unsigned>>{{0x52, 0x402, 11},
                                                                   {262},
                                                                   {0x52, 0x314, 13},
                                                                   {0x53, 0x314, 13, 0x05},
                                                                   {0x52, 0x314, 29},
                                                                   {0x53, 0x314, 29, 0x20},
                                                                   {263}}));
    EXPECT_EQ(read_cache(unit_id(20)), 0);
    ASSERT_EQ(ctl_enable_intelligent_read_cache(unit_id(20)), 0);
    EXPECT_EQ(read_cache(unit_id(20)), 2);
    ASSERT_EQ(ctl_enable_basic_read_cache(unit_id(20)), 0);
    EXPECT_EQ(read_cache(unit_id(20)), 1);
    uint8_t policy;
    ASSERT_EQ(ctl_get_read_cache_policy(unit_id(20), &policy), 0);
    EXPECT_EQ(policy, 1);

    // The write cache is bit 2 of parameter 13 alone.
    uint8_t on = 9;
    ASSERT_EQ(ctl_disable_write_cache(unit_id(20)), 0);
    ASSERT_EQ(ctl_get_write_cache(unit_id(20), &on), 0);
    EXPECT_EQ(on, 0);
    EXPECT_EQ(read_cache(unit_id(20)), 1);
    ASSERT_EQ(ctl_enable_write_cache(unit_id(20)), 0);
    ASSERT_EQ(ctl_get_write_cache(unit_id(20), &on), 0);
    EXPECT_EQ(on, 1);

    // Below firmware level 37 the read cache is not offered.
    sim::clear_journal();
    EXPECT_EQ(ctl_disable_read_cache(unit_id(0, kNoRaid6)), -1);
    EXPECT_EQ(api_error(), 2);
    EXPECT_EQ(request_trail(), (std::vector<std::vector<unsigned>>{{0x52, 0x402, 11}}));
}

// The type chooses among the three operations; any other type sends nothing.
TEST(ReadCache, SetByType) {
    fresh();
    for (uint8_t type : {0, 2, 1, 0}) {
        ASSERT_EQ(ctl_set_read_cache(unit_id(20), type), 0) << last_error().text;
        EXPECT_EQ(read_cache(unit_id(20)), type);
    }
    for (uint8_t type : {3, 255}) {
        sim::clear_journal();
        EXPECT_EQ(ctl_set_read_cache(unit_id(20), type), -1);
        EXPECT_EQ(api_error(), 122);
        EXPECT_TRUE(sim::journal().empty());
    }
    EXPECT_EQ(read_cache(unit_id(20)), 0);
}

TEST(ReadCache, AFailedSecondWriteKeepsTheFirstAndReleasesTheLock) {
    fresh("fault index=0 opcode=0x53 table=0x314 parameter=29 firmware-code=0x01D2\n");
    EXPECT_EQ(ctl_disable_read_cache(unit_id(20)), -1);
    EXPECT_EQ(last_error().controller_status, 0x01D2);
    EXPECT_EQ(requests(263).size(), 1u);
    EXPECT_EQ(read_cache(unit_id(20)), 0);
}

TEST(EccPolicy, BelongsToUnitsThatRebuild) {
    fresh("unit index=0 number=24 type=raid0 drives=0,1\n");
    uint8_t policy = 9;
    ASSERT_EQ(ctl_continue_on_ecc_error(unit_id(20)), 0) << last_error().text;
    ASSERT_EQ(ctl_get_ecc_on_rebuild(unit_id(20), &policy), 0);
    EXPECT_EQ(policy, 1);
    ASSERT_EQ(ctl_halt_on_ecc_error(unit_id(20)), 0);
    ASSERT_EQ(ctl_get_ecc_on_rebuild(unit_id(20), &policy), 0);
    EXPECT_EQ(policy, 0);
    for (uint8_t number : {24, 22}) {
        sim::clear_journal();
        EXPECT_EQ(ctl_continue_on_ecc_error(unit_id(number)), -1);
        EXPECT_EQ(api_error(), 82);
        for (const sim::JournalEntry& e : requests(264)) EXPECT_NE(e.sent[640], 0x53);
    }
}

TEST(UnitQueuing, EveryDriveMustSupportIt) {
    fresh("drive index=0 port=35 queuing=0\n"
          "unit index=0 number=24 type=raid1 drives=0,1\n");
    uint32_t supported = 9;
    ASSERT_EQ(family_router().get_unit_queuing_supported(unit_id(24), &supported), 0);
    EXPECT_EQ(supported, 1u);
    sim::clear_journal();
    ASSERT_EQ(family_router().get_unit_queuing_supported(unit_id(20), &supported), 0);
    EXPECT_EQ(supported, 0u);
    // Port 36, after the drive that does not support it, is not asked.
    for (const sim::JournalEntry& e : requests(264))
        EXPECT_NE(sent_block(e).table & 0x7FFF, 0x200 + 36);
    // Family 4 asks its drives in vain.
    change_machine("unit index=2 number=0 type=raid1 drives=0,1\n");
    supported = 9;
    EXPECT_EQ(family_router().get_unit_queuing_supported(unit_id(0, kOldest), &supported), -1);
    EXPECT_EQ(api_error(), 2);
    EXPECT_EQ(supported, 1u);

    uint8_t on = 9;
    ASSERT_EQ(ctl_disable_unit_queuing(unit_id(20)), 0);
    ASSERT_EQ(ctl_get_unit_queuing(unit_id(20), &on), 0);
    EXPECT_EQ(on, 0);
}

TEST(FlushWriteCache, NamesTheUnit) {
    fresh();
    sim::clear_journal();
    ASSERT_EQ(ctl_flush_write_cache(unit_id(20)), 0) << last_error().text;
    ASSERT_EQ(requests(264).size(), 1u);
    EXPECT_EQ(first_difference(requests(264)[0].sent,
                               expected_request(264, {0x0E, 2, 0, 20}, {})),
              -1);
    EXPECT_EQ(ctl_flush_write_cache(unit_id(30)), -1);
    EXPECT_EQ(last_error().controller_status, 0x010A);
}

TEST(Schedules, DisablingWritesTwoAndEnablingOne) {
    fresh();
    struct {
        int (*set)(ObjectId);
        int (*get)(ObjectId, uint8_t*);
        unsigned parameter, value;
    } cases[] = {
        {ctl_disable_verify_schedule, ctl_get_verify_schedule, 4, 2},
        {ctl_enable_verify_schedule, ctl_get_verify_schedule, 4, 1},
        {ctl_disable_rebuild_schedule, ctl_get_rebuild_schedule, 3, 2},
        {ctl_enable_rebuild_schedule, ctl_get_rebuild_schedule, 3, 1},
    };
    for (const auto& c : cases) {
        sim::clear_journal();
        ASSERT_EQ(c.set(controller(kCtl)), 0) << last_error().text;
        EXPECT_EQ(request_trail(),
                  (std::vector<std::vector<unsigned>>{{0x53, 0x40C, c.parameter, c.value}}));
        uint8_t state = 0;
        ASSERT_EQ(c.get(controller(kCtl), &state), 0);
        EXPECT_EQ(state, c.value);
    }
}

TEST(AddDrive, ScansAnEmptyPortOnly) {
    fresh();
    ObjectId drive;
    sim::clear_journal();
    EXPECT_EQ(ctl_add_drive(drive_on(kCtl, 0), &drive), -1);
    EXPECT_EQ(api_error(), 23);
    EXPECT_EQ(command_opcodes(), std::vector<uint8_t>{});

    // Port 32 holds a drive that was taken out: bit 0 of bitmap byte 4.
    ASSERT_EQ(ctl_add_drive(drive_on(kCtl, 32), &drive), 0) << last_error().text;
    std::vector<uint8_t> packet(40, 0);
    packet[0] = 0x06;
    packet[1] = 6;
    packet[8 + 4] = 0x01;
    ASSERT_EQ(commands(0x06).size(), 1u);
    EXPECT_EQ(first_difference(commands(0x06)[0].sent, expected_request(264, packet, {})), -1);
    EXPECT_EQ(std::memcmp(drive.b, drive_on(kCtl, 32).b, 8), 0);
    EXPECT_EQ(port_status(32), 255);
    const auto all = events();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), (std::pair<uint16_t, std::string>{0x001A, "port=32"}));

    // A port with nothing on it stays empty, and the drive named is still
    // the port's.
    ASSERT_EQ(ctl_add_drive(drive_on(kCtl, 45), &drive), 0) << last_error().text;
    EXPECT_EQ(port_status(45), 0);
}

TEST(ScanPorts, APortListOfOneControllerInABitmap) {
    fresh();
    IdList ports = drive_list({0, 9, 127});
    sim::clear_journal();
    ASSERT_EQ(ctl_scan_ports_with_flag(controller(kCtl), &ports), 0) << last_error().text;
    ASSERT_EQ(ctl_scan_ports(controller(kCtl), &ports), 0) << last_error().text;
    std::vector<uint8_t> packet(40, 0);
    packet[0] = 0x06;
    packet[1] = 6;
    packet[6] = 1;
    packet[8 + 0] = 0x01;
    packet[8 + 1] = 0x02;
    packet[8 + 15] = 0x80;
    ASSERT_EQ(commands(0x06).size(), 2u);
    EXPECT_EQ(first_difference(commands(0x06)[0].sent, expected_request(264, packet, {})), -1);
    EXPECT_EQ(commands(0x06)[1].sent[640 + 6], 0);

    // Every entry a drive or port of the first one's controller.
    IdList with_unit = drive_list({0, 1});
    with_unit.ids[1] = unit_id(20);
    IdList mixed = drive_list({0});
    mixed.ids[mixed.count++] = drive_on(kNoRaid6, 1);
    for (const IdList* list : {&with_unit, &mixed}) {
        sim::clear_journal();
        EXPECT_EQ(ctl_scan_ports(controller(kCtl), list), -1);
        EXPECT_EQ(api_error(), 24);
        EXPECT_EQ(driver_requests(), 0u);
    }
    const IdList none = drive_list({});
    EXPECT_EQ(ctl_scan_ports(controller(kCtl), &none), 0);
    EXPECT_EQ(driver_requests(), 0u);
}

}  // namespace
