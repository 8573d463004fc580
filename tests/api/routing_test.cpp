// The dispatcher's frame on the library's controllers: every routing pattern
// for every family, the firmware-level gates and the kind check. The frame is
// driven with back-end calls that only tell which one was reached, so the
// patterns that no operation uses yet are covered as well.
#include "api/family_router.h"
#include "tests/api/family_machine.h"

namespace {

PYV2_LIBRARY_MACHINE(kFamilyMachine);

constexpr int kServed = 7;  // what the stand-in back-end calls return

// Runs pattern P's frame with stand-in calls for exactly the targets the
// pattern can reach.
template <Pattern P>
int run_frame(ObjectId id, KindRule kind, Outcome* reached) {
    auto series = SeriesCall{[reached] { *reached = Outcome::Series; return kServed; }};
    auto legacy = LegacyCall{[reached] { *reached = Outcome::Legacy; return kServed; }};
    auto alternate = AlternateCall{[reached] { *reached = Outcome::Alternate; return kServed; }};
    constexpr bool s = pattern_uses(P, Route::Series);
    constexpr bool l = pattern_uses(P, Route::Legacy);
    constexpr bool a = pattern_uses(P, Route::Alternate);
    if constexpr (s && l && a) return route<P>(id, kind, series, legacy, alternate);
    else if constexpr (s && l) return route<P>(id, kind, series, legacy);
    else if constexpr (s) return route<P>(id, kind, series);
    else if constexpr (l) return route<P>(id, kind, SeriesCall<NoCall>{}, legacy);
    else return route<P>(id, kind);
}

int run_pattern(Pattern p, ObjectId id, KindRule kind, Outcome* reached) {
    switch (p) {
    case Pattern::LA: return run_frame<Pattern::LA>(id, kind, reached);
    case Pattern::LB: return run_frame<Pattern::LB>(id, kind, reached);
    case Pattern::LBE: return run_frame<Pattern::LBE>(id, kind, reached);
    case Pattern::A: return run_frame<Pattern::A>(id, kind, reached);
    case Pattern::B: return run_frame<Pattern::B>(id, kind, reached);
    case Pattern::C: return run_frame<Pattern::C>(id, kind, reached);
    case Pattern::C9: return run_frame<Pattern::C9>(id, kind, reached);
    case Pattern::D: return run_frame<Pattern::D>(id, kind, reached);
    case Pattern::E: return run_frame<Pattern::E>(id, kind, reached);
    case Pattern::F: return run_frame<Pattern::F>(id, kind, reached);
    case Pattern::H: return run_frame<Pattern::H>(id, kind, reached);
    case Pattern::J: return run_frame<Pattern::J>(id, kind, reached);
    case Pattern::N: return run_frame<Pattern::N>(id, kind, reached);
    case Pattern::DStrict: return run_frame<Pattern::DStrict>(id, kind, reached);
    case Pattern::KStrict: return run_frame<Pattern::KStrict>(id, kind, reached);
    case Pattern::LStrict: return run_frame<Pattern::LStrict>(id, kind, reached);
    case Pattern::DAbove36: return run_frame<Pattern::DAbove36>(id, kind, reached);
    case Pattern::CAbove35: return run_frame<Pattern::CAbove35>(id, kind, reached);
    case Pattern::EPlus7: return run_frame<Pattern::EPlus7>(id, kind, reached);
    }
    return -1;
}

constexpr KindRule kNoKind{0, 0};

// Calls the pattern on a controller and checks the outcome, the result and
// the last-error record: a served call leaves an earlier failure in place,
// a refusal replaces it with "Feature not supported", an unrouted call
// leaves it byte for byte.
void expect_outcome(Pattern p, ObjectId id, Outcome expected) {
    const ErrorRecord before = seed_last_error();
    Outcome reached = Outcome::Unrouted;
    const int result = run_pattern(p, id, kNoKind, &reached);
    if (expected == Outcome::Refused || expected == Outcome::Unrouted) {
        EXPECT_EQ(reached, Outcome::Unrouted) << "a back end was called";
        expect_failure(expected, result, before);
    } else {
        EXPECT_EQ(reached, expected) << "reached " << outcome_name(reached);
        EXPECT_EQ(result, kServed);
        EXPECT_TRUE(same_record(before, last_error()));
    }
}

struct PatternCase {
    const char* name;
    Pattern pattern;
    FamilySets sets;
};

// Which families each pattern serves, with which back end, and which it
// refuses, with every gate open (firmware level 37).
const PatternCase kPatternCases[] = {
    {"LA", Pattern::LA, {{3}, {4, 6, 7, 8, 9, 10}, {}, {}, false}},
    {"LB", Pattern::LB, {{3}, {4, 6, 7, 8, 10}, {}, {}, false}},
    {"LBE", Pattern::LBE, {{3}, {4, 6, 7}, {8, 10}, {}, false}},
    {"A", Pattern::A, {{}, {4, 6, 7, 8, 9, 10}, {}, {3}, false}},
    {"B", Pattern::B, {{}, {4, 6, 7, 8, 10}, {}, {3}, false}},
    {"C", Pattern::C, {{}, {6, 7, 8, 10}, {}, {3, 4}, false}},
    {"C9", Pattern::C9, {{}, {6, 7, 8, 9, 10}, {}, {3, 4}, false}},
    {"D", Pattern::D, {{}, {7, 8, 10}, {}, {3, 4, 6}, false}},
    {"E", Pattern::E, {{}, {8, 10}, {}, {3, 4, 6, 7}, false}},
    {"F", Pattern::F, {{}, {4}, {}, {3, 6, 7, 8, 10}, false}},
    {"H", Pattern::H, {{}, {7, 8, 9}, {}, {3, 4, 6, 10}, false}},
    {"J", Pattern::J, {{}, {9}, {}, {3, 4, 6, 7, 8, 10}, false}},
    {"N", Pattern::N, {{}, {}, {}, {3, 4, 6, 7, 8, 10}, false}},
    {"D!", Pattern::DStrict, {{}, {7, 8, 10}, {}, {}, true}},
    {"K!", Pattern::KStrict, {{}, {10}, {}, {}, true}},
    {"L!", Pattern::LStrict, {{3}, {}, {}, {}, true}},
    {"D>36", Pattern::DAbove36, {{}, {7, 8, 10}, {}, {3, 4, 6}, false}},
    {"C>35", Pattern::CAbove35, {{}, {6, 7, 8, 10}, {}, {3, 4}, false}},
    {"E+7", Pattern::EPlus7, {{}, {7, 8, 10}, {}, {3, 4, 6}, false}},
};

TEST(FamilyRouting, EveryPatternForEveryFamily) {
    set_firmware_level({1, 2, 3, 4, 5, 6, 7}, 37);
    for (const PatternCase& c : kPatternCases) {
        for (const MachineController& m : kMachineControllers) {
            SCOPED_TRACE(std::string("pattern ") + c.name + ", controller " +
                         std::to_string(m.index) + " of family " + std::to_string(m.family));
            expect_outcome(c.pattern, controller(m.index), c.sets.of(m.family));
        }
    }
}

struct GateCase {
    const char* name;
    Pattern pattern;
    uint8_t index;
    uint32_t level;
    Outcome expected;
    size_t level_reads;  // driver requests the gate makes
};

const GateCase kGateCases[] = {
    {"D>36 refuses level 36", Pattern::DAbove36, 4, 36, Outcome::Refused, 1},
    {"D>36 serves level 37", Pattern::DAbove36, 4, 37, Outcome::Series, 1},
    {"D>36 on family 7", Pattern::DAbove36, 3, 36, Outcome::Refused, 1},
    {"D>36 on family 10", Pattern::DAbove36, 6, 37, Outcome::Series, 1},
    {"C>35 refuses level 35", Pattern::CAbove35, 2, 35, Outcome::Refused, 1},
    {"C>35 serves level 36", Pattern::CAbove35, 2, 36, Outcome::Series, 1},
    {"E+7 refuses family 7 at level 35", Pattern::EPlus7, 3, 35, Outcome::Refused, 1},
    {"E+7 serves family 7 at level 36", Pattern::EPlus7, 3, 36, Outcome::Series, 1},
    {"E+7 does not gate family 8", Pattern::EPlus7, 4, 30, Outcome::Series, 0},
    {"E+7 does not gate family 10", Pattern::EPlus7, 6, 30, Outcome::Series, 0},
    {"D>36 reads nothing for a refused family", Pattern::DAbove36, 2, 40, Outcome::Refused, 0},
};

TEST(FamilyRouting, FirmwareLevelGates) {
    for (const GateCase& c : kGateCases) {
        SCOPED_TRACE(c.name);
        set_firmware_level({c.index}, c.level);
        sim::clear_journal();
        expect_outcome(c.pattern, controller(c.index), c.expected);
        const std::vector<sim::JournalEntry> journal = sim::journal();
        EXPECT_EQ(journal.size(), c.level_reads);
    }
}

TEST(FamilyRouting, AFailedLevelReadEndsTheCallWithTheReadsError) {
    for (Pattern p : {Pattern::DAbove36, Pattern::CAbove35, Pattern::EPlus7}) {
        SCOPED_TRACE(int(p));
        change_machine("fault index=3 opcode=0x52 firmware-code=0x010C detail=\"D\" text=\"T\"\n");
        seed_last_error();
        Outcome reached = Outcome::Unrouted;
        EXPECT_EQ(run_pattern(p, controller(3), kNoKind, &reached), -1);
        EXPECT_EQ(reached, Outcome::Unrouted);
        const ErrorRecord record = last_error();
        EXPECT_EQ(record.flags, uint32_t(kErrController | kErrSecondSeries));
        EXPECT_EQ(record.controller_status, 0x010C);
        EXPECT_EQ(record.api_code, 0);
    }
}

TEST(FamilyRouting, AWrongKindIsReportedBeforeTheFamilyIsAsked) {
    const KindRule fan{kKindFan, 93};
    ObjectId enclosure = controller(8);  // no controller at index 8
    enclosure.b[0] = kKindEnclosure;
    enclosure.b[4] = 0x40;
    for (uint8_t index : {uint8_t(8), uint8_t(4), uint8_t(255)}) {
        SCOPED_TRACE(int(index));
        enclosure.b[1] = index;
        sim::clear_journal();
        clear_last_error();
        Outcome reached = Outcome::Unrouted;
        EXPECT_EQ(run_pattern(Pattern::C, enclosure, fan, &reached), -1);
        EXPECT_EQ(reached, Outcome::Unrouted);
        const ErrorRecord record = last_error();
        EXPECT_EQ(record.flags, uint32_t(kErrApi));
        EXPECT_EQ(record.api_code, 93);
        EXPECT_STREQ(record.text, "(0x0B:0x005D): Invalid fan ID");
        EXPECT_TRUE(sim::journal().empty());
    }
    ObjectId fan_id = enclosure;
    fan_id.b[0] = kKindFan;
    fan_id.b[1] = 4;
    Outcome reached = Outcome::Unrouted;
    EXPECT_EQ(run_pattern(Pattern::C, fan_id, fan, &reached), kServed);
    EXPECT_EQ(reached, Outcome::Series);
}

}  // namespace
