// Helpers of the snapshot fills: a library read into a field of another
// integer type, the bounds of identifier lists and texts the library wrote.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/object_id.h"

namespace fill_reads {

// Reads a library value of type T into a field of another integer type; a
// failed read leaves the field as it was.
template <typename T, typename Field, typename Getter>
void read_into(Field& field, Getter getter, ObjectId id) {
    T value{};
    if (getter(id, &value) == 0) field = static_cast<Field>(value);
}

// The entries of a list that lie inside its room.
template <int N>
uint32_t listed(const IdListOf<N>& list) {
    return list.count > uint32_t(N) ? uint32_t(N) : list.count;
}

// Cuts a list's count to its room, so whoever loops over it or sizes an
// array by it stays inside.
template <int N>
void keep_in_room(IdListOf<N>& list) {
    list.count = listed(list);
}

// Reads a library text into its field and ends it there, whatever the
// library wrote.
template <size_t N, typename Getter>
void read_text(char (&text)[N], Getter getter, ObjectId id) {
    getter(id, text);
    text[N - 1] = '\0';
}

// Degrees Fahrenheit of degrees Celsius, in integer arithmetic (truncating),
// computed wide enough that no reported value overflows it.
inline int fahrenheit(int celsius) {
    return static_cast<int>(static_cast<int64_t>(celsius) * 9 / 5 + 32);
}

}  // namespace fill_reads
