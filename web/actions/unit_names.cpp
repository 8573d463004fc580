#include "web/actions/unit_names.h"

#include <cstring>

#include "daemon/query_params.h"
#include "web/actions/unit_creation_rules.h"

namespace {

constexpr int kHighestUnit = 63;
constexpr size_t kLongestName = UnitNames::kNameSize - 1;
// A character of UTF-8 is at most 4 bytes long: a cut goes back at most 3
// bytes to the start of the character it would split.
constexpr size_t kLongestCharacterTail = 3;


// Reads one number piece [begin, end): only digits, at most 63.
bool read_unit_number(const char* begin, const char* end, uint8_t* number) {
    if (begin == end || end - begin > 2) return false;
    int n = 0;
    for (const char* p = begin; p < end; ++p) {
        if (*p < '0' || *p > '9') return false;
        n = n * 10 + (*p - '0');
    }
    if (n > kHighestUnit) return false;
    *number = static_cast<uint8_t>(n);
    return true;
}

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
bool is_lead(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0xC0; }

// The end of the piece that starts at p: the next comma or the end.
const char* piece_end(const char* p) {
    const char* comma = std::strchr(p, ',');
    return comma != nullptr ? comma : p + std::strlen(p);
}

int parse_numbers(const char* text, UnitNames* out, int* count) {
    *count = 0;
    for (const char* p = text; *p != '\0';) {
        const char* end = piece_end(p);
        if (*count == UnitNames::kRoom) return kUnitNamesTooMany;
        if (!read_unit_number(p, end, &out->numbers[*count])) return kUnitNamesBadNumber;
        ++*count;
        if (*end == '\0') break;
        p = end + 1;
    }
    return kUnitNamesOk;
}

int parse_names(const char* text, UnitNames* out, int* count) {
    *count = 0;
    for (const char* p = text; *p != '\0';) {
        const char* end = piece_end(p);
        if (*count == UnitNames::kRoom) return kUnitNamesTooMany;
        if (end - p > kUnitNamesValueSize) return kUnitNamesBadName;
        char piece[kUnitNamesValueSize + 1];
        std::memcpy(piece, p, static_cast<size_t>(end - p));
        piece[end - p] = '\0';
        // Every character is checked, also those a cut then leaves out.
        if (!decode_unit_name(piece) || !unit_name_characters_valid(piece))
            return kUnitNamesBadName;
        cut_unit_name(piece);
        std::memcpy(out->names[*count], piece, std::strlen(piece) + 1);
        ++*count;
        if (*end == '\0') break;
        p = end + 1;
    }
    return kUnitNamesOk;
}

}  // namespace

bool decode_unit_name(char* name) {
    if (std::strstr(name, "%00") != nullptr) return false;
    QueryParams::url_decode(name);
    return true;
}

void cut_unit_name(char* name) {
    if (std::strlen(name) <= kLongestName) return;
    size_t end = kLongestName;
    // A continuation byte (10xxxxxx) where the cut falls belongs to a
    // character that begins before it: that character goes whole.
    size_t start = end;
    while (start > 0 && end - start < kLongestCharacterTail && is_continuation(name[start]))
        --start;
    if (is_continuation(name[end]) && is_lead(name[start])) end = start;
    name[end] = '\0';
}

int parse_unit_names(const char* names, const char* numbers, UnitNames* out) {
    out->count = 0;
    int number_count = 0;
    int name_count = 0;
    int result = parse_numbers(numbers, out, &number_count);
    if (result != kUnitNamesOk) return result;
    result = parse_names(names, out, &name_count);
    if (result != kUnitNamesOk) return result;
    if (number_count == name_count + 1) {
        out->names[name_count][0] = '\0';
        ++name_count;
    }
    if (number_count != name_count) return kUnitNamesMismatch;
    out->count = number_count;
    return kUnitNamesOk;
}
