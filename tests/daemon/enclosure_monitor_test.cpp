// The enclosure monitor on the simulated controllers: baselines, the checks
// and the events they post (read back from the controller's event queue),
// the event rules, and the enclosure step of the monitor's pass.
#include "daemon/enclosure_monitor.h"

#include <gtest/gtest.h>
#include <syslog.h>

#include <memory>
#include <thread>

#include "daemon/config_store.h"
#include "daemon/enclosure_model.h"
#include "daemon/monitor_log.h"
#include "tests/daemon/enclosure_machine.h"
#include "tests/support/files.h"

namespace {

PYV2_LIBRARY_MACHINE(kEnclosureDaemonMachine);

using K = EnclosureChangeKind;

TEST(EnclosureEventRules, RowOfEachChange) {
    struct Case {
        K kind;
        int old_value, new_value;
        uint32_t code;  // 0: nothing posted
    };
    const Case cases[] = {
        {K::FanStatus, 0, 1, 0x8001},      {K::FanStatus, 0, 2, 0x8002},
        {K::FanStatus, 2, 0, 0x8003},      {K::FanStatus, 1, 0, 0x8000},
        {K::FanStatus, 0, 3, 0x8006},      {K::FanStatus, 0, 128, 0x8004},
        {K::SensorStatus, 0, 1, 0x8027},   {K::SensorStatus, 0, 2, 0x8025},
        {K::SensorStatus, 2, 0, 0x8026},   {K::SensorStatus, 1, 0, 0x8020},
        {K::SensorStatus, 0, 128, 0x8028}, {K::SensorWarnings, 0, 1, 0x8021},
        {K::SensorWarnings, 0, 4, 0x8022}, {K::SensorWarnings, 0, 2, 0x8023},
        {K::SensorWarnings, 4, 8, 0x8024}, {K::SensorWarnings, 4, 0, 0x8020},
        {K::SensorWarnings, 0, 5, 0x8028}, {K::SupplyStatus, 0, 1, 0x8031},
        {K::SupplyStatus, 0, 2, 0x8032},   {K::SupplyStatus, 2, 0, 0x8033},
        {K::SupplyStatus, 1, 0, 0x8030},   {K::SupplyStatus, 0, 3, 0x8037},
        {K::SupplyStatus, 0, 128, 0x8034}, {K::SupplyVoltage, 0, 2, 0x8042},
        {K::SupplyVoltage, 0, 4, 0x8041},  {K::SupplyVoltage, 2, 0, 0x8040},
        {K::SupplyVoltage, 0, 7, 0x8043},  {K::SupplyCurrent, 0, 1, 0x8045},
        {K::SupplyCurrent, 1, 0, 0x8044},  {K::SupplyCurrent, 0, 3, 0x8046},
        {K::AlarmStatus, 0, 4, 0x8048},    {K::AlarmStatus, 1, 5, 0x8047},
        {K::AlarmStatus, 2, 0, 0x804A},    {K::AlarmStatus, 2, 1, 0x804A},
        {K::AlarmStatus, 2, 3, 0x804A},    {K::AlarmStatus, 0, 2, 0x8049},
        {K::AlarmStatus, 0, 128, 0x804B},  {K::AlarmStatus, 0, 1, 0},
        {K::AlarmStatus, 1, 0, 0},         {K::AlarmStatus, 3, 0, 0},
        {K::ServiceStarted, 0, 1, 0},
    };
    for (const Case& c : cases) {
        const EnclosureEventRow* row = enclosure_event_for(c.kind, c.old_value, c.new_value);
        SCOPED_TRACE(testing::Message()
                     << int(c.kind) << ": " << c.old_value << " -> " << c.new_value);
        if (c.code == 0) {
            EXPECT_EQ(row, nullptr);
        } else {
            ASSERT_NE(row, nullptr);
            EXPECT_EQ(row->code, c.code);
        }
    }
    int count = 0;
    const EnclosureEventRow* rows = enclosure_event_rows(&count);
    ASSERT_EQ(count, 39);
    EXPECT_STREQ(rows[0].text, "Enclosure fan normal");
    EXPECT_EQ(enclosure_event_row(0x8001)->severity, 1u);
    EXPECT_EQ(enclosure_event_row(0x8020)->severity, 3u);
    EXPECT_STREQ(enclosure_event_row(0x804B)->text, "Enclosure audio alarm status unknown");
    for (int i = 0; i < count; ++i) EXPECT_EQ(rows[i].sense_key, 0u);
}

class EnclosureMonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reload_scenario(kEnclosureDaemonMachine);
        logged_lines().clear();
        set_monitor_log_sink(catch_line);
        list_ = listed_controllers();
        ASSERT_EQ(list_.count, 3u);
        baselines_ = std::make_unique<EnclosureBaseline[]>(kEnclosureBaselines);
        build_enclosure_baseline(list_, baselines_.get());
        last_ = newest_event(kWatchedIndex).sequence;
    }
    void TearDown() override { set_monitor_log_sink(nullptr); }

    // One check of every enclosure; the events it posted to the watched
    // controller.
    std::vector<EventRecord> check(const std::string& change = "") {
        if (!change.empty()) change_machine(change);
        check_all_enclosures(list_, baselines_.get());
        std::vector<EventRecord> posted = events_after(kWatchedIndex, last_);
        if (!posted.empty()) last_ = posted.back().sequence;
        return posted;
    }

    ControllerIdList list_;
    std::unique_ptr<EnclosureBaseline[]> baselines_;
    uint32_t last_ = 0;
};

