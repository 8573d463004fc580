// The preorder walk over a unit's descriptor list and the search it serves.
#include "backend/unit_descriptor.h"

#include <cstring>

#include "driver/api_errors.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

using namespace unit_record;

uint64_t record_capacity(const uint8_t* r) {
    return le::load(r + kCapacityLow, 4) | le::load(r + kCapacityHigh, 2) << 32;
}

void DescriptorWalker::start(int root, uint8_t controller, uint8_t unit) {
    std::memset(id.b, 0xFF, sizeof id.b);
    id.b[0] = kKindUnit;
    id.b[1] = controller;
    top = uint8_t(top + 1);
    stack[top] = root;
    cursor = root;
    id.b[3] = 1;
    id.b[4] = unit;
}

bool DescriptorWalker::enter_level(int child) {
    if (depth() >= kMaxDepth) return false;
    top = uint8_t(top + 1);
    stack[top] = child;
    id.b[3] = uint8_t(depth() + 1);
    id.b[4 + depth() - 1] = 0;
    return true;
}

void DescriptorWalker::next_sibling(int place) {
    stack[top] = place;
    id.b[4 + depth() - 1] += 1;
}

void DescriptorWalker::leave_level() {
    stack[top] = 0;
    top = uint8_t(top - 1);
    if (depth() == 1) return;
    id.b[4 + depth() - 1] = 0xFF;
    id.b[3] = uint8_t(depth() - 1);
}

namespace {

struct Search {
    const UnitDescriptorList& list;
    const ObjectId& target;
    DescriptorWalker walker;
    bool done = false;
    DescriptorMatch found;

    bool matches(const uint8_t* r) const {
        if (target.b[0] == kKindDrive) return r[kChildren] == 0 && r[kStateIndex] == target.b[2];
        const uint8_t depth = walker.depth();
        return depth == target.b[3] && std::memcmp(walker.id.b + 4, target.b + 4, depth) == 0;
    }

    int stop() {
        done = true;
        found = DescriptorMatch{};
        return -1;
    }

    // The record at the top of the walker's stack and its subtree.
    int run() {
        const int here = walker.stack[walker.top];
        const uint8_t* r = list.record(here);
        if (matches(r)) {
            done = true;
            found.place = here;
            found.id = walker.id;
            return 0;
        }
        if (r[kType] == kTerminator) return stop();
        int result = -1;
        const int children = r[kChildren];
        for (int i = 0; i < children && !done; ++i) {
            ++walker.cursor;
            // A RAID 6 record's task records come before its first child.
            if (list.type_at(walker.stack[walker.top]) == kUnitRaid6)
                while (list.type_at(walker.cursor) == kUnitTaskRecord) ++walker.cursor;
            if (walker.cursor > UnitDescriptorList::kLastPlace) return stop();
            if (i == 0) {
                if (!walker.enter_level(walker.cursor)) {
                    stop();
                    return fail_with_api_error(kApiUnitDescriptor);
                }
            } else {
                walker.next_sibling(walker.cursor);
            }
            result = run();
        }
        if (children > 0 && !done) walker.leave_level();
        return result;
    }
};

}  // namespace

int search_descriptor(const UnitDescriptorList& list, ObjectId target, DescriptorMatch* found) {
    *found = DescriptorMatch{};
    if (target.b[0] != kKindUnit && target.b[0] != kKindDrive)
        return fail_with_api_error(kApiFailedToGetUnitId);
    Search search{list, target, DescriptorWalker{}, false, DescriptorMatch{}};
    search.walker.start(0, target.b[1], target.b[4]);
    const int result = search.run();
    *found = search.found;
    return result;
}
