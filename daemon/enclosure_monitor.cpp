#include "daemon/enclosure_monitor.h"

#include <syslog.h>

#include <cstdio>
#include <cstring>

#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/enclosure_lock.h"
#include "daemon/enclosure_model.h"
#include "daemon/monitor.h"
#include "daemon/monitor_log.h"
#include "daemon/snapshot_records.h"

namespace {

// Only these families have enclosures the monitor watches.
constexpr int kFirstWatchedFamily = 7;
// What the baselines read: fans, alarms, temperature sensors and power
// supplies, status values only.
constexpr uint32_t kBaselineMask = kEnclosureKindFans | kEnclosureKindAlarms |
                                   kEnclosureKindTempSensors | kEnclosureKindPowerSupplies |
                                   kEnclosureMonitorMode;
static_assert(kBaselineMask == 0x803A);
constexpr uint8_t kPostSource = 1;
constexpr uint8_t kUnreadStatus = 128;

int bounded_count(uint32_t count, int room) { return count > uint32_t(room) ? room : int(count); }

// Reads the controller list entry's baseline facts (steps common to the
// build and the rebuild); false for a family without watched enclosures.
bool read_identity(ObjectId controller, EnclosureBaseline& baseline) {
    ctl_parse_controller_id(controller, &baseline.controller_index);
    std::memset(baseline.serial_number, 0, sizeof baseline.serial_number);
    int32_t family = 0;
    if (ctl_get_controller_family(controller, &family) == 0) baseline.family = family;
    ctl_get_serial_number(controller, baseline.serial_number);
    baseline.serial_number[sizeof baseline.serial_number - 1] = '\0';
    return baseline.family >= kFirstWatchedFamily;
}

void build_models(ObjectId controller, EnclosureBaseline& baseline, int position) {
    clear_id_list(baseline.enclosures);
    ctl_get_enclosure_list(controller, &baseline.enclosures);
    if (baseline.enclosures.count > uint32_t(kEnclosureElementRoom)) baseline.enclosures.count = 0;
    for (int j = 0; j < baseline.enclosure_count(); ++j)
        baseline.models[j] = new EnclosureModel(baseline.enclosures.ids[j], j, position,
                                                baseline.controller_index, kBaselineMask);
}

// Reports a change of one baseline value and takes the new value.
template <typename Value>
void compare(const ControllerIdList& list, int position, EnclosureChangeKind kind,
             const EnclosureModel& model, int element, Value& baseline_value, int new_value) {
    if (int(baseline_value) == new_value) return;
    report_enclosure_event(&list.ids[position], kind, model.controller_index, model.enclosure_index,
                           element, int(baseline_value), new_value);
    baseline_value = Value(new_value);
}

}  // namespace

EnclosureBaseline::EnclosureBaseline() : controller_index(0), family(0), serial_number{} {
    std::memset(&enclosures, 0, sizeof enclosures);
    for (EnclosureModel*& model : models) model = nullptr;
}

EnclosureBaseline::~EnclosureBaseline() { clear_models(); }

void EnclosureBaseline::clear_models() {
    for (EnclosureModel*& model : models) {
        delete model;
        model = nullptr;
    }
    enclosures.count = 0;
}

int EnclosureBaseline::enclosure_count() const {
    return bounded_count(enclosures.count, kEnclosureElementRoom);
}

void build_enclosure_baseline(const ControllerIdList& list, EnclosureBaseline* baselines) {
    const int count = bounded_count(list.count, kEnclosureBaselines);
    for (int i = 0; i < count; ++i) {
        EnclosureBaseline& baseline = baselines[i];
        baseline.clear_models();
        if (read_identity(list.ids[i], baseline)) build_models(list.ids[i], baseline, i);
    }
}

void refresh_enclosure_baseline(ObjectId controller, EnclosureBaseline& baseline, int position) {
    if (!read_identity(controller, baseline)) return;
    baseline.clear_models();
    build_models(controller, baseline, position);
}

void check_all_enclosures(const ControllerIdList& list, EnclosureBaseline* baselines) {
    const int count = bounded_count(list.count, kEnclosureBaselines);
    for (int i = 0; i < count; ++i) {
        EnclosureBaseline& baseline = baselines[i];
        for (int j = 0; j < baseline.enclosure_count(); ++j) {
            EnclosureModel* model = baseline.models[j];
            if (model == nullptr) continue;
            check_enclosure_alarms(list, *model, baseline.controller_index, i);
            check_enclosure_fans(list, *model, baseline.controller_index, i);
            check_enclosure_temperatures(list, *model, baseline.controller_index, i);
            check_enclosure_power_supplies(list, *model, baseline.controller_index, i);
        }
    }
}

