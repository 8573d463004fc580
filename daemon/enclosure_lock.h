// The enclosure lock held for a scope: the configuration store's semaphore
// that the monitor thread and the enclosure pages share, so that only one of
// them talks to the enclosures at a time. The guard releases it on every way
// out of the scope that took it.
#pragma once

#include "daemon/config_store.h"

// How long a taker waits (ConfigStore::take_enclosure_lock): a page request
// tries 8,000,000 times, the monitor 200 times, 150 ms apart.
enum : int {
    kEnclosureLockPageMode = 1,
    kEnclosureLockMonitorMode = 2,
};

class EnclosureLockGuard {
  public:
    EnclosureLockGuard(ConfigStore* config, int mode)
        : config_(config), held_(config->take_enclosure_lock(mode) == 1) {}
    ~EnclosureLockGuard() { release(); }
    EnclosureLockGuard(const EnclosureLockGuard&) = delete;
    EnclosureLockGuard& operator=(const EnclosureLockGuard&) = delete;

    // Whether the lock was taken; nothing may touch the enclosures otherwise.
    bool held() const { return held_; }
    // Gives the lock back before the scope ends (nothing when not held).
    void release() {
        if (held_) config_->release_enclosure_lock();
        held_ = false;
    }

  private:
    ConfigStore* config_;
    bool held_;
};
