// The frame the page handlers share, on the default simulated controllers:
// controller selection, the arrays attached to records, the number lists,
// the identifiers an action builds and the message it reports.
#include "web/actions/handler_frame.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/daemon/context_fixture.h"

namespace {

TEST(SelectController, AnyValueThatNamesNoControllerSelectsTheFirst) {
    struct Case {
        int c, count, selected;
    };
    const Case cases[] = {{0, 3, 0},       {2, 3, 2},    {3, 3, 0},       {9, 2, 0},
                          {-1, 3, 0},      {-888, 3, 0}, {INT_MIN, 3, 0}, {INT_MAX, 255, 0},
                          {254, 255, 254}, {0, 0, 0}};
    for (const Case& k : cases)
        EXPECT_EQ(select_controller(k.c, k.count), k.selected) << k.c << " of " << k.count;
}

using ControllerSelectionTest = ContextFixture;

TEST_F(ControllerSelectionTest, SelectsAmongTheListedControllers) {
    ControllerSelection controllers;
    ASSERT_FALSE(controllers.none());
    ASSERT_EQ(controllers.count(), 3);
    EXPECT_EQ(list_count(*controllers.list()), 3);
    EXPECT_EQ(controllers.records(), nullptr);

    EXPECT_EQ(controllers.select(2), 2);
    EXPECT_EQ(controllers.controller_index(), 3);
    EXPECT_EQ(controllers.id().b[0], kKindController);
    EXPECT_EQ(controllers.select(-1), 0);
    EXPECT_EQ(controllers.controller_index(), 1);
    EXPECT_EQ(controllers.select(3), 0);

    ControllerRecord* records = controllers.fill(context_.get());
    ASSERT_NE(records, nullptr);
    EXPECT_EQ(&controllers.selected(), &records[0]);
    EXPECT_EQ(records[2].controller_index, 3);
    EXPECT_EQ(records[2].position, 2);
    // A second fill refreshes the same records.
    EXPECT_EQ(controllers.fill(context_.get()), records);
}

TEST_F(ControllerSelectionTest, AttachesArraysOnlyForCountsTheyCanHold) {
    ControllerRecord record;
    struct Case {
        uint32_t units;
        bool attached;
        int count_after;
    };
    const Case cases[] = {{0, false, kNoneFound},   {1, true, 1},
                          {64, true, 64},           {65, false, kNoneFound},
                          {128, false, kNoneFound}, {static_cast<uint32_t>(-5), false, kNoneFound}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.units);
        record.units.count = k.units;
        UnitRecord* units = attach_unit_records(record);
        EXPECT_EQ(units != nullptr, k.attached);
        EXPECT_EQ(record.unit_records, units);
        EXPECT_EQ(list_count(record.units), k.count_after);
        if (units != nullptr) {
            EXPECT_EQ(units[k.units - 1].type, -1);  // constructed presets
        }
    }
    // One record for a unit's details, whatever the list holds.
    record.units.count = 5;
    ASSERT_NE(attach_unit_records(record, 1), nullptr);
    EXPECT_EQ(list_count(record.units), 5);
    EXPECT_EQ(attach_unit_records(record, 0), nullptr);
    EXPECT_EQ(attach_unit_records(record, 129), nullptr);

    record.units.count = 3;
    IdList* lists = attach_unit_drive_lists(record);
    ASSERT_NE(lists, nullptr);
    EXPECT_EQ(lists[2].count, 0u);
    EXPECT_EQ(lists[2].ids[0].b[0], 0xFF);
    ASSERT_NE(attach_unit_cache_records(record), nullptr);

    record.ports.count = 8;
    ASSERT_NE(attach_drive_records(record), nullptr);
    EXPECT_NE(drive_at(record, 7), nullptr);
    EXPECT_EQ(drive_at(record, 8), nullptr);
    EXPECT_EQ(drive_at(record, -1), nullptr);
    record.ports.count = 129;
    EXPECT_EQ(attach_drive_records(record), nullptr);
    EXPECT_EQ(drive_at(record, 0), nullptr);

    record.phys.count = 0;
    EXPECT_EQ(attach_phy_records(record), nullptr);
    EXPECT_EQ(phy_at(record, 0), nullptr);
    record.phys.count = 4;
    ASSERT_NE(attach_phy_records(record), nullptr);
    EXPECT_NE(phy_at(record, 3), nullptr);

    BatteryRecord* first = attach_battery(record);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(record.battery, first);
    EXPECT_NE(attach_battery(record), nullptr);  // the first one freed, not leaked
}

std::vector<int> numbers_of(const NumberList& list) {
    return std::vector<int>(list.numbers, list.numbers + list.count);
}

TEST(NumberListTest, ReadsNumbersAsThePagesJoinThem) {
    struct Case {
        const char* text;
        std::vector<int> numbers;
    };
    const Case cases[] = {
        {"", {}},       {"3", {3}},    {"3,5,7", {3, 5, 7}}, {"3,", {3}},          {"x,2", {0, 2}},
        {",,", {0, 0}}, {"300", {44}}, {"-1", {255}},        {"12abc,4", {12, 4}}, {" 5", {5}},
    };
    for (const Case& k : cases) {
        NumberList list;
        parse_number_list(k.text, &list);
        EXPECT_EQ(numbers_of(list), k.numbers) << "[" << k.text << "]";
        EXPECT_FALSE(list.truncated);
        EXPECT_EQ(list.count_of(kEntryPending), list.count);
    }
}