void check_enclosure_alarms(const ControllerIdList& list, EnclosureModel& model,
                            int controller_index, int position) {
    (void)controller_index;
    for (int k = 0; k < model.alarm_count(); ++k) {
        EnclosureAlarm* alarm = model.alarm_objects[k];
        if (alarm == nullptr) continue;
        uint32_t status = kUnreadStatus;
        if (ctl_get_alarm_status(alarm->id, &status) != 0) continue;
        compare(list, position, EnclosureChangeKind::AlarmStatus, model, k, alarm->status,
                int(status));
    }
}

void check_enclosure_fans(const ControllerIdList& list, EnclosureModel& model, int controller_index,
                          int position) {
    (void)controller_index;
    for (int k = 0; k < model.fan_count(); ++k) {
        EnclosureFan* fan = model.fan_objects[k];
        if (fan == nullptr) continue;
        uint8_t status = kUnreadStatus;
        if (ctl_get_fan_status(fan->id, &status) != 0) continue;
        compare(list, position, EnclosureChangeKind::FanStatus, model, k, fan->status, status);
    }
}

void check_enclosure_temperatures(const ControllerIdList& list, EnclosureModel& model,
                                  int controller_index, int position) {
    (void)controller_index;
    for (int k = 0; k < model.temp_sensor_count(); ++k) {
        EnclosureTempSensor* sensor = model.temp_sensor_objects[k];
        if (sensor == nullptr) continue;
        uint8_t warnings = 0;
        const bool warnings_read = ctl_get_temp_sensor_warnings(sensor->id, &warnings) == 0;
        uint8_t status = kUnreadStatus;
        const bool status_read = read_temp_sensor_status(sensor->id, &status) == 0;
        // The threshold bits of a sensor that is not there mean nothing: its
        // removal is reported, not a change of its temperature.
        if (warnings_read && !(status_read && status == kSensorNotInstalled))
            compare(list, position, EnclosureChangeKind::SensorWarnings, model, k, sensor->warnings,
                    warnings);
        if (status_read)
            compare(list, position, EnclosureChangeKind::SensorStatus, model, k, sensor->status,
                    status);
    }
}

void check_enclosure_power_supplies(const ControllerIdList& list, EnclosureModel& model,
                                    int controller_index, int position) {
    (void)controller_index;
    for (int k = 0; k < model.power_supply_count(); ++k) {
        EnclosurePowerSupply* supply = model.power_supply_objects[k];
        if (supply == nullptr) continue;
        uint8_t status = kUnreadStatus;
        if (ctl_get_power_supply_status(supply->id, &status) == 0)
            compare(list, position, EnclosureChangeKind::SupplyStatus, model, k, supply->status,
                    status);
        uint8_t flags = 0;
        if (ctl_get_power_supply_voltage(supply->id, &flags) != 0) continue;
        supply->voltage_flags = flags;
        compare(list, position, EnclosureChangeKind::SupplyVoltage, model, k, supply->voltage_state,
                enclosure_voltage_state(flags));
        compare(list, position, EnclosureChangeKind::SupplyCurrent, model, k, supply->current_state,
                enclosure_current_state(flags));
    }
}

void report_enclosure_event(const ObjectId* controller, EnclosureChangeKind kind,
                            int controller_index, int enclosure, int element, int old_value,
                            int new_value) {
    (void)controller_index;
    switch (kind) {
        case EnclosureChangeKind::ServiceStarted:
            write_monitor_log(LOG_NOTICE, "ENCL: Monitoring service started.\n");
            return;
        case EnclosureChangeKind::MonitoringEnabled:
            write_monitor_log(LOG_NOTICE, "ENCL: Enclosure Monitoring service is enabled.\n");
            return;
        case EnclosureChangeKind::LockNotTaken:
            write_monitor_log(LOG_WARNING, "ENCL: Failed to get the enclosure lock. \n");
            return;
        default:
            break;
    }
    const EnclosureEventRow* row = enclosure_event_for(kind, old_value, new_value);
    if (row == nullptr || controller == nullptr) return;
    EventPostRecord record;
    std::memset(&record, 0, sizeof record);
    const int length = std::snprintf(record.text1, sizeof record.text1, "encl=%d, %s=%d", enclosure,
                                     enclosure_element_word(kind), element);
    record.text1_length = uint8_t(length < 0 ? 0 : std::strlen(record.text1));
    post_enclosure_event(*controller, record, *row, enclosure);
}

