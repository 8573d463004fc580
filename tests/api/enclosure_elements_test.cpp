// Enclosure elements of every kind read and controlled through the public
// functions (and the back end where no public function leads), against the
// simulated SES and SAF-TE processors; pages and buffers sent are compared
// whole with the journal.
#include <cstring>

#include "backend/backends.h"
#include "tests/api/enclosure_machine.h"

namespace {

PYV2_LIBRARY_MACHINE(kEnclosureMachine);

// Element positions in the status page of the SES enclosure at position 2.
constexpr size_t kSlot0 = 1, kFan0 = 6, kTemp0 = 10, kSupply0 = 14, kAlarm0 = 19;

size_t at(size_t position) { return 8 + 4 * position; }

ObjectId enclosure_at(uint8_t index, uint8_t position) {
    EnclosureIdList list;
    EXPECT_EQ(ctl_get_enclosure_list(controller(index), &list), 0) << last_error().text;
    for (uint32_t i = 0; i < list.count; ++i)
        if (list.ids[i].b[4] == 0x40 + position) return list.ids[i];
    ADD_FAILURE() << "no enclosure at position " << int(position);
    return list.ids[0];
}

template <int (*Build)(ObjectId, uint8_t, ObjectId*)>
ObjectId element(const ObjectId& enclosure, uint8_t index) {
    ObjectId id;
    EXPECT_EQ(Build(enclosure, index, &id), 0) << last_error().text;
    return id;
}

// The status page that the last RECEIVE DIAGNOSTIC before the last SEND
// DIAGNOSTIC returned, and the control page that SEND DIAGNOSTIC carried.
struct ControlExchange {
    std::vector<uint8_t> read, sent, cdb;
};
ControlExchange last_control() {
    ControlExchange x;
    for (const PassThrough& p : pass_throughs()) {
        if (p.cdb[0] == 0x1C && p.cdb[2] == 2 && x.sent.empty()) x.read = p.returned;
        if (p.cdb[0] == 0x1D) {
            const size_t length = size_t(p.cdb[3] << 8 | p.cdb[4]);
            x.sent.assign(p.sent.begin(), p.sent.begin() + length);
            x.cdb = p.cdb;
        }
    }
    return x;
}

size_t sends() {
    size_t n = 0;
    for (const PassThrough& p : pass_throughs()) n += p.cdb[0] == 0x1D;
    return n;
}

// Controller lock values written to the family-10 lock parameter, in order.
std::vector<uint32_t> lock_writes() {
    std::vector<uint32_t> values;
    for (const sim::JournalEntry& e : sim::journal()) {
        if (e.request != 264 || e.sent[512 + 128] != 0x53) continue;
        const uint8_t* data = e.sent.data() + 1536;
        if ((data[0] | data[1] << 8) == 0x8403 && (data[2] | data[3] << 8) == 61)
            values.push_back(uint32_t(data[8] | data[9] << 8 | data[10] << 16 | data[11] << 24));
    }
    return values;
}

class EnclosureElements : public ::testing::Test {
  protected:
    void SetUp() override {
        reload_machine(kEnclosureMachine);
        ses_ = enclosure_at(3, 2);
        safte_ = enclosure_at(5, 1);
        sim::clear_journal();
    }
    ObjectId ses_, safte_;
};

TEST_F(EnclosureElements, FansReportStatusAndSpeed) {
    ElementIdList fans;
    ASSERT_EQ(ctl_get_fan_list(ses_, &fans), 0);
    ASSERT_EQ(fans.count, 3u);
    change_machine(
        "element index=3 enclosure=2 type=fan number=1 fail=1\n"
        "element index=3 enclosure=2 type=fan number=2 status=not-installed\n");
    uint8_t status[16] = {};
    ASSERT_EQ(ctl_get_fan_list_status(status, 3, fans), 0);
    EXPECT_EQ(bytes({status[0], status[1], status[2], status[3]}), bytes({0, 1, 2, 0}));
    uint8_t codes[16];
    uint32_t rpm[16];
    ASSERT_EQ(ctl_get_fan_list_speed(codes, sizeof codes, rpm, sizeof rpm, fans), 0);
    EXPECT_EQ(bytes({codes[0], codes[1], codes[2], codes[3]}), bytes({3, 3, 128, 128}));
    EXPECT_EQ(rpm[0], 3000u);
    EXPECT_EQ(rpm[2], 0u);
    uint8_t level = 0;
    EXPECT_EQ(ctl_get_fan_speed_level(fans.ids[2], &level), -1) ;
    EXPECT_EQ(api_error(), 97) << last_error().text << int(fans.ids[2].b[7]) << " " << int(fans.ids[2].b[2]);

    // A running fan without a speed reading: the enclosure reports none.
    uint32_t speed = 1;
    change_machine("element index=3 enclosure=2 type=fan number=0 rpm=0\n");
    EXPECT_EQ(ctl_get_fan_rpm(fans.ids[0], &speed), -1);
    EXPECT_EQ(api_error(), 2);
    change_machine("element index=3 enclosure=2 type=fan number=0 status=critical\n");
    ASSERT_EQ(ctl_get_fan_rpm(fans.ids[0], &speed), 0);
    EXPECT_EQ(speed, 0u);

    // The state is a whole int: 1 off, 128 failed.
    int32_t state = 0x55555555;
    change_machine("element index=3 enclosure=2 type=fan number=0 status=ok off=1\n");
    ASSERT_EQ(ctl_get_fan_state(fans.ids[0], &state), 0);
    EXPECT_EQ(state, 1);
    ASSERT_EQ(ctl_get_fan_state(fans.ids[1], &state), 0);
    EXPECT_EQ(state, 128);

    // Empty list: the first identifier's index is 0xFF (and its controller,
    // so the dispatcher routes it nowhere).
    ElementIdList empty;
    std::memset(&empty, 0xFF, sizeof empty);
    empty.count = 0;
    EXPECT_EQ(series_backend().get_fan_list_status(status, 16, empty), -1);
    EXPECT_EQ(api_error(), 97);
    ElementIdList safte_fans;
    ASSERT_EQ(ctl_get_fan_list(safte_, &safte_fans), 0);
    EXPECT_EQ(safte_fans.count, 2u);
    EXPECT_EQ(ctl_get_fan_list_status(status, 16, safte_fans), -1);
    EXPECT_EQ(api_error(), 2);
    change_machine("element index=5 enclosure=1 type=fan number=1 value=0x81\n");
    ASSERT_EQ(ctl_get_fan_status(safte_fans.ids[1], status), 0);
    EXPECT_EQ(status[0], 0x81);
}

TEST_F(EnclosureElements, FanControlPageAndItsReadBack) {
    change_machine("enclosure index=3 number=2 max-speed=4\n");
    const ObjectId fan = element<ctl_make_fan_id>(ses_, 0);
    EXPECT_EQ(series_backend().set_fan_speed(fan, 5), -1);
    EXPECT_EQ(api_error(), 128);
    // Sent all the same: the page as read, the fan selected with speed 5.
    const ControlExchange x = last_control();
    std::vector<uint8_t> expected = as_control(x.read, at(kFan0));
    expected[at(kFan0)] = uint8_t((expected[at(kFan0)] & ~0x30) | 0x80);
    expected[at(kFan0) + 3] = uint8_t((expected[at(kFan0) + 3] & ~0x27) | 0x25);
    EXPECT_EQ(x.sent, expected);
    EXPECT_EQ(x.cdb, bytes({0x1D, 0x10, 0, 0, 112}, 16));
    uint8_t level = 0;
    ASSERT_EQ(ctl_get_fan_speed_level(fan, &level), 0);
    EXPECT_EQ(level, 4);
    EXPECT_EQ(series_backend().set_fan_speed(fan, 0), -1);
    EXPECT_EQ(api_error(), 124);

    // A status element whose byte 0 bit 7 is set is not sent selected.
    change_machine("element index=3 enclosure=2 type=supply number=0 prdfail=1\n");
    ASSERT_EQ(series_backend().set_fan_speed(fan, 2), 0);
    EXPECT_EQ(last_control().sent[at(kSupply0)] & 0x80, 0);
    uint8_t supply_status = 9;
    ASSERT_EQ(ctl_get_power_supply_status(element<ctl_make_power_supply_id>(ses_, 0), &supply_status), 0);
    EXPECT_EQ(supply_status, 0);

    // SAF-TE: the fan speed command, speed code 6 as value 3.
    const ObjectId safte_fan = element<ctl_make_fan_id>(safte_, 1);
    ASSERT_EQ(series_backend().set_fan_speed(safte_fan, 6), 0);
    const PassThrough write = last_command(0x3B);
    EXPECT_EQ(write.cdb, bytes({0x3B, 0x21, 0, 0, 0, 0, 0, 0x08, 0x00}, 16));
    EXPECT_EQ(write.sent, bytes({0x13, 1, 3}, 2048));
}

TEST_F(EnclosureElements, SlotFlagsAndIdentify) {
    SlotIdList slots;
    ASSERT_EQ(ctl_get_slot_list(ses_, &slots), 0);
    ASSERT_EQ(slots.count, 4u);
    change_machine("element index=3 enclosure=2 type=slot number=2 status=unknown insert=1 remove=1\n"
                   "element index=3 enclosure=2 type=slot number=3 status=unknown remove=1\n");
    uint32_t flags[128];
    ASSERT_EQ(ctl_get_slot_list_status(flags, 16, slots), 0);
    EXPECT_EQ(std::vector<uint32_t>(flags, flags + 4), (std::vector<uint32_t>{9, 0, 2, 4}));
    EXPECT_EQ(ctl_get_slot_list_status(flags, 15, slots), -1);
    EXPECT_EQ(api_error(), 122);

    ASSERT_EQ(ctl_identify_slot(slots.ids[0], 1), 0);
    const ControlExchange x = last_control();
    std::vector<uint8_t> expected = as_control(x.read, at(kSlot0));
    expected[at(kSlot0)] = uint8_t((expected[at(kSlot0)] & ~0x30) | 0x80);
    expected[at(kSlot0) + 2] |= 0x02;
    EXPECT_EQ(x.sent, expected);
    uint8_t identify[128];
    std::memset(identify, 0xEE, sizeof identify);
    ASSERT_EQ(ctl_get_slot_list_identify(identify, sizeof identify, slots), 0);
    EXPECT_EQ(bytes({identify[0], identify[1], identify[4], identify[127]}), bytes({1, 0, 0, 0}));

    // SAF-TE: status words, and the slot operation under the controller lock.
    const ObjectId slot = element<ctl_make_slot_id>(safte_, 1);
    struct WordCase {
        uint32_t word, flags;
    };
    for (const WordCase& c : {WordCase{0x05, 9}, WordCase{0x03, 7}, WordCase{0x04, 8}}) {
        change_machine("element index=5 enclosure=1 type=slot number=1 word=" +
                       std::to_string(c.word) + "\n");
        uint32_t got = 0;
        ASSERT_EQ(ctl_get_slot_status(slot, &got), 0);
        EXPECT_EQ(got, c.flags) << c.word;
    }
    change_machine("element index=5 enclosure=1 type=slot number=1 word=3\n");
    sim::clear_journal();
    ASSERT_EQ(ctl_identify_slot(slot, 1), 0);
    EXPECT_EQ(last_command(0x3B).cdb, bytes({0x3B, 0x21, 0, 0, 0, 0, 0, 0, 64}, 16));
    EXPECT_EQ(last_command(0x3B).sent, bytes({0x12, 1, 7}, 64));
    EXPECT_EQ(lock_writes(), (std::vector<uint32_t>{500, 0}));
    uint8_t on = 0;
    ASSERT_EQ(ctl_get_slot_identify(slot, &on), 0);
    EXPECT_EQ(on, 1);
    ASSERT_EQ(ctl_identify_slot(slot, 0), 0);
    EXPECT_EQ(last_command(0x3B).sent, bytes({0x12, 1, 3}, 64));
    EXPECT_EQ(ctl_get_slot_status(element<ctl_make_slot_id>(safte_, 4), flags), -1);
    EXPECT_EQ(api_error(), 100);
}

TEST_F(EnclosureElements, TemperatureSensors) {
    TempSensorIdList sensors;
    ASSERT_EQ(ctl_get_temp_sensor_list(ses_, &sensors), 0);
    ASSERT_EQ(sensors.count, 3u);
    struct Case {
        const char* element;
        int result;
        int32_t value;  // degrees, or the API error
    };
    const Case cases[] = {
        {"status=ok temperature=25", 0, 25},
        {"status=ok byte2=0", -1, 121},
        {"status=not-available byte2=45", -1, 125},
        {"status=not-installed", -1, 111},
        {"status=critical temperature=-20", -1, 121},
        {"status=noncritical temperature=-19", 0, -19},
    };
    for (const Case& c : cases) {
        change_machine(std::string("element index=3 enclosure=2 type=temp number=0 ") + c.element +
                       "\n");
        int32_t degrees = 0;
        ASSERT_EQ(ctl_get_temp_sensor_temperature(sensors.ids[0], &degrees), c.result) << c.element;
        EXPECT_EQ(c.result == 0 ? degrees : api_error(), c.value) << c.element;
    }
    change_machine(
        "element index=3 enclosure=2 type=temp number=0 status=ok temperature=40 thresholds=4\n"
        "element index=3 enclosure=2 type=temp number=2 status=not-installed\n");
    uint8_t status = 9, warnings = 0;
    ASSERT_EQ(ctl_get_temp_sensor_status(sensors.ids[0], &status), 0);
    ASSERT_EQ(ctl_get_temp_sensor_warnings(sensors.ids[0], &warnings), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(warnings, 4);

    // The third sensor's failure keeps its entry 0 and fails the call.
    int32_t degrees[32];
    std::memset(degrees, 0x55, sizeof degrees);
    EXPECT_EQ(ctl_get_temp_sensor_list_temperature(degrees, sizeof degrees, sensors), -1);
    EXPECT_EQ(api_error(), 111);
    EXPECT_EQ(std::vector<int32_t>(degrees, degrees + 4), (std::vector<int32_t>{40, 30, 0, 0}));
    uint8_t statuses[32], thresholds[32];
    ASSERT_EQ(ctl_get_temp_sensor_list_status(statuses, 3, thresholds, 3, sensors), 0);
    EXPECT_EQ(bytes({statuses[0], statuses[1], statuses[2]}), bytes({0, 0, 2}));
    EXPECT_EQ(bytes({thresholds[0], thresholds[1], thresholds[2]}), bytes({4, 0, 0}));
    EXPECT_EQ(ctl_get_temp_sensor_list_status(statuses, 3, nullptr, 3, sensors), -1);
    EXPECT_EQ(api_error(), 122);

    // SAF-TE: degrees plus 10, Fahrenheit where the enclosure says so.
    const ObjectId fahrenheit = enclosure_at(5, 3);
    const ObjectId sensor = element<ctl_make_temp_sensor_id>(fahrenheit, 1);
    for (const auto& [raw, celsius] : {std::pair{87, 25}, std::pair{40, -1}}) {
        change_machine("element index=5 enclosure=3 type=temp number=1 value=" +
                       std::to_string(raw) + "\n");
        int32_t got = 99;
        ASSERT_EQ(ctl_get_temp_sensor_temperature(sensor, &got), 0);
        EXPECT_EQ(got, celsius) << raw;
    }
    int32_t got = 0;
    ASSERT_EQ(ctl_get_temp_sensor_temperature(element<ctl_make_temp_sensor_id>(safte_, 0), &got), 0);
    EXPECT_EQ(got, 30);
    ASSERT_EQ(ctl_get_temp_sensor_status(sensor, &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ctl_get_temp_sensor_temperature(element<ctl_make_temp_sensor_id>(fahrenheit, 2), &got), -1);
    EXPECT_EQ(api_error(), 111);
}

TEST_F(EnclosureElements, PowerSupplies) {
    const ObjectId supply = element<ctl_make_power_supply_id>(ses_, 0);
    ASSERT_EQ(ctl_turn_power_supply_off(supply), 0) << last_error().text;
    // Every other element of the page is sent zeroed.
    const ControlExchange x = last_control();
    std::vector<uint8_t> expected(x.read.begin(), x.read.begin() + 8);
    expected.resize(112, 0);
    expected[0] = 2;
    expected[at(kSupply0)] = 0x81;
    expected[at(kSupply0) + 3] = 0x00;
    EXPECT_EQ(x.sent, expected);
    int32_t state = 0x55555555;
    ASSERT_EQ(ctl_get_power_supply_state(supply, &state), 0);
    EXPECT_EQ(state, 1);
    ASSERT_EQ(ctl_turn_power_supply_on(supply), 0);
    ASSERT_EQ(ctl_get_power_supply_state(supply, &state), 0);
    EXPECT_EQ(state, 0);

    change_machine("enclosure index=3 number=2 stubborn=1\n");
    const size_t before = sends();
    EXPECT_EQ(ctl_turn_power_supply_off(supply), -1);
    EXPECT_EQ(api_error(), 2);
    EXPECT_EQ(sends(), before + 1);

    change_machine("element index=3 enclosure=2 type=supply number=1 dc=8 status=critical\n");
    ElementIdList supplies;
    ASSERT_EQ(ctl_get_power_supply_list(ses_, &supplies), 0);
    uint8_t status[16], dc[16];
    ASSERT_EQ(ctl_get_power_supply_list_status(status, 2, dc, 2, supplies), 0);
    EXPECT_EQ(bytes({status[0], status[1], dc[0], dc[1]}), bytes({0, 128, 0, 8}));
    uint8_t voltage = 0;
    ASSERT_EQ(ctl_get_power_supply_voltage(supplies.ids[1], &voltage), 0);
    EXPECT_EQ(voltage, 8);
    EXPECT_EQ(ctl_identify_power_supply(supply, 1), -1);
    EXPECT_EQ(api_error(), 2);
    ASSERT_EQ(ctl_get_power_supply_status(element<ctl_make_power_supply_id>(safte_, 0), status), 0);
    EXPECT_EQ(status[0], 0);
}

TEST_F(EnclosureElements, SesAlarmTonesAndMute) {
    const ObjectId alarm = element<ctl_make_alarm_id>(ses_, 0);
    ASSERT_EQ(ctl_set_alarm_state(alarm, 8), 0);
    ASSERT_EQ(ctl_set_alarm_state(alarm, 2), 0);
    const ControlExchange x = last_control();
    EXPECT_EQ(x.sent[at(kAlarm0) + 3], 0x0A);  // the tone sounding and the one added
    uint8_t sounding = 0;
    ASSERT_EQ(ctl_get_alarm_state(alarm, &sounding), 0);
    EXPECT_EQ(sounding, 1);
    EXPECT_EQ(ctl_set_alarm_state(alarm, 1), -1);
    EXPECT_EQ(api_error(), 132);

    ASSERT_EQ(ctl_mute_alarm(alarm), 0);
    uint32_t status = 0;
    uint8_t muted = 0;
    ASSERT_EQ(ctl_get_alarm_audibility(alarm, &muted), 0);
    EXPECT_EQ(muted, 1);
    ASSERT_EQ(ctl_get_alarm_status(alarm, &status), 0);
    EXPECT_EQ(status, 5u);
    ASSERT_EQ(ctl_turn_alarm_off(alarm), 0);
    ASSERT_EQ(ctl_get_alarm_status(alarm, &status), 0);
    EXPECT_EQ(status, 3u);
    change_machine("element index=3 enclosure=2 type=alarm number=0 status=critical\n");
    ASSERT_EQ(ctl_get_alarm_status(alarm, &status), 0);
    EXPECT_EQ(status, 5u);

    change_machine("enclosure index=3 number=2 ignore-mute=1\n");
    const size_t before = sends();
    EXPECT_EQ(ctl_unmute_alarm(alarm), -1);
    EXPECT_EQ(api_error(), 2);
    EXPECT_EQ(sends(), before + 1);

    uint32_t lock = 9;
    ASSERT_EQ(ctl_get_door_lock_status(element<ctl_make_door_lock_id>(ses_, 0), &lock), 0);
    EXPECT_EQ(lock, 0u);
    change_machine("element index=3 enclosure=2 type=lock number=0 unlocked=1\n");
    ASSERT_EQ(ctl_get_door_lock_status(element<ctl_make_door_lock_id>(ses_, 0), &lock), 0);
    EXPECT_EQ(lock, 1u);
    change_machine("element index=3 enclosure=2 type=lock number=0 status=unknown\n");
    ASSERT_EQ(ctl_get_door_lock_status(element<ctl_make_door_lock_id>(ses_, 0), &lock), 0);
    EXPECT_EQ(lock, 128u);
}

TEST_F(EnclosureElements, SafteGlobalFlagsUnderTheLock) {
    const ObjectId alarm = element<ctl_make_alarm_id>(safte_, 0);
    ASSERT_EQ(ctl_mute_alarm(alarm), 0) << last_error().text;
    const PassThrough read = last_command(0x3C);
    const PassThrough write = last_command(0x3B);
    EXPECT_EQ(read.cdb, bytes({0x3C, 0x21, 5, 0, 0, 0, 0, 0x08, 0x00}, 16));
    std::vector<uint8_t> expected = read.returned;
    expected[0] = 0x15;
    expected[1] = uint8_t(read.returned[0] & ~0x01);
    expected[2] = read.returned[1];
    expected[3] = read.returned[2];
    EXPECT_EQ(write.sent, expected);
    EXPECT_EQ(lock_writes(), (std::vector<uint32_t>{500, 0}));

    // The door lock through the same flags (no public function leads there).
    const ObjectId door = element<ctl_make_door_lock_id>(safte_, 0);
    ASSERT_EQ(series_backend().set_door_lock(door, 0), 0);
    EXPECT_EQ(last_command(0x3B).sent[2], 0x00);
    uint32_t lock = 9;
    ASSERT_EQ(ctl_get_door_lock_status(door, &lock), 0);
    EXPECT_EQ(lock, 1u);
    EXPECT_EQ(series_backend().set_door_lock(element<ctl_make_door_lock_id>(ses_, 0), 1), -1);
    EXPECT_EQ(api_error(), 2);

    // A refused write still releases the lock.
    change_machine("enclosure index=5 number=1 refuse=0x3B\n");
    sim::clear_journal();
    EXPECT_EQ(ctl_unmute_alarm(alarm), -1);
    EXPECT_EQ(lock_writes(), (std::vector<uint32_t>{500, 0}));
    change_machine("enclosure index=5 number=1 refuse=-1 refuse-buffer=5\n");
    sim::clear_journal();
    EXPECT_EQ(ctl_unmute_alarm(alarm), -1);
    EXPECT_EQ(lock_writes(), (std::vector<uint32_t>{500, 0}));

    const ObjectId no_lock = element<ctl_make_door_lock_id>(enclosure_at(5, 3), 0);
    uint32_t count = 9;
    ASSERT_EQ(ctl_get_door_lock_count(enclosure_at(5, 3), &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(ctl_get_door_lock_status(no_lock, &lock), -1);
    EXPECT_EQ(api_error(), 98);
}

TEST_F(EnclosureElements, PortsAndTheirSlots) {
    ObjectId port, slot, back;
    ASSERT_EQ(ctl_make_port_id(3, 1, &port), 0);
    ASSERT_EQ(ctl_get_port_slot(port, &slot), 0) << last_error().text;
    EXPECT_EQ(id_bytes(slot), bytes({9, 3, 3, 0xFF, 0x42, 0, 2, 1}));
    ASSERT_EQ(ctl_get_slot_port(slot, &back), 0);
    EXPECT_EQ(id_bytes(back), id_bytes(port));
    ASSERT_EQ(ctl_identify_port(port, 1), 0);
    uint8_t on = 0;
    ASSERT_EQ(ctl_get_slot_identify(slot, &on), 0);
    EXPECT_EQ(on, 1);
    ASSERT_EQ(ctl_get_port_identify(port, &on), 0);
    EXPECT_EQ(on, 1);

    struct Refusal {
        uint8_t port;
        int32_t error;
    };
    for (const Refusal& r : {Refusal{2, 101}, Refusal{3, 101}, Refusal{5, 101}, Refusal{8, 11}}) {
        ASSERT_EQ(ctl_make_port_id(3, r.port, &port), 0);
        EXPECT_EQ(ctl_get_port_slot(port, &slot), -1) << int(r.port);
        EXPECT_EQ(api_error(), r.error) << int(r.port);
    }
    EXPECT_EQ(ctl_get_port_identify(port, &on), -1);
    ObjectId empty_slot = element<ctl_make_slot_id>(ses_, 1);
    EXPECT_EQ(ctl_get_slot_port(empty_slot, &back), -1);
    EXPECT_EQ(api_error(), 101);

    // SAF-TE: slot i holds the device of port i; port 6 is in none.
    ASSERT_EQ(ctl_make_port_id(5, 1, &port), 0);
    ASSERT_EQ(ctl_get_port_slot(port, &slot), 0);
    EXPECT_EQ(id_bytes(slot), bytes({9, 5, 1, 0xFF, 0x41, 0xFF, 0, 0}));
    ASSERT_EQ(ctl_get_slot_port(slot, &back), 0);
    EXPECT_EQ(id_bytes(back), id_bytes(port));
    ASSERT_EQ(ctl_make_port_id(5, 6, &port), 0);
    ASSERT_EQ(ctl_get_port_slot(port, &slot), 0);
    EXPECT_EQ(id_bytes(slot), bytes({9, 5, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(ctl_get_port_identify(port, &on), -1);
    EXPECT_EQ(api_error(), 101);
}

TEST_F(EnclosureElements, HostilePagesAreRefused) {
    // Elements past the status page a device can fill.
    const ObjectId large = enclosure_at(3, 5);
    uint32_t count = 0;
    ASSERT_EQ(ctl_get_slot_count(large, &count), 0);
    EXPECT_EQ(count, 255u);
    SlotIdList slots;
    EXPECT_EQ(ctl_get_slot_list(large, &slots), -1);
    EXPECT_EQ(api_error(), 96);
    ElementIdList fans;
    EXPECT_EQ(ctl_get_fan_list(large, &fans), -1);
    EXPECT_EQ(api_error(), 93);
    uint8_t status = 0;
    EXPECT_EQ(ctl_get_temp_sensor_status(element<ctl_make_temp_sensor_id>(large, 0), &status), -1);
    EXPECT_EQ(api_error(), 127);
    const ObjectId slot = element<ctl_make_slot_id>(large, 100);
    uint32_t flags = 0;
    ASSERT_EQ(ctl_get_slot_status(slot, &flags), 0);
    // Its page claims more than the buffer holds: it is not sent back.
    const size_t before = sends();
    EXPECT_EQ(ctl_identify_slot(slot, 1), -1);
    EXPECT_EQ(api_error(), 126);
    EXPECT_EQ(sends(), before);

    // A page shorter than its elements.
    change_machine("enclosure index=3 number=2 page2-length=16\n");
    EXPECT_EQ(ctl_get_fan_status(element<ctl_make_fan_id>(ses_, 0), &status), -1);
    EXPECT_EQ(api_error(), 127);
    EXPECT_EQ(ctl_get_slot_status(element<ctl_make_slot_id>(ses_, 1), &flags), 0);

    // An empty help text: length 0, whether or not a buffer comes with it.
    change_machine("enclosure index=3 number=2 help=\"\"\n");
    int32_t empty = 0;
    EXPECT_EQ(ctl_get_enclosure_diagnostic_log(ses_, nullptr, &empty), 0);
    EXPECT_EQ(empty, 0);

    // A help text longer than the page buffer is cut to what arrived.
    change_machine("enclosure index=3 number=2 page3-length=5000\n");
    static char text[4096];
    int32_t size = sizeof text;
    ASSERT_EQ(ctl_get_enclosure_diagnostic_log(ses_, text, &size), 0);
    EXPECT_EQ(size, 2044);

    // Type headers running past the configuration page: no record.
    change_machine("enclosure index=3 number=2 header-count=200\n");
    ses_ = enclosure_at(3, 2);
    EXPECT_EQ(ctl_get_fan_count(ses_, &count), -1);
    EXPECT_EQ(api_error(), 130);

    // A list that claims more identifiers than it holds.
    ElementIdList list;
    std::memset(&list, 0, sizeof list);
    list.count = 17;
    uint8_t out[64];
    EXPECT_EQ(ctl_get_fan_list_status(out, sizeof out, list), -1);
    EXPECT_EQ(api_error(), 122);
}

TEST_F(EnclosureElements, ProcessorsThatDoNotAnswer) {
    change_machine("enclosure index=5 number=3 silent=1\n");
    EnclosureIdList list;
    ASSERT_EQ(ctl_get_enclosure_list(controller(5), &list), 0);
    EXPECT_EQ(list.count, 1u);

    // The enclosure pass-through returns the SCSI status and sense data.
    uint8_t cdb[16] = {0x1E};
    uint8_t status = 0, sense[32] = {};
    uint8_t data[16] = {};
    EXPECT_EQ(series_backend().send_enclosure_scsi_command(ses_, cdb, 6, &status, sense, 8, data,
                                                           sizeof data, 10, 0),
              -1);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(bytes({sense[0], sense[2], sense[7], sense[8]}), bytes({0x70, 5, 10, 0}));
    EXPECT_EQ(last_command(0x1E).cdb, bytes({0x1E}, 16));
    // A unit target takes the LUN in the top bits of the LUN field, as an
    // enclosure does, where the plain pass-through gives it as a number.
    ObjectId unit = ses_;
    unit.b[4] = 5;
    cdb[0] = 0x1C;
    series_backend().send_enclosure_scsi_command(unit, cdb, 6, &status, sense, 8, data,
                                                 sizeof data, 10, 3);
    const PassThrough to_unit = last_command(0x1C);
    EXPECT_EQ(to_unit.target, 5);
    EXPECT_EQ(to_unit.lun_field, 0x3000);
    EXPECT_EQ(to_unit.unit_lun, 0);
    uint8_t plain[16] = {0x1C};
    series_backend().send_scsi_command(unit, plain, data, sizeof data, 3);
    EXPECT_EQ(last_command(0x1C).lun_field, 3);
    EXPECT_EQ(last_command(0x1C).unit_lun, 3);
    EXPECT_EQ(series_backend().send_enclosure_scsi_command(ses_, cdb, 17, &status, sense, 8, data,
                                                           sizeof data, 10, 0),
              -1);
    EXPECT_EQ(api_error(), 122);
    EXPECT_EQ(series_backend().send_enclosure_scsi_command(ses_, cdb, 6, &status, sense, -1, data,
                                                           sizeof data, 10, 0),
              -1);
    EXPECT_EQ(api_error(), 122);
}

}  // namespace
