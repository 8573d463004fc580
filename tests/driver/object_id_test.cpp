#include "driver/object_id.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include "driver/error_record.h"

namespace {

using Bytes = std::array<uint8_t, 8>;

Bytes bytes_of(const ObjectId& id)
{
    Bytes b;
    memcpy(b.data(), id.b, 8);
    return b;
}

ObjectId id_of(const Bytes& b)
{
    ObjectId id;
    memcpy(id.b, b.data(), 8);
    return id;
}

// A failure recorded before each case, so a refusal must replace it.
void record_earlier_failure()
{
    clear_last_error();
    set_last_error(kErrOs, 0, 2, 0, 0, nullptr, nullptr);
}

void expect_refusal(int32_t api_code, const char* text)
{
    ErrorRecord out;
    copy_last_error(&out, "", 0);
    EXPECT_EQ(out.flags, 0x1u);
    EXPECT_EQ(out.api_code, api_code);
    EXPECT_EQ(out.os_error, 0);
    EXPECT_STREQ(out.text, text);
}

struct BuildCase {
    const char* name;
    std::function<int(ObjectId*)> build;
    Bytes expected;      // on success
    int32_t api_code;    // 0: accepted
    const char* text;    // the refusal's line
};

constexpr Bytes kUntouched = {0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB};

const BuildCase kBuildCases[] = {
    {"controller_0", [](ObjectId* o) { return ctl_make_controller_id(0, o); },
     {1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"controller_0xFF_taken", [](ObjectId* o) { return ctl_make_controller_id(0xFF, o); },
     {1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"unit_top_level", [](ObjectId* o) { return ctl_make_unit_id(2, 0xFF, 5, 0xFF, 0xFF, o); },
     {2, 2, 0xFF, 1, 5, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"unit_level2_of_70_ends_path", [](ObjectId* o) { return ctl_make_unit_id(2, 0xFF, 5, 3, 70, o); },
     {2, 2, 0xFF, 2, 5, 3, 0xFF, 0xFF}, 0, nullptr},
    {"unit_depth_3", [](ObjectId* o) { return ctl_make_unit_id(2, 0xFF, 5, 3, 4, o); },
     {2, 2, 0xFF, 3, 5, 3, 4, 0xFF}, 0, nullptr},
    {"unit_depth_4", [](ObjectId* o) { return ctl_make_unit_id(2, 6, 5, 3, 4, o); },
     {2, 2, 0xFF, 4, 5, 3, 4, 6}, 0, nullptr},
    {"unit_level1_of_64_ends_path", [](ObjectId* o) { return ctl_make_unit_id(2, 6, 5, 64, 4, o); },
     {2, 2, 0xFF, 1, 5, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"unit_63", [](ObjectId* o) { return ctl_make_unit_id(254, 0xFF, 63, 0xFF, 0xFF, o); },
     {2, 254, 0xFF, 1, 63, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"unit_0xFF_kept", [](ObjectId* o) { return ctl_make_unit_id(0, 0xFF, 0xFF, 0xFF, 0xFF, o); },
     {2, 0, 0xFF, 1, 0xFF, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"unit_64_refused", [](ObjectId* o) { return ctl_make_unit_id(0, 0xFF, 64, 0xFF, 0xFF, o); },
     kUntouched, 9, "(0x0B:0x0009): Invalid unit ID"},
    {"unit_controller_0xFF_refused",
     [](ObjectId* o) { return ctl_make_unit_id(0xFF, 0xFF, 0, 0xFF, 0xFF, o); }, kUntouched, 9,
     "(0x0B:0x0009): Invalid unit ID"},
    {"drive_127", [](ObjectId* o) { return ctl_make_drive_id(0, 127, o); },
     {3, 0, 127, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"drive_0xFF_kept", [](ObjectId* o) { return ctl_make_drive_id(1, 0xFF, o); },
     {3, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"drive_128_refused", [](ObjectId* o) { return ctl_make_drive_id(0, 128, o); }, kUntouched, 10,
     "(0x0B:0x000A): Invalid drive ID"},
    {"drive_controller_0xFF_refused", [](ObjectId* o) { return ctl_make_drive_id(0xFF, 0, o); },
     kUntouched, 10, "(0x0B:0x000A): Invalid drive ID"},
    {"port_127", [](ObjectId* o) { return ctl_make_port_id(3, 127, o); },
     {3, 3, 127, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"port_128_refused", [](ObjectId* o) { return ctl_make_port_id(0, 128, o); }, kUntouched, 11,
     "(0x0B:0x000B): Invalid port ID"},
    {"port_controller_0xFF_refused", [](ObjectId* o) { return ctl_make_port_id(0xFF, 1, o); },
     kUntouched, 11, "(0x0B:0x000B): Invalid port ID"},
    {"phy_7", [](ObjectId* o) { return ctl_make_phy_id(1, 7, o); },
     {14, 1, 7, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"phy_0xFF_kept", [](ObjectId* o) { return ctl_make_phy_id(1, 0xFF, o); },
     {14, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, nullptr},
    {"phy_128_refused_as_port", [](ObjectId* o) { return ctl_make_phy_id(0, 128, o); }, kUntouched,
     11, "(0x0B:0x000B): Invalid port ID"},
    {"phy_controller_0xFF_refused", [](ObjectId* o) { return ctl_make_phy_id(0xFF, 0, o); },
     kUntouched, 11, "(0x0B:0x000B): Invalid port ID"},
};

TEST(ObjectId, Builders)
{
    for (const BuildCase& c : kBuildCases) {
        SCOPED_TRACE(c.name);
        record_earlier_failure();
        ObjectId out = id_of(kUntouched);
        const int rc = c.build(&out);
        EXPECT_EQ(bytes_of(out), c.expected);
        if (c.api_code == 0) {
            EXPECT_EQ(rc, 0);
            ErrorRecord rec;
            copy_last_error(&rec, "", 0);
            EXPECT_EQ(rec.flags, 0x2u);  // success leaves the record alone
        } else {
            EXPECT_EQ(rc, -1);
            expect_refusal(c.api_code, c.text);
        }
    }
}

struct ParseCase {
    const char* name;
    Bytes id;
    // Calls the parser with outputs pre-set to 0xAB and returns them in order.
    std::function<int(ObjectId, std::vector<uint8_t>&)> parse;
    std::vector<uint8_t> expected;
    int32_t api_code;
    const char* text;
};

std::function<int(ObjectId, std::vector<uint8_t>&)> two_outputs(int (*parser)(ObjectId, uint8_t*,
                                                                            uint8_t*))
{
    return [parser](ObjectId id, std::vector<uint8_t>& out) {
        out.assign(2, 0xAB);
        return parser(id, &out[0], &out[1]);
    };
}

int parse_controller(ObjectId id, std::vector<uint8_t>& out)
{
    out.assign(1, 0xAB);
    return ctl_parse_controller_id(id, &out[0]);
}

int parse_unit(ObjectId id, std::vector<uint8_t>& out)
{
    out.assign(5, 0xAB);
    return ctl_parse_unit_id(id, &out[0], &out[1], &out[2], &out[3], &out[4]);
}

constexpr Bytes kController7 = {1, 7, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr Bytes kUnitDepth2 = {2, 2, 0xFF, 2, 5, 3, 0xFF, 0xFF};
constexpr Bytes kUnitDepth4 = {2, 9, 0xFF, 4, 5, 3, 4, 6};
constexpr Bytes kPort = {3, 0, 127, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr Bytes kPhy = {14, 1, 7, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

const ParseCase kParseCases[] = {
    {"controller", kController7, parse_controller, {7}, 0, nullptr},
    {"controller_only_kind_checked", {1, 5, 0, 0, 0, 0, 0, 0}, parse_controller, {5}, 0, nullptr},
    {"controller_from_unit_refused", kUnitDepth2, parse_controller, {0xAB}, 8,
     "(0x0B:0x0008): Invalid controller ID"},
    {"unit_path_bytes_as_stored", kUnitDepth2, parse_unit, {2, 0xFF, 5, 3, 0xFF}, 0, nullptr},
    {"unit_full_path", kUnitDepth4, parse_unit, {9, 6, 5, 3, 4}, 0, nullptr},
    {"unit_from_port_refused", kPort, parse_unit, {0xAB, 0xAB, 0xAB, 0xAB, 0xAB}, 9,
     "(0x0B:0x0009): Invalid unit ID"},
    {"drive", kPort, two_outputs(ctl_parse_drive_id), {0, 127}, 0, nullptr},
    {"drive_from_phy_refused", kPhy, two_outputs(ctl_parse_drive_id), {0xAB, 0xAB}, 10,
     "(0x0B:0x000A): Invalid drive ID"},
    {"port", kPort, two_outputs(ctl_parse_port_id), {0, 127}, 0, nullptr},
    {"port_from_controller_refused", kController7, two_outputs(ctl_parse_port_id), {0xAB, 0xAB},
     11, "(0x0B:0x000B): Invalid port ID"},
    {"phy", kPhy, two_outputs(ctl_parse_phy_id), {1, 7}, 0, nullptr},
    {"phy_from_port_refused_as_port", kPort, two_outputs(ctl_parse_phy_id), {0xAB, 0xAB}, 11,
     "(0x0B:0x000B): Invalid port ID"},
};

TEST(ObjectId, Parsers)
{
    for (const ParseCase& c : kParseCases) {
        SCOPED_TRACE(c.name);
        record_earlier_failure();
        std::vector<uint8_t> out;
        const int rc = c.parse(id_of(c.id), out);
        EXPECT_EQ(out, c.expected);
        if (c.api_code == 0) {
            EXPECT_EQ(rc, 0);
        } else {
            EXPECT_EQ(rc, -1);
            expect_refusal(c.api_code, c.text);
        }
    }
}

}  // namespace
