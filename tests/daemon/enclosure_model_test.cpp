// The enclosure model built from the simulated SES and SAF-TE enclosures.
#include "daemon/enclosure_model.h"

#include <gtest/gtest.h>

#include <memory>

#include "daemon/snapshot_records.h"
#include "tests/daemon/enclosure_machine.h"

namespace {

PYV2_LIBRARY_MACHINE(kEnclosureDaemonMachine);

class EnclosureModelTest : public ::testing::Test {
  protected:
    void SetUp() override { reload_scenario(kEnclosureDaemonMachine); }

    static std::unique_ptr<EnclosureModel> build(uint8_t index, uint32_t position, uint32_t mask) {
        return std::make_unique<EnclosureModel>(enclosure_of(index, position), int(position), 1,
                                                index, mask);
    }
};

TEST_F(EnclosureModelTest, EveryKindOfAnSesEnclosure) {
    change_machine(
        "element index=3 enclosure=0 type=temp number=0 temperature=40\n"
        "element index=3 enclosure=0 type=temp number=1 temperature=-1\n"
        "element index=3 enclosure=0 type=fan number=1 fail=1\n"
        "element index=3 enclosure=0 type=supply number=1 dc=0xC\n");
    auto model = build(kWatchedIndex, 0, 0);
    EXPECT_EQ(model->enclosure_index, 0);
    EXPECT_EQ(model->controller_index, 3);
    EXPECT_EQ(model->number, 0);
    EXPECT_EQ(model->type, 1);
    EXPECT_STREQ(model->vendor, "SIMENC  ");
    EXPECT_STREQ(model->model, "SIM-SES-JBOD-12 ");
    EXPECT_STREQ(model->revision, "0110");
    ASSERT_EQ(model->slot_count(), 4);
    ASSERT_EQ(model->fan_count(), 2);
    ASSERT_EQ(model->temp_sensor_count(), 2);
    ASSERT_EQ(model->power_supply_count(), 2);
    ASSERT_EQ(model->door_lock_count(), 1);
    ASSERT_EQ(model->alarm_count(), 1);

    // Slots: a drive's slot names its port, an empty one port 255.
    for (int i = 0; i < 4; ++i) ASSERT_NE(model->slot_objects[i], nullptr);
    EXPECT_EQ(model->slot_objects[0]->port, 0);
    EXPECT_EQ(model->slot_objects[0]->port_controller, 3);
    EXPECT_EQ(model->slot_objects[2]->index, 2);
    EXPECT_EQ(model->slot_objects[2]->port, 5);
    EXPECT_EQ(model->slot_objects[1]->status & 1, 0u);
    EXPECT_EQ(model->slot_objects[1]->port, 255);
    EXPECT_EQ(model->slot_objects[1]->identify_supported, 1);
    EXPECT_EQ(model->slot_objects[1]->identify, 0);

    // Fans: running from the status.
    EXPECT_EQ(model->fan_objects[0]->status, 0);
    EXPECT_EQ(model->fan_objects[0]->running, 1);
    EXPECT_EQ(model->fan_objects[1]->index, 1);
    EXPECT_EQ(model->fan_objects[1]->status, 1);
    EXPECT_EQ(model->fan_objects[1]->running, 0);

    // Temperatures kept in both scales, truncated toward zero.
    EXPECT_EQ(model->temp_sensor_objects[0]->temperature_c, 40);
    EXPECT_EQ(model->temp_sensor_objects[0]->temperature_f, 104);
    EXPECT_EQ(model->temp_sensor_objects[1]->temperature_c, -1);
    EXPECT_EQ(model->temp_sensor_objects[1]->temperature_f, 31);

    // Power supplies: under-voltage wins over over-voltage.
    EXPECT_EQ(model->power_supply_objects[0]->voltage_state, 0);
    EXPECT_EQ(model->power_supply_objects[0]->current_state, 0);
    EXPECT_EQ(model->power_supply_objects[0]->running, 1);
    EXPECT_EQ(model->power_supply_objects[1]->voltage_flags, 0xC);
    EXPECT_EQ(model->power_supply_objects[1]->voltage_state, 2);

    EXPECT_EQ(model->alarm_objects[0]->status, 0);
    EXPECT_EQ(model->alarm_objects[0]->audibility, 0);
    EXPECT_NE(model->door_lock_objects[0]->status, 127);
}

TEST_F(EnclosureModelTest, MonitorMaskReadsOnlyStatusValues) {
    auto model = build(kWatchedIndex, 0, 0x803A);
    for (int i = 0; i < model->slot_count(); ++i) EXPECT_EQ(model->slot_objects[i], nullptr);
    // Door locks are not even listed.
    EXPECT_EQ(model->door_lock_count(), 0);
    EXPECT_EQ(model->door_lock_objects[0], nullptr);
    ASSERT_NE(model->fan_objects[0], nullptr);
    EXPECT_EQ(model->fan_objects[0]->status, 0);
    EXPECT_EQ(model->fan_objects[0]->running, 128);
    EXPECT_EQ(model->fan_objects[0]->rpm, 0u);
    EXPECT_EQ(model->fan_objects[0]->identify, 128);
    ASSERT_NE(model->temp_sensor_objects[0], nullptr);
    EXPECT_EQ(model->temp_sensor_objects[0]->temperature_c, 127);
    EXPECT_EQ(model->temp_sensor_objects[0]->identify, 128);
    ASSERT_NE(model->power_supply_objects[0], nullptr);
    EXPECT_EQ(model->power_supply_objects[0]->running, 128);
    EXPECT_EQ(model->power_supply_objects[0]->identify_supported, 128);
    ASSERT_NE(model->alarm_objects[0], nullptr);
    // The slot list is still read for a page's counts.
    EXPECT_EQ(model->slot_count(), 4);
}

TEST_F(EnclosureModelTest, ListsLongerThanTheirRoomGetNoObjects) {
    auto model = build(kWatchedIndex, 1, 0);
    EXPECT_EQ(model->fan_count(), 0);
    EXPECT_EQ(model->temp_sensor_count(), 0);
    for (EnclosureFan* fan : model->fan_objects) EXPECT_EQ(fan, nullptr);
    EXPECT_EQ(model->slot_count(), 2);
    EXPECT_EQ(model->power_supply_count(), 0);
    EXPECT_EQ(model->power_supply_objects[0], nullptr);
}

TEST_F(EnclosureModelTest, SensorThatIsNotInstalled) {
    // The enclosure reports sensor 1 not installed: the library refuses its
    // status and temperature as a sensor that does not exist.
    change_machine("element index=3 enclosure=0 type=temp number=1 status=not-installed\n");
    for (uint32_t mask : {0u, 0x803Au}) {
        SCOPED_TRACE(mask);
        auto model = build(kWatchedIndex, 0, mask);
        ASSERT_EQ(model->temp_sensor_count(), 2);
        const EnclosureTempSensor* absent = model->temp_sensor_objects[1];
        ASSERT_NE(absent, nullptr);
        EXPECT_EQ(absent->status, 2);
        EXPECT_EQ(absent->warnings, 0);
        EXPECT_EQ(model->temp_sensor_objects[0]->status, 0);
    }
}

TEST_F(EnclosureModelTest, SensorStatusOnlyNotInstalledWhenTheSensorDoesNotExist) {
    change_machine("element index=3 enclosure=0 type=temp number=1 status=not-installed\n");
    const ObjectId enclosure = enclosure_of(kWatchedIndex, 0);
    TempSensorIdList sensors;
    clear_id_list(sensors);
    ASSERT_EQ(ctl_get_temp_sensor_list(enclosure, &sensors), 0);
    ASSERT_EQ(sensors.count, 2u);
    const ObjectId present = sensors.ids[0], absent = sensors.ids[1];
    // The same sensor on a controller index that has no controller: the
    // library leaves such a read unrouted, recording nothing.
    ObjectId elsewhere = absent;
    elsewhere.b[1] = 9;

    uint8_t status = 77;
    EXPECT_EQ(read_temp_sensor_status(present, &status), 0);
    EXPECT_EQ(status, 0);
    status = 77;
    EXPECT_EQ(read_temp_sensor_status(absent, &status), 0);
    EXPECT_EQ(status, 2);
    // The record still holds the absent sensor's "does not exist": a read
    // that fails without a reason of its own is not taken for it.
    status = 77;
    EXPECT_EQ(read_temp_sensor_status(elsewhere, &status), -1);
    EXPECT_EQ(status, 77);
    // Nor is a read the firmware refuses.
    change_machine("fault index=3 opcode=0x10 firmware-code=0x010C count=-1\n");
    EXPECT_EQ(read_temp_sensor_status(absent, &status), -1);
    EXPECT_EQ(status, 77);
    change_machine("clear-faults\n");
}

TEST_F(EnclosureModelTest, SafteEnclosure) {
    auto model = build(2, 0, 0);
    EXPECT_EQ(model->type, 0);
    EXPECT_STREQ(model->vendor, "");
    EXPECT_EQ(model->slot_count(), 4);
    EXPECT_EQ(model->fan_count(), 2);
    ASSERT_NE(model->fan_objects[1], nullptr);
    EXPECT_EQ(model->fan_objects[1]->index, 1);
    // SAF-TE elements have no identify LEDs.
    EXPECT_EQ(model->fan_objects[1]->identify_supported, 0);
    EXPECT_EQ(model->fan_objects[1]->identify, 128);
}

TEST(EnclosureModelValues, RunningAndSupplyStates) {
    struct Case {
        uint8_t status, running;
    };
    for (const Case& c : {Case{0, 1}, Case{1, 0}, Case{2, 0}, Case{3, 0}, Case{128, 128}})
        EXPECT_EQ(enclosure_running_from_status(c.status), c.running) << int(c.status);
    EXPECT_EQ(enclosure_voltage_state(kSupplyOverVoltage), 4);
    EXPECT_EQ(enclosure_voltage_state(kSupplyUnderVoltage), 2);
    EXPECT_EQ(enclosure_voltage_state(kSupplyOverVoltage | kSupplyUnderVoltage), 2);
    EXPECT_EQ(enclosure_voltage_state(kSupplyOverCurrent), 0);
    EXPECT_EQ(enclosure_current_state(kSupplyOverCurrent), 1);
    EXPECT_EQ(enclosure_current_state(kSupplyOverVoltage), 0);
}

}  // namespace
