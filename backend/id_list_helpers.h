// Small helpers of the back ends' identifier lists and identifiers.
#pragma once

#include <cstdint>
#include <cstring>

#include "driver/object_id.h"
#include "driver/record_failure.h"

namespace id_lists {

constexpr uint32_t kRoom = sizeof(IdList::ids) / sizeof(IdList::ids[0]);

// Every entry 0xFF, count 0.
inline void clear(IdList* list) {
    std::memset(list, 0xFF, sizeof *list);
    list->count = 0;
}

inline void append(IdList* list, ObjectId id) {
    if (list->count < kRoom) list->ids[list->count++] = id;
}

inline IdList of_one(ObjectId id) {
    IdList list;
    clear(&list);
    append(&list, id);
    return list;
}

// A caller's list: given, and at most 128 entries (the count is unsigned,
// so a negative count counts as too many). API error 122 otherwise.
inline int check(const IdList* list) {
    return list == nullptr || list->count > kRoom ? fail_with_api_error(kInvalidArgument) : 0;
}

// Whether another entry of the list names the port of entry i.
inline bool port_repeated(const IdList* list, uint32_t i) {
    for (uint32_t j = 0; j < list->count && j < kRoom; ++j)
        if (j != i && list->ids[j].b[2] == list->ids[i].b[2]) return true;
    return false;
}

// Whether an entry of the list names the port.
inline bool holds_port(const IdList& list, uint8_t port) {
    for (uint32_t i = 0; i < list.count && i < kRoom; ++i)
        if (list.ids[i].b[2] == port) return true;
    return false;
}

}  // namespace id_lists
