// The search over a unit's descriptor list, on lists built here: where each
// record is found, and lists whose records claim more than the list holds.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "backend/series_backend.h"
#include "driver/error_record.h"

namespace {

constexpr uint8_t kCtl = 2;
constexpr uint8_t kUnit = 3;

struct Record {
    uint8_t children, type, port_or_member, status;
    uint8_t task_records = 0;
};

// The list as the reader leaves it: the records, then the terminator.
UnitDescriptorList list_of(const std::vector<Record>& records) {
    UnitDescriptorList list;
    std::memset(list.bytes, 0, sizeof list.bytes);
    for (size_t i = 0; i < records.size(); ++i) {
        uint8_t* r = list.bytes + i * 20;
        r[0] = records[i].children;
        r[1] = records[i].type;
        r[3] = records[i].port_or_member;
        r[5] = records[i].status;
        r[18] = records[i].task_records;
    }
    std::memset(list.bytes + records.size() * 20, 0xFF, 4);
    return list;
}

Record drive(uint8_t port) { return {0, 12, port, 255}; }

ObjectId place(std::vector<uint8_t> path) {
    ObjectId id;
    std::memset(id.b, 0xFF, sizeof id.b);
    id.b[0] = kKindUnit;
    id.b[1] = kCtl;
    id.b[3] = uint8_t(path.size());
    for (size_t i = 0; i < path.size(); ++i) id.b[4 + i] = path[i];
    return id;
}

// A drive identifier named within the unit: byte 4 the unit number.
ObjectId port_in_unit(uint8_t port) {
    ObjectId id;
    std::memset(id.b, 0xFF, sizeof id.b);
    id.b[0] = kKindDrive;
    id.b[1] = kCtl;
    id.b[2] = port;
    id.b[4] = kUnit;
    return id;
}

ErrorRecord record_now() {
    ErrorRecord r;
    copy_last_error(&r, "", 0);
    return r;
}

const std::vector<Record> kSingle = {{0, 11, 5, 255}};
const std::vector<Record> kRaid6 = {{5, 7, 0, 255, 1}, {0, 0x30, 4, 255}, drive(10), drive(11),
                                    drive(12),         drive(13),         drive(14)};
const std::vector<Record> kRaid10 = {{2, 0, 0, 255}, {2, 2, 0, 255}, drive(0), drive(1),
                                     {2, 2, 0, 255}, drive(2),       drive(3)};
const std::vector<Record> kEmpty = {};

struct Case {
    const char* name;
    const std::vector<Record>* records;
    ObjectId target;
    int place;  // -1: not found
    ObjectId id;
};

TEST(UnitDescriptor, SearchFindsEachPlace) {
    const Case cases[] = {
        {"single disk by unit", &kSingle, place({kUnit}), 0, place({kUnit})},
        {"single disk by its drive", &kSingle, port_in_unit(5), 0, place({kUnit})},
        {"first RAID 6 member follows the task record", &kRaid6, place({kUnit, 0}), 2,
         place({kUnit, 0})},
        {"last RAID 6 member", &kRaid6, place({kUnit, 4}), 6, place({kUnit, 4})},
        {"RAID 6 member by its drive", &kRaid6, port_in_unit(12), 4, place({kUnit, 2})},
        {"a task record is no drive", &kRaid6, port_in_unit(4), -1, {}},
        {"RAID 10 second drive of second mirror", &kRaid10, place({kUnit, 1, 1}), 6,
         place({kUnit, 1, 1})},
        {"RAID 10 drive", &kRaid10, port_in_unit(2), 5, place({kUnit, 1, 0})},
        {"RAID 10 sub-unit", &kRaid10, place({kUnit, 1}), 4, place({kUnit, 1})},
        {"missing sub-unit", &kRaid10, place({kUnit, 2}), -1, {}},
        {"missing member", &kRaid10, place({kUnit, 0, 2}), -1, {}},
        {"empty list: the unit is the terminator", &kEmpty, place({kUnit}), 0, place({kUnit})},
        {"empty list: nothing below it", &kEmpty, place({kUnit, 0}), -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const UnitDescriptorList list = list_of(*c.records);
        clear_last_error();
        int found = 7;
        ObjectId id;
        std::memset(&id, 0x11, sizeof id);
        const int result = SeriesBackend::find_record_id(c.target, list, &found, &id);
        EXPECT_EQ(record_now().flags, 0u);
        if (c.place < 0) {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(found, 7);
            continue;
        }
        ASSERT_EQ(result, 0);
        EXPECT_EQ(found, c.place);
        EXPECT_EQ(std::memcmp(id.b, c.id.b, 8), 0);
    }
}

TEST(UnitDescriptor, TaskRecordsByIndex) {
    const UnitDescriptorList list = list_of(kRaid6);
    ObjectId task = place({kUnit});
    task.b[0] = kKindTaskRecord;
    for (uint8_t index : {0, 1}) {
        task.b[2] = index;
        int at = -1;
        ASSERT_EQ(SeriesBackend::get_task_record(task, list, 0, &at), 0);
        EXPECT_EQ(at, index);
    }
    task.b[2] = 2;  // beyond the unit's one task record
    int at = 5;
    EXPECT_EQ(SeriesBackend::get_task_record(task, list, 0, &at), -1);
    // A count of task records that reaches past the list's room.
    UnitDescriptorList last = list_of({});
    last.bytes[UnitDescriptorList::kLastPlace * 20 + 18] = 255;
    task.b[2] = 1;
    EXPECT_EQ(SeriesBackend::get_task_record(task, last, UnitDescriptorList::kLastPlace, &at), -1);
}

TEST(UnitDescriptor, ClaimsBeyondTheListAreNotFollowed) {
    // A unit that claims 255 children and has two.
    const UnitDescriptorList short_list = list_of({{255, 5, 0, 255}, drive(1), drive(2)});
    int found = 0;
    EXPECT_EQ(SeriesBackend::find_unit_record(port_in_unit(9), short_list, &found), -1);
    EXPECT_EQ(SeriesBackend::find_unit_record(place({kUnit, 7}), short_list, &found), -1);

    // No terminator at all: a RAID 6 record followed by task records to the
    // end of the buffer, and a list of nothing but children claims.
    UnitDescriptorList tasks;
    std::memset(tasks.bytes, 0, sizeof tasks.bytes);
    tasks.bytes[0] = 1;
    tasks.bytes[1] = 7;
    for (int i = 1; i <= UnitDescriptorList::kLastPlace; ++i) tasks.bytes[i * 20 + 1] = 0x30;
    EXPECT_EQ(SeriesBackend::find_unit_record(port_in_unit(9), tasks, &found), -1);
    UnitDescriptorList flat;
    std::memset(flat.bytes, 0, sizeof flat.bytes);
    flat.bytes[0] = 255;
    for (int i = 1; i <= UnitDescriptorList::kLastPlace; ++i) flat.bytes[i * 20 + 3] = 1;
    EXPECT_EQ(SeriesBackend::find_unit_record(port_in_unit(9), flat, &found), -1);
    EXPECT_EQ(SeriesBackend::find_unit_record(port_in_unit(1), flat, &found), 0);
    EXPECT_EQ(found, 1);
}

TEST(UnitDescriptor, NestingPastFourLevelsIsRefused) {
    // Each record holds the next; the drive sits at the sixth level.
    const UnitDescriptorList deep = list_of(
        {{1, 0, 0, 255}, {1, 0, 0, 255}, {1, 0, 0, 255}, {1, 0, 0, 255}, {1, 0, 0, 255},
         drive(9)});
    int found = 0;
    clear_last_error();
    EXPECT_EQ(SeriesBackend::find_unit_record(port_in_unit(9), deep, &found), -1);
    EXPECT_STREQ(record_now().text, "(0x0B:0x000D): Retrieving unit descriptor");
    // The levels it has are found.
    ASSERT_EQ(SeriesBackend::find_unit_record(place({kUnit, 0, 0, 0}), deep, &found), 0);
    EXPECT_EQ(found, 3);
}

TEST(UnitDescriptor, OnlyUnitsAndDrivesAreSearched) {
    const UnitDescriptorList list = list_of(kSingle);
    ObjectId lun = place({kUnit});
    lun.b[0] = kKindLun;
    int found = 0;
    EXPECT_EQ(SeriesBackend::find_unit_record(lun, list, &found), -1);
    EXPECT_STREQ(record_now().text, "(0x0B:0x0022): Failed to get unit ID");
}

}  // namespace
