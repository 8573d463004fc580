// The unit names the Controller Settings page saves in one request:
// "UnitNames=" (the names, each URL-encoded, joined by ",") and
// "UnitNums=" (the unit numbers, in the same order, joined by ","). The
// two lists are paired entry by entry, so anything that could pair a name
// with another unit (a list cut short, a number out of range, counts that
// differ) refuses the whole request before any name is stored. A name
// longer than a unit's name (20 bytes) is cut to fit; the unit creation
// cuts its name the same way.
#pragma once

#include <cstdint>

// The longest values the request may carry, in characters.
constexpr int kUnitNamesValueSize = 255;
constexpr int kUnitNumbersValueSize = 30;

struct UnitNames {
    static constexpr int kRoom = 16;
    static constexpr int kNameSize = 21;  // 20 characters and the NUL
    int count = 0;
    uint8_t numbers[kRoom] = {};
    char names[kRoom][kNameSize] = {};
};

// Why a pair of values was refused.
enum : int {
    kUnitNamesOk = 0,
    kUnitNamesTooMany = 1,    // more than kRoom numbers or names
    kUnitNamesBadNumber = 2,  // a number outside 0 to 63, or no number at all
    kUnitNamesBadName = 3,    // a character no name may hold
    kUnitNamesMismatch = 4,   // the counts differ
};

// Pairs the two values. Numbers: the pieces between commas, each a decimal
// number of a unit (0 to 63); a trailing comma adds none. Names: the
// pieces between commas, each URL-decoded and cut to 20 bytes; an empty
// piece between commas is an empty name and a trailing comma adds none,
// and when there is exactly one number more than names the last name is
// empty. Returns kUnitNamesOk with the pairs in *out, or the first reason
// for refusal.
int parse_unit_names(const char* names, const char* numbers, UnitNames* out);

// URL-decodes a name in place; false when it holds "%00", which would end
// the name early and lose what follows.
bool decode_unit_name(char* name);

// Cuts a name to the 20 bytes a unit's name holds. A character of several
// bytes (UTF-8) that would not fit whole is left out whole, so the cut
// name is never left with part of a character.
void cut_unit_name(char* name);
