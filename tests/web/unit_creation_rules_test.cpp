// The rules the server checks a unit creation or migration against: the
// same RAID types, stripe sizes and drives per subunit the page offers, and
// the unit names the page accepts.
#include "web/actions/unit_creation_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "daemon/snapshot_records.h"

namespace {

struct Family {
    int family;
    int raid6;
};

void set(ControllerRecord& r, Family f) {
    r.family = f.family;
    r.raid6_allowed = static_cast<uint8_t>(f.raid6);
}

// The types a new unit of n drives may have, joined by ",".
std::string create_types(Family f, int n) {
    ControllerRecord r;
    set(r, f);
    std::string out;
    for (const char* name : {"RAID 0", "RAID 1", "RAID 5", "RAID 6", "RAID 10", "RAID 50"})
        if (create_type_offered(*find_unit_type(name), n, r))
            out += (out.empty() ? "" : ",") + std::string(name);
    return out;
}

TEST(UnitCreationRules, TypesByName) {
    ASSERT_NE(find_unit_type("RAID 10"), nullptr);
    EXPECT_EQ(find_unit_type("RAID 10")->code, 6);
    EXPECT_EQ(find_unit_type("RAID 1")->code, 2);
    EXPECT_EQ(find_unit_type("RAID 50")->code, 8);
    EXPECT_EQ(find_unit_type("Single Disk")->code, 11);
    EXPECT_TRUE(find_unit_type("Spare Disk")->per_drive);
    EXPECT_FALSE(find_unit_type("CBOD")->per_drive);
    EXPECT_TRUE(find_unit_type("RAID 50")->keeps_subunits);
    EXPECT_FALSE(find_unit_type("RAID 1")->keeps_stripe);
    // The whole text names a type: nothing may follow or differ.
    for (const char* name : {"RAID 7", "RAID 5 ", "RAID 5<b>", "raid 5", "", "Single"})
        EXPECT_EQ(find_unit_type(name), nullptr) << name;
    EXPECT_EQ(find_unit_type(nullptr), nullptr);
}

TEST(UnitCreationRules, DriveCountsDecideTheTypesOfANewUnit) {
    const Family second{9, 1}, no_raid6{6, 0}, first{3, 0};
    struct Case {
        Family family;
        int drives;
        const char* types;
    };
    const Case cases[] = {
        {second, 1, ""},
        {second, 2, "RAID 0,RAID 1"},
        {second, 3, "RAID 0,RAID 5"},
        {second, 4, "RAID 0,RAID 5,RAID 10"},
        {second, 5, "RAID 0,RAID 5,RAID 6"},
        {second, 6, "RAID 0,RAID 5,RAID 6,RAID 10,RAID 50"},
        {second, 7, "RAID 0,RAID 5,RAID 6"},
        {second, 25, "RAID 0,RAID 5,RAID 6"},
        {second, 36, "RAID 0,RAID 5,RAID 6,RAID 10,RAID 50"},
        {no_raid6, 5, "RAID 0,RAID 5"},
        {first, 6, "RAID 0,RAID 5,RAID 10"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(create_types(c.family, c.drives), c.types) << c.family.family << " " << c.drives;
    ControllerRecord r;
    set(r, second);
    for (const char* name : {"JBOD", "Single Disk", "Spare Disk", "CBOD"}) {
        EXPECT_TRUE(create_type_offered(*find_unit_type(name), 3, r)) << name;
        EXPECT_FALSE(create_type_offered(*find_unit_type(name), 0, r)) << name;
    }
}

TEST(UnitCreationRules, AMigrationKeepsRoomForTheUnitsData) {
    ControllerRecord r;
    set(r, {9, 1});
    struct Case {
        int current;  // type code
        int unit_drives, per_subunit, drives;
        const char* offered;
    };
    const Case cases[] = {
        {2, 2, 0, 2, "RAID 0,RAID 1,Single Disk"},
        {1, 2, 0, 2, "RAID 0,RAID 1,Single Disk"},
        {5, 3, 0, 4, "RAID 0,RAID 5,RAID 10"},
        {5, 3, 0, 3, "RAID 0,RAID 5"},
        {0, 3, 0, 2, ""},
        {11, 1, 0, 2, "RAID 0,RAID 1"},
        {11, 1, 0, 1, ""},
        {6, 4, 0, 6, "RAID 0,RAID 5,RAID 10,RAID 50,RAID 6"},
        {8, 6, 3, 6, "RAID 0,RAID 5,RAID 50,RAID 6"},
        {8, 6, 0, 6, "RAID 0"},
        {7, 5, 0, 6, "RAID 0,RAID 5,RAID 10,RAID 50,RAID 6"},
        {7, 6, 0, 6, "RAID 0,RAID 5,RAID 50,RAID 6"},
    };
    for (const Case& c : cases) {
        std::string offered;
        for (const char* name :
             {"RAID 0", "RAID 1", "RAID 5", "RAID 10", "RAID 50", "RAID 6", "Single Disk", "JBOD"})
            if (migrate_type_offered(*find_unit_type(name), c.drives, c.current, c.unit_drives,
                                     c.per_subunit, r))
                offered += (offered.empty() ? "" : ",") + std::string(name);
        EXPECT_EQ(offered, c.offered) << c.current << " of " << c.unit_drives << " to " << c.drives;
    }
    set(r, {9, 0});
    EXPECT_FALSE(migrate_type_offered(*find_unit_type("RAID 6"), 6, 5, 3, 0, r));
}

TEST(UnitCreationRules, StripeSizesAndSubunits) {
    ControllerRecord second, first;
    set(second, {6, 1});
    set(first, {3, 0});
    const UnitType& raid5 = *find_unit_type("RAID 5");
    const UnitType& raid6 = *find_unit_type("RAID 6");
    const UnitType& raid0 = *find_unit_type("RAID 0");
    const UnitType& raid1 = *find_unit_type("RAID 1");
    for (int stripe = 0; stripe < 13; ++stripe) {
        SCOPED_TRACE(stripe);
        EXPECT_EQ(stripe_offered(raid5, stripe, second), stripe == 5 || stripe == 7 || stripe == 9);
        EXPECT_EQ(stripe_offered(raid6, stripe, second), stripe == 7 || stripe == 9);
        EXPECT_EQ(stripe_offered(raid5, stripe, first), stripe == 7);
        EXPECT_EQ(stripe_offered(raid0, stripe, first), stripe >= 7 && stripe <= 11);
        EXPECT_TRUE(stripe_offered(raid1, stripe, second));  // the stripe is not kept
    }
    EXPECT_TRUE(subunits_offered(12, 0));
    EXPECT_TRUE(subunits_offered(12, 4));
    EXPECT_TRUE(subunits_offered(12, 6));
    EXPECT_FALSE(subunits_offered(12, 5));
    EXPECT_FALSE(subunits_offered(6, 2));
    EXPECT_TRUE(subunits_offered(34, 17));
    EXPECT_FALSE(subunits_offered(36, 6));
    EXPECT_TRUE(subunits_offered(36, 0));
}

TEST(UnitCreationRules, UnitNamesThePageAccepts) {
    for (const char* name : {"", "data", "Data_01-x.y", "abcdefghijklmnopqrst", "M\xC3\xA4rz",
                             "\xE6\x97\xA5\xE6\x9C\xAC", "a/b+c=d!#$?"})
        EXPECT_TRUE(unit_name_valid(name)) << name;
    for (const char* name : {"two words",
                             "a\tb",
                             "a\nb",
                             "x\x01",
                             "x\x7F",
                             "\xC2\x85",
                             "a\xC2\xA0"
                             "b",
                             "a\xE2\x80\xA8",
                             "abcdefghijklmnopqrstu",
                             "<b>",
                             "x\"",
                             "x'",
                             "50%",
                             "a&b",
                             "a,b",
                             "a;b",
                             "a:b",
                             "{",
                             "}",
                             "|",
                             "\\",
                             "~",
                             "`",
                             "*",
                             "[",
                             "]",
                             "(",
                             ")",
                             "@",
                             "\xC3",
                             "\xC0\xAF",
                             "\xED\xA0\x80",
                             "\xF8\x88\x80\x80\x80"})
        EXPECT_FALSE(unit_name_valid(name)) << name;
    EXPECT_FALSE(unit_name_valid(nullptr));
    // The characters alone, for a name that is then cut to 20 bytes.
    EXPECT_TRUE(unit_name_characters_valid("abcdefghijklmnopqrstuvwxyz\xC3\xA4"));
    for (const char* name : {"abcdefghijklmnopqrstuvwxyz\n", "abcdefghijklmnopqrstuvwxyz\xC3"})
        EXPECT_FALSE(unit_name_characters_valid(name));
    EXPECT_FALSE(unit_name_characters_valid(nullptr));
}

TEST(UnitCreationRules, DriveInterfaceClasses) {
    EXPECT_EQ(drive_class(1), kClassSata);
    EXPECT_EQ(drive_class(5), kClassSata);
    EXPECT_EQ(drive_class(3), kClassSas);
    EXPECT_EQ(drive_class(7), kClassSas);
    EXPECT_EQ(drive_class(0), kClassNone);
    EXPECT_EQ(drive_class(4), kClassNone);
}

}  // namespace