TEST(NumberListTest, KeepsNoMoreThanItsRoom) {
    std::string text;
    for (int i = 0; i < 200; ++i) text += std::to_string(i % 10) + ",";
    NumberList list;
    parse_number_list(text.c_str(), &list);
    EXPECT_EQ(list.count, NumberList::kRoom);
    EXPECT_TRUE(list.truncated);
    EXPECT_EQ(list.numbers[127], 7);
}

using ActionMessageTest = ContextFixture;

TEST_F(ActionMessageTest, SentencesOfTheEntriesOfOneOutcome) {
    NumberList list;
    parse_number_list("3,5,7,9", &list);
    list.states[0] = kEntryDone;
    list.states[1] = kEntryFailed;
    list.states[2] = kEntryDone;
    list.states[3] = kEntryDone;
    ActionMessage done(context_.get());
    EXPECT_EQ(append_numbers(done, list, kEntryDone, "", " ", ","), 3);
    EXPECT_STREQ(done.c_str(), "3 ,7,9");
    ActionMessage units(context_.get());
    EXPECT_EQ(append_numbers(units, list, kEntryDone, " ", "", ", "), 3);
    EXPECT_STREQ(units.c_str(), " 3, 7, 9");
    ActionMessage none(context_.get());
    EXPECT_EQ(append_numbers(none, list, kEntryNotDone, " ", "", ", "), 0);
    EXPECT_TRUE(none.empty());
}

TEST_F(ActionMessageTest, CatalogueTextsAsTheyStandOtherTextsEscaped) {
    ActionMessage message(context_.get());
    message.refusal(kRefusalColon).web(78).text(" ").value("<b>\"1'&").number(-4);
    EXPECT_EQ(std::string(message.c_str()),
              std::string("(0x0C:0x0011): Not logged in as Administrator : ") +
                  context_->message(19, 78) + " &lt;b&gt;&quot;1&#39;&amp;-4");

    ActionMessage joined(context_.get());
    joined.refusal(kRefusalJoined).web(91);
    EXPECT_EQ(
        std::string(joined.c_str()),
        std::string("(0x0C:0x0011): Not logged in as Administrator") + context_->message(19, 91));
}

TEST_F(ActionMessageTest, AnIdentifierThatCannotBeMadeIsReportedWithTheLibraryText) {
    ObjectId id;
    ASSERT_EQ(make_unit_id(3, 64, &id), -1);
    for (uint8_t b : id.b) EXPECT_EQ(b, 0xFF);
    ActionMessage message(context_.get());
    message.failure(79);
    EXPECT_EQ(std::string(message.c_str()),
              std::string("(0x0B:0x0009): Invalid unit ID : ") + context_->message(19, 79));

    ASSERT_EQ(make_unit_id(3, 2 + 256, &id), 0);  // the low byte
    EXPECT_EQ(id.b[0], kKindUnit);
    EXPECT_EQ(id.b[1], 3);
    EXPECT_EQ(id.b[3], 1);
    EXPECT_EQ(id.b[4], 2);
    EXPECT_EQ(make_drive_id(3, 128, &id), -1);
    EXPECT_EQ(id.b[0], 0xFF);
    ASSERT_EQ(make_port_id(3, 7, &id), 0);
    EXPECT_EQ(id.b[2], 7);
    ASSERT_EQ(make_phy_id(3, 1, &id), 0);
    EXPECT_EQ(id.b[0], kKindPhy);
}

TEST_F(ActionMessageTest, RedirectCarriesTheMessageEscapedForItsScript) {
    PageBuilder page(config_.get(), &catalogue_);
    ActionMessage message(context_.get());
    message.text("Done ").value("</script>\"\\");
    EXPECT_EQ(message.redirect(&page, "/page1_1.html", kRedirectDone), 0);
    const std::string body(page.get_body(), page.get_body_length());
    EXPECT_NE(body.find("Done &lt;/script&gt;&quot;\\\\"), std::string::npos) << body;
    EXPECT_NE(body.find("url = \"/page1_1.html?c=\" + parent.cur_controller;"), std::string::npos);
}

TEST(RequestValuesTest, BoundedReads) {
    const char* url = "/page1_1.html?BlinkUnit=12&On=1x&c=2&Name=abcdefghij";
    EXPECT_TRUE(has_key(url, "BlinkUnit="));
    EXPECT_FALSE(has_key(url, "BlinkDrive="));
    EXPECT_EQ(get_number(url, "BlinkUnit=", -1), 12);
    EXPECT_EQ(get_number(url, "Missing=", -7), -7);
    EXPECT_EQ(get_number(url, "Name=", -7), 0);
    EXPECT_TRUE(get_on(url));
    EXPECT_FALSE(get_on("/x?On=0"));
    EXPECT_FALSE(get_on("/x?On="));
    EXPECT_FALSE(get_on("/x"));
    char small[4];
    EXPECT_TRUE(get_value(url, "Name=", small));
    EXPECT_STREQ(small, "abc");
    EXPECT_FALSE(get_value(url, "Nothing=", small));
    EXPECT_STREQ(small, "");
    EXPECT_EQ(get_number(url, "BlinkUnit=", -1, 2), 1);  // read from a 2-byte buffer
    EXPECT_TRUE(index_in(0, 1));
    EXPECT_FALSE(index_in(1, 1));
    EXPECT_FALSE(index_in(-1, 1));
}

}  // namespace
