// The background monitor: every 15 seconds it reads each controller's new
// events and hands each one to the event files and, when mail alerts are
// on, to the alert mail. It runs in a thread of its own beside the web
// server (MonitorThread), or in the main thread when the daemon only
// monitors (Logger mode).
//
// A pass reads the events of every controller found at start, then comes
// the enclosure step when enclosure monitoring is on (bit 0 of
// EnclosureMonitor), then the pause until the next pass. The events that
// change a controller's enclosures (a controller reset, an enclosure added
// or removed) mark the controller in MonitorState::enclosure_changed for
// that step.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "api/ctl_types.h"

class AlertMailer;
class ConfigStore;
class MessageCatalogue;

constexpr int kMonitorControllers = 255;
// The pause between two passes, and what one pass counts for in the
// enclosure step's countdown.
constexpr unsigned long long kMonitorPassMicroseconds = 15000000ULL;
constexpr int kMonitorPassMilliseconds = int(kMonitorPassMicroseconds / 1000);

// Event codes.
constexpr uint16_t kEventControllerReset = 1;
constexpr uint16_t kEventTimeSync = 49;  // "Synchronize host/controller time": stored nowhere
constexpr uint16_t kEventEnclosureRemoved = 98;
constexpr uint16_t kEventEnclosureAdded = 99;

// What the monitor keeps from pass to pass; only the monitor's thread
// touches it.
struct MonitorState {
    ConfigStore* config;
    const char* event_dir;        // where the event files are
    MessageCatalogue* catalogue;  // the monitor's own
    AlertMailer* mailer;
    // Read once at start; controllers that appear later are not polled.
    ControllerIdList controllers;
    // By controller position: the sequence number of the last event read,
    // and whether the next read asks for the first queued event.
    uint32_t last_sequence[kMonitorControllers];
    uint32_t first_read[kMonitorControllers];
    // By controller position: set when an event changed the controller's
    // enclosures, once baseline_ready is set; the enclosure step rebuilds
    // that controller's baseline and clears the flag.
    uint32_t enclosure_changed[kMonitorControllers];
    // Set by the enclosure step once it has tried its first check; before
    // that no event marks a controller.
    uint8_t baseline_ready;
    // Alert mails of this pass that the mailer refused (its queue full, or
    // the mailer not running).
    uint32_t mails_dropped;
};

// Ends the monitor and its pauses from another thread, or when a descriptor
// becomes readable (in Logger mode the daemon's termination descriptor).
class MonitorControl {
  public:
    // also_watch: a descriptor whose readiness stops the monitor too, or -1.
    explicit MonitorControl(int also_watch = -1);
    ~MonitorControl();
    MonitorControl(const MonitorControl&) = delete;
    MonitorControl& operator=(const MonitorControl&) = delete;

    void request_stop();
    bool stop_requested() const;
    // Waits out a pause of the given length (see platform::wait_length);
    // returns early, true, when the monitor is to stop.
    bool pause(unsigned long long microseconds) const;

  private:
    std::atomic<bool> stop_;
    int wake_[2];
    int also_watch_;
};

// One event pass over the listed controllers: each new event to the
// binary event file; all but code 49 and severity 4 to the text event file
// too, and to the alert mail when the text file took it and EmailEnable is
// 1. Once a controller's events are read, the files written for them are
// synced, each once, and then their directory. A controller that cannot
// tell its family or serial number this pass keeps its events queued for
// the next. Returns 1 when a controller was marked as having changed
// enclosures, else 0. Stops between two events when control says so; a
// pass whose alert mails were refused ends with the notice that counts
// them.
int poll_aens(MonitorState& state, const MonitorControl* control);

// The monitor's routine: passes until control says stop. Returns 0.
int monitor_main(ConfigStore* config, MonitorControl* control);

// The monitor thread beside the web server.
class MonitorThread {
  public:
    explicit MonitorThread(ConfigStore* config);
    // Stops the thread when it runs.
    ~MonitorThread();
    MonitorThread(const MonitorThread&) = delete;
    MonitorThread& operator=(const MonitorThread&) = delete;

    // 0 when the thread was created, 1 when the thread library refused.
    int start();
    // Asks the monitor to stop, wakes it from its pause and waits until it
    // has finished its pass (no file is left half written). 0, or the
    // thread library's result of the join.
    int stop();

    ConfigStore* config() const { return config_; }
    MonitorControl* control() { return &control_; }

  private:
    pthread_t thread_;
    bool started_;
    ConfigStore* config_;
    MonitorControl control_;
};