void post_enclosure_event(ObjectId controller, EventPostRecord& record,
                          const EnclosureEventRow& row, int enclosure) {
    record.code = uint16_t(row.code);
    record.severity = uint8_t(row.severity);
    record.source = kPostSource;
    record.parameter = uint32_t(enclosure);
    record.sense[2] = uint8_t(row.sense_key);
    record.sense[12] = row.sense_code;
    record.sense[13] = row.sense_qualifier;
    const size_t text = std::strlen(row.text);
    std::memcpy(record.text2, row.text, text);
    record.text2_length = uint8_t(text);
    if (ctl_post_aen(controller, &record) != -1) return;
    char line[256];
    std::snprintf(line, sizeof line, "ENCL: Failed to ping FW for AEN -- %s: %s", row.text,
                  record.text1);
    write_monitor_log(LOG_NOTICE, line);
}

EnclosureWatch::EnclosureWatch()
    : baselines_(new EnclosureBaseline[kEnclosureBaselines]), countdown_(0), monitor_flags_(0) {}

EnclosureWatch::~EnclosureWatch() { delete[] baselines_; }

void EnclosureWatch::start(ConfigStore* config, const ControllerIdList& list, uint32_t* changed) {
    for (int i = 0; i < kEnclosureBaselines; ++i) baselines_[i].clear_models();
    {
        EnclosureLockGuard lock(config, kEnclosureLockMonitorMode);
        if (lock.held()) {
            build_enclosure_baseline(list, baselines_);
        } else {
            report_enclosure_event(nullptr, EnclosureChangeKind::LockNotTaken, 0, 0, 0, 0, 0);
            for (int i = 0; i < bounded_count(list.count, kEnclosureBaselines); ++i) changed[i] = 1;
        }
    }
    countdown_ = config->get_encl_monitor_sleep_minutes() * 60000;
    monitor_flags_ = config->get_enclosure_monitor();
    report_enclosure_event(nullptr, EnclosureChangeKind::ServiceStarted, 0, 0, 0, 0, 0);
    if (monitoring())
        report_enclosure_event(nullptr, EnclosureChangeKind::MonitoringEnabled, 0, 0, 0, 0, 0);
}

bool EnclosureWatch::rebuild_marked(ConfigStore* config, const ControllerIdList& list,
                                    uint32_t* changed) {
    const int count = bounded_count(list.count, kEnclosureBaselines);
    bool marked = false;
    for (int i = 0; i < count; ++i) marked = marked || changed[i] != 0;
    if (!marked) return true;
    EnclosureLockGuard lock(config, kEnclosureLockMonitorMode);
    if (!lock.held()) return false;
    for (int i = 0; i < count; ++i) {
        if (changed[i] == 0) continue;
        refresh_enclosure_baseline(list.ids[i], baselines_[i], i);
        changed[i] = 0;
    }
    return true;
}

void EnclosureWatch::step(ConfigStore* config, const ControllerIdList& list, uint32_t* changed,
                          uint8_t* baseline_ready) {
    if (!monitoring()) return;
    // A baseline that could not be rebuilt is not compared: its check waits
    // for a later pass, as when the lock is busy.
    const bool rebuilt = rebuild_marked(config, list, changed);
    if (!rebuilt) report_enclosure_event(nullptr, EnclosureChangeKind::LockNotTaken, 0, 0, 0, 0, 0);
    if (countdown_ > 0) {
        countdown_ -= kMonitorPassMilliseconds;
        return;
    }
    if (rebuilt) {
        EnclosureLockGuard lock(config, kEnclosureLockMonitorMode);
        if (lock.held()) {
            check_all_enclosures(list, baselines_);
            countdown_ = config->get_encl_monitor_sleep_minutes() * 60000;
        } else {
            report_enclosure_event(nullptr, EnclosureChangeKind::LockNotTaken, 0, 0, 0, 0, 0);
        }
    }
    *baseline_ready = 1;
}
