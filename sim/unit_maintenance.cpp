// The firmware's commands that keep units going: remove drive (0x0A),
// verify (0x05), rebuild (0x09), background task (0x17) and flush (0x0E),
// and the units' tasks, which move on with the machine's clock: a whole
// task takes the controller's task-seconds (default an hour).
#include <algorithm>
#include <string>

#include "sim/drives.h"
#include "sim/unit_ops.h"

namespace sim {

using namespace unit_ops;

namespace {

constexpr uint8_t kRemoveDrive = 0x0A, kVerify = 0x05, kRebuild = 0x09, kBackgroundTask = 0x17,
                  kFlush = 0x0E;
constexpr uint8_t kStart = 1, kStop = 0x80, kRunTask = 0x80;
constexpr uint8_t kPlainSize = 2;
constexpr uint16_t kProgressMask = 0x7FFF;
constexpr long kDefaultTaskSeconds = 3600;

bool is_leaf(const UnitPlace& p) { return p.children.empty(); }

// The member place that holds the port, and its parent; null when none.
UnitPlace* find_member(UnitPlace& p, int port, UnitPlace** parent, uint8_t* index) {
    for (size_t i = 0; i < p.children.size(); ++i) {
        UnitPlace& child = p.children[i];
        if (is_leaf(child) && child.port == port) {
            *parent = &p;
            *index = uint8_t(i);
            return &child;
        }
        if (UnitPlace* found = find_member(child, port, parent, index)) return found;
    }
    return nullptr;
}

// A member place lost its drive: a unit without redundancy goes down, a
// redundant one degrades while it can spare the member (RAID 6 keeps its
// second failed member in its task record), else goes down. A running
// verify or initialisation stops; a rebuild of that member starts over.
bool degrade(UnitPlace& parent, uint8_t index) {
    UnitPlace& member = parent.children[index];
    member.port = -1;
    member.status = kUnitInoperable;
    if (parent.type == kUnitTypeRaid0) {
        parent.status = kUnitInoperable;
        parent.progress = 0;
        return false;
    }
    const bool failing = parent.status == kUnitDegraded || parent.status == kUnitRebuilding;
    if (!failing || parent.state_member == index) {
        if (parent.status != kUnitInoperable) {
            parent.status = kUnitDegraded;
            parent.state_member = index;
            parent.progress = 0;
            return true;
        }
        return false;
    }
    if (!parent.tasks.empty()) {
        UnitPlace& task = parent.tasks[0];
        if (task.status == kUnitOk || task.state_member == index) {
            task.status = kUnitDegraded;
            task.state_member = index;
            task.progress = 0;
            return true;
        }
    }
    parent.status = kUnitInoperable;
    parent.progress = 0;
    return false;
}

uint16_t remove_drive(Machine& m, Controller& c, const uint8_t* packet) {
    const int port = packet[7];
    if (packet[1] != kPlainSize) return kInvalidField;
    if (!drive_present(c, port)) return kPortRefused;
    const int number = unit_holding(c, port);
    SimUnit* unit = number >= 0 ? &c.units.at(number) : nullptr;
    UnitPlace* parent = nullptr;
    uint8_t index = 0;
    // A unit of one drive, or one being migrated, does not give it up.
    if (unit != nullptr && (unit->root.type == kUnitTypeMigrating ||
                            find_member(unit->root, port, &parent, &index) == nullptr))
        return kPortRefused;
    set_port_status(c, port, kRemovedDrive);
    port_event(m, c, kEventDriveRemoved, kWarning, port);
    if (unit == nullptr) return 0;
    const bool degraded = degrade(*parent, index);
    refresh_flags(*unit);
    unit_event(m, c, degraded ? kEventDegraded : kEventInoperable, kError, number);
    return 0;
}

uint16_t verify(Machine& m, Controller& c, SimUnit& unit, uint8_t operation) {
    std::vector<UnitPlace*> places = task_places(unit.root);
    if (unit.root.type == kUnitTypeDisk || unit.root.type == kUnitTypeSpare) return kInvalidField;
    if (operation == kStart) {
        for (UnitPlace* p : places)
            if (p->status != kUnitOk) return kInvalidField;
        for (UnitPlace* p : places) {
            p->status = kUnitVerifying;
            p->progress = kTaskActive;
        }
        unit_event(m, c, kEventVerifyStarted, kInformation, unit.number);
        return 0;
    }
    if (operation != kStop) return kInvalidField;
    bool stopped = false;
    for (UnitPlace* p : places) {
        if (p->status != kUnitVerifying) continue;
        p->status = kUnitOk;
        p->progress = 0;
        stopped = true;
    }
    return stopped ? 0 : kInvalidField;
}

// A record whose member is degraded, and that member's place.
struct Degraded {
    UnitPlace* record = nullptr;
    UnitPlace* member = nullptr;
};

std::vector<Degraded> degraded_members(UnitPlace& root, uint8_t status) {
    std::vector<Degraded> found;
    for (UnitPlace* p : task_places(root)) {
        if (p->status == status && p->state_member < p->children.size())
            found.push_back({p, &p->children[p->state_member]});
        for (UnitPlace& t : p->tasks)
            if (t.status == status && t.state_member < p->children.size())
                found.push_back({&t, &p->children[t.state_member]});
    }
    return found;
}

// The replacement, a DISK or spare unit, gives its drive to the first
// degraded member place; the rebuild itself starts with the background
// task command.
uint16_t rebuild(Machine& m, Controller& c, SimUnit& unit, uint8_t replacement) {
    auto it = c.units.find(replacement);
    if (it == c.units.end() || it->second.number == unit.number || !is_leaf(it->second.root) ||
        (it->second.root.type != kUnitTypeDisk && it->second.root.type != kUnitTypeSpare))
        return kReplaceRefused;
    const std::vector<Degraded> degraded = degraded_members(unit.root, kUnitDegraded);
    if (degraded.empty() || unit.root.type == kUnitTypeMigrating) return kNotDegraded;
    const int port = it->second.root.port;
    const SimObject* drive = drive_at(c, port);
    if (drive == nullptr || !drive_present(c, port)) return kPortRefused;
    if (drive_capacity(*drive) < degraded[0].member->capacity) return kTooSmall;
    degraded[0].member->port = port;
    forget_unit_settings(m, c, replacement, nullptr);
    c.units.erase(it);
    return 0;
}

uint16_t start_rebuilds(Machine& m, Controller& c, SimUnit& unit) {
    bool started = false;
    for (const Degraded& d : degraded_members(unit.root, kUnitDegraded)) {
        if (d.member->port < 0) continue;
        d.record->status = kUnitRebuilding;
        d.record->progress = kTaskActive;
        d.member->status = kUnitRebuilding;
        started = true;
    }
    if (started) unit_event(m, c, kEventRebuildStarted, kInformation, unit.number);
    return 0;
}

// --- Tasks on the clock.

enum Kind { kInitialise, kVerifyTask, kRebuildTask, kMigrateTask, kKinds };

int kind_of(uint8_t status) {
    switch (status) {
        case kUnitInitializing: return kInitialise;
        case kUnitVerifying: return kVerifyTask;
        case kUnitRebuilding: return kRebuildTask;
        case kUnitMigrating: return kMigrateTask;
    }
    return -1;
}

bool moves(const UnitPlace& record) {
    return is_running(record.status) && (record.progress & kTaskActive) != 0 &&
           (record.progress & kProgressMask) < kProgressWhole;
}

// The kinds of task that run in the unit.
void running_kinds(UnitPlace& root, bool* kinds) {
    std::fill(kinds, kinds + kKinds, false);
    if (root.type == kUnitTypeMigrating) {
        if (moves(root)) kinds[kMigrateTask] = true;
        return;
    }
    for (UnitPlace* p : task_places(root)) {
        if (moves(*p)) kinds[kind_of(p->status)] = true;
        for (const UnitPlace& t : p->tasks)
            if (moves(t)) kinds[kind_of(t.status)] = true;
    }
}

// The record's task ends: its place is OK again (a rebuilt member too); a
// RAID 6 unit record takes over what its task record still has to do.
void finish(UnitPlace& record, UnitPlace& owner) {
    if (record.status == kUnitInitializing) record.initialized = true;
    if (record.status == kUnitRebuilding && record.state_member < owner.children.size())
        owner.children[record.state_member].status = kUnitOk;
    record.status = kUnitOk;
    record.progress = 0;
    if (&record == &owner && !owner.tasks.empty() && owner.tasks[0].status != kUnitOk) {
        UnitPlace& task = owner.tasks[0];
        owner.status = task.status;
        owner.state_member = task.state_member;
        owner.progress = task.progress;
        task.status = kUnitOk;
        task.progress = 0;
    }
}

void finish_migration(SimUnit& unit) {
    UnitPlace destination = unit.root.children[1];
    destination.status = kUnitOk;
    destination.progress = 0;
    unit.root = destination;
    unit.destination_capacity = 0;
    if (unit.luns.size() == 1) unit.luns[0].sectors = unit.root.capacity;
}

// Moves one record on; true when its percentage changed.
bool step(UnitPlace& record, UnitPlace& owner, uint64_t ticks) {
    if (!moves(record)) return false;
    const uint16_t before = record.progress & kProgressMask;
    const uint16_t after = uint16_t(std::min<uint64_t>(kProgressWhole, before + ticks));
    record.progress = uint16_t(kTaskActive | after);
    if (after >= kProgressWhole) finish(record, owner);
    return before * 100 / kProgressWhole != after * 100 / kProgressWhole;
}

bool advance_unit(Machine& m, Controller& c, SimUnit& unit, uint64_t ticks) {
    static const uint16_t kDoneEvents[kKinds] = {kEventInitDone, kEventVerifyDone,
                                                 kEventRebuildDone, kEventMigrationDone};
    bool before[kKinds], after[kKinds];
    running_kinds(unit.root, before);
    bool changed = false;
    UnitPlace& root = unit.root;
    if (root.type == kUnitTypeMigrating) {
        if (moves(root) && root.children.size() == 2) {
            const uint16_t was = root.progress & kProgressMask;
            const uint16_t now = uint16_t(std::min<uint64_t>(kProgressWhole, was + ticks));
            root.progress = uint16_t(kTaskActive | now);
            root.children[1].progress = root.progress;
            changed = was * 100 / kProgressWhole != now * 100 / kProgressWhole;
            if (now >= kProgressWhole) finish_migration(unit);
        }
    } else {
        for (UnitPlace* p : task_places(root)) {
            changed = step(*p, *p, ticks) || changed;
            for (UnitPlace& t : p->tasks) changed = step(t, *p, ticks) || changed;
        }
        if (is_nested(root)) {
            bool all = true;
            for (const UnitPlace& sub : root.children) all = all && sub.initialized;
            root.initialized = all;
        }
    }
    running_kinds(unit.root, after);
    for (int k = 0; k < kKinds; ++k) {
        if (!before[k] || after[k]) continue;
        unit_event(m, c, kDoneEvents[k], kInformation, unit.number);
        changed = true;
    }
    refresh_flags(unit);
    return changed;
}

}  // namespace

namespace unit_ops {

uint16_t maintenance_command(Machine& m, Controller& c, const uint8_t* packet, bool* handled) {
    *handled = true;
    const uint8_t opcode = packet[0];
    if (opcode == kRemoveDrive) return remove_drive(m, c, packet);
    if (opcode != kVerify && opcode != kRebuild && opcode != kBackgroundTask && opcode != kFlush) {
        *handled = false;
        return 0;
    }
    if (packet[1] != kPlainSize) return kInvalidField;
    auto it = c.units.find(packet[3]);
    if (it == c.units.end()) return kNoSuchUnit;
    switch (opcode) {
        case kVerify: return verify(m, c, it->second, packet[7]);
        case kRebuild: return rebuild(m, c, it->second, packet[6]);
        case kBackgroundTask:
            return packet[6] == kRunTask ? start_rebuilds(m, c, it->second) : kInvalidField;
    }
    return 0;  // flush: the unit's cache holds nothing the model keeps
}

}  // namespace unit_ops

void advance_units(Machine& m, Controller& c) {
    const uint64_t now = m.now_us();
    const long seconds = c.attr_number("task-seconds", kDefaultTaskSeconds);
    if (c.unit_clock_us == UINT64_MAX || now < c.unit_clock_us || seconds <= 0) {
        c.unit_clock_us = now;
        return;
    }
    const uint64_t whole_us = uint64_t(seconds) * 1000000u;
    const uint64_t ticks = (now - c.unit_clock_us) * kProgressWhole / whole_us;
    if (ticks == 0) return;
    c.unit_clock_us += ticks * whole_us / kProgressWhole;
    bool changed = false;
    for (auto& u : c.units) changed = advance_unit(m, c, u.second, ticks) || changed;
    if (changed) persist_units(m, c);
}

}  // namespace sim
