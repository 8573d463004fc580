// The enclosure monitor: a baseline of every enclosure of every controller
// of family 7 or above, compared with the enclosures every
// EnclMonitorSleepMinutes minutes; each change of a fan, alarm, temperature
// sensor or power supply is posted to the controller's own event queue as
// one row of the enclosure event table, so that it comes back through the
// monitor's event path like any controller event. The service's notices go
// to syslog as lines that begin "ENCL: ".
//
// Everything here runs in the monitor thread. Every talk with the
// enclosures (baseline builds and rebuilds included) happens while the
// enclosure lock is held, because the library's enclosure records are shared
// with the page requests of the main thread.
#pragma once

#include <cstdint>

#include "api/ctl_types.h"
#include "daemon/enclosure_events.h"

class ConfigStore;
class EnclosureModel;

// Room of the monitor's tables: one entry per controller position.
constexpr int kEnclosureBaselines = 255;

// The baseline of one controller position.
struct EnclosureBaseline {
    EnclosureBaseline();
    ~EnclosureBaseline();
    EnclosureBaseline(const EnclosureBaseline&) = delete;
    EnclosureBaseline& operator=(const EnclosureBaseline&) = delete;

    // Deletes the models and empties the enclosure list.
    void clear_models();
    // The number of enclosures with a model: the list's count, at most 16.
    int enclosure_count() const;

    uint8_t controller_index;
    int family;
    char serial_number[32];
    EnclosureIdList enclosures;
    EnclosureModel* models[16];  // owned; entry j built for enclosure j
};

// Builds the baseline of every listed controller (baselines: 255 records).
void build_enclosure_baseline(const ControllerIdList& list, EnclosureBaseline* baselines);
// Rebuilds one controller's baseline; a controller of family 6 or lower keeps
// its old enclosures.
void refresh_enclosure_baseline(ObjectId controller, EnclosureBaseline& baseline, int position);
// Compares every enclosure of every listed controller with its baseline and
// posts each change.
void check_all_enclosures(const ControllerIdList& list, EnclosureBaseline* baselines);
void check_enclosure_alarms(const ControllerIdList& list, EnclosureModel& model,
                            int controller_index, int position);
void check_enclosure_fans(const ControllerIdList& list, EnclosureModel& model, int controller_index,
                          int position);
void check_enclosure_temperatures(const ControllerIdList& list, EnclosureModel& model,
                                  int controller_index, int position);
void check_enclosure_power_supplies(const ControllerIdList& list, EnclosureModel& model,
                                    int controller_index, int position);

// Posts the row that a change selects to the controller (null for the
// notices, which are syslog lines only).
void report_enclosure_event(const ObjectId* controller, EnclosureChangeKind kind,
                            int controller_index, int enclosure, int element, int old_value,
                            int new_value);
// Fills the post record (its element text already set) from the row and
// posts it; a refusal is written to syslog and not retried.
void post_enclosure_event(ObjectId controller, EventPostRecord& record,
                          const EnclosureEventRow& row, int enclosure);

// The monitor thread's enclosure state and the enclosure step of its pass.
// The monitor keeps, by controller position, the flags of the controllers
// whose enclosures changed (a controller reset, an enclosure removed or
// added) and whether the first check has been attempted (before that no
// event marks a controller); the step reads and clears the one and sets the
// other.
class EnclosureWatch {
  public:
    EnclosureWatch();
    ~EnclosureWatch();
    EnclosureWatch(const EnclosureWatch&) = delete;
    EnclosureWatch& operator=(const EnclosureWatch&) = delete;

    // At the monitor's start: builds every controller's baseline (whether
    // monitoring is on or not; when the enclosure lock cannot be had, the
    // controllers are marked in changed to be built by a later step), reads
    // the interval and the EnclosureMonitor flags, and writes the service's
    // notices.
    void start(ConfigStore* config, const ControllerIdList& list, uint32_t* changed);
    // The enclosure step of one monitor pass (nothing while monitoring is
    // off): rebuilds the baselines of the controllers marked in changed and
    // clears their marks, counts the interval down by one pass and, when it
    // has run out, checks every enclosure and sets baseline_ready.
    void step(ConfigStore* config, const ControllerIdList& list, uint32_t* changed,
              uint8_t* baseline_ready);

    bool monitoring() const { return (monitor_flags_ & 1) != 0; }
    int32_t countdown() const { return countdown_; }
    const EnclosureBaseline& baseline(int position) const { return baselines_[position]; }

  private:
    bool rebuild_marked(ConfigStore* config, const ControllerIdList& list, uint32_t* changed);

    EnclosureBaseline* baselines_;  // kEnclosureBaselines records
    int32_t countdown_;
    int monitor_flags_;
};
