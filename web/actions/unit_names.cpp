#include "web/actions/unit_names.h"

#include <cstring>

#include "daemon/query_params.h"

namespace {

constexpr int kHighestUnit = 63;
constexpr int kLongestName = UnitNames::kNameSize - 1;
// The longest piece of the names value that can decode to a name: every
// character written as "%XX".
constexpr int kLongestEncodedName = 3 * kLongestName;

const char* const kRefusedInNames = "%&,;:\"'{}|\\~`*[]<>()@";

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
        if (end - p > kLongestEncodedName) return kUnitNamesBadName;
        char piece[kLongestEncodedName + 1];
        std::memcpy(piece, p, static_cast<size_t>(end - p));
        piece[end - p] = '\0';
        // A "%00" would end the decoded name early, losing what follows.
        if (std::strstr(piece, "%00") != nullptr) return kUnitNamesBadName;
        QueryParams::url_decode(piece);
        if (!is_valid_unit_name(piece)) return kUnitNamesBadName;
        std::memcpy(out->names[*count], piece, std::strlen(piece) + 1);
        ++*count;
        if (*end == '\0') break;
        p = end + 1;
    }
    return kUnitNamesOk;
}

}  // namespace

bool is_valid_unit_name(const char* name) {
    if (std::strlen(name) > static_cast<size_t>(kLongestName)) return false;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != '\0'; ++p) {
        if (*p <= ' ' || *p == 0x7F || std::strchr(kRefusedInNames, *p) != nullptr) return false;
    }
    return true;
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
