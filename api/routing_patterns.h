// The routing patterns of the family dispatcher: for every controller family,
// whether an operation is served (by the first-series back end, the row's
// second-series target or, for the limit queries, the later-generation one),
// refused with "Feature not supported", left unrouted (-1 with the last-error
// record untouched) or decided by a firmware-level gate.
#pragma once

#include <cstdint>

enum class Pattern : uint8_t {
    LA,        // both series, family 9 included
    LB,        // both series, family 9 unrouted
    LBE,       // as LB, families 8 and 10 served by the later-generation target
    A,         // second series, family 9 included
    B,         // second series, family 9 unrouted
    C,         // families 6 to 10, family 9 unrouted
    C9,        // families 6 to 10
    D,         // families 7, 8, 10
    E,         // families 8, 10
    F,         // family 4 only
    H,         // families 7, 8, 9
    J,         // family 9 only
    N,         // no family
    DStrict,   // families 7, 8, 10; family 9 and unknown families refused
    KStrict,   // family 10; family 9 and unknown families refused
    LStrict,   // family 3; family 9 and unknown families refused
    DAbove36,  // families 7, 8, 10 at firmware level 37 or more
    CAbove35,  // families 6, 7, 8, 10 at firmware level 36 or more
    EPlus7,    // families 8, 10, and 7 where it has phys
};
constexpr int kPatternCount = 19;

enum class Route : uint8_t {
    Unrouted,
    Refused,
    Legacy,     // the first-series back end
    Series,     // the row's second-series target
    Alternate,  // the row's later-generation target (pattern LBE)
    Gate36,     // served at a firmware level above 36, else refused
    Gate35,     // served at a firmware level above 35, else refused
    GatePhys,   // served when the controller has phys, else refused
};

// Columns of the routing table: families 3, 4, 6, 7, 8, 9, 10, then every
// other value (unknown families, -1 and 0 included).
constexpr int kFamilyColumns = 8;

constexpr int family_column(int32_t family) {
    switch (family) {
    case 3: return 0;
    case 4: return 1;
    case 6: return 2;
    case 7: return 3;
    case 8: return 4;
    case 9: return 5;
    case 10: return 6;
    default: return 7;
    }
}

// The routing table, one row per pattern in the order of Pattern, one
// character per family column: L first series, S the row's target, X the
// later-generation target, R refused, - unrouted, 6 gated above level 36,
// 5 gated above level 35, P gated on the controller's phys.
inline constexpr const char* kRouteRows[kPatternCount] = {
    //            3 4 6 7 8 9 10 other
    /* LA    */  "L S S S S S S -",
    /* LB    */  "L S S S S - S -",
    /* LBE   */  "L S S S X - X -",
    /* A     */  "R S S S S S S -",
    /* B     */  "R S S S S - S -",
    /* C     */  "R R S S S - S -",
    /* C9    */  "R R S S S S S -",
    /* D     */  "R R R S S - S -",
    /* E     */  "R R R R S - S -",
    /* F     */  "R S R R R - R -",
    /* H     */  "R R R S S S R -",
    /* J     */  "R R R R R S R -",
    /* N     */  "R R R R R - R -",
    /* D!    */  "R R R S S R S R",
    /* K!    */  "R R R R R R S R",
    /* L!    */  "L R R R R R R R",
    /* D>36  */  "R R R 6 6 - 6 -",
    /* C>35  */  "R R 5 5 5 - 5 -",
    /* E+7   */  "R R R P S - S -",
};

constexpr Route route_from_char(char c) {
    switch (c) {
    case 'L': return Route::Legacy;
    case 'S': return Route::Series;
    case 'X': return Route::Alternate;
    case 'R': return Route::Refused;
    case '6': return Route::Gate36;
    case '5': return Route::Gate35;
    case 'P': return Route::GatePhys;
    default: return Route::Unrouted;
    }
}

constexpr bool route_rows_well_formed() {
    for (const char* row : kRouteRows) {
        for (int column = 0; column < kFamilyColumns; ++column) {
            const char c = row[2 * column];
            if (c != 'L' && c != 'S' && c != 'X' && c != 'R' && c != '-' && c != '6' &&
                c != '5' && c != 'P')
                return false;
            const char after = row[2 * column + 1];
            if (column + 1 < kFamilyColumns ? after != ' ' : after != '\0') return false;
        }
    }
    return true;
}
static_assert(route_rows_well_formed(), "every routing row has one known code per family column");

constexpr Route route_of(Pattern pattern, int32_t family) {
    return route_from_char(kRouteRows[static_cast<int>(pattern)][2 * family_column(family)]);
}

// Whether any family reaches the given kind of target under the pattern;
// gated families reach the row's second-series target.
constexpr bool pattern_uses(Pattern pattern, Route target) {
    for (int column = 0; column < kFamilyColumns; ++column) {
        const Route r = route_from_char(kRouteRows[static_cast<int>(pattern)][2 * column]);
        const Route reached =
            (r == Route::Gate36 || r == Route::Gate35 || r == Route::GatePhys) ? Route::Series : r;
        if (reached == target) return true;
    }
    return false;
}