TEST_F(EnclosureMonitorTest, BaselinesOfWatchedFamiliesOnly) {
    const EnclosureBaseline& unwatched = baselines_[0];
    EXPECT_EQ(unwatched.controller_index, 2);
    EXPECT_EQ(unwatched.family, 6);
    EXPECT_EQ(unwatched.enclosure_count(), 0);
    const EnclosureBaseline& watched = baselines_[1];
    EXPECT_EQ(watched.controller_index, 3);
    EXPECT_EQ(watched.family, 8);
    ASSERT_EQ(watched.enclosure_count(), 2);
    ASSERT_NE(watched.models[0], nullptr);
    EXPECT_EQ(watched.models[0]->fan_count(), 2);
    EXPECT_EQ(watched.models[0]->slot_objects[0], nullptr);
    // The enclosure with more fans than a list holds has none to check.
    EXPECT_EQ(watched.models[1]->fan_count(), 0);
}

TEST_F(EnclosureMonitorTest, EachChangeIsPostedOnce) {
    EXPECT_TRUE(check().empty());

    std::vector<EventRecord> posted =
        check("element index=3 enclosure=0 type=fan number=1 fail=1\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8001);
    EXPECT_EQ(int(posted[0].severity), 1);
    EXPECT_STREQ(posted[0].parameter, "encl=0, fan=1");
    EXPECT_NE(std::strstr(posted[0].description, "Enclosure fan error"), nullptr)
        << posted[0].description;
    EXPECT_EQ(baselines_[1].models[0]->fan_objects[1]->status, 1);
    EXPECT_TRUE(check().empty());

    posted = check("element index=3 enclosure=0 type=fan number=1 fail=0\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8000);
    EXPECT_EQ(int(posted[0].severity), 3);

    posted = check("element index=3 enclosure=0 type=fan number=0 status=not-installed\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8002);
    posted = check("element index=3 enclosure=0 type=fan number=0 status=ok\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8003);
}

TEST_F(EnclosureMonitorTest, TemperatureWarningThatClearsPostsNormal) {
    std::vector<EventRecord> posted =
        check("element index=3 enclosure=0 type=temp number=1 thresholds=4\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8022);
    EXPECT_STREQ(posted[0].parameter, "encl=0, temperature sensor=1");

    posted = check("element index=3 enclosure=0 type=temp number=1 thresholds=0\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8020);
    EXPECT_EQ(int(posted[0].severity), 3);
    EXPECT_NE(std::strstr(posted[0].description, "Enclosure temperature normal"), nullptr);

    // Warnings first, then the sensor's status, in one check.
    posted = check("element index=3 enclosure=0 type=temp number=0 thresholds=8 status=critical\n");
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(int(posted[0].code), 0x8024);
    EXPECT_EQ(int(posted[1].code), 0x8027);
}

TEST_F(EnclosureMonitorTest, SensorThatGoesAwayIsPostedRemovedOnce) {
    std::vector<EventRecord> posted =
        check("element index=3 enclosure=0 type=temp number=1 status=not-installed\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8025);
    EXPECT_EQ(int(posted[0].severity), 2);
    EXPECT_STREQ(posted[0].parameter, "encl=0, temperature sensor=1");
    EXPECT_NE(std::strstr(posted[0].description, "Enclosure temperature sensor removed"), nullptr)
        << posted[0].description;
    EXPECT_EQ(baselines_[1].models[0]->temp_sensor_objects[1]->status, 2);
    // Still absent at the next checks: nothing more.
    EXPECT_TRUE(check().empty());
    EXPECT_TRUE(check().empty());
    // Put back.
    posted = check("element index=3 enclosure=0 type=temp number=1 status=ok\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8026);
}

TEST_F(EnclosureMonitorTest, SensorRemovedWhileWarningPostsOnlyTheRemoval) {
    std::vector<EventRecord> posted =
        check("element index=3 enclosure=0 type=temp number=1 thresholds=4\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8022);
    // Taken out: the enclosure clears its threshold bits. That is no
    // "temperature normal", only the removal.
    posted = check("element index=3 enclosure=0 type=temp number=1 thresholds=0 "
                   "status=not-installed\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8025);
}

TEST_F(EnclosureMonitorTest, SensorAbsentFromTheStartIsNoChange) {
    change_machine("element index=3 enclosure=0 type=temp number=0 status=not-installed\n");
    build_enclosure_baseline(list_, baselines_.get());
    EXPECT_EQ(baselines_[1].models[0]->temp_sensor_objects[0]->status, 2);
    EXPECT_TRUE(check().empty());
}

TEST_F(EnclosureMonitorTest, SensorStatusThatCannotBeReadIsNoChange) {
    // Every read of the enclosure fails at the firmware: nothing is taken
    // for a removal, and the baseline keeps its values.
    EXPECT_TRUE(check("fault index=3 opcode=0x10 firmware-code=0x010C count=-1\n").empty());
    EXPECT_EQ(baselines_[1].models[0]->temp_sensor_objects[1]->status, 0);
    change_machine("clear-faults\n");
    EXPECT_TRUE(check().empty());
}

TEST_F(EnclosureMonitorTest, PowerSupplyStatusVoltageAndCurrent) {
    std::vector<EventRecord> posted =
        check("element index=3 enclosure=0 type=supply number=0 status=critical fail=1 dc=0xE\n");
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_EQ(int(posted[0].code), 0x8031);
    // Both voltage bits: low.
    EXPECT_EQ(int(posted[1].code), 0x8042);
    EXPECT_EQ(int(posted[2].code), 0x8045);
    EXPECT_STREQ(posted[2].parameter, "encl=0, power supply=0");

    posted = check("element index=3 enclosure=0 type=supply number=0 status=ok fail=0 dc=0\n");
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_EQ(int(posted[0].code), 0x8030);
    EXPECT_EQ(int(posted[1].code), 0x8040);
    EXPECT_EQ(int(posted[2].code), 0x8044);
}

TEST_F(EnclosureMonitorTest, AlarmThatStartsSoundingPostsNothing) {
    EXPECT_TRUE(check("element index=3 enclosure=0 type=alarm number=0 tones=2\n").empty());
    EXPECT_EQ(baselines_[1].models[0]->alarm_objects[0]->status, 1);
    std::vector<EventRecord> posted =
        check("element index=3 enclosure=0 type=alarm number=0 muted=1\n");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8047);
    EXPECT_STREQ(posted[0].parameter, "encl=0, audio alarm=0");
}

TEST_F(EnclosureMonitorTest, RefusedPostIsLoggedAndNotRetried) {
    change_machine("fault index=3 opcode=0x5B firmware-code=0x010D\n");
    EXPECT_TRUE(check("element index=3 enclosure=0 type=fan number=0 fail=1\n").empty());
    ASSERT_EQ(logged_lines().size(), 1u);
    EXPECT_EQ(logged_lines()[0].priority, LOG_NOTICE);
    EXPECT_EQ(logged_lines()[0].text,
              "ENCL: Failed to ping FW for AEN -- Enclosure fan error: "
              "encl=0, fan=0");
    // The baseline took the new value: the change is not posted again.
    EXPECT_TRUE(check().empty());
    EXPECT_EQ(logged_lines().size(), 1u);
}

TEST_F(EnclosureMonitorTest, EnclosureBehindAHighControllerIndex) {
    const EnclosureBaseline& baseline = baselines_[2];
    EXPECT_EQ(baseline.controller_index, 200);
    EXPECT_EQ(baseline.family, 10);
    ASSERT_EQ(baseline.enclosure_count(), 1);
    EXPECT_EQ(baseline.models[0]->number, 15);
    const uint32_t before = newest_event(200).sequence;
    change_machine("element index=200 enclosure=15 type=fan number=0 fail=1\n");
    check_all_enclosures(list_, baselines_.get());
    std::vector<EventRecord> posted = events_after(200, before);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8001);
    // The element text names the enclosure's place in the controller's list.
    EXPECT_STREQ(posted[0].parameter, "encl=0, fan=0");
}

TEST_F(EnclosureMonitorTest, RefreshFollowsTheEnclosureList) {
    baselines_[1].clear_models();
    EXPECT_EQ(baselines_[1].enclosure_count(), 0);
    refresh_enclosure_baseline(list_.ids[1], baselines_[1], 1);
    ASSERT_EQ(baselines_[1].enclosure_count(), 2);
    EXPECT_EQ(baselines_[1].models[0]->alarm_count(), 1);
    // A controller of an unwatched family keeps what it had.
    refresh_enclosure_baseline(list_.ids[0], baselines_[0], 0);
    EXPECT_EQ(baselines_[0].enclosure_count(), 0);
}

// The enclosure step of the monitor's pass, with the monitor's flags.
class EnclosureWatchTest : public EnclosureMonitorTest {
  protected:
    void SetUp() override {
        EnclosureMonitorTest::SetUp();
        ASSERT_FALSE(dir_.path().empty());
        config_ = std::make_unique<ConfigStore>(dir_.file("pyv2.conf").c_str());
    }
    void start() { watch_.start(config_.get(), list_, changed_); }
    void step() { watch_.step(config_.get(), list_, changed_, &ready_); }

    test_support::TempDir dir_;
    std::unique_ptr<ConfigStore> config_;
    EnclosureWatch watch_;
    uint32_t changed_[kEnclosureBaselines] = {};
    uint8_t ready_ = 0;
};

TEST_F(EnclosureWatchTest, StartWritesTheNotices) {
    start();
    EXPECT_TRUE(watch_.monitoring());
    EXPECT_EQ(watch_.countdown(), 120000);
    EXPECT_EQ(watch_.baseline(1).enclosure_count(), 2);
    ASSERT_EQ(logged_lines().size(), 2u);
    EXPECT_EQ(logged_lines()[0].priority, LOG_NOTICE);
    EXPECT_EQ(logged_lines()[0].text, "ENCL: Monitoring service started.\n");
    EXPECT_EQ(logged_lines()[1].text, "ENCL: Enclosure Monitoring service is enabled.\n");
}

TEST_F(EnclosureWatchTest, FirstCheckInTheNinthPass) {
    start();
    change_machine("element index=3 enclosure=0 type=fan number=0 fail=1\n");
    for (int pass = 1; pass <= 8; ++pass) {
        step();
        EXPECT_EQ(watch_.countdown(), 120000 - 15000 * pass);
        EXPECT_EQ(ready_, 0);
    }
    EXPECT_TRUE(events_after(kWatchedIndex, last_).empty());
    step();
    EXPECT_EQ(ready_, 1);
    EXPECT_EQ(watch_.countdown(), 120000);
    std::vector<EventRecord> posted = events_after(kWatchedIndex, last_);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(int(posted[0].code), 0x8001);
    // The lock is free again.
    ASSERT_EQ(config_->take_enclosure_lock(2), 1);
    config_->release_enclosure_lock();
}

TEST_F(EnclosureWatchTest, MarkedControllersAreRebuilt) {
    start();
    // The rebuilt baseline takes the enclosure as it is now: the change made
    // before it is not posted.
    change_machine("element index=3 enclosure=0 type=fan number=0 fail=1\n");
    changed_[1] = 1;
    step();
    EXPECT_EQ(changed_[1], 0u);
    EXPECT_EQ(watch_.baseline(1).enclosure_count(), 2);
    for (int pass = 2; pass <= 9; ++pass) step();
    EXPECT_EQ(ready_, 1);
    EXPECT_TRUE(events_after(kWatchedIndex, last_).empty());
}

TEST_F(EnclosureWatchTest, CheckWaitsForThePageToReleaseTheLock) {
    start();
    for (int pass = 1; pass <= 8; ++pass) step();
    ASSERT_EQ(config_->take_enclosure_lock(1), 1);
    std::thread page([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        config_->release_enclosure_lock();
    });
    change_machine("element index=3 enclosure=0 type=fan number=0 fail=1\n");
    step();
    page.join();
    EXPECT_EQ(events_after(kWatchedIndex, last_).size(), 1u);
    // Only the start notices: the lock came in time.
    EXPECT_EQ(logged_lines().size(), 2u);
}

TEST_F(EnclosureWatchTest, NothingWhileMonitoringIsOff) {
    std::FILE* f = std::fopen(dir_.file("pyv2.conf").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("EnclosureMonitor 0\n", f);
    std::fclose(f);
    ASSERT_EQ(config_->read_file(), 0);
    start();
    EXPECT_FALSE(watch_.monitoring());
    ASSERT_EQ(logged_lines().size(), 1u);
    // Baselines are built all the same.
    EXPECT_EQ(watch_.baseline(1).enclosure_count(), 2);
    change_machine("element index=3 enclosure=0 type=fan number=0 fail=1\n");
    changed_[1] = 1;
    for (int pass = 1; pass <= 12; ++pass) step();
    EXPECT_EQ(watch_.countdown(), 120000);
    EXPECT_EQ(changed_[1], 1u);
    EXPECT_EQ(ready_, 0);
    EXPECT_TRUE(events_after(kWatchedIndex, last_).empty());
}

}  // namespace
